#pragma once

#include "library/cache_category.h"
#include "library/fcp_bundle.h"
#include "platform/cancellation.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Counters a running scan keeps up to date; a UI reads them on a timer.
struct ScanProgress {
    std::atomic<std::uint64_t> entriesRead{0};
    std::atomic<std::uint64_t> librariesFound{0};
    // Mount points below the location that the scan did not enter (it stays on the
    // location's own file system unless told to cross).
    std::atomic<std::uint64_t> mountPointsSkipped{0};
};

// Told about a folder that could not be opened or read: its full path and the errno. Called
// from the scanning threads, possibly at once.
using UnreadableFolderSink = std::function<void(const std::string& path, int error)>;

struct ScanOptions {
    ScanProgress* progress = nullptr; // optional live counters
    unsigned threads = 0;             // 0: the default for this machine and location; 1: single-threaded
    // Also enter what is mounted below the location: other drives, shares, bind mounts. A
    // mount point is compared by its mount id where the kernel gives one, by device otherwise.
    bool crossFileSystems = false;
    UnreadableFolderSink onUnreadable; // optional
    // Also list, in each record's `cleanable`, the entries a cleaning of these categories would
    // remove from it (0: none), so that a dry run needs no second walk.
    CategoryMask listCleanable = 0;
    // Leave the inside of these categories' entries unread (0: read everything): what a
    // cleaning of them needs to reach every library it cleans, at a fraction of the requests
    // where render files fill thousands of folders. Sizes and ages then count nothing of what
    // lies inside those entries, and libraries there are not found (a cleaning of the library
    // holding one removes it whole).
    CategoryMask skipInside = 0;
    // Told about each library as the scan meets it, before its sizes are known: its paths and
    // the identity a cleaning checks. Called from the scanning threads, possibly at once.
    std::function<void(const FCPBundle&)> onLibraryFound;
    // Descriptors the scan may hold at once (0: what the process has left), for a scan that
    // shares the process with other work on the same location.
    std::size_t descriptors = 0;
    // Checked between entries: once requested, the walk ends within a directory listing and
    // the result is incomplete, for the caller to drop.
    const CancellationToken* cancel = nullptr;
};

// Every library (entry whose name ends in ".fcpbundle") below `location`, measured, in walk
// order, each with a new id. Reads every entry once. Never fails: what cannot be read counts
// as absent or 0 bytes (and is told to onUnreadable); a location that cannot be walked gives
// an empty list.
[[nodiscard]] std::vector<FCPBundle> scanBundles(const std::string& location,
                                                 const ScanOptions& options = {});

// The record of the library open at `libraryFd` (named `libraryPath`) itself, measured by the
// same rules as a scan below its parent would (libraries nested in it are measured but not
// returned); read through the descriptor, so a path beyond PATH_MAX is no obstacle. Folders
// that cannot be read are told to `onUnreadable`; nothing when the library itself cannot be
// read (told too), as its sizes and time would be made up.
[[nodiscard]] std::optional<FCPBundle> measureBundle(int libraryFd, const std::string& libraryPath,
                                                     const UnreadableFolderSink& onUnreadable = {});

} // namespace velmora

#pragma once

#include "library/fcp_bundle.h"
#include "platform/cancellation.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Counters a running scan keeps up to date; a UI reads them on a timer.
struct ScanProgress {
    std::atomic<std::uint64_t> entriesRead{0};
    std::atomic<std::uint64_t> librariesFound{0};
};

struct ScanOptions {
    ScanProgress* progress = nullptr; // optional live counters
    unsigned threads = 0;             // 0: the default for this machine and location; 1: single-threaded
    // Checked between entries: once requested, the walk ends within a directory listing and
    // the result is incomplete, for the caller to drop.
    const CancellationToken* cancel = nullptr;
};

// Every library (entry whose name ends in ".fcpbundle") below `location`, measured, in walk
// order, each with a new id. Reads every entry once. Never fails: what cannot be read counts
// as absent or 0 bytes; a location that cannot be walked gives an empty list.
[[nodiscard]] std::vector<FCPBundle> scanBundles(const std::string& location,
                                                 const ScanOptions& options = {});

// The record of the library at `libraryPath` itself, measured by the same rules as a scan
// below its parent would (libraries nested in it are measured but not returned). Nothing
// when the path is not a directory or is a link.
[[nodiscard]] std::optional<FCPBundle> measureBundle(const std::string& libraryPath);

} // namespace velmora

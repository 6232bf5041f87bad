#pragma once

#include "cleaning/deletion_entry.h"
#include "library/cache_category.h"
#include "library/fcp_bundle.h"
#include "platform/cancellation.h"

#include <cstddef>
#include <cstdint>

namespace velmora {

class TreeWorkers;

struct DeletionOptions {
    // Tell what would be removed, with its bytes, and remove nothing.
    bool dryRun = false;
    // Directory descriptors the walk, and each removal without threads, may hold at once (each);
    // lent threads keep within their own.
    std::size_t maxOpenDescriptors = 64;
    // Threads, lent by the caller and maybe shared with the cleanings of other libraries, that
    // remove (or, in a dry run, measure) the matched entries side by side, the folders inside
    // each one too. None (or none the system gave): one request after the other, which suits a
    // local disk; on a share each request waits on its round trip, and many threads keep many
    // of them waiting at once.
    TreeWorkers* workers = nullptr;
    // Reach the library, and look for matches, across other mounts below the location too
    // (removal itself never enters a mount inside a matched entry).
    bool crossFileSystems = false;
    // Told about every finished entry, one call at a time, from the calling thread or one of
    // the removing threads, before the next removal of that thread starts.
    DeletionEntrySink onEntry;
    // A stop request, checked before each removal call (one unlink or rmdir): once requested,
    // the call under way finishes and no other starts. The entry being removed may be left
    // partly emptied; it counts as stopped, not as removed, and is not told.
    const CancellationToken* cancel = nullptr;
};

// What a cleaning of one library did beyond the entries it told.
struct DeletionReport {
    // Something was removed: a matched entry, or part of one.
    bool anythingRemoved = false;
    // Mount points below the library that the walk did not enter.
    std::uint64_t mountsSkipped = 0;
    // Regular-file bytes this call unlinked in entries told to no one: another run finished
    // them first, or a stop left them partly removed.
    std::int64_t bytesUnlisted = 0;
    std::int64_t bytesFreedUnlisted = 0; // what the disk got back from them
    // The library was gone when its cleaning began: someone else removed it since the scan.
    // Like an entry another run removed first, that is no failure, and nothing is told.
    bool vanished = false;
};

// Cleans the library that a scan of the location open at `locationFd` found: reached beneath
// the location by the record's relative path, never following a link and (unless
// crossFileSystems) never entering another mount on the way, and checked to be the very
// entry the scan met (device and inode) before anything in it is removed. Then every entry
// of one of `categories` (see category_position.h) is removed safely (descriptor-relative,
// never through a link, never into another mount) and told: Deleted when it went completely;
// Failed, with one failure for each entry inside it that had to stay (a mount point, a
// read-only or immutable file, a folder without write permission), when it could not, while
// everything else in it still goes; Unreadable for a folder that could not be opened or read,
// the library itself included. A matched entry is dealt with whole: nothing inside it is
// matched again. A library that cannot be reached so, or is no longer that entry, is left
// alone and told as Failed; one that is gone is reported vanished; a record that is a link
// or a file gives nothing.
[[nodiscard]] DeletionReport cleanLibrary(int locationFd, const FCPBundle& library, CategoryMask categories,
                                          const DeletionOptions& options);

// The dry run of cleanLibrary told from the record alone, when the scan that made it listed
// its cleanable entries for (at least) these categories: the same WouldDelete entries, in the
// same order, with nothing read again. The scan has already told about the folders it could
// not read.
void listCleanable(const FCPBundle& library, CategoryMask categories, const DeletionEntrySink& onEntry);

} // namespace velmora

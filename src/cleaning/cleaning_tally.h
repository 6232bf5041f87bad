#pragma once

#include "cleaning/clean_library.h"
#include "cleaning/deletion_entry.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace velmora {

// What a cleaning run did, summed over its entries and libraries, so that its closing
// message can tell "removed", "nothing to remove" and "some of it had to stay" apart.
struct CleaningTally {
    // Entries removed completely (in a dry run: entries that would be).
    std::uint64_t removed = 0;
    // Entries left in place, wholly or partly, folders that could not be read, and libraries
    // that could not be reached.
    std::uint64_t failed = 0;
    // Regular-file bytes the run unlinked, in told entries and in the others (a dry run: the
    // bytes its entries hold).
    std::int64_t bytes = 0;
    // What the disk got back (see RemoveReport::bytesFreed); 0 in a dry run.
    std::int64_t bytesFreed = 0;
    // Mount points below the libraries that their walks did not enter.
    std::uint64_t mountsSkipped = 0;
    // Libraries someone else removed since the scan (none of them a failure).
    std::uint64_t vanished = 0;
    // Some library's cleaning removed something, a whole entry or part of one.
    bool anythingRemoved = false;
    // The first failure in the run's own order (its steps', not the moment they failed in),
    // with the description its error line gives; empty while nothing failed.
    std::string firstFailedPath;
    std::string firstFailureDescription;

    // Adds a told entry of the step numbered `step` (entries before every step: 0).
    void add(const DeletionEntry& entry, std::size_t step);
    // Adds what a library's cleaning did beyond its told entries.
    void add(const DeletionReport& report);

  private:
    std::size_t firstFailureStep_ = std::numeric_limits<std::size_t>::max();
};

} // namespace velmora

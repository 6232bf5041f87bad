#pragma once

#include "cleaning/delete_matching_items.h"

#include <cstdint>
#include <set>
#include <string>

namespace velmora {

// What one cleaning run did, summed over its deletions, so its closing message can tell
// "removed", "nothing to remove" and "some of it had to stay" apart.
struct CleaningTally {
    std::uint64_t removed = 0; // matched entries removed completely
    // Matched entries left in place, and libraries or folders that could not be opened or read
    // (each folder once, however many walks met it).
    std::uint64_t failed = 0;
    std::set<std::string> unreadableFolders;
    bool anythingRemoved = false;
    // The first failure met, to name one concrete case; empty while nothing failed.
    std::string firstFailedPath;
    std::string firstFailureDescription;

    // Adds one deletion of the library at `libraryPath` (named when the report names no path).
    void add(const DeletionReport& report, const std::string& libraryPath);
    // Adds another run's tally; its first failure counts only when this one has none.
    void add(const CleaningTally& other);
};

} // namespace velmora

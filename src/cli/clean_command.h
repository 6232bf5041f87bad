#pragma once

#include "library/cache_category.h"

#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct CleanRequest {
    std::optional<std::string> location; // scanned for libraries when no library is given
    std::optional<std::string> library;  // clean this one library only
    std::vector<CacheCategory> categories{allCacheCategories.begin(), allCacheCategories.end()};
    bool dryRun = false;
    unsigned jobs = 1; // libraries cleaned at once; a dry run always lists one at a time
};

[[nodiscard]] unsigned defaultCleanJobs();

// Exit statuses of `velmora-cli clean`.
inline constexpr int kCleanOk = 0;
inline constexpr int kCleanSomeFailed = 1;
inline constexpr int kCleanBadArguments = 2;

// Cleans the libraries the request names, category by category in the fixed order, writing
// the deletion lines to standard output and a summary to standard error. Returns the exit
// status: 0 when nothing failed, 1 when some removal failed, 2 when the request is unusable
// (the location or library is not a directory, a library that is a link, a library outside
// the location).
[[nodiscard]] int runClean(const CleanRequest& request);

} // namespace velmora

#pragma once

#include "library/cache_category.h"

#include <chrono>
#include <optional>
#include <string>

namespace velmora {

struct CleanRequest {
    std::optional<std::string> location; // scanned for libraries when no library is given
    std::optional<std::string> library;  // clean this one library only
    CategoryMask categories = kEveryCategory;
    bool dryRun = false;
    bool crossFileSystems = false; // also scan and clean what is mounted below the location
    unsigned jobs = 0; // libraries cleaned at once, 0: by the location's storage
    // Clean only the libraries whose lastModified lies at least this long ago (or is none);
    // the others are skipped and counted in the summary.
    std::optional<std::chrono::seconds> untouchedFor;
    bool json = false; // one JSON report on stdout instead of the lines ("Error deleting" lines go to stderr)
    bool quiet = false; // no "Deleted:" / "Would delete:" lines; errors and the summary stay
};

// Cleans the libraries the request names, each in one walk for all its categories, writing
// the deletion lines (or the JSON report) to standard output and a summary to standard error.
// Returns the exit status (cli::kExit*): 0 when nothing failed, 1 when some removal failed,
// 2 when the request is unusable (the location or library is not a directory, a library
// that is a link, a library outside the location), 128 + the signal's number (130, 143) when
// SIGINT or SIGTERM stopped the run: it then removes nothing more, and the summary (and the
// JSON report) counts what was removed before the stop.
[[nodiscard]] int runClean(const CleanRequest& request);

} // namespace velmora

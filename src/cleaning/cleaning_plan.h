#pragma once

#include "library/cache_category.h"
#include "library/nested_libraries.h"
#include "library/fcp_bundle.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A folder that a scan could not open or read, with the errno.
struct UnreadableFolder {
    std::string path;
    int error = 0;
};

// One walk of one library: what a run's jobs take one at a time, and what its progress counts.
struct CleaningStep {
    std::size_t library = 0; // index into CleaningPlan::libraries
    CategoryMask categories = 0;
};

// What a cleaning run will do, before it starts.
struct CleaningPlan {
    // The libraries the run is about, in the order given, without the recently modified ones.
    // A library inside a category entry of another one of them has no step: the cleaning of
    // the one that holds it removes it whole.
    std::vector<FCPBundle> libraries;
    std::vector<CleaningStep> steps;
    std::size_t skippedAsRecent = 0;
    // Folders the scan could not read: each may hold libraries that go uncleaned, so the run
    // tells each as a failure, except where a step walks the library holding it and meets it
    // again.
    std::vector<UnreadableFolder> unreadable;
};

struct PlanRequest {
    CategoryMask categories = kEveryCategory;
    // One step per library and category, each walking the library once, instead of one step
    // per library for all its categories: progress and stops come between categories, and
    // the first failure is one of the first category's.
    bool stepPerCategory = false;
    // Leave out the libraries whose lastModified lies less than this long ago; a library
    // without such a time counts as untouched.
    std::optional<std::chrono::seconds> untouchedFor;
};

// The plan for the libraries of one scan (all of them, or the ones chosen by id), each with
// the request's categories, and the folders that scan could not read.
[[nodiscard]] CleaningPlan planCleaning(std::vector<FCPBundle> libraries, const PlanRequest& request,
                                        std::vector<UnreadableFolder> unreadable = {});

} // namespace velmora

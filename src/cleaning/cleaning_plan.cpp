#include "cleaning/cleaning_plan.h"

namespace velmora {

namespace {

bool recentlyModified(const FCPBundle& library, std::chrono::seconds untouchedFor) {
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    return library.lastModified && modifiedWithin(*library.lastModified, untouchedFor, now);
}

} // namespace

CleaningPlan planCleaning(std::vector<FCPBundle> libraries, const PlanRequest& request,
                          std::vector<UnreadableFolder> unreadable) {
    CleaningPlan plan;
    plan.unreadable = std::move(unreadable);
    for (FCPBundle& library : libraries) {
        if (request.untouchedFor && recentlyModified(library, *request.untouchedFor))
            ++plan.skippedAsRecent;
        else
            plan.libraries.push_back(std::move(library));
    }
    LibraryPaths paths;
    for (const FCPBundle& library : plan.libraries)
        paths.emplace(library.relativePath, request.categories);
    auto insideCategoryEntry = [](const CategoryPosition& below, CategoryMask) {
        return below.position == LibraryPosition::Category;
    };
    for (std::size_t i = 0; i < plan.libraries.size(); ++i) {
        if (heldByAnyOf(plan.libraries[i].relativePath, paths, false, insideCategoryEntry)) continue;
        if (!request.stepPerCategory) {
            plan.steps.push_back({i, request.categories});
            continue;
        }
        for (CacheCategory category : allCacheCategories)
            if (request.categories & categoryBit(category)) plan.steps.push_back({i, categoryBit(category)});
    }
    return plan;
}

} // namespace velmora

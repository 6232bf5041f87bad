#include "cleaning/cleaning_plan.h"

namespace velmora {

namespace {

// Whether the library at `relative` lies inside the one at `outer`, both below one location.
bool isInside(const std::string& relative, const std::string& outer) {
    if (outer.empty()) return !relative.empty(); // the location itself is the outer library
    return relative.size() > outer.size() && relative.starts_with(outer) && relative[outer.size()] == '/';
}

bool recentlyModified(const FCPBundle& library, std::chrono::seconds untouchedFor) {
    // In whole seconds: a period of many centuries would overflow a nanosecond clock.
    using std::chrono::floor;
    using std::chrono::seconds;
    return library.lastModified && floor<seconds>(*library.lastModified) >
                                       floor<seconds>(std::chrono::system_clock::now()) - untouchedFor;
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
    for (std::size_t i = 0; i < plan.libraries.size(); ++i) {
        bool nested = false;
        for (const FCPBundle& other : plan.libraries)
            nested = nested || isInside(plan.libraries[i].relativePath, other.relativePath);
        if (nested) continue;
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

#include "cleaning/cleaning_plan.h"

namespace velmora {

namespace {

bool recentlyModified(const FCPBundle& library, std::chrono::seconds untouchedFor) {
    // In whole seconds: a period of many centuries would overflow a nanosecond clock.
    using std::chrono::floor;
    using std::chrono::seconds;
    return library.lastModified && floor<seconds>(*library.lastModified) >
                                       floor<seconds>(std::chrono::system_clock::now()) - untouchedFor;
}

} // namespace

bool heldByAnyOf(std::string_view path, const std::unordered_set<std::string_view>& folders, bool orItself) {
    if (orItself && folders.contains(path)) return true;
    for (std::size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', slash + 1))
        if (folders.contains(path.substr(0, slash))) return true;
    return false;
}

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
    std::unordered_set<std::string_view> paths;
    for (const FCPBundle& library : plan.libraries)
        paths.insert(library.relativePath);
    // An empty relative path is the location itself, which holds every other library.
    const bool locationIsALibrary = paths.contains("");
    for (std::size_t i = 0; i < plan.libraries.size(); ++i) {
        const std::string& relative = plan.libraries[i].relativePath;
        if ((locationIsALibrary && !relative.empty()) || heldByAnyOf(relative, paths, false)) continue;
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

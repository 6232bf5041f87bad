#include "library/category_position.h"

namespace velmora {

namespace {

// Component `k` of a category's sub-path, and whether it is the last one; an empty component
// when the sub-path has no component `k`.
struct SubPathStep {
    std::string_view component;
    bool last = false;
};

SubPathStep subPathStep(CacheCategory category, std::size_t k) {
    std::string_view path = categoryInfo(category).subPath;
    for (; k > 0; --k) {
        const std::size_t slash = path.find('/');
        if (slash == std::string_view::npos) return {};
        path.remove_prefix(slash + 1);
    }
    const std::size_t slash = path.find('/');
    if (slash == std::string_view::npos) return {path, true};
    return {path.substr(0, slash), false};
}

} // namespace

CategoryPosition CategoryPosition::child(std::string_view name, CategoryMask categories) const {
    CategoryPosition next = *this;
    switch (position) {
    case LibraryPosition::Root:
        next.position = LibraryPosition::EventFolder;
        return next;
    case LibraryPosition::EventFolder:
    case LibraryPosition::SubPath:
        break;
    case LibraryPosition::Category:
    case LibraryPosition::Elsewhere:
        return next;
    }
    const std::uint8_t behind = position == LibraryPosition::SubPath ? matched : 0;
    const CategoryMask along = (position == LibraryPosition::SubPath ? candidates : kEveryCategory) & categories;
    next.position = LibraryPosition::Elsewhere;
    next.candidates = 0;
    for (CacheCategory category : allCacheCategories) {
        if ((along & categoryBit(category)) == 0) continue;
        const SubPathStep step = subPathStep(category, behind);
        if (step.component != name) continue;
        if (step.last) {
            next.position = LibraryPosition::Category;
            next.category = category;
            return next;
        }
        next.position = LibraryPosition::SubPath;
        next.matched = static_cast<std::uint8_t>(behind + 1);
        next.candidates |= categoryBit(category);
    }
    return next;
}

bool CategoryPosition::reachedBy(CategoryMask categories) const {
    switch (position) {
    case LibraryPosition::Root:
    case LibraryPosition::EventFolder:
        return true;
    case LibraryPosition::SubPath:
        return (candidates & categories) != 0;
    case LibraryPosition::Category:
        return (categoryBit(category) & categories) != 0;
    case LibraryPosition::Elsewhere:
        break;
    }
    return false;
}

bool CategoryPosition::startsCategory(std::string_view name, CategoryMask categories, CacheCategory& category) const {
    if (position != LibraryPosition::EventFolder && position != LibraryPosition::SubPath) return false;
    const CategoryPosition next = child(name, categories);
    if (next.position != LibraryPosition::Category) return false;
    category = next.category;
    return true;
}

CategoryPosition positionOfPath(std::string_view relativePath, CategoryMask categories) {
    CategoryPosition position;
    while (!relativePath.empty()) {
        const std::size_t slash = relativePath.find('/');
        position = position.child(relativePath.substr(0, slash), categories);
        if (slash == std::string_view::npos) break;
        relativePath.remove_prefix(slash + 1);
    }
    return position;
}

} // namespace velmora

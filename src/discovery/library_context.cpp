#include "discovery/library_context.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace velmora {
namespace {

constexpr std::string_view kLibrarySuffix = ".fcpbundle";

// The removed paths of every category, split once: single names, and two-part paths.
struct RemovedNames {
    struct Whole {
        std::string_view name;
        CacheCategory category;
    };
    struct TwoPart {
        std::string_view first, second;
        CacheCategory category;
    };
    std::vector<Whole> whole;
    std::vector<TwoPart> twoPart;
};

const RemovedNames& removedNames() {
    static const RemovedNames names = [] {
        RemovedNames out;
        for (CacheCategory category : allCacheCategories) {
            for (std::string_view removed : categoryInfo(category).removedPaths()) {
                const std::size_t slash = removed.find('/');
                if (removed.empty()) continue;
                if (slash == std::string_view::npos)
                    out.whole.push_back({removed, category});
                else
                    out.twoPart.push_back({removed.substr(0, slash), removed.substr(slash + 1), category});
            }
        }
        return out;
    }();
    return names;
}

// Component `k` of a category's sub-path, and what follows it ("" after the last one); an
// empty component when the sub-path has no component `k`.
struct SubPathStep {
    std::string_view component;
    std::string_view rest;
};

SubPathStep subPathStep(CacheCategory category, std::size_t k) {
    std::string_view path = categoryInfo(category).subPath;
    for (; k > 0; --k) {
        const std::size_t slash = path.find('/');
        if (slash == std::string_view::npos) return {};
        path.remove_prefix(slash + 1);
    }
    const std::size_t slash = path.find('/');
    if (slash == std::string_view::npos) return {path, {}};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

// One more component `name` along the sub-paths of `candidates`, of which `matched`
// components are behind.
void stepAlongSubPaths(EnclosingLibrary& next, std::uint8_t matched, CategoryMask candidates,
                       std::string_view name) {
    next.position = LibraryPosition::Elsewhere;
    next.candidates = 0;
    for (CacheCategory category : allCacheCategories) {
        if ((candidates & categoryBit(category)) == 0) continue;
        const SubPathStep step = subPathStep(category, matched);
        if (step.component != name) continue;
        if (step.rest.empty()) {
            next.position = LibraryPosition::Category;
            next.category = category;
            return;
        }
        next.position = LibraryPosition::SubPath;
        next.matched = static_cast<std::uint8_t>(matched + 1);
        next.candidates |= categoryBit(category);
    }
}

} // namespace

bool hasLibraryName(std::string_view name) {
    return name.ends_with(kLibrarySuffix);
}

void recordIdentity(int parentFd, const char* name, FCPBundle& bundle) {
    struct stat st {};
    if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    bundle.device = st.st_dev;
    bundle.inode = st.st_ino;
}

CleaningScope cleaningScopeOf(CleaningScope parent, std::string_view name, CategoryMask categories,
                              CacheCategory* removedBy) {
    if (parent == CleaningScope::Removed) return CleaningScope::Removed;
    const RemovedNames& names = removedNames();
    auto removed = [removedBy](CacheCategory category) {
        if (removedBy != nullptr) *removedBy = category;
        return CleaningScope::Removed;
    };
    for (const auto& whole : names.whole)
        if ((categories & categoryBit(whole.category)) != 0 && name == whole.name)
            return removed(whole.category);
    bool prefix = false;
    for (const auto& path : names.twoPart) {
        if ((categories & categoryBit(path.category)) == 0) continue;
        if (parent == CleaningScope::KeptPrefix && name == path.second) return removed(path.category);
        if (name == path.first) prefix = true;
    }
    return prefix ? CleaningScope::KeptPrefix : CleaningScope::Kept;
}

EnclosingLibrary descendInto(const EnclosingLibrary& library, std::string_view name, CategoryMask listed) {
    EnclosingLibrary next = library;
    next.scope = cleaningScopeOf(library.scope, name);
    next.listedScope = cleaningScopeOf(library.listedScope, name, listed);
    switch (library.position) {
    case LibraryPosition::Root:
        next.position = LibraryPosition::EventFolder;
        break;
    case LibraryPosition::EventFolder:
        stepAlongSubPaths(next, 0, kEveryCategory, name);
        break;
    case LibraryPosition::SubPath:
        stepAlongSubPaths(next, library.matched, library.candidates, name);
        break;
    case LibraryPosition::Category:
    case LibraryPosition::Elsewhere:
        break;
    }
    return next;
}

DirectoryContext childContext(const DirectoryContext& parent, std::string_view name, CategoryMask listed) {
    DirectoryContext child;
    child.reserve(parent.size() + 1);
    for (const EnclosingLibrary& library : parent)
        child.push_back(descendInto(library, name, listed));
    return child;
}

std::vector<LinkedCategoryPath> categoryPathsThroughLink(const EnclosingLibrary& library, std::string_view name) {
    std::vector<LinkedCategoryPath> paths;
    std::uint8_t matched = 0;
    CategoryMask candidates = kEveryCategory;
    switch (library.position) {
    case LibraryPosition::Root:
        // A link in the event's place leads into every sub-path; one named like a library is
        // never entered, not even as an event folder.
        if (hasLibraryName(name)) return {};
        for (CacheCategory category : allCacheCategories)
            paths.push_back({categoryInfo(category).subPath, category});
        return paths;
    case LibraryPosition::EventFolder:
        break;
    case LibraryPosition::SubPath:
        matched = library.matched;
        candidates = library.candidates;
        break;
    case LibraryPosition::Category:
    case LibraryPosition::Elsewhere:
        return {};
    }
    for (CacheCategory category : allCacheCategories) {
        if ((candidates & categoryBit(category)) == 0) continue;
        const SubPathStep step = subPathStep(category, matched);
        if (step.component == name) paths.push_back({step.rest, category});
    }
    return paths;
}

} // namespace velmora

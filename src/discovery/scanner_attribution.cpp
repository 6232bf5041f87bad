#include "discovery/scanner_attribution.h"

#include "discovery/measure_at.h"
#include "platform/path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

namespace velmora {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kLibrarySuffix = ".fcpbundle";

} // namespace

bool hasLibraryName(std::string_view name) {
    return name.ends_with(kLibrarySuffix);
}

namespace {

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

} // namespace

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
        if (name == "Render Files"sv) {
            next.position = LibraryPosition::Category;
            next.category = CacheCategory::render;
        } else if (name == "Analysis Files"sv) {
            next.position = LibraryPosition::Category;
            next.category = CacheCategory::analysis;
        } else if (name == "Transcoded Media"sv) {
            next.position = LibraryPosition::TranscodedMedia;
        } else {
            next.position = LibraryPosition::Elsewhere;
        }
        break;
    case LibraryPosition::TranscodedMedia:
        if (name == "Proxy Media"sv) {
            next.position = LibraryPosition::Category;
            next.category = CacheCategory::proxy;
        } else if (name == "High Quality Media"sv) {
            next.position = LibraryPosition::Category;
            next.category = CacheCategory::optimized;
        } else {
            next.position = LibraryPosition::Elsewhere;
        }
        break;
    case LibraryPosition::Category:
    case LibraryPosition::Elsewhere:
        break;
    }
    return next;
}

std::span<const LinkedCategoryPath> categoryPathsThroughLink(const EnclosingLibrary& library,
                                                             std::string_view name) {
    // An event folder that is a link: each measured sub-path below it.
    static constexpr LinkedCategoryPath kEvent[] = {
        {"Render Files", CacheCategory::render},
        {"Transcoded Media/Proxy Media", CacheCategory::proxy},
        {"Transcoded Media/High Quality Media", CacheCategory::optimized},
        {"Analysis Files", CacheCategory::analysis}};
    static constexpr LinkedCategoryPath kRender[] = {{"", CacheCategory::render}};
    static constexpr LinkedCategoryPath kAnalysis[] = {{"", CacheCategory::analysis}};
    static constexpr LinkedCategoryPath kTranscoded[] = {{"Proxy Media", CacheCategory::proxy},
                                                         {"High Quality Media", CacheCategory::optimized}};
    static constexpr LinkedCategoryPath kProxy[] = {{"", CacheCategory::proxy}};
    static constexpr LinkedCategoryPath kOptimized[] = {{"", CacheCategory::optimized}};
    switch (library.position) {
    case LibraryPosition::Root:
        // A link named like a library is never entered, not even as an event folder.
        if (hasLibraryName(name)) return {};
        return kEvent;
    case LibraryPosition::EventFolder:
        if (name == "Render Files"sv) return kRender;
        if (name == "Analysis Files"sv) return kAnalysis;
        if (name == "Transcoded Media"sv) return kTranscoded;
        return {};
    case LibraryPosition::TranscodedMedia:
        if (name == "Proxy Media"sv) return kProxy;
        if (name == "High Quality Media"sv) return kOptimized;
        return {};
    case LibraryPosition::Category:
    case LibraryPosition::Elsewhere:
        return {};
    }
    return {};
}

void BundleAttribution::addRecord(const WalkEntry& entry) {
    FCPBundle bundle;
    bundle.id = Uuid::random();
    bundle.path = joinPath(location_, entry.relativePath);
    bundle.displayName = lastPathComponent(bundle.path);
    bundle.relativePath = entry.relativePath;
    recordIdentity(entry.parentFd, entry.name.data(), bundle);
    bundles_.push_back(std::move(bundle));
}

void recordIdentity(int parentFd, const char* name, FCPBundle& bundle) {
    struct stat st {};
    if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    bundle.device = st.st_dev;
    bundle.inode = st.st_ino;
}

DirectoryContext BundleAttribution::addRootLibrary() {
    FCPBundle bundle;
    bundle.id = Uuid::random();
    bundle.path = location_;
    bundle.displayName = lastPathComponent(bundle.path);
    bundles_.push_back(std::move(bundle));
    return {{static_cast<std::uint32_t>(bundles_.size() - 1), LibraryPosition::Root, CacheCategory::render,
             CleaningScope::Kept}};
}

void BundleAttribution::addToCategory(std::uint32_t record, CacheCategory category, std::int64_t bytes) {
    bundles_[record].sizeOf(category) += bytes;
}

void BundleAttribution::measureThroughLink(const EnclosingLibrary& library, const WalkEntry& entry) {
    for (const LinkedCategoryPath& linked : categoryPathsThroughLink(library, entry.name)) {
        scratch_.assign(entry.name);
        if (!linked.rest.empty()) scratch_.append("/").append(linked.rest);
        addToCategory(library.record, linked.category, directorySizeAt(entry.parentFd, scratch_.c_str()));
    }
}

void BundleAttribution::visit(const WalkEntry& entry, const DirectoryContext& parent,
                              DirectoryContext& child) {
    switch (entry.type) {
    case EntryType::Regular: {
        // Only files inside a library need their size.
        if (!parent.empty()) {
            struct stat st {};
            if (::fstatat(entry.parentFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(st.st_mode)) {
                const FileTime modified{std::chrono::seconds(st.st_mtim.tv_sec) +
                                        std::chrono::nanoseconds(st.st_mtim.tv_nsec)};
                for (const EnclosingLibrary& library : parent) {
                    FCPBundle& bundle = bundles_[library.record];
                    bundle.size += st.st_size;
                    if (library.position == LibraryPosition::Category)
                        addToCategory(library.record, library.category, st.st_size);
                    if ((!bundle.lastModified || *bundle.lastModified < modified) &&
                        cleaningScopeOf(library.scope, entry.name) != CleaningScope::Removed)
                        bundle.lastModified = modified;
                }
            }
        }
        if (hasLibraryName(entry.name)) addRecord(entry);
        break;
    }
    case EntryType::Directory:
        child.clear();
        for (const EnclosingLibrary& library : parent)
            child.push_back(descendInto(library, entry.name));
        if (hasLibraryName(entry.name)) {
            child.push_back({static_cast<std::uint32_t>(bundles_.size()), LibraryPosition::Root,
                             CacheCategory::render, CleaningScope::Kept});
            addRecord(entry);
        }
        break;
    case EntryType::Symlink:
        for (const EnclosingLibrary& library : parent)
            measureThroughLink(library, entry);
        // A link named like a library is listed, never followed: all its sizes stay 0.
        if (hasLibraryName(entry.name)) addRecord(entry);
        break;
    case EntryType::Other:
        if (hasLibraryName(entry.name)) addRecord(entry);
        break;
    }
}

} // namespace velmora

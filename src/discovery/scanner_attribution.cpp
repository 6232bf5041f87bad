#include "discovery/scanner_attribution.h"

#include "discovery/measure_at.h"
#include "platform/path.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace velmora {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kLibrarySuffix = ".fcpbundle";

} // namespace

bool hasLibraryName(std::string_view name) {
    return name.ends_with(kLibrarySuffix);
}

EnclosingLibrary descendInto(const EnclosingLibrary& library, std::string_view name) {
    EnclosingLibrary next = library;
    switch (library.position) {
    case LibraryPosition::Root:
        next.position = LibraryPosition::EventFolder;
        break;
    case LibraryPosition::EventFolder:
        if (name == "Render Files"sv) {
            next.position = LibraryPosition::Category;
            next.category = Category::Render;
        } else if (name == "Analysis Files"sv) {
            next.position = LibraryPosition::Category;
            next.category = Category::Analysis;
        } else if (name == "Transcoded Media"sv) {
            next.position = LibraryPosition::TranscodedMedia;
        } else {
            next.position = LibraryPosition::Elsewhere;
        }
        break;
    case LibraryPosition::TranscodedMedia:
        if (name == "Proxy Media"sv) {
            next.position = LibraryPosition::Category;
            next.category = Category::Proxy;
        } else if (name == "High Quality Media"sv) {
            next.position = LibraryPosition::Category;
            next.category = Category::Optimized;
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
        {"Render Files", Category::Render},
        {"Transcoded Media/Proxy Media", Category::Proxy},
        {"Transcoded Media/High Quality Media", Category::Optimized},
        {"Analysis Files", Category::Analysis}};
    static constexpr LinkedCategoryPath kRender[] = {{"", Category::Render}};
    static constexpr LinkedCategoryPath kAnalysis[] = {{"", Category::Analysis}};
    static constexpr LinkedCategoryPath kTranscoded[] = {{"Proxy Media", Category::Proxy},
                                                         {"High Quality Media", Category::Optimized}};
    static constexpr LinkedCategoryPath kProxy[] = {{"", Category::Proxy}};
    static constexpr LinkedCategoryPath kOptimized[] = {{"", Category::Optimized}};
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

void BundleAttribution::addRecord(std::string_view relativePath) {
    FCPBundle bundle;
    bundle.id = Uuid::random();
    bundle.path = joinPath(location_, relativePath);
    bundle.displayName = lastPathComponent(bundle.path);
    bundles_.push_back(std::move(bundle));
}

void BundleAttribution::addToCategory(std::uint32_t record, Category category, std::int64_t bytes) {
    FCPBundle& bundle = bundles_[record];
    switch (category) {
    case Category::Render:
        bundle.cacheSize += bytes;
        break;
    case Category::Proxy:
        bundle.proxySize += bytes;
        break;
    case Category::Optimized:
        bundle.optimizedSize += bytes;
        break;
    case Category::Analysis:
        bundle.analysisSize += bytes;
        break;
    }
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
                for (const EnclosingLibrary& library : parent) {
                    bundles_[library.record].size += st.st_size;
                    if (library.position == LibraryPosition::Category)
                        addToCategory(library.record, library.category, st.st_size);
                }
            }
        }
        if (hasLibraryName(entry.name)) addRecord(entry.relativePath);
        break;
    }
    case EntryType::Directory:
        child.clear();
        for (const EnclosingLibrary& library : parent)
            child.push_back(descendInto(library, entry.name));
        if (hasLibraryName(entry.name)) {
            child.push_back(
                {static_cast<std::uint32_t>(bundles_.size()), LibraryPosition::Root, Category::Render});
            addRecord(entry.relativePath);
        }
        break;
    case EntryType::Symlink:
        for (const EnclosingLibrary& library : parent)
            measureThroughLink(library, entry);
        // A link named like a library is listed, never followed: all its sizes stay 0.
        if (hasLibraryName(entry.name)) addRecord(entry.relativePath);
        break;
    case EntryType::Other:
        if (hasLibraryName(entry.name)) addRecord(entry.relativePath);
        break;
    }
}

} // namespace velmora

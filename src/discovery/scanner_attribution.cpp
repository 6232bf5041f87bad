#include "discovery/scanner_attribution.h"

#include "discovery/measure_at.h"
#include "platform/path.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace velmora {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kLibrarySuffix = ".fcpbundle";

// The measured sub-paths below each event folder, in category order.
constexpr std::string_view kSubPaths[] = {"Render Files", "Transcoded Media/Proxy Media",
                                          "Transcoded Media/High Quality Media", "Analysis Files"};

EnclosingLibrary descend(const EnclosingLibrary& library, std::string_view name) {
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

} // namespace

bool hasLibraryName(std::string_view name) {
    return name.ends_with(kLibrarySuffix);
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
    auto measure = [&](std::string_view rest, Category category) {
        scratch_.assign(entry.name);
        if (!rest.empty()) scratch_.append("/").append(rest);
        addToCategory(library.record, category, directorySizeAt(entry.parentFd, scratch_.c_str()));
    };
    switch (library.position) {
    case LibraryPosition::Root:
        // An event folder that is a link: each sub-path below it is measured through it,
        // unless the link is named like a library, which is never entered.
        if (hasLibraryName(entry.name)) return;
        for (int c = 0; c < 4; ++c)
            measure(kSubPaths[c], static_cast<Category>(c));
        break;
    case LibraryPosition::EventFolder:
        if (entry.name == "Render Files"sv) {
            measure({}, Category::Render);
        } else if (entry.name == "Analysis Files"sv) {
            measure({}, Category::Analysis);
        } else if (entry.name == "Transcoded Media"sv) {
            measure("Proxy Media", Category::Proxy);
            measure("High Quality Media", Category::Optimized);
        }
        break;
    case LibraryPosition::TranscodedMedia:
        if (entry.name == "Proxy Media"sv)
            measure({}, Category::Proxy);
        else if (entry.name == "High Quality Media"sv)
            measure({}, Category::Optimized);
        break;
    case LibraryPosition::Category:
    case LibraryPosition::Elsewhere:
        break;
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
            child.push_back(descend(library, entry.name));
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

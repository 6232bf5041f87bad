#include "reference_scanner.h"

#include "cleaning/deletion_match.h"
#include "library/cache_category.h"
#include "platform/dir_walker.h"
#include "platform/path.h"
#include "platform/unique_fd.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace velmora::testing {
namespace {

// Total logical size of the regular files below `path`, each a walk of its own; the start
// is resolved like any path, nothing below it is followed.
std::int64_t directorySize(const std::string& path) {
    UniqueFd start(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    return start ? regularFileBytesBelow(start.get()) : 0;
}

// directorySize of `subPath` below every directory directly inside `library` (a link to a
// directory counts as a directory here).
std::int64_t categorySize(const std::string& library, const std::string& subPath) {
    std::int64_t total = 0;
    DIR* dir = ::opendir(library.c_str());
    if (dir == nullptr) return 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string eventPath = appendingPathComponent(library, name);
        struct stat st {};
        if (::stat(eventPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            total += directorySize(appendingPathComponent(eventPath, subPath));
    }
    ::closedir(dir);
    return total;
}

bool endsWithLibrarySuffix(const std::string& text) {
    return text.ends_with(".fcpbundle");
}

// categorySize, less what it reached through links named like a library directly inside it.
std::int64_t categoryWithoutLibraryLinks(const std::string& library, const std::string& subPath) {
    std::int64_t total = categorySize(library, subPath);
    DIR* dir = ::opendir(library.c_str());
    if (dir == nullptr) return total;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (!endsWithLibrarySuffix(name)) continue;
        std::string entryPath = appendingPathComponent(library, name);
        struct stat linkStat {
        }, targetStat{};
        if (::lstat(entryPath.c_str(), &linkStat) == 0 && S_ISLNK(linkStat.st_mode) &&
            ::stat(entryPath.c_str(), &targetStat) == 0 && S_ISDIR(targetStat.st_mode))
            total -= directorySize(appendingPathComponent(entryPath, subPath));
    }
    ::closedir(dir);
    return total;
}

// The newest modification time of the regular files in the library that a cleaning of every
// category leaves: a walk of its own that matches each relative path the way the deletion does.
std::optional<FileTime> newestKeptFile(const std::string& library) {
    std::vector<DeletionMatch> matches;
    for (CacheCategory category : allCacheCategories)
        matches.emplace_back(categoryBit(category));
    std::optional<FileTime> newest;
    walkDirectory(library, [&](const WalkEntry& entry) {
        for (const DeletionMatch& match : matches)
            if (match.matches(entry.relativePath)) return WalkAction::SkipChildren;
        struct stat st {};
        if (entry.type == EntryType::Regular &&
            ::fstatat(entry.parentFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            FileTime modified{std::chrono::seconds(st.st_mtim.tv_sec) +
                              std::chrono::nanoseconds(st.st_mtim.tv_nsec)};
            if (!newest || *newest < modified) newest = modified;
        }
        return WalkAction::Continue;
    });
    return newest;
}

} // namespace

std::vector<FCPBundle> referenceScanBundles(const std::string& location) {
    std::vector<FCPBundle> result;
    UniqueFd root(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root) return result;
    walkDirectoryAt(root.get(), [&](const WalkEntry& entry) {
        std::string relative(entry.relativePath);
        if (!endsWithLibrarySuffix(relative)) return WalkAction::Continue;
        FCPBundle bundle;
        bundle.id = Uuid::random();
        bundle.path = joinPath(location, relative);
        bundle.displayName = lastPathComponent(bundle.path);
        if (entry.type != EntryType::Symlink) {
            bundle.size = directorySize(bundle.path);
            bundle.sizeOf(CacheCategory::render) = categoryWithoutLibraryLinks(bundle.path, "Render Files");
            bundle.sizeOf(CacheCategory::proxy) = categoryWithoutLibraryLinks(bundle.path, "Transcoded Media/Proxy Media");
            bundle.sizeOf(CacheCategory::optimized) =
                categoryWithoutLibraryLinks(bundle.path, "Transcoded Media/High Quality Media");
            bundle.sizeOf(CacheCategory::analysis) = categoryWithoutLibraryLinks(bundle.path, "Analysis Files");
            bundle.lastModified = newestKeptFile(bundle.path);
        }
        result.push_back(std::move(bundle));
        return WalkAction::Continue;
    });
    return result;
}

std::string describeBundles(const std::vector<FCPBundle>& bundles) {
    std::string out;
    for (const FCPBundle& b : bundles) {
        out += b.path + " | " + b.displayName + " | " + std::to_string(b.size) + " " +
               std::to_string(b.cacheSize()) + " " + std::to_string(b.proxySize()) + " " +
               std::to_string(b.optimizedSize()) + " " + std::to_string(b.analysisSize()) + " | " +
               (b.lastModified ? std::to_string(b.lastModified->time_since_epoch().count()) : "-") + "\n";
    }
    return out;
}

} // namespace velmora::testing

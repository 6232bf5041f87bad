#include "reference_scanner.h"

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

// The bytes of `subPath` inside every event (a real folder directly inside `library`), through
// real folders only: the regular files below the entry, or the entry itself if a file.
std::int64_t categorySize(const std::string& library, std::string_view subPath) {
    std::int64_t total = 0;
    DIR* dir = ::opendir(library.c_str());
    if (dir == nullptr) return 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::string path = appendingPathComponent(library, name);
        struct stat st {};
        bool folders = ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        for (std::string_view rest = subPath; folders && !rest.empty();) {
            const std::size_t slash = rest.find('/');
            path = appendingPathComponent(path, std::string(rest.substr(0, slash)));
            rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
            folders = ::lstat(path.c_str(), &st) == 0 && (rest.empty() || S_ISDIR(st.st_mode));
        }
        if (!folders) continue;
        if (S_ISREG(st.st_mode)) total += st.st_size;
        if (S_ISDIR(st.st_mode)) total += directorySize(path);
    }
    ::closedir(dir);
    return total;
}

// Whether the path inside a library is a category's entry: one folder, then a sub-path.
bool isCategoryEntry(std::string_view relativePath) {
    const std::size_t slash = relativePath.find('/');
    if (slash == std::string_view::npos) return false;
    for (CacheCategory category : allCacheCategories)
        if (relativePath.substr(slash + 1) == categoryInfo(category).subPath) return true;
    return false;
}

// The newest modification time of the files a cleaning of every category leaves, a walk of its own.
std::optional<FileTime> newestKeptFile(const std::string& library) {
    std::optional<FileTime> newest;
    walkDirectory(library, [&](const WalkEntry& entry) {
        if (isCategoryEntry(entry.relativePath)) return WalkAction::SkipChildren;
        struct stat st {};
        if (entry.type == EntryType::Regular &&
            ::fstatat(entry.parentFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            const FileTime modified{std::chrono::sys_seconds(std::chrono::seconds(st.st_mtim.tv_sec)),
                                    static_cast<std::int32_t>(st.st_mtim.tv_nsec)};
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
        if (!relative.ends_with(".fcpbundle")) return WalkAction::Continue;
        FCPBundle bundle;
        bundle.id = Uuid::random();
        bundle.path = joinPath(location, relative);
        bundle.displayName = lastPathComponent(bundle.path);
        if (entry.type != EntryType::Symlink) {
            bundle.size = directorySize(bundle.path);
            for (CacheCategory category : allCacheCategories)
                bundle.sizeOf(category) = categorySize(bundle.path, categoryInfo(category).subPath);
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
               (b.lastModified ? std::to_string(b.lastModified->seconds.time_since_epoch().count()) + "." +
                                     std::to_string(b.lastModified->nanoseconds)
                               : "-") +
               "\n";
    }
    return out;
}

} // namespace velmora::testing

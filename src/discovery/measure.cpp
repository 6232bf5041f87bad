#include "discovery/measure.h"

#include "discovery/measure_at.h"
#include "platform/dir_walker.h"
#include "platform/unique_fd.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace velmora {
namespace {

// The start is resolved like a path (a link there is followed); the walk below it never is.
constexpr int kStartFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;

std::int64_t sizeBelow(int dirFd) {
    std::int64_t total = 0;
    walkDirectoryAt(dirFd, [&total](const WalkEntry& entry) {
        if (entry.type == EntryType::Regular) {
            // The name is a view into the walker's buffer, terminated by the kernel's NUL.
            struct stat st {};
            if (::fstatat(entry.parentFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(st.st_mode))
                total += st.st_size;
        }
        return WalkAction::Continue;
    });
    return total;
}

} // namespace

std::int64_t directorySizeAt(int dirFd, const char* relative) {
    UniqueFd fd(::openat(dirFd, relative, kStartFlags));
    return fd ? sizeBelow(fd.get()) : 0;
}

std::int64_t directorySize(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), kStartFlags));
    return fd ? sizeBelow(fd.get()) : 0;
}

std::int64_t categorySize(const std::string& libraryPath, const std::string& subPath) {
    UniqueFd libraryFd(::open(libraryPath.c_str(), kStartFlags));
    if (!libraryFd) return 0;
    // A second descriptor for the listing, so the one used for lookups stays independent.
    int listFd = ::openat(libraryFd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return 0;
    DIR* dir = ::fdopendir(listFd);
    if (dir == nullptr) {
        ::close(listFd);
        return 0;
    }
    std::int64_t total = 0;
    std::string relative;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        struct stat st {};
        // A link to a directory counts as a directory here.
        if (::fstatat(libraryFd.get(), name, &st, 0) != 0 || !S_ISDIR(st.st_mode)) continue;
        relative.assign(name);
        relative.push_back('/');
        relative.append(subPath);
        total += directorySizeAt(libraryFd.get(), relative.c_str());
    }
    ::closedir(dir);
    return total;
}

} // namespace velmora

#include "discovery/measure.h"

#include "platform/dir_walker.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
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

} // namespace velmora

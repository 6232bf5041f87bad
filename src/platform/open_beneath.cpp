#include "platform/open_beneath.h"

#include "platform/file_identity.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace velmora {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// The kernel's own check, all in one call. ENOSYS (or E2BIG, EINVAL from a kernel that does
// not know a flag) means it is not there, and ENAMETOOLONG that the path is longer than the
// kernel takes in one piece (PATH_MAX): the caller falls back.
int openWithKernel(int rootFd, const std::string& path, bool crossMounts) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(kDirFlags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    if (!crossMounts) how.resolve |= RESOLVE_NO_XDEV;
    for (int attempt = 0;; ++attempt) {
        long fd = ::syscall(SYS_openat2, rootFd, path.c_str(), &how, sizeof how);
        // EAGAIN: a rename elsewhere raced a ".." step; the kernel asks for another try.
        if (fd < 0 && errno == EAGAIN && attempt < 16) continue;
        return static_cast<int>(fd);
    }
}

// The same rules, one component at a time. ".." is resolved by name: as no link is ever
// followed, the components before it are real directories, and dropping the last of them
// names the directory that ".." leads to.
UniqueFd openByComponents(int rootFd, std::string_view path, bool crossMounts) {
    std::vector<std::string_view> components;
    for (std::size_t pos = 0; pos <= path.size();) {
        std::size_t end = path.find('/', pos);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (components.empty()) {
                errno = EXDEV;
                return UniqueFd();
            }
            components.pop_back();
            continue;
        }
        components.push_back(part);
    }
    auto rootId = identifyFd(rootFd);
    if (!rootId) return UniqueFd();
    UniqueFd current(::openat(rootFd, ".", kDirFlags));
    for (std::string_view part : components) {
        if (!current) return current;
        const std::string name(part);
        UniqueFd next(::openat(current.get(), name.c_str(), kDirFlags));
        if (!next) return next;
        if (!crossMounts) {
            auto id = identifyFd(next.get());
            if (!id) return UniqueFd();
            if (onOtherMount(*rootId, *id)) {
                errno = EXDEV;
                return UniqueFd();
            }
        }
        current = std::move(next);
    }
    return current;
}

} // namespace

UniqueFd openDirectoryBeneath(int rootFd, std::string_view relativePath, bool crossMounts,
                              BeneathResolver resolver) {
    if (!relativePath.empty() && relativePath.front() == '/') {
        errno = EXDEV; // an absolute path starts outside
        return UniqueFd();
    }
    if (resolver == BeneathResolver::Automatic) {
        std::string path = relativePath.empty() ? std::string(".") : std::string(relativePath);
        int fd = openWithKernel(rootFd, path, crossMounts);
        if (fd >= 0) return UniqueFd(fd);
        if (errno != ENOSYS && errno != E2BIG && errno != EINVAL && errno != ENAMETOOLONG) return UniqueFd();
    }
    return openByComponents(rootFd, relativePath, crossMounts);
}

} // namespace velmora

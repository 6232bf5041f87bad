#include "platform/descriptor_budget.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <sys/resource.h>

namespace velmora {

namespace {

// Large enough for any tree; a limit above it (or none) changes nothing in the caps.
constexpr std::size_t kPlenty = 1u << 20;

std::size_t descriptorsOpen() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) return 0;
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    ::closedir(dir);
    return count > 0 ? count - 1 : 0; // the listing's own descriptor
}

} // namespace

void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    (void)::setrlimit(RLIMIT_NOFILE, &limit); // the old limit stays in force, and the caps follow it
}

void reserveDescriptors(int fd, std::size_t count) {
    // A table of this many holds any scan's descriptors, and takes 128 KiB of pointers.
    constexpr std::size_t kLargestReserved = 16384;
    if (fd < 0) return;
    const std::size_t wanted = std::min(static_cast<std::size_t>(fd) + 1 + count, kLargestReserved);
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const std::size_t table = limit.rlim_cur == RLIM_INFINITY ? wanted : std::min<std::size_t>(wanted, limit.rlim_cur);
    if (table == 0) return;
    // The table grows to hold the highest descriptor, and never shrinks.
    const int highest = ::fcntl(fd, F_DUPFD_CLOEXEC, static_cast<int>(table - 1));
    if (highest >= 0) ::close(highest);
}

std::size_t descriptorsAvailable() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > kPlenty)
        return kPlenty;
    const std::size_t open = descriptorsOpen();
    const auto soft = static_cast<std::size_t>(limit.rlim_cur);
    return soft > open ? soft - open : 0;
}

} // namespace velmora

#include "platform/descriptor_budget.h"

#include <dirent.h>
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

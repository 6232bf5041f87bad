#include "discovery/scan_directory_node.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace velmora {

std::vector<std::uint64_t> orderOf(const DirNode* node) {
    std::vector<std::uint64_t> order;
    for (; node->parent != nullptr; node = node->parent)
        order.push_back(node->index);
    std::reverse(order.begin(), order.end());
    return order;
}

std::string relativePathOf(const DirNode* node) {
    std::vector<const DirNode*> chain;
    for (; node->parent != nullptr; node = node->parent)
        chain.push_back(node);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) path.push_back('/');
        path.append((*it)->name);
    }
    return path;
}

void releaseNode(DirNode* node) {
    // A loop, not recursion: chains of nodes can be many thousands deep.
    while (node != nullptr && node->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        DirNode* parent = node->parent;
        delete node;
        node = parent;
    }
}

void releaseFd(DirNode* node, std::atomic<std::size_t>& openDirectories) {
    if (node->fdUsers.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        ::close(node->fd);
        node->fd = -1;
        openDirectories.fetch_sub(1, std::memory_order_relaxed);
    }
}

std::size_t defaultOpenDirectoryCap() {
    rlimit limit{};
    std::size_t available = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        available = static_cast<std::size_t>(limit.rlim_cur);
    // Leave most descriptors to the rest of the process and to scans running beside this one.
    return std::clamp<std::size_t>(available / 8, 16, 1024);
}

int openScanDirectory(int parentFd, const char* name) {
    constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    for (int attempt = 0;; ++attempt) {
        int fd = ::openat(parentFd, name, kDirFlags);
        if (fd >= 0 || (errno != EMFILE && errno != ENFILE) || attempt == 200) return fd;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace velmora

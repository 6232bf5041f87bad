#include "discovery/scan_directory_node.h"

#include "platform/descriptor_budget.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
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

namespace {

// Descriptors each fallback walk of a subtree may hold, when the limit leaves room.
constexpr std::size_t kInlineWalkDescriptors = 16;
// Descriptors a worker may hold besides its fallback walk: the directory it reads, the one
// it opens below it, and one to spare.
constexpr std::size_t kWorkerDescriptors = 3;
// Descriptors left to the rest of the process and to scans running beside this one.
constexpr std::size_t kReserved = 4;

} // namespace

ScanDescriptorCaps scanDescriptorCaps(unsigned threads, std::size_t requestedQueueCap, std::size_t descriptors) {
    const std::size_t left = descriptorsAvailable();
    const std::size_t available = descriptors != 0 ? std::min(descriptors, left) : left;
    const std::size_t budget = available > kReserved ? available - kReserved : 1;
    // Every worker needs its own few and a fallback walk of at least two; the queue one more.
    const std::size_t perWorkerMinimum = kWorkerDescriptors + 2;
    threads = static_cast<unsigned>(std::clamp<std::size_t>(budget / (2 * perWorkerMinimum), 1, threads));
    // Half of what is left after the workers' own for the queue, half for the fallback walks.
    const std::size_t forWorkers = threads * kWorkerDescriptors;
    const std::size_t spare = budget > forWorkers ? budget - forWorkers : 0;
    ScanDescriptorCaps caps{threads, 0, 0};
    caps.inlineWalk = std::clamp<std::size_t>(spare / 2 / threads, 2, kInlineWalkDescriptors);
    const std::size_t queueRoom = spare > caps.inlineWalk * threads ? spare - caps.inlineWalk * threads : 0;
    caps.queue = requestedQueueCap != 0 ? requestedQueueCap : std::clamp<std::size_t>(queueRoom, 2, 1024);
    caps.most = caps.queue + threads * (kWorkerDescriptors + caps.inlineWalk);
    return caps;
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

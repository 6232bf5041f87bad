#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// One directory the parallel scan has met, kept while anything below it still needs it: its
// descriptor for opening the subdirectories queued from it, and its name and position for
// the path and order of libraries found below it.
struct DirNode {
    DirNode* parent = nullptr; // nullptr for the location itself
    std::string name;          // name inside the parent
    std::uint64_t index = 0;   // position among the parent's entries, in listing order
    // Owners: the task that reads it, and each child node.
    std::atomic<std::uint32_t> refs{1};
    int fd = -1;
    // Holders of `fd`: the task reading the directory and each queued child not yet opened.
    std::atomic<std::uint32_t> fdUsers{0};
};

// The positions of `node` and its ancestors among their siblings, from the location down:
// sorting by it gives pre-order.
[[nodiscard]] std::vector<std::uint64_t> orderOf(const DirNode* node);

// The path of `node` relative to the location ("" for the location itself).
[[nodiscard]] std::string relativePathOf(const DirNode* node);

// Drops one owner of `node`; the last one deletes it, and so on up the chain.
void releaseNode(DirNode* node);

// Drops one holder of `node`'s descriptor; the last one closes it and takes it off
// `openDirectories`, the count the scan holds against its cap.
void releaseFd(DirNode* node, std::atomic<std::size_t>& openDirectories);

// How many descriptors each part of a scan may hold, sized from the limit in force, so that
// all of them at once stay below it: a low limit makes the scan narrower, never incomplete.
struct ScanDescriptorCaps {
    unsigned threads;
    std::size_t queue;      // directories held open by the queues
    std::size_t inlineWalk; // each fallback walk of a subtree
    std::size_t most = 0;   // all of them at once
};

// The caps for a scan of (at most) `threads` workers; `requestedQueueCap` 0: from the limit;
// `descriptors` 0: what the process has left.
[[nodiscard]] ScanDescriptorCaps scanDescriptorCaps(unsigned threads, std::size_t requestedQueueCap,
                                                    std::size_t descriptors = 0);

// openat for a directory, links not followed. When the process is out of descriptors (other
// work in it holds them), waits briefly for some to be closed rather than passing the
// directory over. -1 with errno set on failure.
[[nodiscard]] int openScanDirectory(int parentFd, const char* name);

} // namespace velmora

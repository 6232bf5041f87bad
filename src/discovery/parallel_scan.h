#pragma once

#include "discovery/scanner.h"
#include "library/cache_category.h"
#include "library/fcp_bundle.h"

#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

struct ParallelScanLimits {
    // Directory descriptors the scan's own queue may hold open at once. When reached, a
    // worker walks the next subdirectory itself with the capped sequential walker instead
    // of queueing it, so no tree shape can exhaust the process's descriptors.
    // 0: derived from the process's descriptor limit.
    std::size_t maxOpenDirectories = 0;
    // Directories waiting in the queues at once. Beyond it, subdirectories are walked in
    // place as above, so memory stays bounded by depth, not by how wide a directory is.
    // 0: the default.
    std::size_t maxQueuedDirectories = 0;
};

// What a parallel scan enters and whom it tells about folders it cannot read.
struct ParallelScanRules {
    bool crossFileSystems = false;
    UnreadableFolderSink onUnreadable;
    CategoryMask listCleanable = 0; // see ScanOptions::listCleanable
};

// The scan of scanBundles done by `threads` (>= 1) workers that take directories from each
// other's queues. Returns the same records in the same order as the sequential scan:
// libraries in pre-order, siblings in the order the file system lists them. Once `cancel` is
// requested, no directory is read further and the incomplete result comes back at once.
[[nodiscard]] std::vector<FCPBundle> parallelScanBundles(const std::string& location, unsigned threads,
                                                         ScanProgress* progress,
                                                         const ParallelScanLimits& limits = {},
                                                         const ParallelScanRules& rules = {},
                                                         const CancellationToken* cancel = nullptr);

} // namespace velmora

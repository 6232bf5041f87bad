#pragma once

#include "discovery/scanner.h"
#include "discovery/worker_growth.h"
#include "library/cache_category.h"
#include "library/fcp_bundle.h"
#include "platform/processor_time.h"
#include "platform/unique_fd.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
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
    // Descriptors the whole scan may hold (0: what the process has left).
    std::size_t descriptors = 0;
};

// What a parallel scan enters and whom it tells about folders it cannot read.
struct ParallelScanRules {
    bool crossFileSystems = false;
    UnreadableFolderSink onUnreadable;
    CategoryMask listCleanable = 0; // see ScanOptions::listCleanable
    CategoryMask skipInside = 0;    // see ScanOptions::skipInside
    std::function<void(const FCPBundle&)> onLibraryFound; // see ScanOptions::onLibraryFound
    // The location is itself a library: its record comes first, and libraries nested in it
    // follow. It is never reached through a link.
    bool locationIsLibrary = false;
};

// How many workers a parallel scan runs.
struct ParallelScanWorkers {
    unsigned threads = 1; // from the start, >= 1
    // Where larger than `threads`: more workers, up to this many, while more of them make the
    // storage answer more (see WorkerGrowth). For storage that answers every request after a
    // round trip, where more requests in flight mean a faster scan until the machine is busy.
    unsigned growUpTo = 0;
    // Where the machine's processor times come from, and how often the workers look.
    std::function<std::optional<ProcessorTimes>()> readTimes = readProcessorTimes;
    std::chrono::microseconds interval = kWorkerGrowthInterval;
};

// The scan engine: `workers` take directories from each other's queues (one worker walks
// alone). Returns the records in pre-order, siblings in the order the file system lists
// them, whatever the number of workers. Once `cancel` is requested, no directory
// is read further and the incomplete result comes back at once.
[[nodiscard]] std::vector<FCPBundle>
parallelScanBundles(const std::string& location, const ParallelScanWorkers& workers, ScanProgress* progress,
                    const ParallelScanLimits& limits = {}, const ParallelScanRules& rules = {},
                    const CancellationToken* cancel = nullptr);

// The same for a location already open at `rootFd`, named `location` in the records and in
// what is told: a folder reached beneath another, whose path may be too long to open again
// or may lead elsewhere by now.
[[nodiscard]] std::vector<FCPBundle>
parallelScanBundlesAt(UniqueFd rootFd, const std::string& location, const ParallelScanWorkers& workers,
                      ScanProgress* progress, const ParallelScanLimits& limits = {},
                      const ParallelScanRules& rules = {}, const CancellationToken* cancel = nullptr);

} // namespace velmora

#include "discovery/scanner.h"

#include "discovery/parallel_scan.h"
#include "discovery/walk_concurrency.h"

namespace velmora {

std::vector<FCPBundle> scanBundles(const std::string& location, const ScanOptions& options) {
    ParallelScanWorkers workers{options.threads, options.threads};
    if (options.threads == 0) {
        const ScanThreads threads = defaultScanThreads(location);
        workers.threads = threads.start;
        workers.growUpTo = threads.maximum;
    }
    return parallelScanBundles(location, workers, options.progress, {},
                               {options.crossFileSystems, options.onUnreadable, options.listCleanable},
                               options.cancel);
}

std::optional<FCPBundle> measureBundle(const std::string& libraryPath) {
    ParallelScanRules rules;
    rules.locationIsLibrary = true;
    std::vector<FCPBundle> bundles = parallelScanBundles(libraryPath, {1}, nullptr, {}, rules);
    if (bundles.empty()) return std::nullopt;
    return std::move(bundles.front());
}

} // namespace velmora

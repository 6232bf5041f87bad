#include "discovery/scanner.h"

#include "discovery/parallel_scan.h"
#include "discovery/walk_concurrency.h"
#include "platform/path.h"

#include <fcntl.h>

namespace velmora {

std::vector<FCPBundle> scanBundles(const std::string& location, const ScanOptions& options) {
    ParallelScanWorkers workers{options.threads, options.threads};
    if (options.threads == 0) {
        const ScanThreads threads = defaultScanThreads(location);
        workers.threads = threads.start;
        workers.growUpTo = threads.maximum;
    }
    ParallelScanLimits limits;
    limits.descriptors = options.descriptors;
    const ParallelScanRules rules{options.crossFileSystems, options.onUnreadable, options.listCleanable,
                                  options.skipInside, options.onLibraryFound};
    return parallelScanBundles(location, workers, options.progress, limits, rules, options.cancel);
}

std::optional<FCPBundle> measureBundle(int libraryFd, const std::string& libraryPath,
                                       const UnreadableFolderSink& onUnreadable) {
    UniqueFd own(::fcntl(libraryFd, F_DUPFD_CLOEXEC, 0));
    if (!own) {
        if (onUnreadable) onUnreadable(libraryPath, errno);
        return std::nullopt;
    }
    // The scan names the folder it starts from so; one worker tells it on this thread.
    const std::string root = joinPath(libraryPath, "");
    bool libraryUnreadable = false;
    ParallelScanRules rules;
    rules.locationIsLibrary = true;
    rules.onUnreadable = [&](const std::string& path, int error) {
        libraryUnreadable = libraryUnreadable || path == root;
        if (onUnreadable) onUnreadable(path == root ? libraryPath : path, error);
    };
    std::vector<FCPBundle> bundles =
        parallelScanBundlesAt(std::move(own), libraryPath, {1}, nullptr, {}, rules);
    if (bundles.empty() || libraryUnreadable) return std::nullopt;
    return std::move(bundles.front());
}

} // namespace velmora

#include "discovery/scanner.h"

#include "discovery/parallel_scan.h"
#include "discovery/scanner_attribution.h"
#include "discovery/walk_concurrency.h"
#include "platform/descriptor_budget.h"
#include "platform/dir_walker.h"
#include "platform/path.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <fcntl.h>

namespace velmora {
namespace {

// Progress counters are shared with a reader thread: publish in batches, not per entry, small
// enough that the count moves several times a second on a slow share too.
constexpr std::uint64_t kProgressBatch = 256;

// The sequential walk below `rootFd`, each entry handed to `attribution` with its parent's
// context; `rootContext` is the context of the root's own entries. `location` names the root
// in what is told to onUnreadable.
void walkAttributing(const std::string& location, int rootFd, BundleAttribution& attribution,
                     DirectoryContext rootContext, const ScanOptions& options) {
    ScanProgress* progress = options.progress;
    // contexts[d]: the libraries enclosing the directory at depth d of the current path.
    // Pre-order guarantees contexts[d - 1] belongs to the parent of an entry at depth d.
    std::vector<DirectoryContext> contexts{std::move(rootContext)};
    DirectoryContext unusedChild; // only directories have contents
    std::uint64_t unpublished = 0;
    std::uint64_t librariesPublished = 0;

    WalkOptions walk;
    const std::size_t available = descriptorsAvailable();
    walk.maxOpenDescriptors = std::clamp<std::size_t>(available > 8 ? available - 8 : 2, 2, 64);
    walk.stayOnMount = !options.crossFileSystems;
    walk.onOtherMount = [progress](std::string_view) {
        if (progress != nullptr) progress->mountPointsSkipped.fetch_add(1, std::memory_order_relaxed);
    };
    if (options.onUnreadable)
        walk.onError = [&](std::string_view relativePath, int error) {
            options.onUnreadable(joinPath(location, relativePath), error);
        };
    walkDirectoryAt(
        rootFd,
        [&](const WalkEntry& entry) {
            if (cancelled(options.cancel)) return WalkAction::Stop;
            DirectoryContext* child = &unusedChild;
            if (entry.type == EntryType::Directory) {
                if (contexts.size() <= entry.depth) contexts.resize(entry.depth + 1);
                child = &contexts[entry.depth];
            }
            attribution.visit(entry, contexts[entry.depth - 1], *child);
            if (progress != nullptr && ++unpublished == kProgressBatch) {
                progress->entriesRead.fetch_add(unpublished, std::memory_order_relaxed);
                unpublished = 0;
                std::uint64_t found = attribution.bundles().size();
                progress->librariesFound.fetch_add(found - librariesPublished, std::memory_order_relaxed);
                librariesPublished = found;
            }
            return WalkAction::Continue;
        },
        walk);

    if (progress != nullptr) {
        progress->entriesRead.fetch_add(unpublished, std::memory_order_relaxed);
        progress->librariesFound.fetch_add(attribution.bundles().size() - librariesPublished,
                                           std::memory_order_relaxed);
    }
}

} // namespace

std::vector<FCPBundle> scanBundles(const std::string& location, const ScanOptions& options) {
    // The parallel scan also lists cleanable entries; with one worker it walks in the same order.
    if (options.threads != 1 || options.listCleanable != 0) {
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
    // The chosen location itself is resolved like any path (it may be a link the user
    // picked); nothing below it is ever reached through a link.
    UniqueFd rootFd(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (!rootFd) {
        if (options.onUnreadable) options.onUnreadable(location, errno);
        return {};
    }
    BundleAttribution attribution(location);
    walkAttributing(location, rootFd.get(), attribution, {}, options);
    return std::move(attribution.bundles());
}

std::optional<FCPBundle> measureBundle(const std::string& libraryPath) {
    UniqueFd rootFd(
        ::open(libraryPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!rootFd) return std::nullopt;
    BundleAttribution attribution(libraryPath);
    DirectoryContext root = attribution.addRootLibrary();
    walkAttributing(libraryPath, rootFd.get(), attribution, std::move(root), ScanOptions{});
    return std::move(attribution.bundles().front());
}

} // namespace velmora

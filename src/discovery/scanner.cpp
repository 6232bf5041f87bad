#include "discovery/scanner.h"

#include "discovery/parallel_scan.h"
#include "discovery/scanner_attribution.h"
#include "discovery/walk_concurrency.h"
#include "platform/dir_walker.h"
#include "platform/unique_fd.h"

#include <fcntl.h>

namespace velmora {
namespace {

// Progress counters are shared with a reader thread: publish in batches, not per entry, small
// enough that the count moves several times a second on a slow share too.
constexpr std::uint64_t kProgressBatch = 256;

// The sequential walk below `rootFd`, each entry handed to `attribution` with its parent's
// context; `rootContext` is the context of the root's own entries.
void walkAttributing(int rootFd, BundleAttribution& attribution, DirectoryContext rootContext,
                     ScanProgress* progress, const CancellationToken* cancel) {
    // contexts[d]: the libraries enclosing the directory at depth d of the current path.
    // Pre-order guarantees contexts[d - 1] belongs to the parent of an entry at depth d.
    std::vector<DirectoryContext> contexts{std::move(rootContext)};
    DirectoryContext unusedChild; // only directories have contents
    std::uint64_t unpublished = 0;
    std::uint64_t librariesPublished = 0;

    walkDirectoryAt(rootFd, [&](const WalkEntry& entry) {
        if (cancelled(cancel)) return WalkAction::Stop;
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
    });

    if (progress != nullptr) {
        progress->entriesRead.fetch_add(unpublished, std::memory_order_relaxed);
        progress->librariesFound.fetch_add(attribution.bundles().size() - librariesPublished,
                                           std::memory_order_relaxed);
    }
}

} // namespace

std::vector<FCPBundle> scanBundles(const std::string& location, const ScanOptions& options) {
    if (options.threads != 1) {
        unsigned threads = options.threads == 0 ? defaultScanThreads(location) : options.threads;
        return parallelScanBundles(location, threads, options.progress, {}, options.cancel);
    }
    // The chosen location itself is resolved like any path (it may be a link the user
    // picked); nothing below it is ever reached through a link.
    UniqueFd rootFd(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (!rootFd) return {};
    BundleAttribution attribution(location);
    walkAttributing(rootFd.get(), attribution, {}, options.progress, options.cancel);
    return std::move(attribution.bundles());
}

std::optional<FCPBundle> measureBundle(const std::string& libraryPath) {
    UniqueFd rootFd(
        ::open(libraryPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!rootFd) return std::nullopt;
    BundleAttribution attribution(libraryPath);
    DirectoryContext root = attribution.addRootLibrary();
    walkAttributing(rootFd.get(), attribution, std::move(root), nullptr, nullptr);
    return std::move(attribution.bundles().front());
}

} // namespace velmora

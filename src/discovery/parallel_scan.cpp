#include "discovery/parallel_scan.h"

#include "discovery/cleanable_listing.h"
#include "discovery/library_totals.h"
#include "discovery/scan_directory_node.h"
#include "discovery/scanner_attribution.h"
#include "discovery/work_sharing_queues.h"
#include "platform/dir_walker.h"
#include "platform/file_identity.h"
#include "platform/path.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace velmora {
namespace {

// One read of a directory listing: large enough that most directories come in one call.
constexpr std::size_t kListingBuffer = 128 * 1024;
// Progress counters are read by another thread: publish in batches, not per entry. Small
// enough that the count moves several times a second even where each listing is a network
// round trip; the listing loop also publishes after every read of a listing.
constexpr std::uint64_t kProgressBatch = 256;
constexpr unsigned kMaxThreads = 256;
// Directories queued at once by default: plenty to keep every worker busy, a few MiB at most.
constexpr std::size_t kDefaultMaxQueued = 16384;
struct DirTask {
    DirNode* node = nullptr;
    DirectoryContext context; // the libraries enclosing the directory's entries
};

// A library found by the scan, before it becomes a record.
struct FoundLibrary {
    std::vector<std::uint64_t> order; // index path from the location: sorts into pre-order
    FCPBundle record;                 // its way back in (relative path, device, inode)
};

class ParallelScan {
  public:
    // Room for `maxThreads` workers, of which `threads` start; `growth` says how to add more.
    ParallelScan(unsigned threads, unsigned maxThreads, const ParallelScanWorkers& growth,
                 ScanProgress* progress, std::size_t openCap, std::size_t queueCap, std::size_t inlineCap,
                 const ParallelScanRules& rules, const CancellationToken* cancel)
        : queues_(maxThreads), workers_(maxThreads), startThreads_(std::min(threads, maxThreads)),
          growth_(growth), progress_(progress != nullptr ? progress : &ownProgress_), cancel_(cancel),
          openCap_(openCap), queueCap_(static_cast<std::int64_t>(queueCap)), inlineCap_(inlineCap),
          rules_(rules), listing_(rules.listCleanable) {}

    std::vector<FCPBundle> run(const std::string& location, UniqueFd rootFd) {
        location_ = &location;
        if (!rules_.crossFileSystems) {
            auto id = identifyFd(rootFd.get());
            if (!id) {
                unreadable("", errno);
                return {};
            }
            rootId_ = *id;
        }
        auto* root = new DirNode;
        root->fd = rootFd.release();
        root->fdUsers.store(1);
        openDirectories_.store(1);
        queues_.push(0, DirTask{root, {}});

        std::vector<std::thread> helpers;
        helpers.reserve(queues_.capacity());
        // Without the machine's processor times there is nothing to grow by: all at once.
        std::optional<ProcessorTimes> times;
        if (queues_.capacity() > startThreads_) times = growth_.readTimes();
        const unsigned first = times ? startThreads_ : queues_.capacity();
        const bool growing = startWorkers(helpers, first) && first < queues_.capacity();
        std::thread controller;
        if (growing) {
            try {
                controller = std::thread([this, &helpers, times] { growWorkers(helpers, times); });
            } catch (const std::system_error&) {
                // the workers running share the work
            }
        }
        work(0);
        {
            std::lock_guard lock(doneMutex_);
            done_ = true;
        }
        doneChanged_.notify_all();
        if (controller.joinable()) controller.join();
        for (std::thread& t : helpers)
            t.join();
        return collect(location);
    }

  private:
    struct alignas(64) Worker {
        LibraryTotals totals;
        std::unique_ptr<char[]> buffer;
        std::uint64_t unpublished = 0;
    };

    // Starts workers up to `count` in all (worker 0 is the caller's); false when the system
    // gives no more threads, and then the ones running share all the work.
    bool startWorkers(std::vector<std::thread>& helpers, unsigned count) {
        queues_.setWorkers(count);
        for (auto i = static_cast<unsigned>(helpers.size() + 1); i < count; ++i) {
            try {
                helpers.emplace_back([this, i] { work(i); });
            } catch (const std::system_error&) {
                queues_.setWorkers(i);
                return false;
            }
        }
        return true;
    }

    // Every interval, while the scan runs: compares the machine's processor times and the
    // entries read with those of the interval before, and starts the workers WorkerGrowth asks for.
    void growWorkers(std::vector<std::thread>& helpers, std::optional<ProcessorTimes> before) {
        WorkerGrowth growth(queues_.workers(), queues_.capacity());
        std::uint64_t readBefore = progress_->entriesRead.load(std::memory_order_relaxed);
        std::unique_lock lock(doneMutex_);
        while (queues_.workers() < queues_.capacity()) {
            if (doneChanged_.wait_for(lock, growth_.interval, [this] { return done_; })) return;
            if (cancelled(cancel_)) return;
            std::optional<ProcessorTimes> now = growth_.readTimes();
            const std::uint64_t read = progress_->entriesRead.load(std::memory_order_relaxed);
            WorkerGrowthSample sample;
            if (before && now) sample.idleShare = idleShareBetween(*before, *now);
            sample.workWaiting = queues_.queued() > 0;
            sample.entriesRead = read - readBefore;
            before = now;
            readBefore = read;
            const unsigned next = growth.next(sample);
            if (next > queues_.workers() && !startWorkers(helpers, next)) return;
        }
    }

    void work(unsigned self) {
        Worker& worker = workers_[self];
        worker.buffer = std::make_unique<char[]>(kListingBuffer);
        for (;;) {
            std::optional<DirTask> task = queues_.take(self);
            if (!task) {
                if (!queues_.waitForWork()) break;
                continue;
            }
            readDirectory(self, std::move(*task));
            queues_.finish();
        }
        publishEntries(worker, true);
        worker.buffer.reset();
    }

    // --- what the scan does not enter ---

    void unreadable(const std::string& relativePath, int error) {
        if (rules_.onUnreadable) rules_.onUnreadable(joinPath(*location_, relativePath), error);
    }

    // A directory that could not be opened: gone or swapped for a link or file is no error.
    template <typename PathOf> void notOpened(int error, PathOf&& pathOf) {
        if (error != ENOENT && error != ENOTDIR && error != ELOOP) unreadable(pathOf(), error);
    }

    void mountSkipped() {
        if (progress_ != nullptr) progress_->mountPointsSkipped.fetch_add(1, std::memory_order_relaxed);
    }

    // Whether the scan may enter the directory just opened: on the location's own mount, or
    // anywhere when crossing was asked for.
    template <typename PathOf> bool mayEnter(int fd, PathOf&& pathOf) {
        if (rules_.crossFileSystems) return true;
        auto id = identifyFd(fd);
        if (!id) {
            unreadable(pathOf(), errno);
            return false;
        }
        if (!onOtherMount(rootId_, *id)) return true;
        mountSkipped();
        return false;
    }

    // --- results ---

    std::uint32_t addLibrary(std::vector<std::uint64_t> order, std::string relativePath, int parentFd,
                             const char* name) {
        FCPBundle record;
        record.relativePath = std::move(relativePath);
        recordIdentity(parentFd, name, record);
        std::uint32_t id;
        {
            std::lock_guard lock(foundMutex_);
            id = static_cast<std::uint32_t>(found_.size());
            found_.push_back(FoundLibrary{std::move(order), std::move(record)});
        }
        if (progress_ != nullptr) progress_->librariesFound.fetch_add(1, std::memory_order_relaxed);
        return id;
    }

    // Adds the entries counted so far to the shared counter: now, or once a batch is full.
    void publishEntries(Worker& worker, bool now) {
        if (progress_ == nullptr || worker.unpublished == 0) return;
        if (!now && worker.unpublished < kProgressBatch) return;
        progress_->entriesRead.fetch_add(worker.unpublished, std::memory_order_relaxed);
        worker.unpublished = 0;
    }

    // The rules for one entry that is not a directory; returns what a regular file adds to
    // the enclosing libraries. `known` is the file's status when the type had to be looked
    // up already.
    template <typename AddRecord>
    static FileFacts visitNonDirectory(Worker& worker, int parentFd, const char* name, EntryType type,
                                       const DirectoryContext& context, const struct statx* known,
                                       AddRecord&& addRecord) {
        FileFacts facts;
        if (type == EntryType::Regular && !context.empty()) {
            struct statx st {};
            if (known == nullptr && lookUp(parentFd, name, st) && S_ISREG(st.stx_mode)) known = &st;
            if (known != nullptr) facts = factsOfFile(*known, name, context);
        } else if (type == EntryType::Symlink) {
            worker.totals.measureLink(parentFd, name, context);
        }
        // A link named like a library is listed, never followed: its sizes stay 0.
        if (hasLibraryName(name)) addRecord();
        return facts;
    }

    void readDirectory(unsigned self, DirTask task) {
        Worker& worker = workers_[self];
        DirNode* node = task.node;
        if (node->parent != nullptr) {
            int fd = openScanDirectory(node->parent->fd, node->name.c_str());
            releaseFd(node->parent, openDirectories_);
            if (fd < 0 || !mayEnter(fd, [node] { return relativePathOf(node); })) {
                if (fd < 0) notOpened(errno, [node] { return relativePathOf(node); });
                if (fd >= 0) ::close(fd);
                releaseNode(node);
                return;
            }
            node->fd = fd;
            node->fdUsers.store(1, std::memory_order_relaxed);
            openDirectories_.fetch_add(1, std::memory_order_relaxed);
        }
        const int fd = node->fd;
        const DirectoryContext& context = task.context;
        FileFacts files;
        std::uint64_t index = 0;

        // A stopped scan drains its queues without reading: every task still ends here.
        while (!cancelled(cancel_)) {
            ssize_t n = ::getdents64(fd, worker.buffer.get(), kListingBuffer);
            if (n < 0 && errno != ENOENT) unreadable(relativePathOf(node), errno);
            if (n <= 0) break;
            for (ssize_t pos = 0; pos < n;) {
                auto* entry = reinterpret_cast<struct dirent64*>(worker.buffer.get() + pos);
                pos += entry->d_reclen;
                const char* name = entry->d_name;
                if (isDotOrDotDot(name)) continue;
                const std::uint64_t position = index++;
                ++worker.unpublished;

                EntryType type;
                struct statx st {};
                const struct statx* known = nullptr;
                if (std::optional<EntryType> listed = entryTypeFromListing(entry->d_type)) {
                    type = *listed;
                } else {
                    // File systems without d_type: one lookup gives the type, size and time.
                    if (!lookUp(fd, name, st)) continue; // vanished
                    type = entryTypeFromMode(st.stx_mode);
                    if (type == EntryType::Regular) known = &st;
                }

                auto order = [&] {
                    std::vector<std::uint64_t> order = orderOf(node);
                    order.push_back(position);
                    return order;
                };
                auto path = [&] {
                    std::string relative = relativePathOf(node);
                    if (!relative.empty()) relative.push_back('/');
                    return relative.append(name);
                };
                auto addRecord = [&] { return addLibrary(order(), path(), fd, name); };

                if (type != EntryType::Directory) {
                    const FileFacts file =
                        visitNonDirectory(worker, fd, name, type, context, known, addRecord);
                    files.bytes += file.bytes;
                    files.keptModified = std::max(files.keptModified, file.keptModified);
                    listing_.visit(context, nullptr, name, file.bytes, order, path);
                    continue;
                }
                DirectoryContext child = childContext(context, name, listing_.categories());
                listing_.visit(context, &child, name, 0, order, path);
                if (hasLibraryName(name))
                    child.push_back(
                        {addRecord(), LibraryPosition::Root, CacheCategory::render, CleaningScope::Kept});
                if (openDirectories_.load(std::memory_order_relaxed) >= openCap_ ||
                    queues_.queued() >= queueCap_) {
                    walkInline(worker, node, position, fd, name, child);
                } else {
                    auto* childNode = new DirNode;
                    childNode->parent = node;
                    childNode->name = name;
                    childNode->index = position;
                    node->refs.fetch_add(1, std::memory_order_relaxed);
                    node->fdUsers.fetch_add(1, std::memory_order_relaxed);
                    queues_.push(self, DirTask{childNode, std::move(child)});
                }
            }
            publishEntries(worker, true);
        }
        worker.totals.addFiles(context, files);
        releaseFd(node, openDirectories_);
        releaseNode(node);
    }

    // The subtree of directory `name` (entry `position` of `node`) walked here, in order,
    // by the sequential walker with its own small descriptor cap: the way out when the
    // queues already hold, or keep open, as many directories as the scan allows.
    void walkInline(Worker& worker, DirNode* node, std::uint64_t position, int parentFd, const char* name,
                    const DirectoryContext& rootContext) {
        auto subtreePath = [&] {
            std::string path = relativePathOf(node);
            if (!path.empty()) path.push_back('/');
            return path.append(name);
        };
        UniqueFd subtree(openScanDirectory(parentFd, name));
        if (!subtree) {
            notOpened(errno, subtreePath);
            return;
        }
        if (!mayEnter(subtree.get(), subtreePath)) return;
        std::vector<std::uint64_t> baseOrder = orderOf(node);
        baseOrder.push_back(position);
        std::string basePath = relativePathOf(node);
        if (!basePath.empty()) basePath.push_back('/');
        basePath.append(name);

        // contexts[d]: context of the entries at depth d + 1; indices[d]: position of the
        // current entry at depth d + 1 among its siblings.
        std::vector<DirectoryContext> contexts{rootContext};
        std::vector<std::uint64_t> indices;
        WalkOptions options;
        options.maxOpenDescriptors = inlineCap_;
        options.stayOnMount = !rules_.crossFileSystems;
        options.onOtherMount = [this](std::string_view) { mountSkipped(); };
        options.onError = [&](std::string_view relative, int error) {
            unreadable(basePath + "/" + std::string(relative), error);
        };
        walkDirectoryAt(
            subtree.get(),
            [&](const WalkEntry& entry) {
                if (cancelled(cancel_)) return WalkAction::Stop;
                if (indices.size() < entry.depth) {
                    indices.push_back(0);
                } else {
                    indices.resize(entry.depth);
                    ++indices.back();
                }
                ++worker.unpublished;
                publishEntries(worker, false);
                const DirectoryContext& context = contexts[entry.depth - 1];
                auto order = [&] {
                    std::vector<std::uint64_t> order = baseOrder;
                    order.insert(order.end(), indices.begin(), indices.end());
                    return order;
                };
                auto path = [&] { return basePath + "/" + std::string(entry.relativePath); };
                auto addRecord = [&] {
                    return addLibrary(order(), path(), entry.parentFd, entry.name.data());
                };
                if (entry.type != EntryType::Directory) {
                    const FileFacts file = visitNonDirectory(worker, entry.parentFd, entry.name.data(),
                                                             entry.type, context, nullptr, addRecord);
                    worker.totals.addFiles(context, file);
                    listing_.visit(context, nullptr, entry.name, file.bytes, order, path);
                    return WalkAction::Continue;
                }
                DirectoryContext child = childContext(context, entry.name, listing_.categories());
                listing_.visit(context, &child, entry.name, 0, order, path);
                if (hasLibraryName(entry.name))
                    child.push_back(
                        {addRecord(), LibraryPosition::Root, CacheCategory::render, CleaningScope::Kept});
                if (contexts.size() <= entry.depth) contexts.resize(entry.depth + 1);
                contexts[entry.depth] = std::move(child);
                return WalkAction::Continue;
            },
            options);
    }

    std::vector<FCPBundle> collect(const std::string& location) {
        std::vector<Totals> totals(found_.size(), Totals{});
        for (const Worker& worker : workers_)
            for (std::size_t i = 0; i < worker.totals.all().size(); ++i)
                totals[i].add(worker.totals.all()[i]);

        std::vector<std::uint32_t> order(found_.size());
        std::iota(order.begin(), order.end(), 0u);
        std::sort(order.begin(), order.end(),
                  [this](std::uint32_t a, std::uint32_t b) { return found_[a].order < found_[b].order; });

        if (listing_.categories() != 0) {
            std::vector<FCPBundle*> records;
            for (FoundLibrary& library : found_)
                records.push_back(&library.record);
            std::vector<const std::vector<std::int64_t>*> bytesBelow;
            for (const Worker& worker : workers_)
                bytesBelow.push_back(&worker.totals.listedBytes());
            listing_.fill(std::move(records), bytesBelow);
        }

        std::vector<FCPBundle> bundles;
        bundles.reserve(order.size());
        for (std::uint32_t i : order) {
            FCPBundle bundle = std::move(found_[i].record);
            bundle.id = Uuid::random();
            bundle.path = joinPath(location, bundle.relativePath);
            bundle.displayName = lastPathComponent(bundle.path);
            totals[i].fill(bundle);
            bundles.push_back(std::move(bundle));
        }
        return bundles;
    }

    WorkSharingQueues<DirTask> queues_;
    std::vector<Worker> workers_;
    const unsigned startThreads_;
    const ParallelScanWorkers& growth_;
    std::mutex doneMutex_;
    std::condition_variable doneChanged_;
    bool done_ = false;        // worker 0 found no work left: the controller stops
    ScanProgress ownProgress_; // counts for the controller when the caller asked for none
    ScanProgress* progress_;
    const CancellationToken* cancel_;
    const std::size_t openCap_;
    const std::int64_t queueCap_;
    const std::size_t inlineCap_;
    const ParallelScanRules& rules_;
    const std::string* location_ = nullptr;
    FileIdentity rootId_;

    std::atomic<std::size_t> openDirectories_{0};

    std::mutex foundMutex_;
    std::vector<FoundLibrary> found_;
    CleanableListing listing_;
};

} // namespace

std::vector<FCPBundle> parallelScanBundles(const std::string& location, const ParallelScanWorkers& workers,
                                           ScanProgress* progress, const ParallelScanLimits& limits,
                                           const ParallelScanRules& rules, const CancellationToken* cancel) {
    UniqueFd rootFd(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (!rootFd) {
        if (rules.onUnreadable) rules.onUnreadable(location, errno);
        return {};
    }
    // The descriptors are shared out for the most workers the scan may ever run.
    const unsigned threads = std::clamp(workers.threads, 1u, kMaxThreads);
    const ScanDescriptorCaps caps =
        scanDescriptorCaps(std::clamp(workers.growUpTo, threads, kMaxThreads), limits.maxOpenDirectories);
    std::size_t queueCap = limits.maxQueuedDirectories != 0 ? limits.maxQueuedDirectories : kDefaultMaxQueued;
    return ParallelScan(threads, caps.threads, workers, progress, caps.queue, queueCap, caps.inlineWalk,
                        rules, cancel)
        .run(location, std::move(rootFd));
}

} // namespace velmora

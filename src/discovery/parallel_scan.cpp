#include "discovery/scan_engine.h"

#include "platform/descriptor_budget.h"
#include "platform/path.h"

#include <algorithm>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>

namespace velmora {
namespace scan_engine {

ParallelScan::ParallelScan(unsigned threads, unsigned maxThreads, const ParallelScanWorkers& growth,
                           ScanProgress* progress, std::size_t openCap, std::size_t queueCap,
                           std::size_t inlineCap, const ParallelScanRules& rules, const CancellationToken* cancel)
    : queues_(maxThreads), workers_(maxThreads), startThreads_(std::min(threads, maxThreads)), growth_(growth),
      progress_(progress != nullptr ? progress : &ownProgress_), cancel_(cancel), openCap_(openCap),
      queueCap_(static_cast<std::int64_t>(queueCap)), inlineCap_(inlineCap), rules_(rules),
      listing_(rules.listCleanable),
      // Not cleared: only what a listing writes is read. Pages are given only to the buffers of
      // workers that start; one mapping for all spares a growing scan the address space's lock
      // that each mapping of its own would take while the workers run.
      listingBuffers_(std::make_unique_for_overwrite<char[]>(std::size_t{maxThreads} * kListingBufferSize)),
      threads_(maxThreads - 1) {}

std::vector<FCPBundle> ParallelScan::run(const std::string& location, UniqueFd rootFd) {
    location_ = &location;
    if (!rules_.crossFileSystems) {
        auto id = identifyFd(rootFd.get());
        if (!id) {
            unreadable("", errno);
            return {};
        }
        rootId_ = *id;
    }
    DirectoryContext rootContext;
    if (rules_.locationIsLibrary) {
        FCPBundle record;
        struct stat st {};
        if (::fstat(rootFd.get(), &st) == 0) {
            record.device = st.st_dev;
            record.inode = st.st_ino;
        }
        found_.push_back(FoundLibrary{{}, std::move(record)});
        rootContext.push_back(libraryRoot(0));
    }
    auto* root = new DirNode;
    root->fd = rootFd.release();
    root->fdUsers.store(1);
    openDirectories_.store(1);
    queues_.push(0, DirTask{root, std::move(rootContext)});

    if (queues_.capacity() > startThreads_) {
        workerGrowth_.emplace(startThreads_, queues_.capacity());
        lastLook_ = {std::chrono::steady_clock::now(), 0, 0, growth_.readTimes()};
        nextLook_.store((lastLook_.at + growth_.interval).time_since_epoch().count());
    }
    {
        std::lock_guard lock(growthMutex_);
        queues_.setWorkers(1);
        startWorkers(startThreads_);
    }
    work(0);
    {
        std::lock_guard lock(growthMutex_);
        stopGrowing();
    }
    // Every worker was started by one with a lower number.
    threads_.joinAll();
    return collect(location);
}

// Starts workers up to `count` in all (worker 0 is the caller's). Under growthMutex_.
void ParallelScan::startWorkers(unsigned count) {
    const unsigned first = queues_.workers();
    if (count <= first) return;
    queues_.setWorkers(count);
    startWorker(first, count - first, 0);
}

// Starts worker `first + offset` of `n` new ones; before its first directory it starts the
// two after it in a binary tree (offsets 2 × offset + 1 and + 2). On busy processors, the one
// thread that started them all would get its turn only now and then, and a hundred workers
// took it a tenth of a second; each thread just started gets its turn at once. Where the
// system gives no more threads, the workers running share all the work: a worker that never
// started has nothing in its queue.
void ParallelScan::startWorker(unsigned first, unsigned n, unsigned offset) {
    const bool started = threads_.start(first + offset - 1, [this, first, n, offset] {
        for (const unsigned next : {2 * offset + 1, 2 * offset + 2})
            if (next < n) startWorker(first, n, next);
        work(first + offset);
    });
    if (!started) noMoreThreads_.store(true);
}

// Under growthMutex_.
void ParallelScan::stopGrowing() {
    workerGrowth_.reset();
    nextLook_.store(kNeverLook);
}

// Called by a worker between two directories: once an interval has passed since the last
// look, tells WorkerGrowth what the workers did in it and starts the workers it asks for.
void ParallelScan::growWorkersWhenDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now.time_since_epoch().count() < nextLook_.load(std::memory_order_relaxed)) return;
    std::unique_lock lock(growthMutex_, std::try_to_lock);
    if (!lock.owns_lock() || !workerGrowth_ || now.time_since_epoch().count() < nextLook_.load()) return;
    nextLook_.store((now + growth_.interval).time_since_epoch().count());
    const unsigned next = workerGrowth_->next(sampleSince(lastLook_));
    startWorkers(next);
    if (noMoreThreads_.load() || cancelled(cancel_) || queues_.workers() >= queues_.capacity()) stopGrowing();
}

// What the workers did since the `last` readings, which move on to now.
WorkerGrowthSample ParallelScan::sampleSince(GrowthReadings& last) const {
    GrowthReadings now{std::chrono::steady_clock::now(), 0, 0, growth_.readTimes()};
    std::uint64_t fastest = UINT64_MAX;
    for (const Worker& worker : workers_) {
        now.answers += worker.answers.count();
        now.answerNs += worker.answers.totalNs();
        fastest = std::min(fastest, worker.answers.fastestNs());
    }
    WorkerGrowthSample sample;
    sample.elapsed = now.at - last.at;
    sample.answers = now.answers - last.answers;
    sample.answerTime = std::chrono::nanoseconds(now.answerNs - last.answerNs);
    if (fastest != UINT64_MAX) sample.fastestAnswer = std::chrono::nanoseconds(fastest);
    if (last.times && now.times) sample.ticks = ticksBetween(*last.times, *now.times);
    sample.waiting = static_cast<std::uint64_t>(std::max<std::int64_t>(0, queues_.queued()));
    last = now;
    return sample;
}

void ParallelScan::work(unsigned self) {
    Worker& worker = workers_[self];
    worker.buffer = listingBuffers_.get() + std::size_t{self} * kListingBufferSize;
    for (;;) {
        std::optional<DirTask> task = queues_.take(self);
        if (!task) {
            if (!queues_.waitForWork()) break;
            continue;
        }
        readDirectory(self, std::move(*task));
        queues_.finish();
        if (growing()) growWorkersWhenDue();
    }
    publishEntries(worker, true);
}

void nameRecord(FCPBundle& record, const std::string& location) {
    // The location's own record (a scan of one library) has no path below it.
    record.path = record.relativePath.empty() ? location : joinPath(location, record.relativePath);
    record.displayName = lastPathComponent(record.path);
}

// The records in pre-order, with the workers' totals summed and their listed entries.
std::vector<FCPBundle> ParallelScan::collect(const std::string& location) {
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
        nameRecord(bundle, location);
        totals[i].fill(bundle);
        bundles.push_back(std::move(bundle));
    }
    return bundles;
}

} // namespace scan_engine

std::vector<FCPBundle> parallelScanBundles(const std::string& location, const ParallelScanWorkers& workers,
                                           ScanProgress* progress, const ParallelScanLimits& limits,
                                           const ParallelScanRules& rules, const CancellationToken* cancel) {
    // The chosen location itself is resolved like any path (it may be a link the user
    // picked); nothing below it is ever reached through a link. A library measured alone is
    // never reached through one.
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK | (rules.locationIsLibrary ? O_NOFOLLOW : 0);
    UniqueFd rootFd(::open(location.c_str(), flags));
    if (!rootFd) {
        if (rules.onUnreadable) rules.onUnreadable(location, errno);
        return {};
    }
    return parallelScanBundlesAt(std::move(rootFd), location, workers, progress, limits, rules, cancel);
}

std::vector<FCPBundle> parallelScanBundlesAt(UniqueFd rootFd, const std::string& location,
                                             const ParallelScanWorkers& workers, ScanProgress* progress,
                                             const ParallelScanLimits& limits, const ParallelScanRules& rules,
                                             const CancellationToken* cancel) {
    using namespace scan_engine;
    // The descriptors are shared out for the most workers the scan may ever run.
    const unsigned threads = std::clamp(workers.threads, 1u, kMaxThreads);
    const ScanDescriptorCaps caps = scanDescriptorCaps(std::clamp(workers.growUpTo, threads, kMaxThreads),
                                                       limits.maxOpenDirectories, limits.descriptors);
    std::size_t queueCap = limits.maxQueuedDirectories != 0 ? limits.maxQueuedDirectories : kDefaultMaxQueued;
    if (caps.threads > 1) reserveDescriptors(rootFd.get(), caps.most);
    return ParallelScan(threads, caps.threads, workers, progress, caps.queue, queueCap, caps.inlineWalk, rules,
                        cancel)
        .run(location, std::move(rootFd));
}

} // namespace velmora

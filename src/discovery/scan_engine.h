#pragma once

// The scan engine's own declarations, shared by its two source files: the workers and the
// growth of their number (parallel_scan.cpp), and the reading of one directory with the
// rules for each entry (scan_directory.cpp).

#include "discovery/cleanable_listing.h"
#include "discovery/library_totals.h"
#include "discovery/parallel_scan.h"
#include "discovery/scan_directory_node.h"
#include "discovery/work_sharing_queues.h"
#include "platform/dir_walker.h"
#include "platform/directory_names.h"
#include "platform/file_identity.h"
#include "platform/thread_stacks.h"
#include "platform/unique_fd.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>

namespace velmora::scan_engine {

// Progress counters are read by another thread: publish in batches, not per entry. Small
// enough that the count moves several times a second even where each listing is a network
// round trip; the listing loop also publishes after every read of a listing.
inline constexpr std::uint64_t kProgressBatch = 256;
inline constexpr unsigned kMaxThreads = 256;
// Directories queued at once by default: plenty to keep every worker busy, a few MiB at most.
inline constexpr std::size_t kDefaultMaxQueued = 16384;

struct DirTask {
    DirNode* node = nullptr;
    DirectoryContext context; // the libraries enclosing the directory's entries
};

// A library found by the scan, before it becomes a record.
struct FoundLibrary {
    std::vector<std::uint64_t> order; // index path from the location: sorts into pre-order
    FCPBundle record;                 // its way back in (relative path, device, inode)
};

// Gives a record found below `location` its full path and its name.
void nameRecord(FCPBundle& record, const std::string& location);

class ParallelScan {
  public:
    // Room for `maxThreads` workers, of which `threads` start; `growth` says how to add more.
    ParallelScan(unsigned threads, unsigned maxThreads, const ParallelScanWorkers& growth,
                 ScanProgress* progress, std::size_t openCap, std::size_t queueCap, std::size_t inlineCap,
                 const ParallelScanRules& rules, const CancellationToken* cancel);

    std::vector<FCPBundle> run(const std::string& location, UniqueFd rootFd);

  private:
    struct alignas(64) Worker {
        LibraryTotals totals;
        char* buffer = nullptr; // kListingBufferSize bytes of listingBuffers_
        std::uint64_t unpublished = 0;
        AnswerTally answers; // kept only while the workers may grow
    };

    // parallel_scan.cpp: the workers.
    void startWorkers(unsigned count);
    void startWorker(unsigned first, unsigned n, unsigned offset);
    void growWorkersWhenDue();
    void stopGrowing();
    // What the last look at the workers counted: the answers' number and time are sums over
    // the workers.
    struct GrowthReadings {
        std::chrono::steady_clock::time_point at;
        std::uint64_t answers = 0;
        std::uint64_t answerNs = 0;
        std::optional<ProcessorTimes> times;
    };
    [[nodiscard]] WorkerGrowthSample sampleSince(GrowthReadings& last) const;
    // Runs `call`, a request to the file system, timed for the growth of the workers when they
    // may grow.
    template <typename Call> auto answered(Worker& worker, Call&& call);
    void work(unsigned self);
    std::vector<FCPBundle> collect(const std::string& location);

    // scan_directory.cpp: what the scan reads and how it counts each entry.
    void unreadable(const std::string& relativePath, int error);
    void notOpened(int error, const std::function<std::string()>& pathOf);
    void mountSkipped(const std::function<std::string()>& pathOf);
    bool mayEnter(int fd, const std::function<std::string()>& pathOf);
    std::uint32_t addLibrary(std::vector<std::uint64_t> order, std::string relativePath, int parentFd,
                             const char* name);
    void publishEntries(Worker& worker, bool now);
    // The one function that counts an entry; `order()` and `path()` give its place in the
    // walk, made only when something is recorded.
    template <typename Order, typename Path>
    std::optional<DirectoryContext> visitEntry(Worker& worker, int parentFd, const char* name, EntryType type,
                                               const struct statx* known, const DirectoryContext& context,
                                               FileFacts& files, Order&& order, Path&& path);
    void readDirectory(unsigned self, DirTask task);
    void walkInline(Worker& worker, DirNode* node, std::uint64_t position, int parentFd, const char* name,
                    const DirectoryContext& rootContext);

    WorkSharingQueues<DirTask> queues_;
    std::vector<Worker> workers_;
    const unsigned startThreads_;
    const ParallelScanWorkers& growth_;
    // The workers themselves look at how the scan goes, one at a time, each interval, between
    // two directories: a thread of its own for that would wait for the processors behind them
    // all, and look far too late, when they are busy.
    std::mutex growthMutex_;
    std::optional<WorkerGrowth> workerGrowth_; // nothing once the workers no longer grow
    GrowthReadings lastLook_;
    // When the next look is due, in steady_clock ticks; kNeverLook while the workers do not
    // grow (a fixed count, or growth over): their requests are not timed then either.
    static constexpr std::chrono::steady_clock::rep kNeverLook =
        std::chrono::steady_clock::time_point::max().time_since_epoch().count();
    std::atomic<std::chrono::steady_clock::rep> nextLook_{kNeverLook};
    [[nodiscard]] bool growing() const { return nextLook_.load(std::memory_order_relaxed) != kNeverLook; }
    std::atomic<bool> noMoreThreads_{false};
    ScanProgress ownProgress_; // counts when the caller asked for none
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
    std::unique_ptr<char[]> listingBuffers_; // one for each worker that may run
    // Worker i's thread is number i - 1 (worker 0 is the caller). Last, so that the threads
    // have ended before anything they use goes.
    ThreadStacks threads_;
};

template <typename Call> auto ParallelScan::answered(Worker& worker, Call&& call) {
    if (!growing()) return call();
    const auto start = std::chrono::steady_clock::now();
    auto result = call();
    const int error = errno; // the caller reads the call's
    worker.answers.add(std::chrono::steady_clock::now() - start);
    errno = error;
    return result;
}

} // namespace velmora::scan_engine

#pragma once

#include "platform/processor_time.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace velmora {

// How often a scan that may grow its workers looks at how it goes: every few round trips of
// a share that answers in a millisecond or two, so that one answering in 5 ms gets its 128
// threads within a twentieth of a second.
inline constexpr std::chrono::milliseconds kWorkerGrowthInterval{10};

// The requests one worker made to the file system (opening and listing directories) and how
// long they took to be answered; written by the worker, read by whichever worker looks at
// how the scan goes.
class AnswerTally {
  public:
    void add(std::chrono::nanoseconds took) {
        const auto ns = static_cast<std::uint64_t>(took.count());
        count_.fetch_add(1, std::memory_order_relaxed);
        totalNs_.fetch_add(ns, std::memory_order_relaxed);
        if (ns < fastestNs_.load(std::memory_order_relaxed)) fastestNs_.store(ns, std::memory_order_relaxed);
    }
    [[nodiscard]] std::uint64_t count() const { return count_.load(std::memory_order_relaxed); }
    [[nodiscard]] std::uint64_t totalNs() const { return totalNs_.load(std::memory_order_relaxed); }
    [[nodiscard]] std::uint64_t fastestNs() const { return fastestNs_.load(std::memory_order_relaxed); }

  private:
    std::atomic<std::uint64_t> count_{0};
    std::atomic<std::uint64_t> totalNs_{0};
    std::atomic<std::uint64_t> fastestNs_{UINT64_MAX};
};

// What a scan saw over one interval of its run.
struct WorkerGrowthSample {
    // The processors' ticks spent working and idle in it, by this process and all others;
    // nothing when unknown.
    std::optional<ProcessorTimes> ticks;
    // Directories waiting in the queues for a worker at the end of the interval.
    std::uint64_t waiting = 0;
    std::chrono::nanoseconds elapsed{0}; // the interval's length
    std::uint64_t answers = 0;           // requests to the file system answered in it
    std::chrono::nanoseconds answerTime{0};    // the time they took, summed
    std::chrono::nanoseconds fastestAnswer{0}; // the fastest of the whole scan so far
};

// Decides, interval after interval, how many workers a scan runs, from `start` up to
// `maximum`, by the requests the share answers per unit of time. At that rate, answered as
// fast as the fastest answer of the scan, a number of requests in flight would do: while the
// workers are not many more than that, their requests wait for their round trip and hardly
// for anything else, and twice the workers read about twice as much. Once they are, the
// processors or the server keep the rest of them waiting, and more only queue. So the
// workers double, while at least as many directories wait as there are workers,
//   - when the answers of one interval took on average hardly longer than the fastest one:
//     nothing made the requests wait, whatever the workers' number (some may have only just
//     been given work, and read little in the interval). Where the workers answered fewer
//     requests than there are of them, most had nothing to do until the directories waiting
//     came: every one of those gets a worker of its own, up to four times as many workers as
//     before. Where the share answers slowly, the folders near the top come one round trip
//     after another, and then a hundred wait all at once;
//   - when, since their last doubling, they were at most twice the requests in flight the
//     rate needed;
//   - or when, since their last doubling, the processors had time to spare, over enough of
//     their ticks to tell (answers may vary by themselves: a server answers from its cache or
//     from its disk).
// The last two count everything since the last doubling, not one interval alone: in a single
// interval the answers and the idle ticks swing with the folders that happened to be read.
class WorkerGrowth {
  public:
    WorkerGrowth(unsigned start, unsigned maximum);

    [[nodiscard]] unsigned workers() const { return workers_; }

    // The number of workers for the next interval, after one more.
    unsigned next(const WorkerGrowthSample& sample);

  private:
    unsigned workers_;
    const unsigned maximum_;
    // Since the last doubling.
    unsigned intervals_ = 0;
    std::uint64_t answers_ = 0;
    std::chrono::nanoseconds elapsed_{0};
    ProcessorTimes ticks_;
};

} // namespace velmora

#pragma once

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
// long they took to be answered; written by the worker, read by the scan's controller.
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
    // The share of the machine's processor time left unused; nothing when unknown.
    std::optional<double> idleShare;
    // Directories were waiting in the queues for a worker at the end of the interval.
    bool workWaiting = false;
    std::chrono::nanoseconds elapsed{0}; // the interval's length
    std::uint64_t answers = 0;           // requests to the file system answered in it
    std::chrono::nanoseconds meanAnswer{0};
    std::chrono::nanoseconds fastestAnswer{0}; // the fastest of the whole scan so far
};

// Decides, interval after interval, how many workers a scan runs, from `start` up to
// `maximum`, by what more workers bring: the requests the share answers per unit of time.
// A share's listing carries all of a directory's entries in one answer, so answers, not
// entries, are the walk's steady measure of work done: entries per interval swing with the
// sizes of the folders that happened to be read in it. The workers double
//   - while answers take about as long as the fastest one did: nothing waits for the
//     processors or the server, so twice the requests in flight are answered twice as fast;
//   - or while the processors have time to spare;
//   - or, where neither of those grew them, on trial once after the start-up interval, and
//     again after each such doubling that made the share answer clearly more per unit of
//     time than before it.
// Once a doubling did not pay, or one of the first two grew the workers, only those two grow
// them further: more requests than the share answers without waiting only cost.
class WorkerGrowth {
  public:
    WorkerGrowth(unsigned start, unsigned maximum);

    [[nodiscard]] unsigned workers() const { return workers_; }

    // The number of workers for the next interval, after one more.
    unsigned next(const WorkerGrowthSample& sample);

  private:
    unsigned workers_;
    const unsigned maximum_;
    unsigned intervals_ = 0;
    unsigned grownAfter_ = 0;     // the interval at whose end the workers last doubled
    double rateBeforeGrowth_ = 0; // answers per second in that interval
    bool judging_ = false;        // the last doubling was a trial, or one that paid
    bool stopped_ = false;        // a doubling that did not pay: no more trials
};

} // namespace velmora

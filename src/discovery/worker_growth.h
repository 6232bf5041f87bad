#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace velmora {

// How often a scan that may grow its workers looks at the machine: a few times during the
// first tenth of a second, long enough for the processors' idle time (counted in 10 ms ticks)
// to say something.
inline constexpr std::chrono::milliseconds kWorkerGrowthInterval{25};

// What a scan saw over one interval of its run.
struct WorkerGrowthSample {
    // The share of the machine's processor time left unused; nothing when unknown.
    std::optional<double> idleShare;
    // Directories were waiting in the queues for a worker at the end of the interval.
    bool workWaiting = false;
    // Entries the scan read during the interval.
    std::uint64_t entriesRead = 0;
};

// Decides, interval after interval, how many workers a scan runs: from `start` up to
// `maximum`, doubling while the processors have time to spare or while the last doubling
// made the scan faster.
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
    unsigned grownAfter_ = 0;            // the interval at whose end the workers last doubled
    std::uint64_t readBeforeGrowth_ = 0; // entries read in that interval
    bool stopped_ = false;               // a doubling that did not pay: only idle time grows more
};

} // namespace velmora

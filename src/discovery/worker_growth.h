#pragma once

#include <chrono>
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
};

// The number of workers for the next interval of a scan that runs `current` and may run up
// to `maximum`.
[[nodiscard]] unsigned workersAfter(unsigned current, unsigned maximum, const WorkerGrowthSample& sample);

} // namespace velmora

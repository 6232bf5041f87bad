#include "discovery/worker_growth.h"

#include <algorithm>

namespace velmora {

namespace {

// A scan's threads cost nothing while they wait on a round trip, and only cost once the
// processors are busy: then each one more adds switching between them. Measured on a share
// mirrored through a user-space file system on 2 cores: when it answers at once, 8 threads
// keep the processors all but fully busy (the server, the kernel and the scan share them)
// and 64 were 7% slower; at 1 ms per request, 8 threads left a fifth to half of the
// processors' time idle and 16 to 64 were 1.4 times as fast.
//
// The processors' idle time is counted in ticks of 10 ms, so an interval of 25 ms on 2 cores
// holds 5: one idle tick in five is enough to double.
constexpr double kIdleToGrow = 0.2;
// Processors kept busy by other programs leave no idle time even when the scan waits on its
// round trips. So a scan on busy processors doubles once on trial, after a first interval
// that is not its start-up, and goes on doubling while each doubling reads this much more per
// interval than the interval before it; once one does not, only idle time grows it further.
// The interval-to-interval noise of a scan that answers at once stays below it.
constexpr double kGainToGrowOn = 1.3;

} // namespace

WorkerGrowth::WorkerGrowth(unsigned start, unsigned maximum)
    : workers_(std::min(start, maximum)), maximum_(maximum) {}

unsigned WorkerGrowth::next(const WorkerGrowthSample& sample) {
    ++intervals_;
    if (workers_ >= maximum_ || !sample.workWaiting) return workers_;
    if (!sample.idleShare) return workers_ = maximum_;

    bool grow = *sample.idleShare >= kIdleToGrow;
    if (!grow && !stopped_) {
        if (grownAfter_ < 2) {
            // The trial: after the start-up interval, and unless a doubling can be judged.
            grow = intervals_ >= 2;
        } else if (grownAfter_ + 1 == intervals_ && grownAfter_ >= 2) {
            // The interval after a doubling, measured against one that was not the start-up.
            grow = static_cast<double>(sample.entriesRead) >= kGainToGrowOn * readBeforeGrowth_;
            stopped_ = !grow;
        }
    }
    if (!grow) return workers_;
    grownAfter_ = intervals_;
    readBeforeGrowth_ = sample.entriesRead;
    return workers_ = std::min(maximum_, 2 * workers_);
}

} // namespace velmora

#include "discovery/worker_growth.h"

#include <algorithm>
#include <optional>

namespace velmora {

namespace {

// A scan's threads cost nothing while they wait on a round trip, and only cost once the
// processors are busy: then each one more adds switching between them. Measured on a share
// mirrored through a user-space file system on 2 cores: when it answers at once, 8 threads
// keep the processors busy (the server, the kernel and the scan share them) and 64 were a
// quarter slower; at 1 ms per request 32 to 64 were best, at 5 ms 128 to 256.
//
// Answers that take up to this many times the fastest one still wait for nothing much: at
// 1 ms per request on 2 cores, 8 and 16 threads saw 1.1 to 1.4, 32 (the processors busy) 2
// and more, and at 5 ms with 25 µs of processor time per request, 64 threads 1.0 to 1.1, 128
// 1.3 to 1.8 (256 were slower, and one reading of 1.32 grew them there); answered at once,
// every thread count saw 10 and more.
constexpr double kNoWaitRatio = 1.25;
// Fewer answers than this in an interval say little about their mean.
constexpr std::uint64_t kFewestAnswers = 8;
// The processors' idle time is counted in ticks of 10 ms, so an interval holds a few: one
// idle tick in five is enough to double.
constexpr double kIdleToGrow = 0.2;
// A doubling paid when the share answered this much more per second in the interval after
// it than in the one before; a doubling where round trips bound the scan brings nearly
// twice as much, one where the processors do about the same (within a tenth or so from one
// interval to the next).
constexpr double kGainToGrowOn = 1.3;

// How many times the fastest answer the answers took on average; nothing when too few came.
std::optional<double> waitRatio(const WorkerGrowthSample& sample) {
    if (sample.answers < kFewestAnswers || sample.fastestAnswer.count() <= 0) return std::nullopt;
    return static_cast<double>(sample.meanAnswer.count()) / static_cast<double>(sample.fastestAnswer.count());
}

double answerRate(const WorkerGrowthSample& sample) {
    const auto ns = std::max<std::int64_t>(1, sample.elapsed.count());
    return static_cast<double>(sample.answers) * 1e9 / static_cast<double>(ns);
}

} // namespace

WorkerGrowth::WorkerGrowth(unsigned start, unsigned maximum)
    : workers_(std::min(start, maximum)), maximum_(maximum) {}

unsigned WorkerGrowth::next(const WorkerGrowthSample& sample) {
    ++intervals_;
    if (workers_ >= maximum_ || !sample.workWaiting) return workers_;

    const double rate = answerRate(sample);
    const std::optional<double> waiting = waitRatio(sample);
    const bool idle = sample.idleShare && *sample.idleShare >= kIdleToGrow;
    // Workers grown on these signs need no judging: they say the share keeps up.
    const bool signalled = idle || (waiting && *waiting <= kNoWaitRatio);
    bool grow = signalled;
    if (!grow && !stopped_) {
        if (grownAfter_ == 0) {
            // The trial: after the start-up interval, whose few directories say nothing of
            // what more workers would read.
            grow = intervals_ >= 2;
        } else if (judging_ && grownAfter_ + 1 == intervals_) {
            // The interval after a trial or a doubling that paid, against the one before it.
            grow = rate >= kGainToGrowOn * rateBeforeGrowth_;
            stopped_ = !grow;
        }
    }
    if (!grow) return workers_;
    judging_ = !signalled;
    grownAfter_ = intervals_;
    rateBeforeGrowth_ = rate;
    return workers_ = std::min(maximum_, 2 * workers_);
}

} // namespace velmora

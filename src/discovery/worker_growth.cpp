#include "discovery/worker_growth.h"

#include <algorithm>
#include <optional>

namespace velmora {

namespace {

// Measured on a share mirrored through a user-space file system on 2 cores, with every
// thread count fixed: where the threads were up to twice the requests in flight that their
// rate needed, twice the threads were faster. At 1 ms per request 32 threads were 1.7 to 2.1
// times that many and 64 (the fastest count) 3.2 to 4.1; at 5 ms, 64 threads were 1.1 times,
// 128 1.6 to 2.1, and 256 about as fast as 128; answered at once, 8 threads were 11 to 23.
constexpr double kFewMore = 2.0;
// Answers that took on average up to this many times the fastest one waited for nothing
// much: at 5 ms per request 32 to 64 threads saw 1.0 to 1.2 from their first interval on,
// while at 1 ms 32 saw 1.2 to 1.7, and answered at once every count saw 10 and more.
constexpr double kNoWait = 1.25;
// Fewer answers than this say little about their rate.
constexpr std::uint64_t kFewestAnswers = 8;
// The processors' times come in ticks of 10 ms, so a few intervals of a small machine hold
// only a handful: a fifth of them idle over at least this many is time to spare.
constexpr std::uint64_t kFewestTicks = 8;
constexpr double kIdleToGrow = 0.2;

} // namespace

WorkerGrowth::WorkerGrowth(unsigned start, unsigned maximum)
    : workers_(std::min(start, maximum)), maximum_(maximum) {}

unsigned WorkerGrowth::next(const WorkerGrowthSample& sample) {
    // With fewer directories waiting than workers, more workers would have had little to do:
    // the interval says nothing about what they would bring.
    if (workers_ >= maximum_ || sample.waiting < workers_) return workers_;
    ++intervals_;
    answers_ += sample.answers;
    elapsed_ += sample.elapsed;
    if (sample.ticks) {
        ticks_.busy += sample.ticks->busy;
        ticks_.idle += sample.ticks->idle;
    }

    const auto fastest = static_cast<double>(sample.fastestAnswer.count());
    std::uint64_t more = workers_; // doubling
    bool grow = false;
    if (sample.answers >= kFewestAnswers && fastest > 0) {
        const double answers = static_cast<double>(sample.answers);
        grow = static_cast<double>(sample.answerTime.count()) <= kNoWait * fastest * answers;
        // Fewer answers than workers: most of them had nothing to do until the directories
        // now waiting came, all at once. Each of those gets a worker (at least as many wait
        // as there are workers, see above), up to four times as many workers in all.
        if (grow && sample.answers < workers_) more = std::min<std::uint64_t>(sample.waiting, 3ULL * workers_);
    }
    if (intervals_ >= 2 && answers_ >= kFewestAnswers && fastest > 0 && elapsed_.count() > 0) {
        const double inFlight = static_cast<double>(answers_) * fastest / static_cast<double>(elapsed_.count());
        grow = grow || static_cast<double>(workers_) <= kFewMore * inFlight;
    }
    const std::uint64_t ticks = ticks_.busy + ticks_.idle;
    if (ticks >= kFewestTicks && static_cast<double>(ticks_.idle) >= kIdleToGrow * static_cast<double>(ticks))
        grow = true;
    if (!grow) return workers_;
    intervals_ = 0;
    answers_ = 0;
    elapsed_ = std::chrono::nanoseconds(0);
    ticks_ = {};
    return workers_ = static_cast<unsigned>(std::min<std::uint64_t>(maximum_, workers_ + more));
}

} // namespace velmora

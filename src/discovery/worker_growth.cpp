#include "discovery/worker_growth.h"

#include <algorithm>

namespace velmora {

namespace {

// A scan's threads cost nothing while they wait on a round trip, and only cost once the
// processors are busy: then each one more only adds switching between them. Measured on a
// share mirrored through a user-space file system on 2 cores, 8 threads keep the processors
// all but fully busy when it answers at once (the server, the kernel and the scan share
// them), and 64 threads were 7% slower there; at 1 ms per request 8 threads left a third to
// half of the processors' time idle, and 16 to 64 threads were twice as fast. The processors'
// idle time is counted in ticks of 10 ms, so one interval of 25 ms on 2 cores holds 5: one
// idle tick in five is enough to double, and a scan that never leaves a tick idle keeps its
// threads.
constexpr double kIdleToGrow = 0.2;

} // namespace

unsigned workersAfter(unsigned current, unsigned maximum, const WorkerGrowthSample& sample) {
    if (current >= maximum || !sample.workWaiting) return current;
    if (!sample.idleShare) return maximum;
    if (*sample.idleShare < kIdleToGrow) return current;
    return std::min(maximum, 2 * current);
}

} // namespace velmora

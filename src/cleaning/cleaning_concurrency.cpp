#include "cleaning/cleaning_concurrency.h"

#include "platform/tree_workers.h"

#include <algorithm>

namespace velmora {

namespace {

// Descriptors left to the rest of the program, and the fewest one step needs: the library,
// the walk's own two and the removal's two, with some to spare.
constexpr std::size_t kReservedDescriptors = 4;
constexpr std::size_t kDescriptorsPerJob = 8;
constexpr unsigned kMostJobs = 64;
// Descriptors of the run's removal threads, per thread: a few of each thread's own, and as
// many again for directories listed and waiting for a thread.
constexpr std::size_t kDescriptorsPerThread = 8;

} // namespace

unsigned cleaningJobsFor(StorageKind kind, unsigned cores) {
    return kind == StorageKind::Network ? kNetworkWalkers : std::max(1u, cores);
}

unsigned cleaningThreadsFor(StorageKind kind) {
    return kind == StorageKind::Network ? kNetworkWalkers : 1;
}

CleaningShape cleaningShapeFor(StorageKind kind, unsigned cores, std::size_t descriptors, unsigned requestedJobs) {
    std::size_t spare = descriptors > kReservedDescriptors ? descriptors - kReservedDescriptors : 0;
    CleaningShape shape;
    // The removal threads get up to half; the steps' walks share the rest. Too few for two
    // threads: each step removes alone.
    const unsigned wantedThreads = cleaningThreadsFor(kind);
    const std::size_t forThreads = std::min(spare / 2, kDescriptorsPerThread * wantedThreads);
    const unsigned threads = TreeWorkers::usableThreads(wantedThreads, forThreads);
    if (threads >= 2) {
        shape.threads = threads;
        shape.threadDescriptors = forThreads;
        spare -= forThreads;
    }
    const unsigned wanted = requestedJobs == 0 ? cleaningJobsFor(kind, cores) : requestedJobs;
    shape.jobs = static_cast<unsigned>(
        std::clamp<std::size_t>(spare / kDescriptorsPerJob, 1, std::clamp(wanted, 1u, kMostJobs)));
    // Alone, each step's walk and its removal hold up to this many each, besides the
    // library's own two.
    const std::size_t perJob = spare / shape.jobs;
    shape.maxOpenDescriptors = std::clamp<std::size_t>(shape.threads > 1 ? perJob : perJob / 2, 3, 64) - 1;
    return shape;
}

} // namespace velmora

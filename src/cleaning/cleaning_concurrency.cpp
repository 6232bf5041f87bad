#include "cleaning/cleaning_concurrency.h"

#include <algorithm>

namespace velmora {

namespace {

// Descriptors left to the rest of the program, and the fewest one step needs: the library,
// the walk's own two and the removal's two, with some to spare.
constexpr std::size_t kReservedDescriptors = 4;
constexpr std::size_t kDescriptorsPerJob = 8;
constexpr unsigned kMostJobs = 64;

} // namespace

unsigned cleaningJobsFor(StorageKind kind, unsigned cores) {
    return kind == StorageKind::Network ? kNetworkWalkers : std::max(1u, cores);
}

unsigned cleaningThreadsFor(StorageKind kind) {
    return kind == StorageKind::Network ? kNetworkWalkers : 1;
}

CleaningShape cleaningShapeFor(StorageKind kind, unsigned cores, std::size_t descriptors, std::size_t steps,
                               unsigned requestedJobs) {
    const std::size_t spare = descriptors > kReservedDescriptors ? descriptors - kReservedDescriptors : 0;
    const unsigned wanted = requestedJobs == 0 ? cleaningJobsFor(kind, cores) : requestedJobs;
    CleaningShape shape;
    shape.jobs = static_cast<unsigned>(
        std::clamp<std::size_t>(spare / kDescriptorsPerJob, 1, std::clamp(wanted, 1u, kMostJobs)));
    // The run's threads are shared out among the steps that go at once.
    const auto together = static_cast<unsigned>(std::clamp<std::size_t>(steps, 1, shape.jobs));
    shape.threads = std::max(1u, cleaningThreadsFor(kind) / together);
    // Each step's walk and its removal hold up to this many each, besides the library's own
    // two; threads need a few each.
    const std::size_t mostPerJob = std::max<std::size_t>(64, 6 * std::size_t{shape.threads} + 2);
    shape.maxOpenDescriptors = std::clamp<std::size_t>((spare / shape.jobs) / 2, 3, mostPerJob) - 1;
    return shape;
}

} // namespace velmora

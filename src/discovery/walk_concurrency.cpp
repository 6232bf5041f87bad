#include "discovery/walk_concurrency.h"

#include <algorithm>
#include <thread>

namespace velmora {

namespace {

unsigned machineCores() {
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace

ScanThreads scanThreadsFor(StorageKind kind, unsigned cores) {
    // Cached metadata needs one thread per core; a cold disk answers faster the more lookups
    // wait on it at once. Twice the cores, at least 8, served both.
    const unsigned local = std::clamp(2 * std::max(1u, cores), 8u, 32u);
    return {local, kind == StorageKind::Network ? kNetworkWalkers : local};
}

unsigned cleaningJobsFor(StorageKind kind, unsigned cores) {
    // Removing is bound by the disk's journal locally, so one library per core; on a share
    // every removal waits on its round trip.
    return kind == StorageKind::Network ? kNetworkWalkers : std::max(1u, cores);
}

unsigned cleaningThreadsFor(StorageKind kind) {
    return kind == StorageKind::Network ? kNetworkWalkers : 1;
}

ScanThreads defaultScanThreads(const std::string& location) {
    return scanThreadsFor(storageKindOf(location), machineCores());
}

unsigned defaultCleaningJobs(const std::string& location) {
    return cleaningJobsFor(storageKindOf(location), machineCores());
}

unsigned defaultCleaningThreads(const std::string& location) {
    return cleaningThreadsFor(storageKindOf(location));
}

} // namespace velmora

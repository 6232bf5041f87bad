#include "discovery/walk_concurrency.h"

#include <algorithm>
#include <thread>

namespace velmora {

ScanThreads scanThreadsFor(StorageKind kind, unsigned cores) {
    // Cached metadata needs one thread per core; a cold disk answers faster the more lookups
    // wait on it at once. Twice the cores, at least 8, served both.
    const unsigned local = std::clamp(2 * std::max(1u, cores), 8u, 32u);
    if (kind == StorageKind::Network) return {kFirstNetworkScanThreads, kMostNetworkScanThreads};
    return {local, local};
}

ScanThreads defaultScanThreads(const std::string& location) {
    return scanThreadsFor(storageKindOf(location), std::max(1u, std::thread::hardware_concurrency()));
}

} // namespace velmora

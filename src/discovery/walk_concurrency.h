#pragma once

#include "platform/storage_kind.h"

#include <string>

namespace velmora {

// How many walkers work on one location at once when the user leaves the choice to the
// machine. Local storage answers from the processor: about two threads per core serve it
// best, more only cost. A share answers each request after a network round trip, during
// which the thread waits: many requests must be in flight to use it.

// Threads of a scan: how many start, and how many it may grow to while they help.
struct ScanThreads {
    unsigned start;
    unsigned maximum;
};

// Requests a scan may keep waiting at once on a share: a round trip of 5 ms still hidden.
inline constexpr unsigned kMostNetworkScanThreads = 256;
// Threads a scan of a share starts with, whatever the processors: where the share answers at
// once they cost little (at most a tenth against the best count), while every doubling from
// fewer costs an interval with the round trips of a distant share mostly not hidden.
inline constexpr unsigned kFirstNetworkScanThreads = 32;

// Threads of a scan of storage of this kind on a machine with `cores` processors. A share
// starts with kFirstNetworkScanThreads and grows to kMostNetworkScanThreads while more
// threads make it answer more (see WorkerGrowth): where the share answers at once (a fast
// server, a local FUSE layer) the scan is bound by the processors, and more threads only
// cost.
[[nodiscard]] ScanThreads scanThreadsFor(StorageKind kind, unsigned cores);

// The same for the storage holding `location`, on this machine.
[[nodiscard]] ScanThreads defaultScanThreads(const std::string& location);

} // namespace velmora

#pragma once

#include "platform/storage_kind.h"

#include <string>

namespace velmora {

// How many walks, or walkers, work on one location at once when the user leaves the choice
// to the machine. Local storage answers from the processor: about two threads per core
// serve it best, more only cost. A share answers each request after a network round trip,
// during which the thread waits: many requests must be in flight to use it, and
// `kNetworkWalkers` of them hide a 1 ms round trip almost entirely (bench/RESULTS.md).
inline constexpr unsigned kNetworkWalkers = 64;

// Threads of a scan: how many start, and how many it may grow to while they help.
struct ScanThreads {
    unsigned start;
    unsigned maximum;
};

// Threads of a scan of storage of this kind on a machine with `cores` processors. A share
// starts like a local disk and grows to `kNetworkWalkers` while the processors have time to
// spare: where the share answers at once (a fast server, a local FUSE layer) the scan is
// bound by the processors, and threads beyond the local rule only cost.
[[nodiscard]] ScanThreads scanThreadsFor(StorageKind kind, unsigned cores);
// Libraries a cleaning run works on at once, likewise.
[[nodiscard]] unsigned cleaningJobsFor(StorageKind kind, unsigned cores);
// Threads a whole cleaning run spreads over its libraries to remove (or measure) their
// matched entries side by side: one per library on local storage, where removals wait on the
// disk's journal and not on a round trip.
[[nodiscard]] unsigned cleaningThreadsFor(StorageKind kind);

// The same for the storage holding `location`, on this machine.
[[nodiscard]] ScanThreads defaultScanThreads(const std::string& location);
[[nodiscard]] unsigned defaultCleaningJobs(const std::string& location);
[[nodiscard]] unsigned defaultCleaningThreads(const std::string& location);

} // namespace velmora

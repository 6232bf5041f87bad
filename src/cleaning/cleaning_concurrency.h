#pragma once

#include "platform/storage_kind.h"

#include <cstddef>

namespace velmora {

// Steps a cleaning run works on at once when the caller leaves the choice to the machine:
// one per core on local storage, where removing is bound by the disk's journal;
// kNetworkWalkers on a share, where every removal waits on its round trip.
[[nodiscard]] unsigned cleaningJobsFor(StorageKind kind, unsigned cores);
// Threads a whole run spreads over the steps it works on at once, to remove (or measure)
// their matched entries side by side: one locally, where each library is cleaned one entry
// after the other, which suits the disk's journal; kNetworkWalkers on a share.
[[nodiscard]] unsigned cleaningThreadsFor(StorageKind kind);

// How a run is laid out.
struct CleaningShape {
    unsigned jobs = 1;                  // steps at once
    unsigned threads = 1;               // threads of each step
    std::size_t maxOpenDescriptors = 3; // directory descriptors of each step's walk and of each removal
};

// The layout of a run of `steps` steps on storage of `kind`, on `cores` processors, with
// `descriptors` left to open in the process, and `requestedJobs` steps at once (0: by the
// storage). Every cap comes from the descriptors: a low limit means fewer steps at once,
// never steps left out.
[[nodiscard]] CleaningShape cleaningShapeFor(StorageKind kind, unsigned cores, std::size_t descriptors,
                                             std::size_t steps, unsigned requestedJobs);

} // namespace velmora

#pragma once

#include "platform/storage_kind.h"

#include <cstddef>

namespace velmora {

// Steps a cleaning run works on at once when the caller leaves the choice to the machine:
// one per core on local storage, where removing is bound by the disk's journal;
// kNetworkWalkers on a share, where every removal waits on its round trip.
[[nodiscard]] unsigned cleaningJobsFor(StorageKind kind, unsigned cores);
// Threads a whole run removes (or measures) the matched entries of all its steps with, side
// by side: one locally, where each library is cleaned one entry after the other, which suits
// the disk's journal; kNetworkWalkers on a share, shared by the steps, so that threads a
// finished library no longer needs go on with the others.
[[nodiscard]] unsigned cleaningThreadsFor(StorageKind kind);

// How a run is laid out.
struct CleaningShape {
    unsigned jobs = 1;                  // steps at once
    unsigned threads = 1;               // removal threads of the whole run; 1: none, each step alone
    std::size_t maxOpenDescriptors = 3; // directory descriptors of each step's walk (and, alone, its removal)
    std::size_t threadDescriptors = 0;  // directory descriptors the run's removal threads share
};

// The layout of a run on storage of `kind`, on `cores` processors, with `descriptors` left to
// open in the process, and `requestedJobs` steps at once (0: by the storage). Every cap comes
// from the descriptors: a low limit means fewer steps and threads at once, never steps left
// out.
[[nodiscard]] CleaningShape cleaningShapeFor(StorageKind kind, unsigned cores, std::size_t descriptors,
                                             unsigned requestedJobs);

} // namespace velmora

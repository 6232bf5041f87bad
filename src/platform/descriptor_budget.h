#pragma once

#include <cstddef>

namespace velmora {

// Raises the soft limit on open descriptors to the hard limit. Both programs call it first
// thing: deep and wide trees are walked faster with more descriptors, and the hard limit is
// what the system allows this process.
void raiseDescriptorLimit();

// Descriptors this process may still open: the soft limit in force minus the descriptors
// open right now. Every cap on descriptors (scan workers and queues, walkers, removals,
// parallel cleanings) is sized from it, so a low limit makes the work slower, never
// incomplete.
[[nodiscard]] std::size_t descriptorsAvailable();

} // namespace velmora

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

// Grows this process's descriptor table at once to hold `count` descriptors above `fd`, the
// one opened last (at most the limit in force): new descriptors take the lowest free numbers,
// so they stay below that while at most `count` more are open. A table grown
// later, one doubling at a time while many threads open files, makes every one of them wait
// at each doubling until no thread can still see the old table: milliseconds each time, and
// more in a virtual machine. Done before those threads start, it costs nothing.
void reserveDescriptors(int fd, std::size_t count);

} // namespace velmora

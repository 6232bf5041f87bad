#pragma once

#include <cstdint>

namespace velmora {

// Total logical size of the regular files below the directory reached from `dirFd` by
// `relative` (resolved like any path: links on the way, and at its end, are followed; nothing
// below it is). 0 when it does not lead to a
// readable directory.
[[nodiscard]] std::int64_t directorySizeAt(int dirFd, const char* relative);

} // namespace velmora

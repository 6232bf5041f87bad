#pragma once

#include "platform/unique_fd.h"

#include <string_view>

namespace velmora {

// How openDirectoryBeneath resolves a path.
enum class BeneathResolver {
    Automatic, // the kernel's openat2 where it has it, components otherwise
    ComponentByComponent,
};

// Opens the directory `relativePath` below the directory open at `rootFd` without ever
// following a symbolic link on the way (the last component included) and without leaving
// the tree below `rootFd` (".." is allowed only where it stays inside). Unless
// `crossMounts`, no component may lie on another mount than `rootFd`. Returns an invalid
// descriptor with errno set on failure: ELOOP for a link on the way, EXDEV for a way out of
// the tree or onto another mount, ENOTDIR, ENOENT, EACCES as usual. An empty path, or one of
// only "." components, opens `rootFd`'s directory again.
[[nodiscard]] UniqueFd openDirectoryBeneath(int rootFd, std::string_view relativePath, bool crossMounts,
                                            BeneathResolver resolver = BeneathResolver::Automatic);

} // namespace velmora

#pragma once

#include "library/fcp_bundle.h"
#include "platform/unique_fd.h"

#include <QString>
#include <string>
#include <variant>

namespace velmora {

// Why a `--library` argument names no library inside the location.
struct LibraryArgumentProblem {
    QString text; // a looked-up text with %1 where the argument goes
};

// The library a `--library` argument names, and its folder, open.
struct NamedLibrary {
    FCPBundle record;
    UniqueFd fd;
};

// Finds the library that `library` names inside the location open at `locationFd`, by
// components: the first leading part of the path that leads to the location itself (links
// there are followed, as for any path the user types), then the rest beneath the location
// without following any link, without leaving it through "..", and (unless `crossMounts`)
// without entering another mount. Any spelling that stays inside is accepted, relative or
// absolute, with "." or ".." components. The record carries the path as given (without
// trailing slashes), the relative path and the identity of the folder found.
[[nodiscard]] std::variant<NamedLibrary, LibraryArgumentProblem>
resolveLibraryArgument(int locationFd, const std::string& library, bool crossMounts);

} // namespace velmora

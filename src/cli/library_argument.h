#pragma once

#include "library/fcp_bundle.h"

#include <QString>
#include <string>
#include <variant>

namespace velmora {

// Why a `--library` argument names no library inside the location.
struct LibraryArgumentProblem {
    QString text; // a looked-up text with %1 where the argument goes
};

// Finds the library that `library` names inside the location open at `locationFd`, by
// components: the first leading part of the path that leads to the location itself (links
// there are followed, as for any path the user types), then the rest beneath the location
// without following any link, without leaving it through "..", and (unless `crossMounts`)
// without entering another mount. Any spelling that stays inside is accepted, relative or
// absolute, with "." or ".." components. The record carries the path as given (without
// trailing slashes), the relative path and the identity of the folder found.
[[nodiscard]] std::variant<FCPBundle, LibraryArgumentProblem>
resolveLibraryArgument(int locationFd, const std::string& library, bool crossMounts);

} // namespace velmora

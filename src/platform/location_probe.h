#pragma once

#include <string>

namespace velmora {

// Why a location cannot be searched, as far as opening it tells.
enum class LocationProblem {
    none,         // a directory that can be read
    missing,      // nothing at the path (or a component of it is missing)
    notDirectory, // something else than a directory is there
    unreadable,   // a directory that cannot be opened for reading
};

// Opens `path` the way the scanner does (following a link to a directory) and says why
// that fails, if it does.
[[nodiscard]] LocationProblem probeLocation(const std::string& path);

} // namespace velmora

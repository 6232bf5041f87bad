#pragma once

#include <string>

namespace velmora {

// Removes every entry of the library at `basePath` that the category with this deletion name
// matches, safely (descriptor-relative, never through a link, never into another mount), and
// writes one line per matched entry to standard output: "Deleted: <full path>" or
// "Error deleting <full path>: <description>". True when at least one entry was removed.
// A library that cannot be walked (or is a link) gives false and no output.
bool deleteMatchingItems(const std::string& basePath, const std::string& deletionName);

} // namespace velmora

#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// Total logical size of the regular files below `path` (links not followed, `path` itself
// not counted; a file or a missing path gives 0).
[[nodiscard]] std::int64_t directorySize(const std::string& path);

// Sum of directorySize(entry/subPath) over every directory directly inside `libraryPath`
// (a link to a directory counts as a directory here).
[[nodiscard]] std::int64_t categorySize(const std::string& libraryPath, const std::string& subPath);

} // namespace velmora

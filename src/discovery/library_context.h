#pragma once

#include "library/category_position.h"
#include "library/fcp_bundle.h"

#include <climits>
#include <cstdint>
#include <string_view>
#include <vector>

namespace velmora {

// True when the name ends in ".fcpbundle", compared byte for byte (letter case matters).
[[nodiscard]] bool hasLibraryName(std::string_view name);

// Stores in `bundle` the device and inode of the entry `name` in `parentFd` (links not
// followed), so a cleaning can check that it reaches the very entry the scan found.
void recordIdentity(int parentFd, const char* name, FCPBundle& bundle);

// No listed cleanable entry encloses the directory.
inline constexpr std::uint32_t kNotListed = UINT32_MAX;

// One library that encloses a directory the scan reads, and where the directory lies in it.
struct EnclosingLibrary {
    std::uint32_t record; // index of the library's record in the result list
    CategoryPosition at;
    // The listed cleanable entry the directory lies in.
    std::uint32_t listedEntry = kNotListed;
};

// The context of the entries of a library directory whose record is `record`.
[[nodiscard]] inline EnclosingLibrary libraryRoot(std::uint32_t record) {
    return EnclosingLibrary{record, {}};
}

// Every library that encloses a directory, outermost first, each with the directory's
// position relative to it. Empty outside all libraries.
using DirectoryContext = std::vector<EnclosingLibrary>;

// The enclosing libraries of the entries of the directory `name`, whose own entries have
// `parent`.
[[nodiscard]] DirectoryContext childContext(const DirectoryContext& parent, std::string_view name);

} // namespace velmora

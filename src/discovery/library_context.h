#pragma once

#include "library/cache_category.h"
#include "library/fcp_bundle.h"

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// True when the name ends in ".fcpbundle", compared byte for byte (letter case matters).
[[nodiscard]] bool hasLibraryName(std::string_view name);

// Stores in `bundle` the device and inode of the entry `name` in `parentFd` (links not
// followed), so a cleaning can check that it reaches the very entry the scan found.
void recordIdentity(int parentFd, const char* name, FCPBundle& bundle);

// Where a directory lies relative to one library that encloses it.
enum class LibraryPosition : std::uint8_t {
    Root,        // the library directory itself
    EventFolder, // a directory directly inside the library
    SubPath,     // inside an event, on the way along one or more categories' sub-paths
    Category,    // at or below a category's sub-path
    Elsewhere,   // anywhere else inside the library: counts in `size` only
};

// Where an entry lies relative to what a cleaning of every category removes from one
// library that encloses it. Cleaning matches whole trailing components of the path inside
// the library, so a directory's scope follows from its parent's scope and its own name.
enum class CleaningScope : std::uint8_t {
    Kept,       // not removed
    KeptPrefix, // not removed, named like the first part of a two-part removed path
    Removed,    // a removed entry, or inside one
};

// The scope of an entry named `name` inside a directory of scope `parent` (a library root
// has scope Kept), for a cleaning of `categories`. Where the entry is itself a removed entry
// (its parent's scope is not Removed), `removedBy` receives the category that removes it.
[[nodiscard]] CleaningScope cleaningScopeOf(CleaningScope parent, std::string_view name,
                                            CategoryMask categories = kEveryCategory,
                                            CacheCategory* removedBy = nullptr);

// No listed cleanable entry encloses the directory.
inline constexpr std::uint32_t kNotListed = UINT32_MAX;

struct EnclosingLibrary {
    std::uint32_t record; // index of the library's record in the result list
    LibraryPosition position = LibraryPosition::Root;
    // SubPath: the sub-path components matched below the event, and the categories whose
    // sub-paths they begin. Category: the category.
    std::uint8_t matched = 0;
    CategoryMask candidates = 0;
    CacheCategory category = CacheCategory::render;
    CleaningScope scope = CleaningScope::Kept;
    // The scope for the categories whose removed entries the scan lists (none: always Kept),
    // and the listed entry the directory lies in.
    CleaningScope listedScope = CleaningScope::Kept;
    std::uint32_t listedEntry = kNotListed;
};

// The context of the entries of a library directory whose record is `record`.
[[nodiscard]] inline EnclosingLibrary libraryRoot(std::uint32_t record) {
    return EnclosingLibrary{record};
}

// Every library that encloses a directory, outermost first, each with the directory's
// position relative to it. Empty outside all libraries.
using DirectoryContext = std::vector<EnclosingLibrary>;

// The position, relative to `library`, of a directory named `name` inside a directory whose
// position is `library.position`; its listed scope under the `listed` categories.
[[nodiscard]] EnclosingLibrary descendInto(const EnclosingLibrary& library, std::string_view name,
                                           CategoryMask listed = 0);

// The enclosing libraries of the entries of the directory `name`, whose own entries have
// `parent`; with their scopes for the `listed` categories.
[[nodiscard]] DirectoryContext childContext(const DirectoryContext& parent, std::string_view name,
                                            CategoryMask listed = 0);

// A category path that goes on through a symbolic link: the part below the link (empty when
// the link itself is the category directory) and the category it measures.
struct LinkedCategoryPath {
    std::string_view rest;
    CacheCategory category;
};

// The category paths that a link named `name`, met where `library.position` says, leads
// into; each is measured by following the link. Empty where no category path goes on.
[[nodiscard]] std::vector<LinkedCategoryPath> categoryPathsThroughLink(const EnclosingLibrary& library,
                                                                       std::string_view name);

} // namespace velmora

#pragma once

#include "library/cache_category.h"

#include <cstdint>
#include <string_view>

namespace velmora {

// Where an entry lies inside one library, as the categories see it. A category's entries are
// exactly its sub-path inside each event, an event being a folder directly inside the
// library: nothing deeper and nothing elsewhere is ever a category's. The scan measures and
// the cleaning removes by this one rule, so the sizes shown are what a cleaning frees.
enum class LibraryPosition : std::uint8_t {
    Root,        // the library folder itself
    EventFolder, // directly inside the library
    SubPath,     // inside an event, on the way along one or more categories' sub-paths
    Category,    // a category's entry, or inside one
    Elsewhere,   // anywhere else: counts in the library's size only
};

struct CategoryPosition {
    LibraryPosition position = LibraryPosition::Root;
    // SubPath: the sub-path components behind, and the categories whose sub-paths they begin.
    std::uint8_t matched = 0;
    CategoryMask candidates = 0;
    // Category: the category whose entry this is or lies in.
    CacheCategory category = CacheCategory::render;

    // The position of the entry `name` inside the folder at this position, looking only at
    // the categories in `categories`. Only a real folder has entries: the caller never asks
    // for the entries of a link, so a link on the way ends every sub-path through it, and a
    // link at the end of one is a category entry (holding no bytes of the library).
    [[nodiscard]] CategoryPosition child(std::string_view name, CategoryMask categories = kEveryCategory) const;

    // Whether a walk that looks for the entries of `categories` comes here: the library, its
    // events, the folders along those sub-paths, and those categories' entries.
    [[nodiscard]] bool reachedBy(CategoryMask categories) const;

    // The entry `name` inside a folder at this position starts an entry of a category in
    // `categories` (the folder itself is not inside one): that category.
    [[nodiscard]] bool startsCategory(std::string_view name, CategoryMask categories, CacheCategory& category) const;
};

// The position of the entry at `relativePath` below a library (components joined by "/"),
// every folder on the way taken as a real folder.
[[nodiscard]] CategoryPosition positionOfPath(std::string_view relativePath,
                                              CategoryMask categories = kEveryCategory);

} // namespace velmora

#pragma once

#include "library/cache_category.h"

#include <QString>
#include <cstdint>

namespace velmora {

// What a person reads of a category, looked up in the loaded translation table.
enum class CategoryText {
    sizeLine,      // "缓存大小: %1" ..., %1 the size text of a library row
    columnHeading, // "缓存大小" ..., the CLI table's heading
    running,       // progress text while a cleaning of the category goes on
    removed,       // closing text when something was removed
    nothing,       // closing text when nothing was removed
};

[[nodiscard]] QString categoryText(CacheCategory category, CategoryText which);

// The context and source text the translation tables know a category's text by, for a lookup
// in a table of its own (see TranslationTable).
inline constexpr const char* kCategoryTextContext = "CacheCategory";
[[nodiscard]] const char* categorySourceText(CacheCategory category, CategoryText which);

// The closing text when something had to stay: %n the entries that stayed; %1 and %2, left in
// the text, take the first of them and its error.
[[nodiscard]] QString categoryFailureText(CacheCategory category, std::uint64_t failed);

} // namespace velmora

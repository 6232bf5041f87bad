#pragma once

#include "library/fcp_bundle.h"
#include "platform/translatable_text.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

// The four kinds of regenerable data, always taken in this order.
enum class CacheCategory { render, proxy, optimized, analysis };

inline constexpr std::array<CacheCategory, 4> allCacheCategories{
    CacheCategory::render, CacheCategory::proxy, CacheCategory::optimized, CacheCategory::analysis};

// The translation context of the texts below that a person reads; the window and the CLI look
// them up under it.
inline constexpr const char* cacheCategoryTextContext = "CacheCategory";

// Every name a category bears, in one place for the scanner, the runs, the window and the CLI.
struct CacheCategoryInfo {
    CacheCategory category;
    std::string_view key; // "render", "proxy", "optimized", "analysis" (CLI, QML)
    std::int64_t FCPBundle::*sizeField;
    std::string_view sizeText;        // "缓存大小: %1" ..., %1 the size text of a library row
    std::string_view columnHeading;   // "缓存大小" ..., the CLI table's heading
    std::string_view measuredSubPath; // "Render Files", "Transcoded Media/Proxy Media" ...
    std::string_view deletionName;    // "Render Files", "Proxy Media", "High Quality Media", "Analysis Cache"
    std::string_view runningText;     // progress text while a category run goes on
    std::string_view removedText;     // closing text when something was removed
    std::string_view nothingText;     // closing text when nothing was removed
    // Closing text when something had to stay: %n failures, %1 the first path, %2 its error.
    std::string_view failedText;
    // What a deletion of this category removes: entries whose relative path ends, by whole
    // components, with one of these (an empty one is unused). The optimized and proxy
    // folders count only inside "Transcoded Media", so the renders that "Render Files" also
    // keeps in a "High Quality Media" folder are never taken for optimized media; analysis
    // data lives in "Analysis Files" folders, which the deletion name alone would miss.
    std::array<std::string_view, 2> removedPaths;
};

[[nodiscard]] const CacheCategoryInfo& categoryInfo(CacheCategory category);

// A set of categories: bit k stands for allCacheCategories[k].
using CategoryMask = std::uint8_t;
inline constexpr CategoryMask kEveryCategory = 0x0F;
[[nodiscard]] constexpr CategoryMask categoryBit(CacheCategory category) {
    return static_cast<CategoryMask>(1u << static_cast<unsigned>(category));
}
[[nodiscard]] std::optional<CacheCategory> categoryFromKey(std::string_view key);
[[nodiscard]] std::optional<CacheCategory> categoryFromDeletionName(std::string_view deletionName);

} // namespace velmora

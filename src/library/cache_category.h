#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

// The four kinds of regenerable data, always taken in this order.
enum class CacheCategory { render, proxy, optimized, analysis };

inline constexpr std::array<CacheCategory, 4> allCacheCategories{
    CacheCategory::render, CacheCategory::proxy, CacheCategory::optimized, CacheCategory::analysis};

[[nodiscard]] constexpr std::size_t categoryIndex(CacheCategory category) {
    return static_cast<std::size_t>(category);
}

// Where a category's data lies in a library, the one place that names its folders; the scan
// and the cleaning derive every path rule from it.
struct CacheCategoryInfo {
    CacheCategory category;
    std::string_view key; // "render", "proxy", "optimized", "analysis" (CLI, QML, JSON)
    // The entry that holds the category's data inside each event folder (a folder directly
    // inside the library): what the scan measures and a cleaning removes (see
    // category_position.h).
    std::string_view subPath;
};

[[nodiscard]] const CacheCategoryInfo& categoryInfo(CacheCategory category);

// A set of categories: bit k stands for allCacheCategories[k].
using CategoryMask = std::uint8_t;
inline constexpr CategoryMask kEveryCategory = 0x0F;
[[nodiscard]] constexpr CategoryMask categoryBit(CacheCategory category) {
    return static_cast<CategoryMask>(1u << static_cast<unsigned>(category));
}
[[nodiscard]] std::optional<CacheCategory> categoryFromKey(std::string_view key);

} // namespace velmora

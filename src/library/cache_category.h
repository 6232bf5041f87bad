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
    // The folder that holds the category's data inside an event folder, which lies directly
    // inside the library: what the scan measures.
    std::string_view subPath;
    // A further name that a cleaning also removes (empty when there is none).
    std::string_view alsoRemoved;

    // What a cleaning of the category removes: entries whose relative path inside the
    // library ends, by whole components, with one of these (an empty one is unused). The
    // optimized and proxy folders count only inside their shared parent folder, so the renders
    // that the render folder keeps in a folder named like the optimized one are never taken
    // for optimized media.
    [[nodiscard]] constexpr std::array<std::string_view, 2> removedPaths() const {
        return {subPath, alsoRemoved};
    }
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

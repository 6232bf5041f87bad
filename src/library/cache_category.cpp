#include "library/cache_category.h"

namespace velmora {

namespace {

constexpr std::array<CacheCategoryInfo, 4> kCategories{{
    {CacheCategory::render, "render", "Render Files"},
    {CacheCategory::proxy, "proxy", "Transcoded Media/Proxy Media"},
    {CacheCategory::optimized, "optimized", "Transcoded Media/High Quality Media"},
    {CacheCategory::analysis, "analysis", "Analysis Files"},
}};

} // namespace

const CacheCategoryInfo& categoryInfo(CacheCategory category) {
    return kCategories[categoryIndex(category)];
}

std::optional<CacheCategory> categoryFromKey(std::string_view key) {
    for (const auto& info : kCategories)
        if (info.key == key) return info.category;
    return std::nullopt;
}

} // namespace velmora

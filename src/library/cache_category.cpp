#include "library/cache_category.h"

namespace velmora {

namespace {

constexpr std::array<CacheCategoryInfo, 4> kCategories{{
    {CacheCategory::render,
     "render",
     &FCPBundle::cacheSize,
     QT_TRANSLATE_NOOP("CacheCategory", "缓存大小: %1"),
     QT_TRANSLATE_NOOP("CacheCategory", "缓存大小"),
     "Render Files",
     "Render Files",
     QT_TRANSLATE_NOOP("CacheCategory", "正在清理时间线渲染缓存..."),
     QT_TRANSLATE_NOOP("CacheCategory", "已清理时间线渲染缓存。"),
     QT_TRANSLATE_NOOP("CacheCategory", "时间线渲染缓存中没有需要清理的文件。"),
     QT_TRANSLATE_N_NOOP("CacheCategory", "时间线渲染缓存中有 %n 项无法删除。第一个无法删除的是 %1：%2"),
     {"Render Files", ""}},
    {CacheCategory::proxy,
     "proxy",
     &FCPBundle::proxySize,
     QT_TRANSLATE_NOOP("CacheCategory", "代理媒体: %1"),
     QT_TRANSLATE_NOOP("CacheCategory", "代理媒体"),
     "Transcoded Media/Proxy Media",
     "Proxy Media",
     QT_TRANSLATE_NOOP("CacheCategory", "正在清理代理媒体..."),
     QT_TRANSLATE_NOOP("CacheCategory", "已清理代理媒体。"),
     QT_TRANSLATE_NOOP("CacheCategory", "代理媒体中没有需要清理的文件。"),
     QT_TRANSLATE_N_NOOP("CacheCategory", "代理媒体中有 %n 项无法删除。第一个无法删除的是 %1：%2"),
     {"Transcoded Media/Proxy Media", ""}},
    {CacheCategory::optimized,
     "optimized",
     &FCPBundle::optimizedSize,
     QT_TRANSLATE_NOOP("CacheCategory", "优化媒体: %1"),
     QT_TRANSLATE_NOOP("CacheCategory", "优化媒体"),
     "Transcoded Media/High Quality Media",
     "High Quality Media",
     QT_TRANSLATE_NOOP("CacheCategory", "正在清理优化媒体..."),
     QT_TRANSLATE_NOOP("CacheCategory", "已清理优化媒体。"),
     QT_TRANSLATE_NOOP("CacheCategory", "优化媒体中没有需要清理的文件。"),
     QT_TRANSLATE_N_NOOP("CacheCategory", "优化媒体中有 %n 项无法删除。第一个无法删除的是 %1：%2"),
     {"Transcoded Media/High Quality Media", ""}},
    {CacheCategory::analysis,
     "analysis",
     &FCPBundle::analysisSize,
     QT_TRANSLATE_NOOP("CacheCategory", "媒体分析缓存: %1"),
     QT_TRANSLATE_NOOP("CacheCategory", "媒体分析缓存"),
     "Analysis Files",
     "Analysis Cache",
     QT_TRANSLATE_NOOP("CacheCategory", "正在清理媒体分析缓存..."),
     QT_TRANSLATE_NOOP("CacheCategory", "已清理媒体分析缓存。"),
     QT_TRANSLATE_NOOP("CacheCategory", "媒体分析缓存中没有需要清理的文件。"),
     QT_TRANSLATE_N_NOOP("CacheCategory", "媒体分析缓存中有 %n 项无法删除。第一个无法删除的是 %1：%2"),
     {"Analysis Cache", "Analysis Files"}},
}};

} // namespace

const CacheCategoryInfo& categoryInfo(CacheCategory category) {
    return kCategories[static_cast<std::size_t>(category)];
}

std::optional<CacheCategory> categoryFromKey(std::string_view key) {
    for (const auto& info : kCategories)
        if (info.key == key) return info.category;
    return std::nullopt;
}

std::optional<CacheCategory> categoryFromDeletionName(std::string_view deletionName) {
    for (const auto& info : kCategories)
        if (info.deletionName == deletionName) return info.category;
    return std::nullopt;
}

} // namespace velmora

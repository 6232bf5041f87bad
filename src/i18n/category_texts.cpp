#include "i18n/category_texts.h"

#include "i18n/translation.h"

#include <QtGlobal>
#include <array>

namespace velmora {
namespace {

struct Texts {
    std::array<const char*, 5> fixed; // by CategoryText
    const char* failed;
};

constexpr std::array<Texts, 4> kTexts{{
    {{QT_TRANSLATE_NOOP("CacheCategory", "缓存大小: %1"), QT_TRANSLATE_NOOP("CacheCategory", "缓存大小"),
      QT_TRANSLATE_NOOP("CacheCategory", "正在清理时间线渲染缓存..."),
      QT_TRANSLATE_NOOP("CacheCategory", "已清理时间线渲染缓存。"),
      QT_TRANSLATE_NOOP("CacheCategory", "时间线渲染缓存中没有需要清理的文件。")},
     QT_TRANSLATE_N_NOOP("CacheCategory", "时间线渲染缓存中有 %n 项无法删除。第一个无法删除的是 %1：%2")},
    {{QT_TRANSLATE_NOOP("CacheCategory", "代理媒体: %1"), QT_TRANSLATE_NOOP("CacheCategory", "代理媒体"),
      QT_TRANSLATE_NOOP("CacheCategory", "正在清理代理媒体..."), QT_TRANSLATE_NOOP("CacheCategory", "已清理代理媒体。"),
      QT_TRANSLATE_NOOP("CacheCategory", "代理媒体中没有需要清理的文件。")},
     QT_TRANSLATE_N_NOOP("CacheCategory", "代理媒体中有 %n 项无法删除。第一个无法删除的是 %1：%2")},
    {{QT_TRANSLATE_NOOP("CacheCategory", "优化媒体: %1"), QT_TRANSLATE_NOOP("CacheCategory", "优化媒体"),
      QT_TRANSLATE_NOOP("CacheCategory", "正在清理优化媒体..."), QT_TRANSLATE_NOOP("CacheCategory", "已清理优化媒体。"),
      QT_TRANSLATE_NOOP("CacheCategory", "优化媒体中没有需要清理的文件。")},
     QT_TRANSLATE_N_NOOP("CacheCategory", "优化媒体中有 %n 项无法删除。第一个无法删除的是 %1：%2")},
    {{QT_TRANSLATE_NOOP("CacheCategory", "媒体分析缓存: %1"), QT_TRANSLATE_NOOP("CacheCategory", "媒体分析缓存"),
      QT_TRANSLATE_NOOP("CacheCategory", "正在清理媒体分析缓存..."),
      QT_TRANSLATE_NOOP("CacheCategory", "已清理媒体分析缓存。"),
      QT_TRANSLATE_NOOP("CacheCategory", "媒体分析缓存中没有需要清理的文件。")},
     QT_TRANSLATE_N_NOOP("CacheCategory", "媒体分析缓存中有 %n 项无法删除。第一个无法删除的是 %1：%2")},
}};

} // namespace

const char* categorySourceText(CacheCategory category, CategoryText which) {
    return kTexts[categoryIndex(category)].fixed[static_cast<std::size_t>(which)];
}

QString categoryText(CacheCategory category, CategoryText which) {
    return translate(kCategoryTextContext, categorySourceText(category, which));
}

QString categoryFailureText(CacheCategory category, std::uint64_t failed) {
    return translate(kCategoryTextContext, kTexts[categoryIndex(category)].failed, nullptr, failed);
}

} // namespace velmora

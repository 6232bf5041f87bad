#include "web/console_texts.h"

#include "i18n/category_texts.h"
#include "i18n/translation.h"

#include <QtGlobal>
#include <array>

namespace velmora::web {

namespace {

constexpr const char* kContext = "WebConsole";

// The page's own texts by key; the kinds' names come from the category texts.
constexpr std::array<std::pair<const char*, const char*>, 16> kTexts{{
    {"signIn", QT_TRANSLATE_NOOP("WebConsole", "登录")},
    {"signOut", QT_TRANSLATE_NOOP("WebConsole", "退出登录")},
    {"token", QT_TRANSLATE_NOOP("WebConsole", "令牌")},
    {"wrongToken", QT_TRANSLATE_NOOP("WebConsole", "这个令牌无效。")},
    {"roots", QT_TRANSLATE_NOOP("WebConsole", "存储位置")},
    {"libraries", QT_TRANSLATE_NOOP("WebConsole", "资源库")},
    {"total", QT_TRANSLATE_NOOP("WebConsole", "总大小")},
    {"reclaimable", QT_TRANSLATE_NOOP("WebConsole", "可清理")},
    {"lastModified", QT_TRANSLATE_NOOP("WebConsole", "最后修改")},
    {"rescan", QT_TRANSLATE_NOOP("WebConsole", "重新扫描")},
    {"scanning", QT_TRANSLATE_NOOP("WebConsole", "正在扫描...")},
    {"clean", QT_TRANSLATE_NOOP("WebConsole", "清理")},
    {"stop", QT_TRANSLATE_NOOP("WebConsole", "停止")},
    {"cancel", QT_TRANSLATE_NOOP("WebConsole", "取消")},
    {"history", QT_TRANSLATE_NOOP("WebConsole", "清理记录")},
    {"notScanned", QT_TRANSLATE_NOOP("WebConsole", "这个位置还没有扫描过。")},
}};

} // namespace

ConsoleTexts::ConsoleTexts() {
    tables_.emplace(QString(), TranslationTable(std::nullopt));
    for (const QString& language : availableTranslations())
        tables_.emplace(language, TranslationTable(language));
}

nlohmann::ordered_json ConsoleTexts::texts(const std::string& lang, const std::string& acceptLanguage) const {
    QStringList preferences;
    if (!lang.empty()) preferences << QString::fromStdString(lang);
    // "en-GB,en;q=0.9,zh-CN;q=0.8": in the order given, the weights aside.
    for (const QString& part : QString::fromStdString(acceptLanguage).split(u',', Qt::SkipEmptyParts))
        preferences << part.section(u';', 0, 0).trimmed();
    const std::optional<QString> language = chooseTranslation(preferences, availableTranslations());
    const TranslationTable& table = tables_.at(language.value_or(QString()));
    nlohmann::ordered_json texts;
    for (const auto& [key, source] : kTexts)
        texts[key] = table.text(kContext, source).toStdString();
    for (CacheCategory category : allCacheCategories)
        texts[std::string(categoryInfo(category).key)] =
            table.text(kCategoryTextContext, categorySourceText(category, CategoryText::columnHeading)).toStdString();
    return {{"language", language.value_or(QStringLiteral("zh")).toStdString()}, {"texts", std::move(texts)}};
}

} // namespace velmora::web

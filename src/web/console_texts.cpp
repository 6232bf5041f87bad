#include "web/console_texts.h"

#include "i18n/category_texts.h"
#include "i18n/failure_reason_text.h"
#include "i18n/translation.h"

#include <QtGlobal>
#include <array>

namespace velmora::web {

namespace {

constexpr const char* kContext = "WebConsole";

struct PageText {
    const char* key;
    const char* context;
    const char* source;
    bool plural; // served as {"one", "other"}, with "%n" left for the page to fill
};

// The page's texts by key: its own, and the window's where the page shows the same thing (the
// cleaning buttons, the sort keys, the progress and stop texts), so both say it alike. The
// kinds' names come from the category texts.
constexpr std::array<PageText, 72> kTexts{{
    {"signIn", kContext, QT_TRANSLATE_NOOP("WebConsole", "登录"), false},
    {"signOut", kContext, QT_TRANSLATE_NOOP("WebConsole", "退出登录"), false},
    {"token", kContext, QT_TRANSLATE_NOOP("WebConsole", "令牌"), false},
    {"wrongToken", kContext, QT_TRANSLATE_NOOP("WebConsole", "这个令牌无效。"), false},
    {"signInHint", kContext, QT_TRANSLATE_NOOP("WebConsole", "输入服务器管理员给你的令牌。"), false},
    {"roots", kContext, QT_TRANSLATE_NOOP("WebConsole", "存储位置"), false},
    {"libraries", kContext, QT_TRANSLATE_NOOP("WebConsole", "资源库"), false},
    {"total", kContext, QT_TRANSLATE_NOOP("WebConsole", "总大小"), false},
    {"reclaimable", kContext, QT_TRANSLATE_NOOP("WebConsole", "可清理"), false},
    {"lastModified", kContext, QT_TRANSLATE_NOOP("WebConsole", "最后修改"), false},
    {"rescan", kContext, QT_TRANSLATE_NOOP("WebConsole", "重新扫描"), false},
    {"scanning", kContext, QT_TRANSLATE_NOOP("WebConsole", "正在扫描..."), false},
    {"scannedAt", kContext, QT_TRANSLATE_NOOP("WebConsole", "扫描于 %1"), false},
    {"notScanned", kContext, QT_TRANSLATE_NOOP("WebConsole", "这个位置还没有扫描过。"), false},
    {"clean", kContext, QT_TRANSLATE_NOOP("WebConsole", "清理"), false},
    {"stop", kContext, QT_TRANSLATE_NOOP("WebConsole", "停止"), false},
    {"cancel", kContext, QT_TRANSLATE_NOOP("WebConsole", "取消"), false},
    {"close", kContext, QT_TRANSLATE_NOOP("WebConsole", "关闭"), false},
    {"history", kContext, QT_TRANSLATE_NOOP("WebConsole", "清理记录"), false},
    {"noHistory", kContext, QT_TRANSLATE_NOOP("WebConsole", "还没有清理记录。"), false},
    {"selectAll", kContext, QT_TRANSLATE_NOOP("WebConsole", "全选"), false},
    {"selectNone", kContext, QT_TRANSLATE_NOOP("WebConsole", "取消选择"), false},
    {"untouchedDays", kContext, QT_TRANSLATE_NOOP("WebConsole", "未修改天数"), false},
    {"selectUntouched", kContext, QT_TRANSLATE_NOOP("WebConsole", "选择未修改的资源库"), false},
    {"selectLibraryHint", kContext, QT_TRANSLATE_NOOP("WebConsole", "请先选择资源库。"), false},
    {"noMatch", kContext, QT_TRANSLATE_NOOP("WebConsole", "没有符合筛选条件的资源库。"), false},
    {"viewerNote", kContext, QT_TRANSLATE_NOOP("WebConsole", "这个令牌只能查看大小，不能清理。"), false},
    {"language", kContext, QT_TRANSLATE_NOOP("WebConsole", "语言"), false},
    {"confirmTitle", kContext, QT_TRANSLATE_NOOP("WebConsole", "确认清理"), false},
    {"keepsOriginals", kContext, QT_TRANSLATE_NOOP("WebConsole", "原始媒体和项目保留不动。"), false},
    {"reportTitle", kContext, QT_TRANSLATE_NOOP("WebConsole", "清理结果"), false},
    {"reportDone", kContext, QT_TRANSLATE_NOOP("WebConsole", "清理完成，没有失败。"), false},
    {"waiting", kContext, QT_TRANSLATE_NOOP("WebConsole", "正在等待同一资源库的另一次清理结束..."), false},
    {"connectionLost", kContext, QT_TRANSLATE_NOOP("WebConsole", "与服务器的连接已断开，正在重新连接..."), false},
    {"failedRequest", kContext, QT_TRANSLATE_NOOP("WebConsole", "请求失败：%1"), false},
    {"statusDeleted", kContext, QT_TRANSLATE_NOOP("WebConsole", "已删除"), false},
    {"statusFailed", kContext, QT_TRANSLATE_NOOP("WebConsole", "无法删除"), false},
    {"when", kContext, QT_TRANSLATE_NOOP("WebConsole", "时间"), false},
    {"by", kContext, QT_TRANSLATE_NOOP("WebConsole", "操作者"), false},
    {"kinds", kContext, QT_TRANSLATE_NOOP("WebConsole", "类型"), false},
    {"failedColumn", kContext, QT_TRANSLATE_NOOP("WebConsole", "失败"), false},
    {"bytesColumn", kContext, QT_TRANSLATE_NOOP("WebConsole", "大小"), false},
    {"stoppedMark", kContext, QT_TRANSLATE_NOOP("WebConsole", "已停止"), false},
    {"path", kContext, QT_TRANSLATE_NOOP("WebConsole", "路径"), false},
    {"selectRow", kContext, QT_TRANSLATE_NOOP("WebConsole", "选择 %1"), false},
    {"selectedCount", kContext, QT_TRANSLATE_N_NOOP("WebConsole", "已选择 %n 个资源库"), true},
    {"confirmText", kContext, QT_TRANSLATE_N_NOOP("WebConsole", "将从 %1 中的 %n 个资源库删除："), true},
    {"reportRemoved", kContext, QT_TRANSLATE_N_NOOP("WebConsole", "已删除 %n 项，共 %1。"), true},
    {"reportFailed", kContext, QT_TRANSLATE_N_NOOP("WebConsole", "%n 项无法删除。第一个无法删除的是 %1：%2"), true},
    {"libraryCount", kContext, QT_TRANSLATE_N_NOOP("WebConsole", "%n 个资源库"), true},
    {"moreEntries", kContext, QT_TRANSLATE_N_NOOP("WebConsole", "还有 %n 项未列出。"), true},
    {"unreadableFolders", kContext, QT_TRANSLATE_N_NOOP("WebConsole", "%n 个文件夹无法读取，大小未计入。第一个是 %1：%2"), true},
    {"cleanRender", "ActionPanel", QT_TRANSLATE_NOOP("ActionPanel", "清理渲染缓存"), false},
    {"cleanProxy", "ActionPanel", QT_TRANSLATE_NOOP("ActionPanel", "清理代理媒体"), false},
    {"cleanOptimized", "ActionPanel", QT_TRANSLATE_NOOP("ActionPanel", "清理优化媒体"), false},
    {"cleanAnalysis", "ActionPanel", QT_TRANSLATE_NOOP("ActionPanel", "清理分析缓存"), false},
    {"cleanLibrary", "ActionPanel", QT_TRANSLATE_NOOP("ActionPanel", "一键清理资源库"), false},
    {"cleanAll", "ActionPanel", QT_TRANSLATE_NOOP("ActionPanel", "一键清理硬盘"), false},
    {"stopCleaning", "ProgressSection", QT_TRANSLATE_NOOP("ProgressSection", "停止清理"), false},
    {"filterPlaceholder", "LibraryList", QT_TRANSLATE_NOOP("LibraryList", "按名称或路径筛选"), false},
    {"sortLabel", "LibraryList", QT_TRANSLATE_NOOP("LibraryList", "排序："), false},
    {"descending", "LibraryList", QT_TRANSLATE_NOOP("LibraryList", "降序"), false},
    {"ascending", "LibraryList", QT_TRANSLATE_NOOP("LibraryList", "升序"), false},
    {"sortScan", "BundleSortFilterModel", QT_TRANSLATE_NOOP("BundleSortFilterModel", "扫描顺序"), false},
    {"sortName", "BundleSortFilterModel", QT_TRANSLATE_NOOP("BundleSortFilterModel", "名称"), false},
    {"sortSize", "BundleSortFilterModel", QT_TRANSLATE_NOOP("BundleSortFilterModel", "总大小"), false},
    {"sortReclaimable", "BundleSortFilterModel", QT_TRANSLATE_NOOP("BundleSortFilterModel", "可清理大小"), false},
    {"stopping", "ContentView", QT_TRANSLATE_NOOP("ContentView", "正在停止清理..."), false},
    {"cleaningPercent", "ContentView", QT_TRANSLATE_NOOP("ContentView", "正在清理... %1%"), false},
    {"scanCount", "ContentView", QT_TRANSLATE_NOOP("ContentView", "已扫描 %1 项 · 找到 %2 个资源库"), false},
    {"noLibraries", "ContentView", QT_TRANSLATE_NOOP("ContentView", "%1 中没有 Final Cut Pro 资源库。"), false},
    {"stoppedReport", "ContentView", QT_TRANSLATE_N_NOOP("ContentView", "清理已停止。停止前已删除 %n 项。"), true},
}};

} // namespace

ConsoleTexts::ConsoleTexts() {
    tables_.emplace(QString(), TranslationTable(std::nullopt));
    for (const QString& language : availableTranslations())
        tables_.emplace(language, TranslationTable(language));
}

std::optional<QString> ConsoleTexts::language(const std::string& lang, const std::string& acceptLanguage) const {
    QStringList preferences;
    if (!lang.empty()) preferences << QString::fromStdString(lang);
    // "en-GB,en;q=0.9,zh-CN;q=0.8": in the order given, the weights aside.
    for (const QString& part : QString::fromStdString(acceptLanguage).split(u',', Qt::SkipEmptyParts))
        preferences << part.section(u';', 0, 0).trimmed();
    return chooseTranslation(preferences, availableTranslations());
}

ReasonWording ConsoleTexts::failureReasons(const std::string& lang, const std::string& acceptLanguage) const {
    const TranslationTable& table = tables_.at(language(lang, acceptLanguage).value_or(QString()));
    return [&table](const std::string& reason) {
        return table.text(kFailureReasonContext, reason.c_str()).toStdString();
    };
}

nlohmann::ordered_json ConsoleTexts::texts(const std::string& lang, const std::string& acceptLanguage) const {
    const std::optional<QString> language = this->language(lang, acceptLanguage);
    const TranslationTable& table = tables_.at(language.value_or(QString()));
    nlohmann::ordered_json texts;
    for (const PageText& text : kTexts) {
        if (text.plural)
            texts[text.key] = {{"one", table.text(text.context, text.source, 1).toStdString()},
                               {"other", table.text(text.context, text.source, 2).toStdString()}};
        else
            texts[text.key] = table.text(text.context, text.source).toStdString();
    }
    for (CacheCategory category : allCacheCategories)
        texts[std::string(categoryInfo(category).key)] =
            table.text(kCategoryTextContext, categorySourceText(category, CategoryText::columnHeading)).toStdString();
    return {{"language", language.value_or(QStringLiteral("zh")).toStdString()}, {"texts", std::move(texts)}};
}

} // namespace velmora::web

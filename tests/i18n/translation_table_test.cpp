// The translation tables: which table a user's languages choose, that every source text of the
// program has a finished entry in every table, and that the built-in table is the one looked up.
#include "i18n/translation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace velmora {
namespace {

TEST(ChooseTranslation, FirstPreferenceWithATableWins) {
    const QStringList tables{QStringLiteral("en"), QStringLiteral("pt_BR"), QStringLiteral("zh")};
    const std::pair<QStringList, std::optional<QString>> cases[] = {
        {{"en-US", "en-Latn-US", "en"}, "en"},
        {{"en-GB", "en-Latn-GB"}, "en"},             // a region without its own table: its language's
        {{"fr", "fr-FR", "en", "en-US"}, "en"},      // a language without a table is passed over
        {{"zh-CN", "zh-Hans-CN", "zh", "en"}, "zh"}, // Chinese first: Chinese, not English
        {{"zh-TW", "en"}, "zh"},
        {{"de-DE", "zh-CN", "en"}, "zh"},
        {{"pt-BR"}, "pt_BR"},
        {{"pt-PT", "pt"}, {}}, // "pt_BR" is no table for Portugal
        {{"C"}, {}},
        {{}, {}},
        {{""}, {}},
    };
    for (const auto& [preferences, chosen] : cases)
        EXPECT_EQ(chooseTranslation(preferences, tables), chosen) << preferences.join(u',').toStdString();
}

// One message of a table as lupdate left it: its source, the type of its translation
// ("unfinished", "vanished", "obsolete", or empty when finished) and the translation, or one per
// plural form of a text with a count.
struct Message {
    QString source, type;
    QStringList translations;
};

std::vector<Message> readTable(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    static const QRegularExpression message(
        QStringLiteral("<message[^>]*>\\s*<source>(.*?)</source>.*?<translation(?: "
                       "type=\"(\\w+)\")?>(.*?)</translation>"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression form(QStringLiteral("<numerusform>(.*?)</numerusform>"));
    std::vector<Message> messages;
    for (auto it = message.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QStringList forms;
        for (auto f = form.globalMatch(m.captured(3)); f.hasNext();)
            forms << f.next().captured(1);
        messages.push_back(
            {m.captured(1), m.captured(2), forms.isEmpty() ? QStringList{m.captured(3)} : forms});
    }
    return messages;
}

std::multiset<QString> placeholders(const QString& text) {
    static const QRegularExpression marker(QStringLiteral("%L?(\\d+|n)"));
    std::multiset<QString> found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured());
    return found;
}

// Collects the program's texts afresh into a copy of each table: a text added to the code
// without an entry comes out unfinished, one dropped from the code as vanished.
TEST(TranslationTables, EveryTextOfTheProgramHasAFinishedEntryInEveryTable) {
    const QStringList tables = QDir(QStringLiteral(VELMORA_TRANSLATIONS_DIR))
                                   .entryList({QStringLiteral("velmora_*.ts")}, QDir::Files);
    ASSERT_FALSE(tables.isEmpty());
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    for (const QString& table : tables) {
        SCOPED_TRACE(table.toStdString());
        const QString copy = scratch.filePath(table);
        ASSERT_TRUE(QFile::copy(QDir(QStringLiteral(VELMORA_TRANSLATIONS_DIR)).filePath(table), copy));
        QProcess lupdate;
        lupdate.start(QStringLiteral(VELMORA_LUPDATE),
                      {QStringLiteral("-locations"), QStringLiteral("none"),
                       QStringLiteral("@" VELMORA_TRANSLATABLE_SOURCES), QStringLiteral("-ts"), copy});
        ASSERT_TRUE(lupdate.waitForFinished(120000));
        ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();

        const std::vector<Message> messages = readTable(copy);
        EXPECT_GT(messages.size(), 50u) << "the sources were not read";
        const bool english = table == QStringLiteral("velmora_en.ts");
        const bool chinese = table == QStringLiteral("velmora_zh.ts");
        static const QRegularExpression han(QStringLiteral("\\p{Han}"));
        static const QRegularExpression words(QStringLiteral("[A-Za-z]{2,}"));
        for (const Message& m : messages) {
            const std::string where = m.source.toStdString();
            EXPECT_TRUE(m.type.isEmpty())
                << where << ": " << m.type.toStdString()
                << " (bring the table up to date: cmake --build build --target update_translations, "
                   "then translate)";
            for (const QString& translation : m.translations) {
                EXPECT_FALSE(translation.isEmpty()) << where;
                // Data goes into every translation exactly where the source takes it.
                EXPECT_EQ(placeholders(translation), placeholders(m.source)) << where;
                EXPECT_FALSE(english && translation.contains(han)) << where;
                // A text written in English reads in Chinese in the Chinese table.
                EXPECT_FALSE(chinese && m.source.contains(words) && !m.source.contains(han) &&
                             !translation.contains(han))
                    << where;
            }
        }
    }
}

TEST(TranslationTables, TheLocaleChoosesTheBuiltInTableOrTheSourceTexts) {
    const struct {
        const char* locale;
        std::optional<QString> language;
        const char *ok, *home;
    } cases[] = {
        {"en_GB", "en", "OK", "Home"}, {"fr_FR", {}, "确定", "主目录"}, {"zh_TW", "zh", "确定", "主目录"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        EXPECT_EQ(useTranslationFor(QLocale(QString::fromLatin1(c.locale))), c.language);
        EXPECT_EQ(translate("MessageAlert", "确定"), QString::fromUtf8(c.ok));
        // A source text kept by the core need not end where its view does.
        EXPECT_EQ(translate("Locations", std::string_view("主目录 and more").substr(0, 9)),
                  QString::fromUtf8(c.home));
        // A text without an entry, or under another context, reads as written.
        EXPECT_EQ(translate("MessageAlert", "没有这个条目"), QStringLiteral("没有这个条目"));
        EXPECT_EQ(translate("LibraryRow", "确定"), QStringLiteral("确定"));
    }
    // A text with a count takes the plural form of its count, with the count's digits grouped.
    const char* stopped = "清理已停止。停止前已删除 %n 项。";
    ASSERT_EQ(useTranslationFor(QLocale(QStringLiteral("en_US"))), QString("en"));
    EXPECT_EQ(translate("ContentView", stopped, nullptr, 1),
              "Cleaning stopped. 1 item was removed before the stop.");
    EXPECT_EQ(translate("ContentView", stopped, nullptr, 12345),
              "Cleaning stopped. 12,345 items were removed before the stop.");
    (void)useTranslationFor(QLocale(QStringLiteral("zh_CN")));
    EXPECT_EQ(translate("ContentView", stopped, nullptr, 12345), "清理已停止。停止前已删除 12,345 项。");
}

} // namespace
} // namespace velmora

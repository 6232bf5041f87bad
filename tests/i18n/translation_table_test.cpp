// The translation tables: which table a user's languages choose, that every source text of the
// program has a finished entry in every table, and that the built-in table is the one looked up.
#include "i18n/translation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <set>

namespace velmora {
namespace {

TEST(ChooseTranslation, FirstPreferenceWithATableWinsAndChineseMeansTheSourceTexts) {
    const QStringList tables{QStringLiteral("en"), QStringLiteral("pt_BR")};
    struct Case {
        QStringList preferences;
        std::optional<QString> chosen;
    };
    const std::vector<Case> cases{
        {{"en-US", "en-Latn-US", "en"}, "en"},
        {{"en-GB", "en-Latn-GB"}, "en"},           // a region without its own table: its language's
        {{"fr", "fr-FR", "en", "en-US"}, "en"},    // a language without a table is passed over
        {{"zh-CN", "zh-Hans-CN", "zh", "en"}, {}}, // Chinese first: the source texts, not English
        {{"zh-TW", "en"}, {}},
        {{"de-DE", "zh-CN", "en"}, {}},
        {{"pt-BR"}, "pt_BR"},
        {{"pt-PT", "pt"}, {}}, // "pt_BR" is no table for Portugal
        {{"C"}, {}},
        {{}, {}},
        {{""}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseTranslation(c.preferences, tables), c.chosen)
            << c.preferences.join(u',').toStdString();
}

// One message of a table as lupdate left it.
struct Message {
    QString context;
    QString source;
    QStringList translations; // one, or one per plural form of a text with a count
    QString type;             // "unfinished", "vanished", "obsolete" or empty when finished
};

std::vector<Message> readTable(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    std::vector<Message> messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (xml.readNext() != QXmlStreamReader::EndDocument && !xml.hasError()) {
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            Message message{context, {}, {}, {}};
            while (xml.readNextStartElement()) {
                if (xml.name() == u"source") {
                    message.source = xml.readElementText();
                } else if (xml.name() == u"translation") {
                    message.type = xml.attributes().value(QStringLiteral("type")).toString();
                    QString text;
                    // Plain text, or a <numerusform> per plural form.
                    while (xml.readNext() != QXmlStreamReader::EndElement || xml.name() != u"translation") {
                        if (xml.isCharacters()) text += xml.text();
                        if (xml.isStartElement() && xml.name() == u"numerusform")
                            message.translations.push_back(xml.readElementText());
                    }
                    if (message.translations.isEmpty()) message.translations.push_back(text);
                } else {
                    xml.skipCurrentElement();
                }
            }
            messages.push_back(message);
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
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
        static const QRegularExpression han(QStringLiteral("\\p{Han}"));
        for (const Message& m : messages) {
            const std::string where = (m.context + QStringLiteral(" / ") + m.source).toStdString();
            EXPECT_TRUE(m.type.isEmpty())
                << where << ": " << m.type.toStdString()
                << " (bring the table up to date: cmake --build build --target update_translations, "
                   "then translate)";
            for (const QString& translation : m.translations) {
                EXPECT_FALSE(translation.isEmpty()) << where;
                // Data goes into every translation exactly where the source takes it.
                EXPECT_EQ(placeholders(translation), placeholders(m.source)) << where;
                if (english) EXPECT_FALSE(translation.contains(han)) << where;
            }
        }
    }
}

TEST(TranslationTables, TheLocaleChoosesTheBuiltInTableOrTheSourceTexts) {
    EXPECT_TRUE(availableTranslations().contains(QStringLiteral("en")));
    struct Case {
        const char* locale;
        std::optional<QString> language;
        const char* ok;
        const char* home;
    };
    const std::vector<Case> cases{
        {"en_GB", "en", "OK", "Home"},
        {"zh_CN", {}, "确定", "主目录"},
        {"fr_FR", {}, "确定", "主目录"},
        {"en_US", "en", "OK", "Home"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        EXPECT_EQ(useTranslationFor(QLocale(QString::fromLatin1(c.locale))), c.language);
        EXPECT_EQ(translate("MessageAlert", "确定"), QString::fromUtf8(c.ok));
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

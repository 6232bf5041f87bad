#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

class QTranslator;
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace velmora {

// The language whose table to load for a user preference list such as
// QLocale::uiLanguages() returns ("en-GB", "en-Latn-GB", ...), given the languages that have a
// table ("en", "zh", ...). The first preference that has a table wins, a regional one
// ("en-GB", "zh-TW") falling back to its language ("en", "zh"). Nothing when no preference
// has a table: then the source texts show, most of them Chinese. The Chinese table gives the
// Chinese texts as they are and the CLI's messages, written in English, in Chinese.
[[nodiscard]] std::optional<QString> chooseTranslation(const QStringList& preferences,
                                                       const QStringList& available);

// The languages whose tables are built into the program, e.g. {"en"}.
[[nodiscard]] QStringList availableTranslations();

// Loads the table for `locale` (by default the user's, from LANGUAGE, LC_ALL, LC_MESSAGES and
// LANG) as the one every text of this process is looked up in, replacing the previous one,
// and installs it in the running QCoreApplication when there is one, so QML's qsTr finds it.
// Returns the language loaded; nothing means the source texts show.
std::optional<QString> useTranslationFor(const QLocale& locale = QLocale::system());

// One language's table on its own, beside the process-wide one: for a server that answers each
// request in its client's language. Reading it from several threads at once is safe.
class TranslationTable {
  public:
    // The table of `language` as built into the program; without one the source texts show.
    explicit TranslationTable(const std::optional<QString>& language);
    ~TranslationTable();
    TranslationTable(TranslationTable&&) noexcept;

    // `count` chooses the plural form of a text with "%n" (left in the text for the caller).
    [[nodiscard]] QString text(const char* context, const char* sourceText, int count = -1) const;

  private:
    std::unique_ptr<QTranslator> translator_;
};

// The text for `sourceText` in the loaded table; the source text itself without a table or
// without an entry. Needs no QCoreApplication, so the CLI can use it as it is.
[[nodiscard]] QString translate(const char* context, const char* sourceText);
// The same for a source text kept by the core, which is not null-terminated in general.
[[nodiscard]] QString translate(const char* context, std::string_view sourceText);
// A text with a count: the table words each plural form on its own, and "%n" stands for
// `count`, its digits grouped as groupedNumber does. The unused disambiguation argument keeps
// the call in the form lupdate reads as plural.
[[nodiscard]] QString translate(const char* context, const char* sourceText, const char* disambiguation,
                                std::uint64_t count);
[[nodiscard]] QString translate(const char* context, std::string_view sourceText, const char* disambiguation,
                                std::uint64_t count);

} // namespace velmora

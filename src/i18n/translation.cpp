#include "i18n/translation.h"

#include "i18n/grouped_number.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>
#include <algorithm>
#include <limits>
#include <memory>

namespace velmora {

namespace {

// Where the build puts the compiled tables, and how they are named: velmora_<language>.qm.
const char* const kTableDirectory = ":/i18n";
const char* const kTablePrefix = "velmora_";
const char* const kTableSuffix = ".qm";

// The process-wide table; null while the source texts show. Replaced only on the main thread
// before or between uses, read by every lookup.
std::unique_ptr<QTranslator>& activeTranslator() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

// "en-Latn-GB" -> {"en_latn_gb", "en_latn", "en"}: the preference, then ever shorter forms.
QStringList fallbacks(const QString& preference) {
    QStringList names;
    QString name = preference.toLower().replace(QLatin1Char('-'), QLatin1Char('_'));
    while (!name.isEmpty()) {
        names.push_back(name);
        const qsizetype cut = name.lastIndexOf(QLatin1Char('_'));
        name = cut < 0 ? QString() : name.left(cut);
    }
    return names;
}

} // namespace

std::optional<QString> chooseTranslation(const QStringList& preferences, const QStringList& available) {
    for (const QString& preference : preferences) {
        const QStringList names = fallbacks(preference);
        for (const QString& name : names)
            for (const QString& language : available)
                if (language.compare(name, Qt::CaseInsensitive) == 0) return language;
    }
    return std::nullopt;
}

QStringList availableTranslations() {
    QStringList languages;
    const QString prefix = QLatin1String(kTablePrefix);
    const QString suffix = QLatin1String(kTableSuffix);
    const QStringList files =
        QDir(QLatin1String(kTableDirectory)).entryList({prefix + u'*' + suffix}, QDir::Files);
    for (const QString& file : files)
        languages.push_back(file.mid(prefix.size(), file.size() - prefix.size() - suffix.size()));
    return languages;
}

TranslationTable::TranslationTable(const std::optional<QString>& language) {
    if (!language) return;
    auto translator = std::make_unique<QTranslator>();
    const QString file = QLatin1String(kTablePrefix) + *language + QLatin1String(kTableSuffix);
    if (translator->load(file, QLatin1String(kTableDirectory))) translator_ = std::move(translator);
}

TranslationTable::~TranslationTable() = default;
TranslationTable::TranslationTable(TranslationTable&&) noexcept = default;

QString TranslationTable::text(const char* context, const char* sourceText, int count) const {
    if (translator_) {
        QString text = translator_->translate(context, sourceText, nullptr, count);
        if (!text.isNull()) return text;
    }
    return QString::fromUtf8(sourceText);
}

std::optional<QString> useTranslationFor(const QLocale& locale) {
    std::unique_ptr<QTranslator>& active = activeTranslator();
    if (active) {
        if (QCoreApplication::instance() != nullptr) QCoreApplication::removeTranslator(active.get());
        active.reset();
    }
    std::optional<QString> language = chooseTranslation(locale.uiLanguages(), availableTranslations());
    if (!language) return std::nullopt;
    auto translator = std::make_unique<QTranslator>();
    const QString file = QLatin1String(kTablePrefix) + *language + QLatin1String(kTableSuffix);
    if (!translator->load(file, QLatin1String(kTableDirectory))) return std::nullopt;
    active = std::move(translator);
    if (QCoreApplication::instance() != nullptr) QCoreApplication::installTranslator(active.get());
    return language;
}

QString translate(const char* context, const char* sourceText) {
    if (const auto& active = activeTranslator()) {
        QString text = active->translate(context, sourceText);
        if (!text.isNull()) return text;
    }
    return QString::fromUtf8(sourceText);
}

QString translate(const char* context, std::string_view sourceText) {
    const std::string terminated(sourceText);
    return translate(context, terminated.c_str());
}

QString translate(const char* context, const char* sourceText, const char* disambiguation,
                  std::uint64_t count) {
    QString text;
    // The plural rules of every language look at small numbers; a huge count takes the form
    // of the largest int, which no rule tells apart from it.
    const int form = static_cast<int>(std::min<std::uint64_t>(count, std::numeric_limits<int>::max()));
    if (const auto& active = activeTranslator())
        text = active->translate(context, sourceText, disambiguation, form);
    if (text.isNull()) text = QString::fromUtf8(sourceText);
    return text.replace(QLatin1String("%n"), groupedNumber(count));
}

QString translate(const char* context, std::string_view sourceText, const char* disambiguation,
                  std::uint64_t count) {
    const std::string terminated(sourceText);
    return translate(context, terminated.c_str(), disambiguation, count);
}

} // namespace velmora

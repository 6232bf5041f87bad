#pragma once

#include "cleaning/deletion_entry.h"
#include "i18n/translation.h"

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace velmora::web {

// The texts of the web console's page, from the same translation tables as the window and the
// CLI. Every built-in table is loaded when this is made, on the making thread: the tables are
// Qt objects, which belong to the thread that makes them, and the server's threads only read.
class ConsoleTexts {
  public:
    ConsoleTexts();

    // In the language the request asks for (a "lang" parameter, or else its Accept-Language):
    // {"language": "en" | "zh", "texts": {key: text}}. Any thread.
    [[nodiscard]] nlohmann::ordered_json texts(const std::string& lang, const std::string& acceptLanguage) const;

    // Why an entry stayed, as a report gives it (the C library's text or the cleaning's own), in
    // the language chosen as for texts(); a reason no table knows comes back as it is.
    [[nodiscard]] ReasonWording failureReasons(const std::string& lang, const std::string& acceptLanguage) const;

  private:
    [[nodiscard]] std::optional<QString> language(const std::string& lang, const std::string& acceptLanguage) const;

    std::map<QString, TranslationTable> tables_; // by language; "" for the source texts
};

} // namespace velmora::web

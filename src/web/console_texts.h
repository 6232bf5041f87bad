#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace velmora::web {

// The texts of the web console's page in the language the request asks for (a "lang"
// parameter, or else its Accept-Language), from the same translation tables as the window and
// the CLI: {"language": "en" | "zh", "texts": {key: text}}.
[[nodiscard]] nlohmann::ordered_json consoleTexts(const std::string& lang, const std::string& acceptLanguage);

} // namespace velmora::web

#pragma once

// Running velmora-cli as the real program, in a chosen language, and reading its JSON.
#include "support/run_program.h"

#include <string>
#include <vector>

namespace velmora::testing {

// The language variables as a user sets them; unset ones are left empty.
inline Environment languageEnvironment(const std::string& languageList, const std::string& lcAll,
                                       const std::string& lang) {
    return {{"LANGUAGE", languageList}, {"LC_ALL", lcAll}, {"LC_MESSAGES", ""}, {"LANG", lang}};
}
inline const Environment kChinese = languageEnvironment("", "", "zh_CN.UTF-8");
inline const Environment kEnglish = languageEnvironment("en", "", "en_US.UTF-8");

// Runs the CLI; in Chinese, the language of its source texts, unless told otherwise.
inline ProgramRun runCli(const std::vector<std::string>& args, const Environment& environment = kChinese) {
    return runProgram(std::string(VELMORA_BIN_DIR) + "/velmora-cli", args, environment);
}

// The bytes that a "pathBase64" field carries.
inline std::string fromBase64(const std::string& text) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        bits = bits << 6 | static_cast<unsigned>(alphabet.find(c));
        if ((count += 6) >= 8) out.push_back(static_cast<char>(bits >> (count -= 8)));
    }
    return out;
}

} // namespace velmora::testing

#pragma once

#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::web {

// How the server reads the words and numbers of a request.

// ASCII letters in lower case, the rest as it is: header names, schemes, host names and media
// types compare case aside.
[[nodiscard]] inline std::string asciiLowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "42" -> 42; nothing for an empty text, a sign, a fraction, trailing bytes or an overflow.
[[nodiscard]] inline std::optional<std::uint64_t> wholeNumber(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

} // namespace velmora::web

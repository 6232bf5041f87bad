#include "platform/text.h"

#include <utf8proc.h>

#include <cstdlib>
#include <functional>

namespace velmora {

bool isValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    utf8proc_ssize_t left = static_cast<utf8proc_ssize_t>(text.size());
    while (left > 0) {
        utf8proc_int32_t cp;
        utf8proc_ssize_t n = utf8proc_iterate(p, left, &cp);
        if (n <= 0) return false;
        p += n;
        left -= n;
    }
    return true;
}

std::string canonicalForm(std::string_view text) {
    // Plain ASCII is its own canonical form; most paths are, so skip the library call.
    bool ascii = true;
    for (unsigned char c : text)
        if (c >= 0x80) { ascii = false; break; }
    if (ascii || !isValidUtf8(text)) return std::string(text);

    utf8proc_uint8_t* out = nullptr;
    utf8proc_ssize_t n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                      static_cast<utf8proc_ssize_t>(text.size()), &out,
                                      static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_DECOMPOSE));
    if (n < 0 || out == nullptr) return std::string(text);
    std::string result(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
    std::free(out);
    return result;
}

std::string foldedForm(std::string_view text) {
    if (isValidUtf8(text)) {
        utf8proc_uint8_t* out = nullptr;
        utf8proc_ssize_t n = utf8proc_map(
            reinterpret_cast<const utf8proc_uint8_t*>(text.data()), static_cast<utf8proc_ssize_t>(text.size()),
            &out, static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_DECOMPOSE | UTF8PROC_CASEFOLD));
        if (n >= 0 && out != nullptr) {
            std::string result(reinterpret_cast<const char*>(out), static_cast<std::size_t>(n));
            std::free(out);
            return result;
        }
        std::free(out);
    }
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) return true;
    return canonicalForm(a) == canonicalForm(b);
}

std::size_t canonicalHash(std::string_view text) {
    return std::hash<std::string>{}(canonicalForm(text));
}

} // namespace velmora

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// Text comparison under Unicode canonical equivalence: a precomposed and a decomposed
// accented letter are the same text. Case-sensitive; nothing else is normalised.
// Bytes that are not valid UTF-8 are compared as they are.
[[nodiscard]] std::string canonicalForm(std::string_view text);
[[nodiscard]] bool canonicallyEqual(std::string_view a, std::string_view b);
[[nodiscard]] std::size_t canonicalHash(std::string_view text);

// The form a search compares: canonical decomposition and Unicode case folding, so "LIB",
// "lib" and "Lib" match alike, and so do precomposed and decomposed accents. Bytes that are
// not valid UTF-8 keep their value; only their ASCII letters are folded.
[[nodiscard]] std::string foldedForm(std::string_view text);

// True when the bytes are well-formed UTF-8.
[[nodiscard]] bool isValidUtf8(std::string_view text);

} // namespace velmora

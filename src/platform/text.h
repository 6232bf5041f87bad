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

// The form a search compares: canonical decomposition and Unicode case folding, so "LIB",
// "lib" and "Lib" match alike, and so do precomposed and decomposed accents. Bytes that are
// not valid UTF-8 keep their value; only their ASCII letters are folded.
[[nodiscard]] std::string foldedForm(std::string_view text);

// True when the bytes are well-formed UTF-8.
[[nodiscard]] bool isValidUtf8(std::string_view text);
// Length of the well-formed UTF-8 sequence that starts at `i` (1 for ASCII; shortest form,
// no surrogates, at most U+10FFFF), or 0 when the bytes there are not one.
[[nodiscard]] std::size_t utf8SequenceLength(std::string_view text, std::size_t i);

} // namespace velmora

#include "platform/text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Text, OnlyCanonicallyEquivalentFormsAreEqual) {
    const struct {
        std::string a, b;
        bool equal;
    } cases[] = {
        {"Caf\xc3\xa9", "Cafe\xcc\x81", true},                          // precomposed and decomposed é
        {"e\xcc\x81\xcc\xa3", "e\xcc\xa3\xcc\x81", true},               // combining marks in either order
        {"\xed\x95\x9c", "\xe1\x84\x92\xe1\x85\xa1\xe1\x86\xab", true}, // Hangul syllable and its jamo
        {"\xe2\x84\xab", "\xc3\x85", true},                             // Angstrom sign and Å
        {"bad\xff", "bad\xff", true},
        {"Library", "library", false},     // case matters
        {"\xef\xac\x81le", "file", false}, // ﬁ ligature: compatibility only
        {"\xef\xbc\xa1", "A", false},      // fullwidth A
        {"bad\xff", "bad\xfe", false},     // invalid bytes compared as they are
        {"Caf\xc3\xa9", "Cafe", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(canonicallyEqual(c.a, c.b), c.equal) << c.a << " / " << c.b;
}

TEST(Text, FoldedSearchIgnoresCaseAndCanonicalForm) {
    const struct {
        std::string haystack, needle;
        bool found;
    } cases[] = {
        {"Wedding 2024.fcpbundle", "WEDDING", true},
        {"/Volumes/Caf\xc3\xa9/Lib.fcpbundle", "CAFE\xcc\x81", true}, // decomposed É finds é
        {"STRASSE",
         "stra\xc3\x9f"
         "e",
         true},                                                                 // ß folds to ss
        {"\xce\xa3\xce\x9f\xce\xa6\xce\x99\xce\x91", "\xcf\x83\xce\xbf", true}, // ΣΟΦΙΑ / σο
        {"短片 Final", "短片 f", true},
        {"bad\xff Name", "NAME", true}, // invalid bytes: ASCII still folds
        {"Wedding", "wedding 2", false},
        {"bad\xff", "BAD\xfe", false},
    };
    for (const auto& c : cases) {
        const bool found = foldedForm(c.haystack).find(foldedForm(c.needle)) != std::string::npos;
        EXPECT_EQ(found, c.found) << c.haystack << " / " << c.needle;
    }
}

TEST(Text, Utf8Validity) {
    for (const std::string text : {"", "短片 Caf\xc3\xa9"})
        EXPECT_TRUE(isValidUtf8(text)) << text;
    // A stray byte, a cut sequence, an overlong "/", a surrogate.
    for (const std::string text : {"\xff", "\xc3", "\xc0\xaf", "\xed\xa0\x80"})
        EXPECT_FALSE(isValidUtf8(text)) << text;
}

} // namespace
} // namespace velmora

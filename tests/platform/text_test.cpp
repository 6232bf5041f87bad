#include "platform/text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Text, CanonicallyEquivalentFormsAreEqualAndHashAlike) {
    const std::pair<std::string, std::string> same[] = {
        {"Caf\xc3\xa9", "Cafe\xcc\x81"},                          // precomposed and decomposed é
        {"e\xcc\x81\xcc\xa3", "e\xcc\xa3\xcc\x81"},               // combining marks in either order
        {"\xed\x95\x9c", "\xe1\x84\x92\xe1\x85\xa1\xe1\x86\xab"}, // Hangul syllable and its jamo
        {"\xe2\x84\xab", "\xc3\x85"},                             // Angstrom sign and Å
        {"plain", "plain"},
        {"bad\xff", "bad\xff"},
    };
    for (const auto& [a, b] : same) {
        EXPECT_TRUE(canonicallyEqual(a, b)) << a << " / " << b;
        EXPECT_EQ(canonicalHash(a), canonicalHash(b)) << a;
        EXPECT_EQ(canonicalForm(a), canonicalForm(b)) << a;
    }
}

TEST(Text, OnlyCanonicalEquivalenceCounts) {
    EXPECT_FALSE(canonicallyEqual("Library", "library"));     // case matters
    EXPECT_FALSE(canonicallyEqual("\xef\xac\x81le", "file")); // ﬁ ligature: compatibility only
    EXPECT_FALSE(canonicallyEqual("\xef\xbc\xa1", "A"));      // fullwidth A
    EXPECT_FALSE(canonicallyEqual("bad\xff", "bad\xfe"));     // invalid bytes compared as they are
    EXPECT_FALSE(canonicallyEqual("Caf\xc3\xa9", "Cafe"));
    EXPECT_FALSE(canonicallyEqual("a", "a\xcc\x81"));
}

TEST(Text, FoldedSearchIgnoresCaseAndCanonicalForm) {
    const struct {
        std::string haystack, needle;
        bool found;
    } cases[] = {
        {"Wedding 2024.fcpbundle", "WEDDING", true},
        {"/Volumes/Caf\xc3\xa9/Lib.fcpbundle", "CAFE\xcc\x81", true}, // decomposed É finds é
        {"STRASSE", "stra\xc3\x9f" "e", true},                     // ß folds to ss
        {"\xce\xa3\xce\x9f\xce\xa6\xce\x99\xce\x91", "\xcf\x83\xce\xbf", true}, // ΣΟΦΙΑ / σο
        {"短片 Final", "短片 f", true},
        {"bad\xff Name", "NAME", true}, // invalid bytes: ASCII still folds
        {"Lib2", "", true},
        {"Wedding", "wedding 2", false},
        {"bad\xff", "BAD\xfe", false},
    };
    for (const auto& c : cases) {
        const bool found = foldedForm(c.haystack).find(foldedForm(c.needle)) != std::string::npos;
        EXPECT_EQ(found, c.found) << c.haystack << " / " << c.needle;
    }
}

TEST(Text, Utf8Validity) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("短片 Caf\xc3\xa9"));
    EXPECT_FALSE(isValidUtf8("\xff"));
    EXPECT_FALSE(isValidUtf8("\xc3"));         // truncated sequence
    EXPECT_FALSE(isValidUtf8("\xc0\xaf"));     // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80")); // surrogate
}

} // namespace
} // namespace velmora

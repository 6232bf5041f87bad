#include "library/fcp_bundle.h"

#include <gtest/gtest.h>
#include <unordered_set>

namespace velmora {
namespace {

FCPBundle sample() {
    FCPBundle b;
    b.id = Uuid::random();
    b.path = "/Volumes/Drive/Caf\xc3\xa9.fcpbundle";
    b.displayName = "Caf\xc3\xa9.fcpbundle";
    b.size = 100;
    b.cacheSize = 10;
    b.proxySize = 20;
    b.optimizedSize = 30;
    b.analysisSize = 40;
    return b;
}

TEST(FCPBundle, CanonicallyEquivalentTextIsEqualAndHashesAlike) {
    FCPBundle a = sample();
    FCPBundle b = a;
    b.path = "/Volumes/Drive/Cafe\xcc\x81.fcpbundle";
    b.displayName = "Cafe\xcc\x81.fcpbundle";
    EXPECT_TRUE(a == b);
    EXPECT_EQ(std::hash<FCPBundle>{}(a), std::hash<FCPBundle>{}(b));
    std::unordered_set<FCPBundle> set{a};
    EXPECT_EQ(set.count(b), 1u);
}

TEST(FCPBundle, EveryFieldTakesPart) {
    const FCPBundle base = sample();
    auto differs = [&](auto change) {
        FCPBundle other = base;
        change(other);
        return !(other == base);
    };
    EXPECT_TRUE(differs([](FCPBundle& b) { b.id = Uuid::random(); }));
    EXPECT_TRUE(differs([](FCPBundle& b) { b.path = "/Volumes/Drive/caf\xc3\xa9.fcpbundle"; }));
    EXPECT_TRUE(differs([](FCPBundle& b) { b.displayName = "Other.fcpbundle"; }));
    EXPECT_TRUE(differs([](FCPBundle& b) { b.size = 101; }));
    EXPECT_TRUE(differs([](FCPBundle& b) { b.cacheSize = 11; }));
    EXPECT_TRUE(differs([](FCPBundle& b) { b.proxySize = 21; }));
    EXPECT_TRUE(differs([](FCPBundle& b) { b.optimizedSize = 31; }));
    EXPECT_TRUE(differs([](FCPBundle& b) { b.analysisSize = 41; }));
    EXPECT_TRUE(differs([](FCPBundle& b) { b.lastModified = FileTime{}; }));
    FCPBundle swapped = base;
    std::swap(swapped.cacheSize, swapped.proxySize);
    EXPECT_FALSE(swapped == base);
    EXPECT_NE(std::hash<FCPBundle>{}(swapped), std::hash<FCPBundle>{}(base));
}

} // namespace
} // namespace velmora

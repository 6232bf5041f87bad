#include "platform/uuid.h"

#include <gtest/gtest.h>
#include <regex>
#include <unordered_set>

namespace velmora {
namespace {

TEST(Uuid, RandomIdsAreVersionFourAndRoundTrip) {
    const Uuid id = Uuid::random();
    const std::string text = id.toString();
    EXPECT_TRUE(std::regex_match(text, std::regex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")))
        << text;
    EXPECT_EQ(Uuid::parse(text), id);
}

TEST(Uuid, ParseAcceptsOnlyTheCanonicalForm) {
    auto upper = Uuid::parse("0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D");
    ASSERT_TRUE(upper.has_value());
    EXPECT_EQ(upper->toString(), "0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d");
    EXPECT_EQ(upper->bytes[0], 0x0a);
    EXPECT_EQ(upper->bytes[15], 0x4d);
    for (const char* bad : {"", "0a1b2c3d4e5f4a6b8c7d9e0f1a2b3c4d", "0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4",
                            "0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4dd", "0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4g",
                            "0a1b2c3d+4e5f-4a6b-8c7d-9e0f1a2b3c4d"})
        EXPECT_FALSE(Uuid::parse(bad).has_value()) << bad;
}

} // namespace
} // namespace velmora

#include "platform/uuid.h"

#include <gtest/gtest.h>
#include <regex>

namespace velmora {
namespace {

TEST(Uuid, RandomIdsAreVersionFourAndOnlyTheCanonicalFormParses) {
    const Uuid id = Uuid::random();
    const std::regex canonical("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    EXPECT_TRUE(std::regex_match(id.toString(), canonical)) << id.toString();
    EXPECT_EQ(Uuid::parse(id.toString()), id);

    const auto upper = Uuid::parse("0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D");
    ASSERT_TRUE(upper.has_value());
    EXPECT_EQ(upper->toString(), "0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d");
    EXPECT_EQ(upper->bytes[0], 0x0a);
    for (const char* bad : {"", "0a1b2c3d4e5f4a6b8c7d9e0f1a2b3c4d", "0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4",
                            "0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4dd", "0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4g",
                            "0a1b2c3d+4e5f-4a6b-8c7d-9e0f1a2b3c4d"})
        EXPECT_FALSE(Uuid::parse(bad).has_value()) << bad;
}

} // namespace
} // namespace velmora

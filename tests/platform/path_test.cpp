#include "platform/path.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Path, JoinKeepsADoubledSeparatorAppendPutsExactlyOneLastComponentIgnoresTrailingOnes) {
    const struct {
        std::string base, relative, joined, appended;
    } cases[] = {
        {"/Volumes/Drive", "a/L.fcpbundle", "/Volumes/Drive/a/L.fcpbundle", "/Volumes/Drive/a/L.fcpbundle"},
        {"/Volumes/Drive/", "L.fcpbundle", "/Volumes/Drive//L.fcpbundle", "/Volumes/Drive/L.fcpbundle"},
        {"/", "L.fcpbundle", "//L.fcpbundle", "/L.fcpbundle"},
        {"", "Event", "/Event", "Event"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(joinPath(c.base, c.relative), c.joined) << c.base;
        EXPECT_EQ(appendingPathComponent(c.base, c.relative), c.appended) << c.base;
    }
    const std::pair<std::string, std::string> last[] = {
        {"//L.fcpbundle", "L.fcpbundle"},
        {"/a//b/L.fcpbundle", "L.fcpbundle"},
        {"/media/ann/CARD/", "CARD"},
        {"name", "name"},
        {"/", "/"},
        {"///", "/"},
        {"", ""},
        {"/x/line\nbreak", "line\nbreak"},
    };
    for (const auto& [path, component] : last)
        EXPECT_EQ(lastPathComponent(path), component) << path;
}

} // namespace
} // namespace velmora

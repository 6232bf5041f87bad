#include "platform/path.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(Path, JoinPathKeepsADoubledSeparator) {
    EXPECT_EQ(joinPath("/Volumes/Drive", "a/L.fcpbundle"), "/Volumes/Drive/a/L.fcpbundle");
    EXPECT_EQ(joinPath("/Volumes/Drive/", "L.fcpbundle"), "/Volumes/Drive//L.fcpbundle");
    EXPECT_EQ(joinPath("/", "L.fcpbundle"), "//L.fcpbundle");
    EXPECT_EQ(joinPath("", "x"), "/x");
}

TEST(Path, AppendingPathComponentPutsExactlyOneSeparator) {
    EXPECT_EQ(appendingPathComponent("/lib", "Event"), "/lib/Event");
    EXPECT_EQ(appendingPathComponent("/lib/", "Event"), "/lib/Event");
    EXPECT_EQ(appendingPathComponent("/", "Event"), "/Event");
    EXPECT_EQ(appendingPathComponent("", "Event"), "Event");
    EXPECT_EQ(appendingPathComponent("/lib/E", "Transcoded Media/Proxy Media"),
              "/lib/E/Transcoded Media/Proxy Media");
}

TEST(Path, LastPathComponent) {
    EXPECT_EQ(lastPathComponent("//L.fcpbundle"), "L.fcpbundle");
    EXPECT_EQ(lastPathComponent("/a//b/L.fcpbundle"), "L.fcpbundle");
    EXPECT_EQ(lastPathComponent("/a/b/"), "b");
    EXPECT_EQ(lastPathComponent("name"), "name");
    EXPECT_EQ(lastPathComponent("/"), "/");
    EXPECT_EQ(lastPathComponent("///"), "/");
    EXPECT_EQ(lastPathComponent(""), "");
    EXPECT_EQ(lastPathComponent("/x/line\nbreak.fcpbundle"), "line\nbreak.fcpbundle");
}

} // namespace
} // namespace velmora

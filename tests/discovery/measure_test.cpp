#include "discovery/measure.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testing::TempDir;

TEST(Measure, DirectorySizeCountsRegularFilesBelowAndNeverFollowsLinksBelowTheStart) {
    TempDir tmp;
    testing::placeFile(tmp, "d/a", 10);
    testing::placeFile(tmp, "d/sub/b", 20);
    testing::placeFile(tmp, "d/sub/.hidden dir/.c", 30);
    testing::placeFile(tmp, "d/sub/sparse", 5'000'000'000LL);
    testing::placeFile(tmp, "big", 1 << 20);
    testing::makeSymlink(tmp / "big", tmp / "d/filelink");
    testing::makeSymlink(tmp.path(), tmp / "d/dirlink");
    testing::makeSymlink(tmp / "d", tmp / "start-link");

    EXPECT_EQ(directorySize(tmp / "d"), 60 + 5'000'000'000LL);
    EXPECT_EQ(directorySize(tmp / "d/"), 60 + 5'000'000'000LL);
    EXPECT_EQ(directorySize(tmp / "start-link"), 60 + 5'000'000'000LL); // the start itself resolves
    EXPECT_EQ(directorySize(tmp / "d/a"), 0);                           // a file is not below itself
    EXPECT_EQ(directorySize(tmp / "missing"), 0);
    EXPECT_EQ(directorySize(""), 0);
}

TEST(Measure, CategorySizeSumsTheSubPathBelowEveryDirectoryInsideTheLibrary) {
    TempDir tmp;
    const std::string lib = tmp / "L.fcpbundle";
    testing::placeFile(tmp, "L.fcpbundle/E1/Render Files/x/f", 1 << 20);
    testing::placeFile(tmp, "L.fcpbundle/E2/Render Files/f", 1 << 20);
    testing::placeFile(tmp, "L.fcpbundle/Render Files/root", 5);
    testing::placeFile(tmp, "L.fcpbundle/E3/deeper/Render Files/g", 7);
    testing::placeFile(tmp, "outside/Render Files/o", 9);
    testing::writeFile(lib + "/file", 3);
    testing::makeSymlink(tmp / "outside", lib + "/linked");
    testing::makeSymlink(lib + "/file", lib + "/filelink");

    EXPECT_EQ(categorySize(lib, "Render Files"), 2097152 + 9); // link to a directory counts
    EXPECT_EQ(categorySize(lib + "/", "Render Files"), 2097152 + 9);
    EXPECT_EQ(categorySize(lib, "Analysis Files"), 0);
    EXPECT_EQ(categorySize(lib + "/file", "Render Files"), 0);
    EXPECT_EQ(categorySize(tmp / "missing", "Render Files"), 0);
}

} // namespace
} // namespace velmora

#include "discovery/scanner.h"
#include "samples/sample_tree.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace velmora {
namespace {

using testing::TempDir;

TEST(Scanner, LocationsWithoutLibrariesOrAStoppedScanGiveAnEmptyList) {
    TempDir tmp;
    testing::placeFile(tmp, "full/Lib.fcpbundle/E/Render Files/f", 5);
    testing::placeFile(tmp, "empty/x.fcpbundle.bak/E/Render Files/f", 5); // no library
    testing::placeFile(tmp, "file.fcpbundle", 5);
    CancellationToken stop;
    stop.request();
    for (unsigned threads : {1u, 8u}) {
        EXPECT_EQ(scanBundles(tmp / "full", {.threads = threads}).size(), 1u);
        EXPECT_TRUE(scanBundles(tmp / "full", {.threads = threads, .cancel = &stop}).empty()) << threads;
        EXPECT_TRUE(scanBundles(tmp / "empty", {.threads = threads}).empty());
        // A location that is no directory is not read at all.
        ScanProgress progress;
        for (const std::string& location : {tmp / "missing", tmp / "file.fcpbundle", std::string()})
            EXPECT_TRUE(scanBundles(location, {.progress = &progress, .threads = threads}).empty())
                << location;
        EXPECT_EQ(progress.entriesRead.load(), 0u) << threads;
    }
}

// The generator knows what it wrote, the same for the same seed; the scan must find exactly that.
TEST(Scanner, GeneratedLocationMatchesWhatTheGeneratorWrote) {
    TempDir tmp;
    const samples::SampleOptions options{.seed = 42, .entries = 20000, .libraries = 5, .large = true};
    auto location = samples::generateSampleLocation(tmp / "loc", options);
    auto again = samples::generateSampleLocation(tmp / "again", options);
    EXPECT_EQ(std::pair(location.entries, location.bytes), std::pair(again.entries, again.bytes));
    ASSERT_EQ(location.libraries.size(), 5u);
    EXPECT_GT(location.entries, 18000u);
    EXPECT_LT(location.entries, 22000u);
    // Progress counts every entry and library once, a nested one too: six entries, two libraries.
    testing::placeFile(tmp, "loc/extra/Nested.fcpbundle/E/Original Media/Inner.fcpbundle/x", 1);
    for (unsigned threads : {1u, 8u, 64u}) {
        ScanProgress progress;
        std::map<std::string, FCPBundle> byPath;
        for (const FCPBundle& b : scanBundles(tmp / "loc", ScanOptions{&progress, threads}))
            byPath[b.path] = b;
        EXPECT_EQ(std::pair(progress.entriesRead.load(), progress.librariesFound.load()),
                  std::pair(std::uint64_t(location.entries + 6), std::uint64_t(7)))
            << threads << " threads";
        ASSERT_EQ(byPath.size(), 7u);
        for (const samples::SampleLibrary& lib : location.libraries)
            EXPECT_EQ(std::pair(byPath[lib.path].size, byPath[lib.path].categorySizes),
                      std::pair(lib.size, lib.categorySizes))
                << lib.path;
    }
    for (const samples::SampleLibrary& lib : location.libraries) {
        EXPECT_GT(*std::min_element(lib.categorySizes.begin(), lib.categorySizes.end()), 0);
        EXPECT_GT(lib.size, lib.reclaimable());
    }
}

} // namespace
} // namespace velmora

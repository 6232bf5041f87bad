#include "discovery/library_totals.h"
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

// A kept file's time of any year becomes the library's lastModified as the file system gave it,
// with its text, and decides whether the library counts as modified in the last 30 days.
TEST(Scanner, KeptFileTimesOfAnyYear) {
    const std::tuple<std::int64_t, const char*, bool> cases[] = {
        {-11'676'096'000, "1600-01-01T00:00:00Z", false},
        {10'413'792'000, "2300-01-01T00:00:00Z", true}, // in the future
        {1'750'000'000 - 60, "2025-06-15T15:05:40Z", true},
        {-62'167'219'201, "-000001-12-31T23:59:59Z", false},
        {INT64_MAX, "+292277026596-12-04T15:30:07Z", true},
    };
    for (const auto& [seconds, text, recent] : cases) {
        struct statx st {};
        st.stx_mask = STATX_MTIME;
        st.stx_mtime = {seconds, 7, 0};
        FCPBundle library;
        Totals{.newest = factsOfFile(st).keptModified}.fill(library);
        const FileTime expected{std::chrono::sys_seconds(std::chrono::seconds(seconds)), 7};
        EXPECT_EQ(library.lastModified, expected) << text;
        EXPECT_EQ(utcText(expected), text);
        EXPECT_EQ(modifiedWithin(expected, std::chrono::days(30),
                                 std::chrono::sys_seconds(std::chrono::seconds(1'750'000'000))),
                  recent)
            << text;
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

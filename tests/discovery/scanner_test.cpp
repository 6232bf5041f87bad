#include "discovery/library_totals.h"
#include "discovery/scanner.h"
#include "platform/unique_fd.h"
#include "samples/sample_tree.h"
#include "support/reference_scanner.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

using testing::TempDir;

TEST(Scanner, LocationsWithoutLibrariesOrAStoppedScanGiveAnEmptyList) {
    TempDir tmp;
    testing::placeFile(tmp, "full/Lib.fcpbundle/E/Render Files/f", 5);
    testing::makeDirs(tmp / "empty");
    testing::placeFile(tmp, "plain/a/b.txt", 5);
    testing::placeFile(tmp, "plain/Upper.FCPBUNDLE/E/Render Files/f", 5);
    testing::placeFile(tmp, "plain/x.fcpbundle.bak", 5);
    testing::placeFile(tmp, "file.fcpbundle", 5);
    CancellationToken stop;
    stop.request();
    for (unsigned threads : {1u, 8u}) {
        EXPECT_EQ(scanBundles(tmp / "full", {.threads = threads}).size(), 1u);
        EXPECT_TRUE(scanBundles(tmp / "full", {.threads = threads, .cancel = &stop}).empty()) << threads;
        EXPECT_TRUE(scanBundles(tmp / "empty", {.threads = threads}).empty());
        EXPECT_TRUE(scanBundles(tmp / "plain", {.threads = threads}).empty());
        // A location that is no directory is not read at all.
        ScanProgress progress;
        for (const std::string& location : {tmp / "missing", tmp / "file.fcpbundle", std::string()})
            EXPECT_TRUE(scanBundles(location, {.progress = &progress, .threads = threads}).empty())
                << location;
        EXPECT_EQ(progress.entriesRead.load(), 0u) << threads;
    }
}

TEST(Scanner, RootLocationGivesPathsWithADoubledSeparator) {
    TempDir tmp;
    testing::placeFile(tmp, "jail/Top.fcpbundle/E/Render Files/f", 5);
    testing::placeFile(tmp, "jail/dir/Sub.fcpbundle/.lock", 0);
    testing::setModified(tmp / "jail/dir/Sub.fcpbundle/.lock", 1);
    // "/" of a chrooted child is the small tree above, not the machine's root.
    std::string out = testing::runInChild([&] {
        if (::chroot((tmp / "jail").c_str()) != 0 || ::chdir("/") != 0) return std::string("chroot failed");
        return testing::describeBundles(scanBundles("/"));
    });
    EXPECT_EQ(testing::lineSet(out),
              (std::multiset<std::string>{"//Top.fcpbundle | Top.fcpbundle | 5 5 0 0 0 | -",
                                          "//dir/Sub.fcpbundle | Sub.fcpbundle | 0 0 0 0 0 | 1.0"}));
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

// The generator knows what it wrote; the scan must find exactly that.
TEST(Scanner, GeneratedLocationMatchesWhatTheGeneratorWrote) {
    TempDir tmp;
    auto location = samples::generateSampleLocation(
        tmp / "loc", {.seed = 42, .entries = 20000, .libraries = 5, .large = true});
    ASSERT_EQ(location.libraries.size(), 5u);
    EXPECT_GT(location.entries, 18000u);
    EXPECT_LT(location.entries, 22000u);

    auto bundles = scanBundles(tmp / "loc", ScanOptions{.threads = 1});
    std::map<std::string, FCPBundle> byPath;
    for (const FCPBundle& b : bundles)
        byPath[b.path] = b;
    ASSERT_EQ(byPath.size(), 5u);
    for (const samples::SampleLibrary& lib : location.libraries) {
        ASSERT_EQ(byPath.count(lib.path), 1u) << lib.path;
        const FCPBundle& b = byPath[lib.path];
        EXPECT_EQ(b.size, lib.size) << lib.path;
        EXPECT_EQ(b.categorySizes, lib.categorySizes) << lib.path;
        for (std::int64_t bytes : lib.categorySizes)
            EXPECT_GT(bytes, 0);
        EXPECT_GT(lib.size, lib.reclaimable());
    }
}

TEST(SampleGenerator, SameSeedSameTreeAnotherSeedAnother) {
    TempDir tmp;
    samples::SampleOptions options{.seed = 9, .entries = 6000, .libraries = 2};
    auto a = samples::generateSampleLocation(tmp / "a", options);
    auto b = samples::generateSampleLocation(tmp / "b", options);
    EXPECT_EQ(std::make_pair(a.entries, a.bytes), std::make_pair(b.entries, b.bytes));
    ASSERT_EQ(a.libraries.size(), 2u);
    EXPECT_EQ(a.libraries[0].relativePath, b.libraries[0].relativePath);

    options.seed = 10;
    auto c = samples::generateSampleLocation(tmp / "c", options);
    EXPECT_NE(c.bytes, a.bytes);
}

} // namespace
} // namespace velmora

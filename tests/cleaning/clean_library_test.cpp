#include "cleaning/scanned_location.h"
#include "support/mount_namespace.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <unistd.h>

namespace velmora {
namespace {

using testing::clean;
using testing::entryExists;
using testing::listTree;
using testing::makeDirs;
using testing::makeSymlink;
using testing::ScannedLocation;
using testing::TempDir;
using testing::writeFile;
using Lines = std::multiset<std::string>;
constexpr CategoryMask kRender = categoryBit(CacheCategory::render);

// A library's category folders where Final Cut Pro keeps them, and look-alikes that no
// category may touch.
void buildLibrary(const std::string& lib) {
    for (const char* file :
         {"CurrentVersion.flexolibrary", "Event A/Original Media/clip.mov",
          "Event A/Render Files/High Quality Media/AAA/r1.mov", "Event A/Render Files/Peaks Data/p1",
          "Event A/Transcoded Media/Proxy Media/p1.mov", "Event A/Transcoded Media/High Quality Media/o1.mov",
          "Event A/Analysis Files/Color Adjustments/a1", "Event A/Analysis Cache",
          "Event B/Render Files/r2.mov", "Event B/render files/keep", "Event B/My Render Files/keep",
          "Event B/Render Files.mov", "Event B/Proxy Media/keep", "Event B/High Quality Media/keep",
          "Event B/Transcoded Media/My Proxy Media/keep", "Event B/Transcoded Media/Proxy Media.mov",
          "Event B/Analysis Files.txt", "Render Files/at-root.mov", "Analysis Files/at-root"}) {
        const std::string path = lib + "/" + file;
        makeDirs(path.substr(0, path.rfind('/')));
        writeFile(path, 100);
    }
}

Lines lineSet(const std::vector<std::string>& lines) {
    return Lines(lines.begin(), lines.end());
}

// Run one after the other, and side by side with more threads than a matched folder has folders.
class CleanLibraryBothWays : public ::testing::TestWithParam<unsigned> {
  protected:
    DeletionOptions options(DeletionOptions base = {}) const {
        base.threads = GetParam();
        return base;
    }
};
INSTANTIATE_TEST_SUITE_P(Threads, CleanLibraryBothWays, ::testing::Values(1u, 8u));

TEST_P(CleanLibraryBothWays, EachCategoryRemovesExactlyWhatItNamesWithTheBytesItUnlinked) {
    const std::vector<std::string> render{"render Event A/Render Files 200",
                                          "render Event B/Render Files 5000000100",
                                          "render Render Files 100"};
    const std::vector<std::string> proxy{"proxy Event A/Transcoded Media/Proxy Media 100"};
    // The renders' own "High Quality Media" inside "Render Files" is not optimized media.
    const std::vector<std::string> optimized{"optimized Event A/Transcoded Media/High Quality Media 100"};
    const std::vector<std::string> analysis{"analysis Analysis Files 100",
                                            "analysis Event A/Analysis Files 100",
                                            "analysis Event A/Analysis Cache 100"};
    std::vector<std::string> every = render;
    for (const auto* more : {&proxy, &optimized, &analysis})
        every.insert(every.end(), more->begin(), more->end());
    const std::pair<CategoryMask, std::vector<std::string>> cases[] = {
        {kRender, render},
        {categoryBit(CacheCategory::proxy), proxy},
        {categoryBit(CacheCategory::optimized), optimized},
        {categoryBit(CacheCategory::analysis), analysis},
        {kEveryCategory, every}, // one walk for all four
    };
    for (const auto& [categories, removed] : cases) {
        TempDir tmp;
        const std::string lib = tmp / "loc/Lib.fcpbundle";
        buildLibrary(lib);
        writeFile(lib + "/Event B/Render Files/big.mov", 5'000'000'000); // sparse
        makeSymlink(tmp / "elsewhere", lib + "/Event B/Render Files/link");
        std::set<std::string> after = listTree(lib);
        const testing::Told told =
            clean(ScannedLocation(tmp / "loc"), "Lib.fcpbundle", categories, options());

        std::vector<std::string> entries;
        for (const DeletionEntry& entry : told.entries) {
            EXPECT_EQ(entry.status, DeletionStatus::Deleted) << entry.path;
            const std::string relative = entry.path.substr(lib.size() + 1);
            entries.push_back(std::string(categoryInfo(entry.category.value()).key) + " " + relative + " " +
                              std::to_string(entry.bytes));
            std::erase_if(after, [&](const std::string& p) { return (p + "/").starts_with(relative + "/"); });
        }
        std::sort(entries.begin(), entries.end());
        std::vector<std::string> expected = removed;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(entries, expected);
        EXPECT_TRUE(told.report.anythingRemoved);
        EXPECT_EQ(listTree(lib), after);
    }
}

TEST(CleanLibrary, StopLetsTheRemovalUnderWayFinishAndStartsNoOther) {
    TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    buildLibrary(lib);
    const auto before = listTree(lib);
    const ScannedLocation location(tmp / "loc");
    // Requested as the first matched folder is told: that one is gone whole, the others stay.
    CancellationToken stop;
    const testing::Told told =
        clean(location, "Lib.fcpbundle", kRender,
              {.onEntry = [&](const DeletionEntry&) { stop.request(); }, .cancel = &stop});
    ASSERT_EQ(told.entries.size(), 1u);
    const std::string first = told.entries[0].path.substr(lib.size() + 1);
    auto after = before;
    std::erase_if(after, [&](const std::string& p) { return (p + "/").starts_with(first + "/"); });
    EXPECT_EQ(listTree(lib), after);
    // Requested before: the matched folder is opened, but nothing in it goes.
    const std::string transcoded = lib + "/Event A/Transcoded Media";
    UniqueFd parent = openDirectoryNoFollow(transcoded);
    const RemoveReport stopped = removeEntryAt(parent.get(), "Proxy Media", transcoded + "/Proxy Media", true,
                                               RemoveOptions{64, &stop});
    EXPECT_EQ(stopped.outcome, RemoveOutcome::Stopped);
    EXPECT_TRUE(clean(location, "Lib.fcpbundle", kEveryCategory, {.cancel = &stop}).entries.empty());
    EXPECT_EQ(listTree(lib), after);
}

// A library is cleaned only as the scan met it, beneath the location: a link or a file named
// like one is no library and gives nothing; one replaced, gone or reached through a link since
// is left alone with one line. A library whose folder above is swapped for a link while it is
// being cleaned is held by its descriptor, and the next one is no longer reached.
TEST(CleanLibrary, OnlyTheLibraryTheScanMetIsCleanedBeneathTheLocation) {
    TempDir tmp;
    const std::string loc = tmp / "loc";
    buildLibrary(loc + "/Real.fcpbundle");
    makeSymlink(loc + "/Real.fcpbundle", loc + "/Link.fcpbundle");
    writeFile(loc + "/File.fcpbundle", 1);
    testing::placeFile(tmp, "loc/Plain.fcpbundle/E/Original Media/Render Files clip.mov", 1);
    for (const char* name : {"Moved.fcpbundle", "Gone.fcpbundle", "B/X.fcpbundle", "B/Y.fcpbundle"})
        for (const char* at : {"loc/", "out/"})
            for (int i = 0; i < 3; ++i)
                testing::placeFile(tmp, std::string(at) + name + "/E" + std::to_string(i) + "/Render Files/r",
                                   1);
    const auto outside = listTree(tmp / "out");
    const auto real = listTree(loc + "/Real.fcpbundle");
    const ScannedLocation location(loc);
    ASSERT_EQ(::rename((loc + "/Moved.fcpbundle").c_str(), (tmp / "Moved.old").c_str()), 0);
    makeDirs(loc + "/Moved.fcpbundle/E/Render Files");
    testing::removeTree(loc + "/Gone.fcpbundle");

    std::vector<std::string> lines;
    for (const char* name :
         {"Link.fcpbundle", "File.fcpbundle", "Plain.fcpbundle", "Moved.fcpbundle", "Gone.fcpbundle"})
        for (const std::string& line : clean(location, name, kRender).lines)
            lines.push_back(line);
    EXPECT_EQ(
        lines,
        (std::vector<std::string>{
            "Error deleting " + loc +
                "/Moved.fcpbundle: Not the folder the scan found (moved or replaced since); left in place",
            "Error reading " + loc + "/Gone.fcpbundle: No such file or directory"}));

    bool swapped = false;
    const testing::Told x =
        clean(location, "X.fcpbundle", kRender, {.onEntry = [&](const DeletionEntry&) {
                  if (std::exchange(swapped, true)) return;
                  ASSERT_EQ(::rename((loc + "/B").c_str(), (loc + "/B.moved").c_str()), 0);
                  makeSymlink(tmp / "out/B", loc + "/B");
              }});
    EXPECT_EQ(x.entries.size(), 3u);
    EXPECT_EQ(listTree(loc + "/B.moved/X.fcpbundle"), (std::set<std::string>{"E0/", "E1/", "E2/"}));
    EXPECT_EQ(
        clean(location, "Y.fcpbundle", kRender).lines,
        std::vector<std::string>{"Error deleting " + loc +
                                 "/B/Y.fcpbundle: Reached only through a link or another file system, not "
                                 "inside the location; left in place"});
    EXPECT_EQ(listTree(tmp / "out"), outside);
    EXPECT_TRUE(entryExists(loc + "/Moved.fcpbundle/E/Render Files"));
    EXPECT_EQ(listTree(loc + "/Real.fcpbundle"), real);
}

TEST(CleanLibrary, LinksAreRemovedAndTheirTargetsStay) {
    TempDir tmp;
    testing::placeFile(tmp, "outside/file.mov", 10);
    testing::placeFile(tmp, "outside/inner/deep.mov", 10);
    const auto outsideBefore = listTree(tmp / "outside");
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    makeDirs(lib + "/A/Render Files/sub");
    makeSymlink(tmp / "outside", lib + "/A/Render Files/to-folder");
    makeSymlink(tmp / "outside/file.mov", lib + "/A/Render Files/sub/to-file");
    makeSymlink(tmp / "nowhere", lib + "/A/Render Files/dangling");
    // A matched entry that is itself a link: the link goes, not what it points to.
    makeDirs(lib + "/B");
    makeSymlink(tmp / "outside", lib + "/B/Render Files");
    makeDirs(lib + "/C/Transcoded Media");
    makeSymlink(tmp / "outside/inner", lib + "/C/Transcoded Media/Proxy Media");

    const testing::Told told = clean(ScannedLocation(tmp / "loc"), "Lib.fcpbundle", kEveryCategory);
    EXPECT_EQ(lineSet(told.lines),
              (Lines{"Deleted: " + lib + "/A/Render Files", "Deleted: " + lib + "/B/Render Files",
                     "Deleted: " + lib + "/C/Transcoded Media/Proxy Media"}));
    EXPECT_EQ(listTree(lib), (std::set<std::string>{"A/", "B/", "C/", "C/Transcoded Media/"}));
    EXPECT_EQ(listTree(tmp / "outside"), outsideBefore);
}

// Each line names one entry, whatever bytes its path holds.
TEST(CleanLibrary, UnusualNamesGiveOneEscapedLineEach) {
    TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    const std::pair<std::string, std::string> events[] = {{"new\nline", "new\\nline"},
                                                          {"bad\xff\xfe"
                                                           "bytes",
                                                           "bad\\xFF\\xFEbytes"},
                                                          {"-rf", "-rf"},
                                                          {"back\\slash\ttab", "back\\\\slash\\ttab"},
                                                          {"事件 1", "事件 1"}};
    Lines expected;
    for (const auto& [raw, escaped] : events) {
        makeDirs(lib + "/" + raw + "/Render Files/-x");
        writeFile(lib + "/" + raw + "/Render Files/-x/\n", 1);
        expected.insert("Deleted: " + lib + "/" + escaped + "/Render Files");
    }
    EXPECT_EQ(lineSet(clean(ScannedLocation(tmp / "loc"), "Lib.fcpbundle", kRender).lines), expected);
    EXPECT_EQ(listTree(lib).size(), std::size(events));
}

TEST_P(CleanLibraryBothWays, ImmutableFileGivesOneErrorLineAndTheRestIsRemoved) {
    TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    const std::string locked = lib + "/A/Render Files/sub/locked.mov";
    for (const char* file :
         {"A/Render Files/other.mov", "A/Render Files/sub/sibling.mov", "B/Render Files/r.mov"})
        testing::placeFile(tmp, "loc/Lib.fcpbundle/" + std::string(file), 10);
    testing::placeFile(tmp, "loc/Lib.fcpbundle/A/Render Files/sub/locked.mov", 10);
    const testing::ImmutableFiles mark({locked});
    if (!mark.marked()) GTEST_SKIP() << "chattr +i is not supported on the temporary folder's file system";

    const testing::Told told = clean(ScannedLocation(tmp / "loc"), "Lib.fcpbundle", kRender, options());
    EXPECT_EQ(lineSet(told.lines), (Lines{"Error deleting " + locked + ": Operation not permitted",
                                          "Deleted: " + lib + "/B/Render Files"}));
    EXPECT_EQ(listTree(lib + "/A"),
              (std::set<std::string>{"Render Files/", "Render Files/sub/", "Render Files/sub/locked.mov"}));
}

// A folder the user cannot write keeps what is inside it; one the user cannot read is never
// searched: both are told, by the dry run too.
TEST_P(CleanLibraryBothWays, FoldersTheUserCannotWriteOrReadGiveOneErrorLineEach) {
    TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    testing::placeFile(tmp, "loc/Lib.fcpbundle/A/Render Files/closed/kept.mov", 10);
    testing::placeFile(tmp, "loc/Lib.fcpbundle/A/Render Files/free.mov", 10);
    testing::placeFile(tmp, "loc/Lib.fcpbundle/B/Render Files/r.mov", 10);
    makeDirs(lib + "/C/Render Files");
    testing::chownTreeToNobody(tmp / "loc");
    ASSERT_EQ(::chmod((lib + "/A/Render Files/closed").c_str(), 0555), 0);
    ASSERT_EQ(::chmod((lib + "/C").c_str(), 0), 0);

    const std::string out = testing::runAsNobody([&] {
        const ScannedLocation location(tmp / "loc");
        std::string text;
        for (const bool dryRun : {true, false})
            for (const std::string& line :
                 clean(location, "Lib.fcpbundle", kRender, options({.dryRun = dryRun})).lines)
                text += line + "\n";
        return text;
    });
    const std::string unreadable = "Error reading " + lib + "/C: Permission denied";
    EXPECT_EQ(
        testing::lineSet(out),
        (Lines{unreadable, "Would delete: " + lib + "/A/Render Files (20 bytes)",
               "Would delete: " + lib + "/B/Render Files (10 bytes)", "Deleted: " + lib + "/B/Render Files",
               "Error deleting " + lib + "/A/Render Files/closed/kept.mov: Permission denied", unreadable}));
    EXPECT_EQ(listTree(lib + "/A"), (std::set<std::string>{"Render Files/", "Render Files/closed/",
                                                           "Render Files/closed/kept.mov"}));
    ASSERT_EQ(::chmod((lib + "/C").c_str(), 0755), 0);
}

// A folder of the library mounted read-only: the walk stays on the library's own mount and
// leaves it alone, counted; asked to cross, it meets the read-only file system and says so
// once for the whole matched folder. Mounts inside a matched folder survive with a line each.
TEST_P(CleanLibraryBothWays, MountsBelowTheLibraryAreLeftInPlace) {
    TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    const std::string render = lib + "/B/Render Files";
    for (const char* file : {"A/Render Files/r", "A/Render Files/sub/s", "B/Render Files/r.mov",
                             "B/Render Files/Peaks Data/p", "B/Render Files/file-mount"})
        testing::placeFile(tmp, "loc/Lib.fcpbundle/" + std::string(file), 1);
    testing::placeFile(tmp, "elsewhere/sub/precious.mov", 10);
    makeDirs(render + "/bound");
    makeDirs(render + "/Peaks Data/tmp");

    const std::string out = testing::runInMountNamespace([&] {
        testing::bindMount(lib + "/A", lib + "/A", true);
        testing::bindMount(tmp / "elsewhere", render + "/bound");
        testing::mountTmpfs(render + "/Peaks Data/tmp");
        testing::bindMount(tmp / "elsewhere/sub/precious.mov", render + "/file-mount");
        const ScannedLocation location(tmp / "loc");
        const testing::Told staying = clean(location, "Lib.fcpbundle", kRender, options());
        std::string text = "skipped " + std::to_string(staying.report.mountsSkipped) + "\n";
        for (const std::string& line : staying.lines)
            text += line + "\n";
        for (const std::string& line :
             clean(location, "Lib.fcpbundle", kRender, options({.crossFileSystems = true})).lines)
            text += line + "\n";
        return text + std::to_string(listTree(render).size()) + " left\n";
    });
    if (out == testing::kNoMountNamespace) GTEST_SKIP() << "cannot create a mount namespace here";
    Lines expected{"skipped 1", "Error deleting " + lib + "/A/Render Files: Read-only file system", "6 left"};
    for (int run = 0; run < 2; ++run)
        for (const char* mount : {"/bound", "/Peaks Data/tmp", "/file-mount"})
            expected.insert("Error deleting " + render + mount + ": Is a mount point; left in place");
    EXPECT_EQ(testing::lineSet(out), expected);
    EXPECT_TRUE(entryExists(tmp / "elsewhere/sub/precious.mov"));
    EXPECT_EQ(listTree(lib + "/A/Render Files").size(), 3u);
}

TEST(CleanLibrary, DeepChainAndLongPathUnderALowDescriptorLimit) {
    TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    makeDirs(lib + "/A/Render Files");
    makeDirs(lib + "/B/Render Files");
    testing::makeDeepChain(lib + "/A/Render Files", 10000, "level", true);
    testing::makeDeepChain(lib + "/B/Render Files", 30, std::string(250, 'x'), true);
    const std::string out = testing::runInChild([&] {
        rlimit limit{200, 200};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return std::string("setrlimit failed");
        std::string text;
        for (const std::string& line : clean(ScannedLocation(tmp / "loc"), "Lib.fcpbundle", kRender).lines)
            text += line + "\n";
        return text;
    });
    EXPECT_EQ(testing::lineSet(out),
              (Lines{"Deleted: " + lib + "/A/Render Files", "Deleted: " + lib + "/B/Render Files"}));
    EXPECT_EQ(listTree(lib), (std::set<std::string>{"A/", "B/"}));
}

// A dry run tells each entry with the bytes it holds, in the walk's order however many threads
// measure and however few descriptors they have, and removes nothing.
TEST_P(CleanLibraryBothWays, DryRunTellsSizesInWalkOrderAndRemovesNothing) {
    TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    buildLibrary(lib);
    writeFile(lib + "/Event B/Render Files/big.mov", 5'000'000'000); // sparse
    makeSymlink(tmp / "elsewhere", lib + "/Event B/Render Files/link");
    const auto before = listTree(lib);
    const ScannedLocation location(tmp / "loc");

    const testing::Told told = clean(location, "Lib.fcpbundle", kRender, options({.dryRun = true}));
    EXPECT_EQ(lineSet(told.lines), (Lines{"Would delete: " + lib + "/Event A/Render Files (200 bytes)",
                                          "Would delete: " + lib + "/Event B/Render Files (5000000100 bytes)",
                                          "Would delete: " + lib + "/Render Files (100 bytes)"}));
    EXPECT_EQ(clean(location, "Lib.fcpbundle", kRender, {.dryRun = true}).lines, told.lines);
    EXPECT_EQ(
        clean(location, "Lib.fcpbundle", kRender, options({.dryRun = true, .maxOpenDescriptors = 12})).lines,
        told.lines);
    EXPECT_FALSE(told.report.anythingRemoved);
    EXPECT_EQ(listTree(lib), before);
}

} // namespace
} // namespace velmora

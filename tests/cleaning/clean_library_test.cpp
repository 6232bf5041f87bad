#include "cleaning/scanned_location.h"
#include "support/mount_namespace.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <algorithm>
#include <sys/resource.h>

namespace velmora {
namespace {

using testing::clean;
using testing::lineSet;
using testing::listTree;
using testing::makeDirs;
using testing::makeSymlink;
using testing::placeFile;
using testing::ScannedLocation;
using testing::TempDir;
using Lines = std::multiset<std::string>;
constexpr CategoryMask kRender = categoryBit(CacheCategory::render);

// `before` without what lies at or below `removed`.
std::set<std::string> without(std::set<std::string> before, const std::string& removed) {
    std::erase_if(before, [&](const std::string& p) { return (p + "/").starts_with(removed + "/"); });
    return before;
}

// One after the other, and side by side with more threads than a matched folder has folders.
class CleanLibraryBothWays : public ::testing::TestWithParam<unsigned> {};
INSTANTIATE_TEST_SUITE_P(Threads, CleanLibraryBothWays, ::testing::Values(1u, 8u));

// A category's entries are exactly its sub-path inside each event (a real folder directly inside
// the library), through real folders only: the scan measures and lists them, a dry run tells
// them in the walk's order, a cleaning removes exactly them, a link among them as a link.
TEST_P(CleanLibraryBothWays, EachCategoryIsItsSubPathInsideEachEventForTheScanAndTheCleaning) {
    // Each file, and the category entry that holds it ("" where it is kept).
    const std::vector<std::pair<const char*, const char*>> files{
        {"CurrentVersion.flexolibrary", ""},
        {"Render Files/at-root.mov", ""},
        {"Analysis Files/at-root", ""},
        {"Event A/Original Media/clip.mov", ""},
        {"Event A/Original Media/Render Files/mine.mov", ""},
        {"Event A/Nested/Render Files/r", ""},
        {"Event A/Analysis Cache", ""},
        {"Event A/Render Files/High Quality Media/AAA/r1.mov", "Event A/Render Files"},
        {"Event A/Render Files/Peaks Data/p1", "Event A/Render Files"},
        {"Event A/Transcoded Media/Proxy Media/p1.mov", "Event A/Transcoded Media/Proxy Media"},
        {"Event A/Transcoded Media/High Quality Media/o1.mov", "Event A/Transcoded Media/High Quality Media"},
        {"Event A/Analysis Files/Color Adjustments/a1", "Event A/Analysis Files"},
        {"Event B/Render Files/r2.mov", "Event B/Render Files"},
        {"Event B/render files/keep", ""},
        {"Event B/My Render Files/keep", ""},
        {"Event B/Render Files.mov", ""},
        {"Event B/Proxy Media/keep", ""},
        {"Event B/High Quality Media/keep", ""},
        {"Event B/Transcoded Media/My Proxy Media/keep", ""},
        {"Event B/Transcoded Media/Proxy Media.mov", ""},
        {"Event D/Analysis Files", "Event D/Analysis Files"}, // a file in the entry's place
    };
    TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    for (const auto& [file, entry] : files)
        placeFile(tmp, "loc/Lib.fcpbundle/" + std::string(file), 100);
    testing::writeFile(lib + "/Event B/Render Files/big.mov", 5'000'000'000); // sparse
    // A render kept alive by a link among the original media frees nothing on the disk.
    ASSERT_EQ(
        ::link((lib + "/Event A/Render Files/Peaks Data/p1").c_str(), (lib + "/Event A/p1 link").c_str()), 0);
    // Links are never followed: one in or in place of an entry goes as a link; one on the way leads nowhere.
    placeFile(tmp, "elsewhere/keep", 1);
    placeFile(tmp, "elsewhere/Render Files/keep", 1);
    placeFile(tmp, "elsewhere/Proxy Media/keep", 1);
    makeSymlink(tmp / "elsewhere", lib + "/Event B/Render Files/link");
    makeSymlink(tmp / "elsewhere/keep", lib + "/Event A/Render Files/Peaks Data/to-file");
    makeDirs(lib + "/Event C/Transcoded Media");
    makeSymlink(tmp / "elsewhere", lib + "/Event C/Transcoded Media/Proxy Media");
    makeDirs(lib + "/Event E");
    makeSymlink(tmp / "elsewhere", lib + "/Event E/Render Files");
    makeSymlink(tmp / "elsewhere", lib + "/Event F");
    makeDirs(lib + "/Event G");
    makeSymlink(tmp / "elsewhere", lib + "/Event G/Transcoded Media");
    const std::vector<std::string> every{"analysis Event A/Analysis Files 100",
                                         "analysis Event D/Analysis Files 100",
                                         "optimized Event A/Transcoded Media/High Quality Media 100",
                                         "proxy Event A/Transcoded Media/Proxy Media 100",
                                         "proxy Event C/Transcoded Media/Proxy Media 0",
                                         "render Event A/Render Files 200",
                                         "render Event B/Render Files 5000000100",
                                         "render Event E/Render Files 0"};
    const std::set<std::string> before = listTree(lib);
    const ScannedLocation location(tmp / "loc", {.listCleanable = kEveryCategory});
    const FCPBundle scanned = location["Lib.fcpbundle"];
    auto described = [&](const std::vector<DeletionEntry>& entries, DeletionStatus status) {
        std::vector<std::string> out;
        for (const DeletionEntry& entry : entries) {
            EXPECT_EQ(entry.status, status) << entry.path;
            out.push_back(std::string(categoryInfo(entry.category.value()).key) + " " +
                          entry.path.substr(lib.size() + 1) + " " + std::to_string(entry.bytes));
        }
        std::sort(out.begin(), out.end());
        return out;
    };
    std::vector<DeletionEntry> listed;
    listCleanable(scanned, kEveryCategory, [&](const DeletionEntry& entry) { listed.push_back(entry); });
    EXPECT_EQ(described(listed, DeletionStatus::WouldDelete), every);
    std::array<std::int64_t, 4> sizes{};
    for (const DeletionEntry& entry : listed)
        sizes[categoryIndex(*entry.category)] += entry.bytes;
    EXPECT_EQ(scanned.categorySizes, sizes);

    const testing::Told dry = clean(location, "Lib.fcpbundle", kEveryCategory, GetParam(), {.dryRun = true});
    EXPECT_EQ(dry.entries.size(), listed.size());
    for (std::size_t i = 0; i < std::min(dry.entries.size(), listed.size()); ++i)
        EXPECT_EQ(logLines(dry.entries[i]), logLines(listed[i])); // the same order too
    // One category alone gives only its own rows.
    for (CacheCategory k : allCacheCategories) {
        std::vector<std::string> own;
        std::copy_if(every.begin(), every.end(), std::back_inserter(own), [&](const std::string& row) {
            return row.starts_with(std::string(categoryInfo(k).key) + " ");
        });
        EXPECT_EQ(described(clean(location, "Lib.fcpbundle", categoryBit(k), {.dryRun = true}).entries,
                            DeletionStatus::WouldDelete),
                  own);
    }
    EXPECT_EQ(listTree(lib), before);
    std::set<std::string> after = before;
    for (const std::string& entry : every)
        after = without(after, entry.substr(entry.find(' ') + 1, entry.rfind(' ') - entry.find(' ') - 1));
    std::int64_t freed = 0; // what the disk gets back: the blocks of the files without another link
    for (const std::string& path : before) {
        struct stat st {};
        if (!after.contains(path) && ::lstat((lib + "/" + path).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_nlink == 1)
            freed += st.st_blocks * 512;
    }
    const testing::Told told = clean(location, "Lib.fcpbundle", kEveryCategory, GetParam());
    EXPECT_EQ(described(told.entries, DeletionStatus::Deleted), every);
    for (const DeletionEntry& entry : told.entries)
        freed -= entry.bytesFreed;
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(listTree(lib), after);
    for (const auto& [file, entry] : files)
        EXPECT_EQ(after.contains(file), *entry == '\0') << file;
    EXPECT_EQ(listTree(tmp / "elsewhere").size(), 5u);
}

// A stop lets the removal under way finish and starts no other.
TEST(CleanLibrary, StopLetsTheRemovalUnderWayFinishAndStartsNoOther) {
    TempDir tmp;
    for (const char* folder : {"A/Render Files", "B/Render Files", "C/Transcoded Media/Proxy Media"})
        placeFile(tmp, "loc/Lib.fcpbundle/" + std::string(folder) + "/sub/f", 1);
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    const auto before = listTree(lib);
    CancellationToken stop;
    const testing::Told told =
        clean(ScannedLocation(tmp / "loc"), "Lib.fcpbundle", kRender,
              {.onEntry = [&](const DeletionEntry&) { stop.request(); }, .cancel = &stop});
    ASSERT_EQ(told.entries.size(), 1u);
    EXPECT_EQ(listTree(lib), without(before, told.entries[0].path.substr(lib.size() + 1)));
    // Requested before: the matched folder is opened, but nothing in it goes.
    UniqueFd parent = openDirectoryNoFollow(lib + "/C/Transcoded Media");
    EXPECT_EQ(removeEntryAt(parent.get(), "Proxy Media", "", true, {64, &stop}).outcome,
              RemoveOutcome::Stopped);
    EXPECT_EQ(listTree(lib), without(before, told.entries[0].path.substr(lib.size() + 1)));
}

// A library is cleaned only as the scan met it, beneath the location: one replaced or reached
// through a link since stays with one line, one gone since is only vanished; a parent swapped
// mid-clean leads nowhere.
TEST(CleanLibrary, OnlyTheLibraryTheScanMetIsCleanedBeneathTheLocation) {
    TempDir tmp;
    const std::string loc = tmp / "loc";
    placeFile(tmp, "loc/Real.fcpbundle/E/Render Files/r", 1);
    makeSymlink(loc + "/Real.fcpbundle", loc + "/Link.fcpbundle");
    placeFile(tmp, "loc/File.fcpbundle", 1);
    placeFile(tmp, "loc/Plain.fcpbundle/E/Original Media/Render Files clip.mov", 1);
    for (const char* name :
         {"Moved.fcpbundle", "Swapped.fcpbundle", "Gone.fcpbundle", "B/X.fcpbundle", "B/Y.fcpbundle"})
        for (const std::string at : {"loc/", "out/"})
            for (const char* event : {"/E0", "/E1", "/E2"})
                placeFile(tmp, at + name + event + "/Render Files/r", 1);
    const auto outside = listTree(tmp / "out");
    const ScannedLocation location(loc);
    ASSERT_EQ(::rename((loc + "/Moved.fcpbundle").c_str(), (tmp / "Moved.old").c_str()), 0);
    makeDirs(loc + "/Moved.fcpbundle/E/Render Files");
    // Kept aside, so that the link cannot get the folder's inode number.
    ASSERT_EQ(::rename((loc + "/Swapped.fcpbundle").c_str(), (tmp / "Swapped.old").c_str()), 0);
    makeSymlink(tmp / "out/Swapped.fcpbundle", loc + "/Swapped.fcpbundle");
    testing::removeTree(loc + "/Gone.fcpbundle");

    std::vector<std::string> lines;
    for (const char* name : {"Link.fcpbundle", "File.fcpbundle", "Plain.fcpbundle", "Moved.fcpbundle",
                             "Swapped.fcpbundle", "Gone.fcpbundle"})
        for (const std::string& line : clean(location, name, kRender).lines)
            lines.push_back(line);
    const std::string replaced = ": Not the folder the scan found (moved or replaced since); left in place";
    EXPECT_EQ(lines, (std::vector<std::string>{"Error deleting " + loc + "/Moved.fcpbundle" + replaced,
                                               "Error deleting " + loc + "/Swapped.fcpbundle" + replaced}));
    EXPECT_TRUE(clean(location, "Gone.fcpbundle", kRender).report.vanished);
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
    EXPECT_EQ(listTree(loc + "/Real.fcpbundle").size(), 3u);
}

// What the user may not remove or read stays with one line each (a dry run tells the unreadable
// too), and everything else in the matched folder goes.
TEST_P(CleanLibraryBothWays, WhatCannotBeRemovedOrReadStaysWithOneLineEach) {
    TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    for (const char* file : {"A/Render Files/closed/kept.mov", "A/Render Files/free.mov",
                             "A/Render Files/locked.mov", "B/Render Files/r.mov", "C/Render Files/r.mov"})
        placeFile(tmp, "loc/Lib.fcpbundle/" + std::string(file), 10);
    testing::chownTreeToNobody(tmp / "loc");
    ASSERT_EQ(::chmod((lib + "/A/Render Files/closed").c_str(), 0555), 0);
    ASSERT_EQ(::chmod((lib + "/C").c_str(), 0), 0);
    const testing::ImmutableFiles mark({lib + "/A/Render Files/locked.mov"});
    if (!mark.marked()) GTEST_SKIP() << "chattr +i is not supported on the temporary folder's file system";

    const std::string out = testing::runAsNobody([&] {
        const ScannedLocation location(tmp / "loc");
        const std::string dry =
            testing::text(clean(location, "Lib.fcpbundle", kRender, GetParam(), {.dryRun = true}).lines);
        return dry + testing::text(clean(location, "Lib.fcpbundle", kRender, GetParam()).lines);
    });
    const std::string unreadable = "Error reading " + lib + "/C: Permission denied";
    EXPECT_EQ(lineSet(out),
              (Lines{unreadable, "Would delete: " + lib + "/A/Render Files (30 bytes)",
                     "Would delete: " + lib + "/B/Render Files (10 bytes)", unreadable,
                     "Deleted: " + lib + "/B/Render Files",
                     "Error deleting " + lib + "/A/Render Files/closed/kept.mov: Permission denied",
                     "Error deleting " + lib + "/A/Render Files/locked.mov: Operation not permitted"}));
    EXPECT_EQ(listTree(lib + "/A/Render Files"),
              (std::set<std::string>{"closed/", "closed/kept.mov", "locked.mov"}));
    ASSERT_EQ(::chmod((lib + "/C").c_str(), 0755), 0);
}

// A read-only mount of a library folder is left alone and counted, or met once when asked to
// cross; mounts inside or at a matched folder stay with a line each, in the dry run as well.
TEST_P(CleanLibraryBothWays, MountsBelowTheLibraryAreLeftInPlace) {
    TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    const std::string render = lib + "/B/Render Files";
    for (const char* file : {"A/Render Files/r", "A/Render Files/sub/s", "B/Render Files/r.mov",
                             "B/Render Files/Peaks Data/p", "B/Render Files/file-mount"})
        placeFile(tmp, "loc/Lib.fcpbundle/" + std::string(file), 1);
    placeFile(tmp, "elsewhere/sub/precious.mov", 10);
    makeDirs(render + "/bound");
    makeDirs(render + "/Peaks Data/tmp");
    makeDirs(lib + "/C/Render Files");

    const std::string out = testing::runInMountNamespace([&] {
        testing::bindMount(lib + "/A", lib + "/A", true);
        testing::bindMount(tmp / "elsewhere", render + "/bound");
        testing::mountTmpfs(render + "/Peaks Data/tmp");
        testing::bindMount(tmp / "elsewhere/sub/precious.mov", render + "/file-mount");
        testing::mountTmpfs(lib + "/C/Render Files");
        testing::writeFile(lib + "/C/Render Files/r", 1000);
        const ScannedLocation location(tmp / "loc", {.listCleanable = kRender});
        std::vector<std::string> dry = clean(location, "Lib.fcpbundle", kRender, {.dryRun = true}).lines;
        listCleanable(location["Lib.fcpbundle"], kRender,
                      [&](const DeletionEntry& entry) { dry.push_back(logLines(entry).at(0)); });
        const testing::Told staying = clean(location, "Lib.fcpbundle", kRender, GetParam());
        const testing::Told crossing =
            clean(location, "Lib.fcpbundle", kRender, GetParam(), {.crossFileSystems = true});
        return "render " + std::to_string(location["Lib.fcpbundle"].cacheSize()) + "\n" + testing::text(dry) +
               "skipped " + std::to_string(staying.report.mountsSkipped) + "\n" +
               testing::text(staying.lines) + testing::text(crossing.lines) +
               std::to_string(listTree(render).size()) + " left\n";
    });
    if (out == testing::kNoMountNamespace) GTEST_SKIP() << "cannot create a mount namespace here";
    Lines expected{"render 12", "skipped 1",
                   "Error deleting " + lib + "/A/Render Files: Read-only file system", "6 left"};
    for (int run = 0; run < 2; ++run) {
        expected.insert("Would delete: " + render + " (12 bytes)"); // the mounted file counts
        for (const std::string& mount : {render + "/bound", render + "/Peaks Data/tmp", render + "/file-mount",
                                        lib + "/C/Render Files", lib + "/C/Render Files"})
            expected.insert("Error deleting " + mount + ": Is a mount point; left in place");
    }
    EXPECT_EQ(lineSet(out), expected);
    EXPECT_TRUE(testing::entryExists(tmp / "elsewhere/sub/precious.mov"));
    EXPECT_EQ(listTree(lib + "/A/Render Files").size(), 3u);
}

// With no thread to spare (a process limit, which binds only an unprivileged user), a cleaning
// asked for eight threads removes on its own thread.
TEST(CleanLibrary, ThreadsTheSystemRefusesAreDoneWithout) {
    TempDir tmp;
    placeFile(tmp, "loc/Lib.fcpbundle/E/Render Files/sub/r", 10);
    testing::chownTreeToNobody(tmp / "loc");
    const std::string out = testing::runAsNobody([&] {
        rlimit limit{1, 1};
        if (::setrlimit(RLIMIT_NPROC, &limit) != 0) return std::string("setrlimit failed");
        return testing::text(
            clean(ScannedLocation(tmp / "loc"), "Lib.fcpbundle", kRender, 8).lines);
    });
    EXPECT_EQ(out, "Deleted: " + (tmp / "loc/Lib.fcpbundle/E/Render Files") + "\n");
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
        return testing::text(clean(ScannedLocation(tmp / "loc"), "Lib.fcpbundle", kRender).lines);
    });
    EXPECT_EQ(lineSet(out),
              (Lines{"Deleted: " + lib + "/A/Render Files", "Deleted: " + lib + "/B/Render Files"}));
    EXPECT_EQ(listTree(lib), (std::set<std::string>{"A/", "B/"}));
}

} // namespace
} // namespace velmora

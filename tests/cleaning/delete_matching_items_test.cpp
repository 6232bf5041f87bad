#include "cleaning/cleaning_tally.h"
#include "cleaning/delete_matching_items.h"
#include "library/cache_category.h"
#include "platform/safe_remove.h"
#include "support/mount_namespace.h"
#include "support/run_program.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace velmora {
namespace {

using testing::entryExists;
using testing::listTree;
using testing::makeDirs;
using testing::makeSymlink;
using testing::TempDir;
using testing::writeFile;
using Lines = std::multiset<std::string>;

// Files of a small library: the category folders where Final Cut Pro keeps them, plus the
// look-alikes that no category may touch.
const std::vector<std::string> kLibraryFiles{
    "CurrentVersion.flexolibrary",
    "Event A/CurrentVersion.fcpevent",
    "Event A/Original Media/clip.mov",
    "Event A/Render Files/High Quality Media/AAA/r1.mov",
    "Event A/Render Files/Peaks Data/p1",
    "Event A/Transcoded Media/Proxy Media/p1.mov",
    "Event A/Transcoded Media/High Quality Media/o1.mov",
    "Event A/Analysis Files/Color Adjustments/a1",
    "Event A/Analysis Cache",
    "Event B/Render Files/r2.mov",
    "Event B/render files/keep",
    "Event B/My Render Files/keep",
    "Event B/Render Files.mov",
    "Event B/Proxy Media/keep",
    "Event B/High Quality Media/keep",
    "Event B/Transcoded Media/My Proxy Media/keep",
    "Event B/Transcoded Media/Proxy Media.mov",
    "Event B/Analysis Files.txt",
    "Render Files/at-root.mov",
    "Analysis Files/at-root",
};

void buildLibrary(const std::string& lib) {
    for (const auto& file : kLibraryFiles) {
        std::string path = lib + "/" + file;
        makeDirs(path.substr(0, path.rfind('/')));
        writeFile(path, 100);
    }
}

// Threads the runs of the test under way use (DeletionOptions::threads): the tests marked
// TEST_P run one after the other and with several threads, which must give the same result.
unsigned threadsUnderTest = 1;

class DeleteMatchingItemsBothWays : public ::testing::TestWithParam<unsigned> {
  protected:
    void SetUp() override { threadsUnderTest = GetParam(); }
    void TearDown() override { threadsUnderTest = 1; }
};

struct Outcome {
    bool result;
    DeletionReport report;
    Lines lines;
};

Outcome runDeletion(const std::string& base, std::string_view name, DeletionOptions options = {}) {
    Outcome run;
    std::mutex mutex;
    if (options.threads == 1) options.threads = threadsUnderTest;
    options.sink = [&](std::string_view line) {
        std::lock_guard lock(mutex);
        run.lines.emplace(line);
    };
    run.report = deleteMatchingItemsReport(base, name, options);
    run.result = run.report.anythingRemoved();
    return run;
}

// The result flag then the lines, as text: what a run in a child process hands back.
std::string runAsText(const std::string& base, std::string_view name, DeletionOptions options = {}) {
    Outcome run = runDeletion(base, name, std::move(options));
    std::string text = run.result ? "true\n" : "false\n";
    for (const auto& line : run.lines)
        text += line + "\n";
    return text;
}

// `before` without the entries at or below each of `removed`.
std::set<std::string> without(std::set<std::string> before, const std::vector<std::string>& removed) {
    std::erase_if(before, [&](const std::string& path) {
        for (const auto& r : removed)
            if (path == r || path == r + "/" || path.starts_with(r + "/")) return true;
        return false;
    });
    return before;
}

TEST_P(DeleteMatchingItemsBothWays, EachCategoryRemovesExactlyWhatItNames) {
    struct Case {
        CacheCategory category;
        std::vector<std::string> removed;
    };
    const std::vector<Case> cases{
        {CacheCategory::render, {"Event A/Render Files", "Event B/Render Files", "Render Files"}},
        {CacheCategory::proxy, {"Event A/Transcoded Media/Proxy Media"}},
        // The renders' own "High Quality Media" inside "Render Files" is not optimized media.
        {CacheCategory::optimized, {"Event A/Transcoded Media/High Quality Media"}},
        {CacheCategory::analysis, {"Analysis Files", "Event A/Analysis Files", "Event A/Analysis Cache"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(categoryInfo(c.category).key));
        TempDir tmp;
        const std::string lib = tmp / "Lib.fcpbundle";
        buildLibrary(lib);
        const auto before = listTree(lib);

        Outcome run = runDeletion(lib, categoryInfo(c.category).deletionName);
        Lines expected;
        for (const auto& r : c.removed)
            expected.insert("Deleted: " + lib + "/" + r);
        EXPECT_EQ(run.lines, expected);
        EXPECT_TRUE(run.result);
        EXPECT_EQ(run.report.removed, c.removed.size());
        EXPECT_EQ(listTree(lib), without(before, c.removed));
    }
}

// Each entry is reported, then logged, the moment it is done; its bytes are the sizes of the
// files that this run unlinked in it.
TEST_P(DeleteMatchingItemsBothWays, OneWalkForAllCategoriesReportsEachEntryAsItFinishes) {
    TempDir tmp;
    const std::string lib = tmp / "Lib.fcpbundle";
    buildLibrary(lib);
    writeFile(lib + "/Event B/Render Files/big.mov", 5'000'000'000); // sparse
    makeSymlink(tmp / "elsewhere", lib + "/Event B/Render Files/link");
    std::vector<std::string> log;
    std::vector<std::string> entries;
    DeletionOptions options;
    options.threads = threadsUnderTest;
    options.sink = [&](std::string_view line) { log.emplace_back(line); };
    options.onEntry = [&](const DeletionEntry& entry) {
        EXPECT_EQ(log.size(), entries.size()); // the previous entry's line is already out
        entries.push_back("Deleted: " + entry.path + " " + std::to_string(entry.nameIndex) + " " +
                          std::to_string(entry.bytes));
    };
    std::vector<std::string_view> names;
    for (CacheCategory category : allCacheCategories)
        names.push_back(categoryInfo(category).deletionName);
    std::vector<DeletionReport> reports = deleteMatchingItemsReports(lib, names, options);

    ASSERT_EQ(reports.size(), 4u);
    const std::vector<std::pair<std::uint64_t, std::int64_t>> removedAndBytes{
        {3, 5'000'000'400}, {1, 100}, {1, 100}, {3, 300}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(reports[i].removed, removedAndBytes[i].first) << i;
        EXPECT_EQ(reports[i].bytesRemoved, removedAndBytes[i].second) << i;
    }
    const std::string d = "Deleted: " + lib + "/";
    EXPECT_EQ(Lines(entries.begin(), entries.end()),
              (Lines{d + "Event A/Render Files 0 200", d + "Event B/Render Files 0 5000000100",
                     d + "Render Files 0 100", d + "Event A/Transcoded Media/Proxy Media 1 100",
                     d + "Event A/Transcoded Media/High Quality Media 2 100", d + "Analysis Files 3 100",
                     d + "Event A/Analysis Files 3 100", d + "Event A/Analysis Cache 3 100"}));
    ASSERT_EQ(log.size(), entries.size());
    for (std::size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(entries[i].rfind(log[i] + " ", 0), 0u) << log[i];
    EXPECT_TRUE(entryExists(tmp / "Lib.fcpbundle/Event B/render files/keep"));
}

TEST(DeleteMatchingItems, StopRequestLetsTheRemovalUnderWayFinishAndStartsNoOther) {
    TempDir tmp;
    const std::string lib = tmp / "Lib.fcpbundle";
    buildLibrary(lib);
    const auto before = listTree(lib);

    // Requested while the first matched folder's line is written: that folder is gone whole,
    // the other two are untouched.
    CancellationToken stop;
    DeletionOptions options;
    options.cancel = &stop;
    std::vector<std::string> lines;
    options.sink = [&](std::string_view line) {
        lines.emplace_back(line);
        stop.request();
    };
    DeletionReport report = deleteMatchingItemsReport(lib, "Render Files", options);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(report.removed, 1u);
    EXPECT_TRUE(report.cancelled);
    const std::string first = lines[0].substr(std::string("Deleted: " + lib + "/").size());
    EXPECT_EQ(listTree(lib), without(before, {first}));

    // Requested before: the matched folder is opened but nothing in it goes.
    const std::string transcoded = lib + "/Event A/Transcoded Media";
    UniqueFd parent = openDirectoryNoFollow(transcoded);
    ASSERT_TRUE(parent);
    RemoveReport stopped = removeEntryAt(parent.get(), "Proxy Media", transcoded + "/Proxy Media", true,
                                         RemoveOptions{64, &stop});
    EXPECT_EQ(stopped.outcome, RemoveOutcome::Stopped);
    EXPECT_EQ(stopped.entriesRemoved, 0u);
    report = deleteMatchingItemsReport(lib, "Proxy Media", options);
    EXPECT_EQ(report.removed + report.matched + report.stopped, 0u);
    EXPECT_EQ(listTree(lib), without(before, {first}));
}

// Nothing matched, or no library folder to walk: false. A link or a file named like a library
// is not one and gives no line; a library that cannot be opened is an error and a failure.
TEST(DeleteMatchingItems, NothingToRemoveOrNothingToWalkGivesFalse) {
    TempDir tmp;
    makeDirs(tmp / "Lib.fcpbundle/Event/Original Media");
    writeFile(tmp / "Lib.fcpbundle/Event/Original Media/Render Files clip.mov", 1);
    buildLibrary(tmp / "Real.fcpbundle");
    makeSymlink(tmp / "Real.fcpbundle", tmp / "Link.fcpbundle");
    writeFile(tmp / "File.fcpbundle", 1);
    const auto realBefore = listTree(tmp / "Real.fcpbundle");

    const std::string missing = tmp / "Missing.fcpbundle";
    const std::vector<std::pair<std::string, Lines>> cases{
        {tmp / "Lib.fcpbundle", {}},
        {tmp / "Link.fcpbundle", {}},
        {tmp / "Link.fcpbundle/", {}},
        {tmp / "File.fcpbundle", {}},
        {missing, {"Error reading " + missing + ": No such file or directory"}},
        {"", {"Error reading : No such file or directory"}},
    };
    for (const auto& [base, lines] : cases) {
        SCOPED_TRACE(base);
        Outcome run = runDeletion(base, "Render Files");
        EXPECT_FALSE(run.result);
        EXPECT_EQ(run.lines, lines);
        EXPECT_EQ(run.report.failed, lines.size());
    }
    // Names that could only ever match by accident match nothing.
    for (const char* name : {"", ".", "..", "/", "Event//Render Files"}) {
        Outcome run = runDeletion(tmp / "Real.fcpbundle", name);
        EXPECT_EQ(run.lines, Lines{}) << name;
    }
    EXPECT_EQ(listTree(tmp / "Real.fcpbundle"), realBefore);
    EXPECT_TRUE(entryExists(tmp / "Lib.fcpbundle/Event/Original Media/Render Files clip.mov"));
}

// The base path is kept as given, a trailing separator included.
TEST(DeleteMatchingItems, WritesWholeLinesWithTheBasePathAsGivenToStandardOutput) {
    TempDir tmp;
    makeDirs(tmp / "Lib.fcpbundle/E/Render Files");
    bool result = false;
    std::string text =
        testing::captureStdout([&] { result = deleteMatchingItems(tmp / "Lib.fcpbundle/", "Render Files"); });
    EXPECT_TRUE(result);
    EXPECT_EQ(text, "Deleted: " + tmp.path() + "/Lib.fcpbundle//E/Render Files\n");
}

TEST(DeleteMatchingItems, LinksAreRemovedAndTheirTargetsStay) {
    TempDir tmp;
    makeDirs(tmp / "outside/inner");
    writeFile(tmp / "outside/file.mov", 10);
    writeFile(tmp / "outside/inner/deep.mov", 10);
    const auto outsideBefore = listTree(tmp / "outside");
    const std::string lib = tmp / "Lib.fcpbundle";
    makeDirs(lib + "/A/Render Files/sub");
    makeSymlink(tmp / "outside", lib + "/A/Render Files/to-folder");
    makeSymlink(tmp / "outside/file.mov", lib + "/A/Render Files/sub/to-file");
    makeSymlink(tmp / "nowhere", lib + "/A/Render Files/dangling");
    // A matched entry that is itself a link: the link goes, not what it points to.
    makeDirs(lib + "/B");
    makeSymlink(tmp / "outside", lib + "/B/Render Files");
    makeDirs(lib + "/C/Transcoded Media");
    makeSymlink(tmp / "outside/inner", lib + "/C/Transcoded Media/Proxy Media");

    Outcome render = runDeletion(lib, "Render Files");
    Outcome proxy = runDeletion(lib, "Proxy Media");
    EXPECT_EQ(render.lines,
              (Lines{"Deleted: " + lib + "/A/Render Files", "Deleted: " + lib + "/B/Render Files"}));
    EXPECT_EQ(proxy.lines, (Lines{"Deleted: " + lib + "/C/Transcoded Media/Proxy Media"}));
    EXPECT_EQ(listTree(lib), (std::set<std::string>{"A/", "B/", "C/", "C/Transcoded Media/"}));
    EXPECT_EQ(listTree(tmp / "outside"), outsideBefore);
}

TEST(DeleteMatchingItems, UnusualNamesGiveOneEscapedLineEach) {
    TempDir tmp;
    const std::string lib = tmp / "Lib.fcpbundle";
    const std::vector<std::pair<std::string, std::string>> events{{"new\nline", "new\\nline"},
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
    Outcome run = runDeletion(lib, "Render Files");
    EXPECT_EQ(run.lines, expected);
    for (const auto& line : run.lines)
        EXPECT_EQ(line.find('\n'), std::string::npos);
    std::set<std::string> left;
    for (const auto& [raw, escaped] : events)
        left.insert(raw + "/");
    EXPECT_EQ(listTree(lib), left);
}

TEST_P(DeleteMatchingItemsBothWays, ImmutableFileGivesOneErrorLineAndTheRestIsRemoved) {
    TempDir tmp;
    const std::string lib = tmp / "Lib.fcpbundle";
    makeDirs(lib + "/A/Render Files/sub");
    makeDirs(lib + "/B/Render Files");
    makeDirs(lib + "/Only.fcpbundle/E/Render Files");
    const std::string locked = lib + "/A/Render Files/sub/locked.mov";
    const std::string lonely = lib + "/Only.fcpbundle/E/Render Files/locked.mov";
    writeFile(locked, 10);
    writeFile(lonely, 10);
    writeFile(lib + "/A/Render Files/other.mov", 10);
    writeFile(lib + "/A/Render Files/sub/sibling.mov", 10);
    writeFile(lib + "/B/Render Files/r.mov", 10);
    if (std::system(("chattr +i '" + locked + "' '" + lonely + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "chattr +i is not supported on the temporary folder's file system";

    // A library whose only match cannot be removed: false, one error line.
    Outcome lonelyRun = runDeletion(lib + "/Only.fcpbundle", "Render Files");
    Outcome run = runDeletion(lib, "Render Files");
    std::system(("chattr -i '" + locked + "' '" + lonely + "'").c_str());

    EXPECT_FALSE(lonelyRun.result);
    EXPECT_EQ(lonelyRun.lines, (Lines{"Error deleting " + lonely + ": Operation not permitted"}));
    EXPECT_TRUE(run.result);
    EXPECT_EQ(run.lines, (Lines{"Error deleting " + locked + ": Operation not permitted",
                                "Error deleting " + lonely + ": Operation not permitted",
                                "Deleted: " + lib + "/B/Render Files"}));
    EXPECT_EQ(run.report.removed, 1u);
    EXPECT_EQ(run.report.failed, 2u); // A's folder and the inner library's
    // The first failure met (in walk order) is kept for the window's alert, as its line gave it.
    EXPECT_TRUE(run.report.firstFailedPath == locked || run.report.firstFailedPath == lonely)
        << run.report.firstFailedPath;
    EXPECT_EQ(run.report.firstFailureDescription, "Operation not permitted");
    EXPECT_EQ(lonelyRun.report.failed, 1u);
    EXPECT_EQ(lonelyRun.report.firstFailedPath, lonely);
    EXPECT_EQ(listTree(lib + "/A"),
              (std::set<std::string>{"Render Files/", "Render Files/sub/", "Render Files/sub/locked.mov"}));
    EXPECT_FALSE(entryExists(lib + "/B/Render Files"));
}

// A folder the user cannot write keeps what is inside it; one the user cannot read is never
// searched: both are reported, by the dry run too, and count as failed.
TEST_P(DeleteMatchingItemsBothWays, FoldersTheUserCannotWriteOrReadGiveOneErrorLineEach) {
    TempDir tmp;
    const std::string lib = tmp / "Lib.fcpbundle";
    makeDirs(lib + "/A/Render Files/closed");
    makeDirs(lib + "/B/Render Files");
    makeDirs(lib + "/C/Render Files");
    writeFile(lib + "/A/Render Files/closed/kept.mov", 10);
    writeFile(lib + "/A/Render Files/free.mov", 10);
    writeFile(lib + "/B/Render Files/r.mov", 10);
    testing::chownTreeToNobody(lib);
    ASSERT_EQ(::chmod((lib + "/A/Render Files/closed").c_str(), 0555), 0);
    ASSERT_EQ(::chmod((lib + "/C").c_str(), 0), 0);

    std::string out = testing::runAsNobody([&] {
        Outcome dry = runDeletion(lib, "Render Files", DeletionOptions{.dryRun = true});
        // Two walks of one library meet its unreadable folder twice: a tally counts it once.
        CleaningTally tally;
        tally.add(dry.report, lib);
        tally.add(runDeletion(lib, "Analysis Files", DeletionOptions{.dryRun = true}).report, lib);
        std::string text = std::to_string(dry.report.failed) + std::to_string(tally.failed) + "\n";
        for (const auto& line : dry.lines)
            text += line + "\n";
        return text + runAsText(lib, "Render Files");
    });
    const std::string unreadable = "Error reading " + lib + "/C: Permission denied\n";
    EXPECT_EQ(out, "11\n" + unreadable + "Would delete: " + lib +
                       "/A/Render Files (20 bytes)\nWould delete: " + lib +
                       "/B/Render Files (10 bytes)\ntrue\nDeleted: " + lib +
                       "/B/Render Files\nError deleting " + lib +
                       "/A/Render Files/closed/kept.mov: Permission denied\n" + unreadable);
    EXPECT_EQ(listTree(lib + "/A"), (std::set<std::string>{"Render Files/", "Render Files/closed/",
                                                           "Render Files/closed/kept.mov"}));
    ASSERT_EQ(::chmod((lib + "/C").c_str(), 0755), 0);
    EXPECT_TRUE(entryExists(lib + "/C/Render Files"));
}

// A folder of the library mounted read-only: by default the walk stays on the library's own
// mount and leaves it alone; asked to cross, it meets the read-only file system and says so
// once for the whole matched folder.
TEST_P(DeleteMatchingItemsBothWays, ReadOnlyMountIsLeftOutOrGivesOneErrorLine) {
    TempDir tmp;
    const std::string lib = tmp / "Lib.fcpbundle";
    makeDirs(lib + "/A/Render Files/sub");
    makeDirs(lib + "/B/Render Files");
    for (int i = 0; i < 5; ++i)
        writeFile(lib + "/A/Render Files/r" + std::to_string(i), 1);
    writeFile(lib + "/A/Render Files/sub/s", 1);
    writeFile(lib + "/B/Render Files/r", 1);

    std::string out = testing::runInMountNamespace([&] {
        testing::bindMount(lib + "/A", lib + "/A", true);
        DeletionReport staying = runDeletion(lib, "Render Files").report;
        std::string text = "skipped " + std::to_string(staying.mountsSkipped) + "\n";
        return text + runAsText(lib, "Render Files", DeletionOptions{.crossFileSystems = true});
    });
    if (out == testing::kNoMountNamespace) GTEST_SKIP() << "cannot create a mount namespace here";
    EXPECT_EQ(out, "skipped 1\nfalse\nError deleting " + lib + "/A/Render Files: Read-only file system\n");
    EXPECT_FALSE(entryExists(lib + "/B/Render Files"));
    EXPECT_EQ(listTree(lib + "/A/Render Files").size(), 7u);
}

TEST_P(DeleteMatchingItemsBothWays, MountsInsideRenderFilesSurviveWithOneLineEach) {
    TempDir tmp;
    const std::string lib = tmp / "Lib.fcpbundle";
    const std::string render = lib + "/A/Render Files";
    makeDirs(tmp / "elsewhere/sub");
    writeFile(tmp / "elsewhere/sub/precious.mov", 10);
    makeDirs(render + "/bound");
    makeDirs(render + "/Peaks Data/tmp");
    writeFile(render + "/r.mov", 10);
    writeFile(render + "/Peaks Data/p", 10);
    writeFile(render + "/file-mount", 1);
    writeFile(tmp / "elsewhere/file", 10);

    std::string out = testing::runInMountNamespace([&] {
        testing::bindMount(tmp / "elsewhere", render + "/bound");
        testing::mountTmpfs(render + "/Peaks Data/tmp");
        testing::bindMount(tmp / "elsewhere/file", render + "/file-mount");
        writeFile(render + "/Peaks Data/tmp/in-tmpfs", 5);
        std::string text = runAsText(lib, "Render Files");
        for (const auto& path : listTree(render))
            text += "left " + path + "\n";
        return text;
    });
    if (out == testing::kNoMountNamespace) GTEST_SKIP() << "cannot create a mount namespace here";
    const std::string why = ": Is a mount point; left in place";
    EXPECT_EQ(testing::lineSet(out),
              (Lines{"true", "Error deleting " + render + "/bound" + why,
                     "Error deleting " + render + "/Peaks Data/tmp" + why,
                     "Error deleting " + render + "/file-mount" + why, "left bound/", "left bound/file",
                     "left bound/sub/", "left bound/sub/precious.mov", "left file-mount", "left Peaks Data/",
                     "left Peaks Data/tmp/", "left Peaks Data/tmp/in-tmpfs"}));
    EXPECT_TRUE(entryExists(tmp / "elsewhere/sub/precious.mov"));
    EXPECT_TRUE(entryExists(tmp / "elsewhere/file"));
}

TEST(DeleteMatchingItems, DeepChainAndLongPathUnderLowDescriptorLimit) {
    TempDir tmp;
    const std::string lib = tmp / "Lib.fcpbundle";
    makeDirs(lib + "/A/Render Files");
    makeDirs(lib + "/B/Render Files");
    testing::makeDeepChain(lib + "/A/Render Files", 10000, "level", true);
    testing::makeDeepChain(lib + "/B/Render Files", 30, std::string(250, 'x'), true);

    std::string out = testing::runInChild([&] {
        rlimit limit{200, 200};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return std::string("setrlimit failed");
        Outcome run = runDeletion(lib, "Render Files");
        std::string text = std::to_string(run.report.innerRemoved) + "\n";
        for (const auto& line : run.lines)
            text += line + "\n";
        return text;
    });
    EXPECT_EQ(out, "20060\nDeleted: " + lib + "/A/Render Files\nDeleted: " + lib + "/B/Render Files\n");
    EXPECT_EQ(listTree(lib), (std::set<std::string>{"A/", "B/"}));
}

TEST_P(DeleteMatchingItemsBothWays, ParallelRunsOnOneLibraryRemoveEachEntryOnce) {
    TempDir tmp;
    const std::string lib = tmp / "Lib.fcpbundle";
    buildLibrary(lib);
    for (int e = 0; e < 6; ++e) {
        for (const char* folder : {"Render Files/Peaks Data", "Transcoded Media/Proxy Media",
                                   "Transcoded Media/High Quality Media", "Analysis Files/x"}) {
            std::string dir = lib + "/Extra " + std::to_string(e) + "/" + folder;
            makeDirs(dir);
            for (int f = 0; f < 40; ++f)
                writeFile(dir + "/f" + std::to_string(f), 1);
        }
    }
    // Two copies of the four category runs at once, as a whole-location run may start them.
    std::vector<Outcome> runs(8);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] {
            // Side by side, few descriptors: most folders are removed one by one for want of one.
            runs[i] = runDeletion(lib, categoryInfo(allCacheCategories[i % 4]).deletionName,
                                  {.maxOpenDescriptors = threadsUnderTest == 1 ? 8u : 12u});
        });
    for (auto& thread : threads)
        thread.join();

    Lines all;
    for (const auto& run : runs)
        all.insert(run.lines.begin(), run.lines.end());
    Lines expected;
    for (const char* r :
         {"Event A/Render Files", "Event B/Render Files", "Render Files",
          "Event A/Transcoded Media/Proxy Media", "Event A/Transcoded Media/High Quality Media",
          "Analysis Files", "Event A/Analysis Files", "Event A/Analysis Cache"})
        expected.insert("Deleted: " + lib + "/" + r);
    for (int e = 0; e < 6; ++e)
        for (const char* r : {"/Render Files", "/Transcoded Media/Proxy Media",
                              "/Transcoded Media/High Quality Media", "/Analysis Files"})
            expected.insert("Deleted: " + lib + "/Extra " + std::to_string(e) + r);
    EXPECT_EQ(all, expected);
    for (int e = 0; e < 6; ++e)
        EXPECT_EQ(listTree(lib + "/Extra " + std::to_string(e)),
                  (std::set<std::string>{"Transcoded Media/"}));
}

TEST_P(DeleteMatchingItemsBothWays, DryRunListsSizesAndRemovesNothing) {
    TempDir tmp;
    const std::string lib = tmp / "Lib.fcpbundle";
    buildLibrary(lib);
    writeFile(lib + "/Event B/Render Files/big.mov", 5'000'000'000); // sparse
    makeSymlink(tmp / "elsewhere", lib + "/Event B/Render Files/link");
    const auto before = listTree(lib);

    Outcome run = runDeletion(lib, "Render Files", {.dryRun = true});
    // Side by side with too few descriptors for every folder, the same sizes.
    EXPECT_EQ(runDeletion(lib, "Render Files", {.dryRun = true, .maxOpenDescriptors = 12}).lines, run.lines);
    EXPECT_EQ(run.lines, (Lines{"Would delete: " + lib + "/Event A/Render Files (200 bytes)",
                                "Would delete: " + lib + "/Event B/Render Files (5000000100 bytes)",
                                "Would delete: " + lib + "/Render Files (100 bytes)"}));
    // Listed in the walk's order, whichever thread finishes measuring first.
    auto listing = [&](DeletionOptions options) {
        std::vector<std::string> lines;
        options.sink = [&](std::string_view line) { lines.emplace_back(line); };
        (void)deleteMatchingItemsReport(lib, "Render Files", options);
        return lines;
    };
    EXPECT_EQ(listing({.dryRun = true, .threads = 8}), listing({.dryRun = true}));
    EXPECT_EQ(run.report.bytesMatched, 5000000400);
    EXPECT_EQ(run.report.matched, 3u);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(listTree(lib), before);
}

// One after the other, and side by side with more threads than a matched folder has folders.
INSTANTIATE_TEST_SUITE_P(Threads, DeleteMatchingItemsBothWays, ::testing::Values(1u, 8u),
                         [](const ::testing::TestParamInfo<unsigned>& info) {
                             return info.param == 1 ? "OneAfterTheOther" : "SideBySide";
                         });

} // namespace
} // namespace velmora

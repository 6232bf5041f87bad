#include "cleaning/cleaning_concurrency.h"
#include "cleaning/cleaning_runner.h"
#include "cleaning/scanned_location.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace velmora {
namespace {

using testing::listTree;
using testing::ScannedLocation;
using testing::TempDir;
using Lines = std::multiset<std::string>;

// A run of the plan for every library of the scanned location, and what it told.
struct Ran {
    std::vector<std::string> lines;
    std::size_t stepsDone = 0;
    CleaningTally tally;
};

Ran run(const ScannedLocation& location, const CleaningPlan& plan, const CleaningRunOptions& options) {
    Ran ran;
    CleaningEvents events;
    events.onEntry = [&](const DeletionEntry& entry) {
        for (const std::string& line : logLines(entry))
            ran.lines.push_back(line);
    };
    events.onStepDone = [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, plan.steps.size());
        ran.stepsDone = done;
    };
    ran.tally = runCleaning(location.fd.get(), plan, options, events);
    return ran;
}

TEST(CleaningPlan, LeavesOutRecentLibrariesAndGivesNestedOnesNoStep) {
    const auto daysAgo = [](int days) {
        return std::optional<FileTime>(std::chrono::system_clock::now() - std::chrono::hours(24 * days) -
                                       std::chrono::minutes(1));
    };
    std::vector<FCPBundle> found;
    for (const auto& [relative, modified] : std::vector<std::pair<std::string, std::optional<FileTime>>>{
             {"A.fcpbundle", daysAgo(100)},
             {"A.fcpbundle/E/Inner.fcpbundle", daysAgo(100)},
             {"B.fcpbundle", daysAgo(3)},
             {"B.fcpbundle/Inner.fcpbundle", daysAgo(29)},      // its holder is left out: a step of its own
             {"C.fcpbundle", std::nullopt},                     // no kept file: untouched
             {"C.fcpbundle copy/D.fcpbundle", daysAgo(10000)}}) // beside C, not inside it
        found.push_back({.displayName = relative, .lastModified = modified, .relativePath = relative});
    const CategoryMask two = categoryBit(CacheCategory::render) | categoryBit(CacheCategory::analysis);
    const struct {
        PlanRequest request;
        std::size_t skipped;
        std::vector<std::string> steps; // library and categories
    } cases[] = {
        {{}, 0, {"A.fcpbundle 15", "B.fcpbundle 15", "C.fcpbundle 15", "C.fcpbundle copy/D.fcpbundle 15"}},
        {{.untouchedFor = std::chrono::days(30)},
         2,
         {"A.fcpbundle 15", "C.fcpbundle 15", "C.fcpbundle copy/D.fcpbundle 15"}},
        {{.untouchedFor = std::chrono::days(29)},
         1,
         {"A.fcpbundle 15", "B.fcpbundle/Inner.fcpbundle 15", "C.fcpbundle 15",
          "C.fcpbundle copy/D.fcpbundle 15"}},
        {{.categories = two, .stepPerCategory = true, .untouchedFor = std::chrono::days(1000000)},
         5,
         {"C.fcpbundle 1", "C.fcpbundle 8"}}, // centuries: no overflow lets an old library through
    };
    for (const auto& c : cases) {
        const CleaningPlan plan = planCleaning(found, c.request);
        std::vector<std::string> steps;
        for (const CleaningStep& step : plan.steps)
            steps.push_back(plan.libraries[step.library].relativePath + " " +
                            std::to_string(step.categories));
        EXPECT_EQ(steps, c.steps);
        EXPECT_EQ(plan.skippedAsRecent, c.skipped);
        EXPECT_EQ(plan.libraries.size() + plan.skippedAsRecent, found.size());
    }
}

TEST(CleaningShape, JobsThreadsAndDescriptorsFromTheStorageAndTheLimit) {
    constexpr std::size_t plenty = 1u << 20;
    const struct {
        StorageKind kind;
        unsigned cores;
        std::size_t descriptors;
        std::size_t steps;
        unsigned requested;
        unsigned jobs, threads;
        std::size_t maxOpen;
    } cases[] = {
        // One step per core locally, each one entry after the other.
        {StorageKind::Local, 2, plenty, 10, 0, 2, 1, 63},
        {StorageKind::Local, 0, plenty, 10, 0, 1, 1, 63},
        // Many at once on a share, its threads shared out among the steps that go together.
        {StorageKind::Network, 2, plenty, 10, 0, 64, 6, 63},
        {StorageKind::Network, 2, plenty, 1, 0, 64, 64, 385},
        {StorageKind::Local, 2, plenty, 10, 100, 64, 1, 63},
        // A low limit means fewer at once and fewer descriptors each, never none.
        {StorageKind::Local, 8, 100, 64, 0, 8, 1, 5},
        {StorageKind::Local, 2, 16, 64, 8, 1, 1, 5},
        {StorageKind::Local, 2, 3, 64, 8, 1, 1, 2},
    };
    for (const auto& c : cases) {
        const CleaningShape shape = cleaningShapeFor(c.kind, c.cores, c.descriptors, c.steps, c.requested);
        EXPECT_EQ(shape.jobs, c.jobs) << c.descriptors << " " << c.steps;
        EXPECT_EQ(shape.threads, c.threads) << c.descriptors << " " << c.steps;
        EXPECT_EQ(shape.maxOpenDescriptors, c.maxOpen) << c.descriptors << " " << c.steps;
    }
}

// A dry run tells its entries in the plan's order however many steps go at once, and the
// same from the scan's own listing as from walking each library again; every step ends.
TEST(CleaningRun, DryRunTellsInPlanOrderWhateverTheJobs) {
    TempDir tmp;
    for (int i = 0; i < 12; ++i)
        for (const char* folder : {"/E/Render Files/r", "/F/Render Files/r", "/E/Analysis Files/a"})
            testing::placeFile(tmp, "loc/L" + std::to_string(i) + ".fcpbundle" + folder, i + 1);
    const auto before = listTree(tmp / "loc");
    const ScannedLocation location(tmp / "loc", {.listCleanable = kEveryCategory});
    const CleaningPlan plan = planCleaning(location.libraries, {});
    const Ran one = run(location, plan, {.dryRun = true, .jobs = 1});
    EXPECT_EQ(one.lines.size(), 36u);
    EXPECT_EQ(one.stepsDone, 12u);
    EXPECT_EQ(one.tally.removed, 36u);
    for (const unsigned jobs : {4u, 12u}) {
        EXPECT_EQ(run(location, plan, {.dryRun = true, .jobs = jobs}).lines, one.lines);
        EXPECT_EQ(run(location, plan, {.dryRun = true, .listedByScan = true, .jobs = jobs}).lines, one.lines);
    }
    EXPECT_EQ(listTree(tmp / "loc"), before);
}

// A folder that cannot be read is told once and counts once, whether the scan or a library's
// walks meet it (a step per category walks a library four times), and the first failure is
// the first the plan meets.
TEST(CleaningRun, EachUnreadableFolderIsToldOnce) {
    TempDir tmp;
    const std::string loc = tmp / "loc";
    testing::placeFile(tmp, "loc/closed/Hidden.fcpbundle/E/Render Files/r", 5);
    testing::placeFile(tmp, "loc/A.fcpbundle/Locked/Render Files/r", 6);
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Render Files/locked/r", 7);
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Render Files/r", 8);
    testing::chownTreeToNobody(loc);
    for (const char* folder : {"closed", "A.fcpbundle/Locked", "A.fcpbundle/E/Render Files/locked"})
        ASSERT_EQ(::chmod((loc + "/" + folder).c_str(), 0), 0);
    const std::string out = testing::runAsNobody([&] {
        std::string text;
        for (const auto& [dryRun, stepPerCategory] :
             {std::pair{true, false}, std::pair{true, true}, std::pair{false, false}}) {
            std::vector<UnreadableFolder> unreadable;
            std::mutex mutex;
            const ScannedLocation location(loc, {.onUnreadable = [&](const std::string& path, int error) {
                                               std::lock_guard lock(mutex);
                                               unreadable.push_back({path, error});
                                           }});
            const CleaningPlan plan =
                planCleaning(location.libraries, {.stepPerCategory = stepPerCategory}, std::move(unreadable));
            const Ran ran = run(location, plan, {.dryRun = dryRun, .jobs = 4});
            for (const std::string& line : ran.lines)
                text += line + "\n";
            text += std::to_string(ran.tally.failed) + " failed, first " + ran.tally.firstFailedPath + "\n";
        }
        return text;
    });
    const std::string denied = ": Permission denied";
    Lines expected;
    for (int dry = 0; dry < 2; ++dry)
        expected.insert({"Error reading " + loc + "/closed" + denied,
                         "Error reading " + loc + "/A.fcpbundle/Locked" + denied,
                         "Error reading " + loc + "/A.fcpbundle/E/Render Files/locked" + denied,
                         "Would delete: " + loc + "/A.fcpbundle/E/Render Files (8 bytes)"});
    expected.insert({"Error reading " + loc + "/closed" + denied,
                     "Error reading " + loc + "/A.fcpbundle/Locked" + denied,
                     "Error deleting " + loc + "/A.fcpbundle/E/Render Files/locked" + denied});
    for (int runs = 0; runs < 3; ++runs)
        expected.insert("3 failed, first " + loc + "/closed");
    EXPECT_EQ(testing::lineSet(out), expected);
}

// Two runs over one location at once: every entry goes once and is told by the run that
// removed it, and each counts the bytes it unlinked itself, so together they count all.
TEST(CleaningRun, TwoRunsAtOnceRemoveEachEntryOnceAndCountTheirOwnBytes) {
    TempDir tmp;
    std::int64_t total = 0;
    Lines expected;
    for (int l = 0; l < 6; ++l) {
        const std::string lib = "loc/L" + std::to_string(l) + ".fcpbundle/E/";
        for (const char* folder : {"Render Files/Peaks Data", "Transcoded Media/Proxy Media",
                                   "Transcoded Media/High Quality Media"}) {
            for (int f = 0; f < 40; ++f, total += 10)
                testing::placeFile(tmp, lib + folder + "/f" + std::to_string(f), 10);
            expected.insert("Deleted: " + (tmp / lib) + (folder[0] == 'R' ? "Render Files" : folder));
        }
    }
    const ScannedLocation first(tmp / "loc"), second(tmp / "loc");
    std::vector<Ran> runs(2);
    std::thread other([&] {
        runs[1] = run(second, planCleaning(second.libraries, {.stepPerCategory = true}), {.jobs = 2});
    });
    runs[0] = run(first, planCleaning(first.libraries, {}), {.jobs = 3});
    other.join();
    Lines told;
    for (const Ran& ran : runs)
        told.insert(ran.lines.begin(), ran.lines.end());
    EXPECT_EQ(told, expected);
    EXPECT_EQ(runs[0].tally.bytes + runs[1].tally.bytes, total);
    for (int l = 0; l < 6; ++l)
        EXPECT_EQ(listTree(tmp / ("loc/L" + std::to_string(l) + ".fcpbundle/E")),
                  (std::set<std::string>{"Transcoded Media/"}));
}

} // namespace
} // namespace velmora

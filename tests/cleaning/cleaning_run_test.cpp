#include "cleaning/cleaning_concurrency.h"
#include "cleaning/cleaning_runner.h"
#include "cleaning/scanned_location.h"
#include "support/mount_namespace.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <limits>
#include <mutex>
#include <thread>

namespace velmora {
namespace {

using testing::listTree;
using testing::placeFile;
using testing::ScannedLocation;
using testing::TempDir;
using Lines = std::multiset<std::string>;

// A run of `plan` on the scanned location: the lines it told, and its tally.
std::pair<std::vector<std::string>, CleaningTally>
run(const ScannedLocation& location, const CleaningPlan& plan, const CleaningRunOptions& options) {
    std::vector<std::string> lines;
    std::size_t ended = 0;
    CleaningEvents events{[&](const DeletionEntry& entry) {
                              for (const std::string& line : logLines(entry))
                                  lines.push_back(line);
                          },
                          [&](std::size_t done, std::size_t total) {
                              ended = std::max(ended, done);
                              EXPECT_EQ(total, plan.steps.size());
                          }};
    const CleaningTally tally = runCleaning(location.fd.get(), plan, options, events);
    EXPECT_EQ(ended, plan.steps.size()); // every step ends
    return {lines, tally};
}

TEST(CleaningPlan, LeavesOutRecentLibrariesAndGivesNestedOnesNoStep) {
    const auto daysAgo = [](int days) {
        const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        return std::optional(FileTime{now - std::chrono::hours(24 * days + 1)});
    };
    std::vector<FCPBundle> found;
    for (const auto& [relative, modified] : std::vector<std::pair<std::string, std::optional<FileTime>>>{
             {"A.fcpbundle", daysAgo(100)},
             {"A.fcpbundle/E/Render Files/Inner.fcpbundle", daysAgo(100)}, // goes with A's render files
             {"B.fcpbundle", daysAgo(3)},
             {"B.fcpbundle/Inner.fcpbundle", daysAgo(29)},      // not in B's entries: a step of its own
             {"C.fcpbundle", std::nullopt},                     // no kept file: untouched
             {"C.fcpbundle copy/D.fcpbundle", daysAgo(10000)}}) // beside C, not inside it
        found.push_back({.displayName = relative, .lastModified = modified, .relativePath = relative});
    const struct {
        PlanRequest request;
        std::size_t skipped;
        std::vector<std::string> steps; // each step's library and categories
    } cases[] = {
        {{},
         0,
         {"A.fcpbundle 15", "B.fcpbundle 15", "B.fcpbundle/Inner.fcpbundle 15", "C.fcpbundle 15",
          "C.fcpbundle copy/D.fcpbundle 15"}},
        {{.untouchedFor = std::chrono::days(29)},
         1,
         {"A.fcpbundle 15", "B.fcpbundle/Inner.fcpbundle 15", "C.fcpbundle 15",
          "C.fcpbundle copy/D.fcpbundle 15"}},
        // Centuries: no overflow lets an old library through.
        {{.categories = categoryBit(CacheCategory::render) | categoryBit(CacheCategory::analysis),
          .stepPerCategory = true,
          .untouchedFor = std::chrono::days(1000000)},
         5,
         {"C.fcpbundle 1", "C.fcpbundle 8"}},
    };
    for (const auto& c : cases) {
        const CleaningPlan plan = planCleaning(found, c.request);
        std::vector<std::string> steps;
        for (const CleaningStep& step : plan.steps)
            steps.push_back(plan.libraries[step.library].relativePath + " " +
                            std::to_string(step.categories));
        EXPECT_EQ(steps, c.steps);
        EXPECT_EQ(plan.skippedAsRecent, c.skipped);
        EXPECT_EQ(plan.libraries.size() + c.skipped, found.size());
    }
}

TEST(CleaningShape, StepsAndThreadsFromTheStorageAndTheDescriptorsLeft) {
    const struct {
        StorageKind kind;
        std::size_t descriptors;
        unsigned requested, jobs, threads;
        std::size_t maxOpen, threadDescriptors;
    } cases[] = {
        {StorageKind::Local, 1u << 20, 0, 2, 1, 63, 0},      // a step per core, one entry at a time
        {StorageKind::Network, 1u << 20, 0, 64, 64, 63, 512}, // many at once, sharing the run's threads
        {StorageKind::Network, 100, 0, 6, 8, 7, 48},          // half the descriptors for the threads
        {StorageKind::Network, 20, 0, 2, 1, 3, 0},            // too few for two threads: each step alone
        {StorageKind::Local, 16, 8, 1, 1, 5, 0},              // a low limit: fewer at once, never none
        {StorageKind::Local, 3, 8, 1, 1, 2, 0},
    };
    for (const auto& c : cases) {
        const CleaningShape shape = cleaningShapeFor(c.kind, 2, c.descriptors, c.requested);
        EXPECT_EQ(std::tuple(shape.jobs, shape.threads, shape.maxOpenDescriptors, shape.threadDescriptors),
                  std::tuple(c.jobs, c.threads, c.maxOpen, c.threadDescriptors))
            << c.descriptors << " descriptors";
    }
}

// A cleaning of each library as a scan that leaves the cleaned entries unread meets it, the
// way the CLI cleans a location.
std::pair<std::vector<std::string>, CleaningTally> runAsFound(const std::string& path) {
    std::vector<std::string> lines;
    std::mutex mutex;
    std::vector<UnreadableFolder> unreadable;
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    CleaningEvents events{[&](const DeletionEntry& entry) {
        for (const std::string& line : logLines(entry))
            lines.push_back(line);
    }};
    const CleaningRunOptions options{.jobs = 4};
    CleaningAsFound run(fd.get(), kEveryCategory, options, events, 256);
    std::vector<FCPBundle> libraries =
        scanBundles(path, {.onUnreadable =
                               [&](const std::string& folder, int error) {
                                   std::lock_guard lock(mutex);
                                   unreadable.push_back({folder, error});
                               },
                           .skipInside = kEveryCategory,
                           .onLibraryFound = [&](const FCPBundle& library) { run.add(library); },
                           .descriptors = 256});
    const CleaningTally tally = run.finish(planCleaning(std::move(libraries), {}, std::move(unreadable)));
    return {lines, tally};
}

// An unreadable folder is told and counted once, whether the scan or a library's walks (four with
// a step per category) meet it, also when each library is cleaned as the scan meets it; the
// first failure is the first the plan meets.
TEST(CleaningRun, EachUnreadableFolderIsToldOnce) {
    TempDir tmp;
    const std::string loc = tmp / "loc";
    for (const char* file : {"closed/Hidden.fcpbundle/E/Render Files/r", "A.fcpbundle/Locked/Render Files/r",
                             "A.fcpbundle/E/Render Files/locked/r", "A.fcpbundle/E/Render Files/r"})
        placeFile(tmp, "loc/" + std::string(file), 8);
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
            const auto [lines, tally] = run(
                location, planCleaning(location.libraries, {.stepPerCategory = stepPerCategory}, unreadable),
                {.dryRun = dryRun, .jobs = 4});
            text += testing::text(lines) + std::to_string(tally.failed) + " failed, first " +
                    tally.firstFailedPath + "\n";
        }
        const auto [lines, tally] = runAsFound(loc);
        return text + testing::text(lines) + std::to_string(tally.failed) + " failed, first " +
               tally.firstFailedPath + "\n";
    });
    const std::string denied = ": Permission denied", reading = "Error reading " + loc;
    Lines expected;
    for (int real = 0; real < 2; ++real)
        expected.insert({reading + "/closed" + denied, reading + "/A.fcpbundle/Locked" + denied,
                         "Error deleting " + loc + "/A.fcpbundle/E/Render Files/locked" + denied});
    for (int dry = 0; dry < 2; ++dry)
        expected.insert({reading + "/closed" + denied, reading + "/A.fcpbundle/Locked" + denied,
                         reading + "/A.fcpbundle/E/Render Files/locked" + denied,
                         "Would delete: " + loc + "/A.fcpbundle/E/Render Files (8 bytes)"});
    for (int runs = 0; runs < 4; ++runs)
        expected.insert("3 failed, first " + loc + "/closed");
    EXPECT_EQ(testing::lineSet(out), expected);
}

// Two sparse files of 5 EiB in each library (tmpfs holds them): every sum stops at the largest
// count instead of wrapping, in the scan, the dry runs and the removals, walked or in parallel.
TEST(CleaningRun, ByteSumsStopAtTheLargestCount) {
    TempDir tmp;
    testing::makeDirs(tmp / "loc");
    const std::string out = testing::runInMountNamespace([&] {
        testing::mountTmpfs(tmp / "loc");
        for (const char* file : {"A.fcpbundle/E/Render Files/a", "A.fcpbundle/E/Render Files/b",
                                 "B.fcpbundle/E/Render Files/a", "B.fcpbundle/E/Render Files/b"})
            placeFile(tmp, "loc/" + std::string(file), std::int64_t{5} << 60);
        const ScannedLocation location(tmp / "loc", {.listCleanable = kEveryCategory});
        const FCPBundle& a = location.libraries.at(0);
        std::vector<std::int64_t> sums{a.size, a.reclaimable(), a.cleanable.at(0).bytes};
        for (const bool listed : {true, false})
            sums.push_back(
                run(location, planCleaning(location.libraries, {}), {.dryRun = true, .listedByScan = listed})
                    .second.bytes);
        for (const bool dryRun : {true, false})
            sums.push_back(
                testing::clean(location, "A.fcpbundle", kEveryCategory, 8, {.dryRun = dryRun})
                    .entries.at(0)
                    .bytes);
        sums.push_back(run(location, planCleaning({location["B.fcpbundle"]}, {}), {}).second.bytes);
        return std::to_string(std::count(sums.begin(), sums.end(), std::numeric_limits<std::int64_t>::max()));
    });
    if (out == testing::kNoMountNamespace) GTEST_SKIP() << "cannot create a mount namespace here";
    EXPECT_EQ(out, "8");
}

// A dry run tells the plan's order at any width, from the scan's listing as from a walk. Two runs
// at once: each entry goes and is told once, each run counting the bytes it unlinked itself.
TEST(CleaningRun, DryRunsTellInPlanOrderAndTwoRunsAtOnceRemoveEachEntryOnce) {
    TempDir tmp;
    Lines expected;
    for (int l = 0; l < 6; ++l) {
        const std::string event = "loc/L" + std::to_string(l) + ".fcpbundle/E/";
        for (const std::string folder : {"Render Files", "Transcoded Media/Proxy Media"}) {
            for (int f = 0; f < 40; ++f)
                placeFile(tmp, event + folder + "/sub/f" + std::to_string(f), 10);
            expected.insert("Deleted: " + (tmp / event) + folder);
        }
    }
    const auto before = listTree(tmp / "loc");
    const ScannedLocation first(tmp / "loc", {.listCleanable = kEveryCategory}), second(tmp / "loc");
    const CleaningPlan plan = planCleaning(first.libraries, {});
    const auto [lines, tally] = run(first, plan, {.dryRun = true, .jobs = 1});
    EXPECT_EQ(std::tuple(lines.size(), tally.removed, tally.bytes), std::tuple(12u, 12u, 6 * 2 * 40 * 10));
    EXPECT_EQ(run(first, plan, {.dryRun = true, .jobs = 12}).first, lines);
    EXPECT_EQ(run(first, plan, {.dryRun = true, .listedByScan = true, .jobs = 12}).first, lines);
    EXPECT_EQ(listTree(tmp / "loc"), before);

    std::pair<std::vector<std::string>, CleaningTally> runs[2];
    std::thread other(
        [&] { runs[1] = run(second, planCleaning(second.libraries, {.stepPerCategory = true}), {}); });
    runs[0] = run(first, plan, {.jobs = 3});
    other.join();
    Lines told(runs[0].first.begin(), runs[0].first.end());
    told.insert(runs[1].first.begin(), runs[1].first.end());
    EXPECT_EQ(told, expected);
    EXPECT_EQ(runs[0].second.bytes + runs[1].second.bytes, 6 * 2 * 40 * 10);
    EXPECT_EQ(listTree(tmp / "loc").size(), 6 * 3u); // each library with its event and Transcoded Media
}

} // namespace
} // namespace velmora

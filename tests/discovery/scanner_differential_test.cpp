// The scan engine held to the literal three-walk rules on trees with every awkward case.
#include "cleaning/clean_library.h"
#include "cleaning/cleaning_plan.h"
#include "discovery/parallel_scan.h"
#include "discovery/scanner.h"
#include "platform/unique_fd.h"
#include "samples/sample_tree.h"
#include "support/reference_scanner.h"
#include "support/temp_tree.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace velmora {
namespace {

using testing::TempDir;
using testing::writeFile;

// Processor times that tell a growing scan the machine is idle at every reading.
std::function<std::optional<ProcessorTimes>()> alwaysIdle() {
    auto idle = std::make_shared<std::uint64_t>(0);
    return [idle] {
        *idle += 100;
        return std::optional<ProcessorTimes>({1, *idle});
    };
}

// Everything but the ids as the literal rules say, at any number of workers, growing, and with
// queues so small that most subtrees are walked in place; the ids are all distinct.
void expectSameAsReference(const std::string& location) {
    const std::string reference = testing::describeBundles(testing::referenceScanBundles(location));
    std::vector<FCPBundle> fast = scanBundles(location, ScanOptions{nullptr, 1});
    EXPECT_EQ(testing::describeBundles(fast), reference) << location;
    for (unsigned threads : {2u, 8u, 64u})
        EXPECT_EQ(testing::describeBundles(scanBundles(location, ScanOptions{nullptr, threads})), reference)
            << location << ", " << threads << " threads";
    const ParallelScanWorkers growing{2, 64, alwaysIdle(), std::chrono::microseconds(100)};
    EXPECT_EQ(testing::describeBundles(parallelScanBundles(location, growing, nullptr)), reference) << location;
    for (const ParallelScanLimits& limit : {ParallelScanLimits{1, 0}, ParallelScanLimits{0, 1}, ParallelScanLimits{3, 2}})
        EXPECT_EQ(testing::describeBundles(parallelScanBundles(location, {4}, nullptr, limit)), reference)
            << location << ", open " << limit.maxOpenDirectories << ", queued " << limit.maxQueuedDirectories;
    std::set<Uuid> ids;
    for (const FCPBundle& b : fast)
        ids.insert(b.id);
    EXPECT_EQ(ids.size(), fast.size());
    EXPECT_EQ(ids.count(Uuid{}), 0u);
}

std::map<std::string, FCPBundle> byName(const std::vector<FCPBundle>& bundles) {
    std::map<std::string, FCPBundle> out;
    for (const FCPBundle& b : bundles)
        out[b.displayName] = b;
    return out;
}

// The location "loc" below tmp, with links pointing to "outside" next to it.
void buildEdgeCases(const TempDir& tmp) {
    samples::generateSampleLocation(tmp / "loc/samples", {.seed = 7, .entries = 4000, .libraries = 3});

    testing::placeFile(tmp, "outside/Real.fcpbundle/E/Render Files/r", 5555);
    testing::placeFile(tmp, "outside/event/Render Files/f", 7000);
    testing::placeFile(tmp, "outside/event/Transcoded Media/Proxy Media/g", 800);
    testing::placeFile(tmp, "outside/event/Analysis Files/q", 90);
    testing::placeFile(tmp, "outside/render/a", 11000);
    testing::placeFile(tmp, "outside/transcoded/Proxy Media/p", 120);
    testing::placeFile(tmp, "outside/transcoded/High Quality Media/h", 140);
    testing::placeFile(tmp, "outside/proxy/p", 130);
    testing::placeFile(tmp, "outside/big", 1 << 30);

    testing::placeFile(tmp, "loc/Plain.fcpbundle", 100);
    testing::placeFile(tmp, "loc/Upper.FCPBUNDLE/E/Render Files/f", 10);
    testing::placeFile(tmp, "loc/.fcpbundle/E/Render Files/f", 12);
    testing::placeSymlink(tmp, tmp / "outside/Real.fcpbundle", "loc/Link.fcpbundle");
    testing::placeSymlink(tmp, tmp / "outside/missing", "loc/Dangling.fcpbundle");
    ASSERT_EQ(::mkfifo((tmp / "loc/fifo.fcpbundle").c_str(), 0644), 0);

    const std::string e = "loc/Edge.fcpbundle/";
    testing::placeFile(tmp, e + "Render Files/r", 1000);
    testing::placeFile(tmp, e + "E1/Render Files/a/b", 2000);
    testing::placeFile(tmp, e + "E1/Render Files/.hidden", 10);
    testing::placeFile(tmp, e + "E1/Transcoded Media/Proxy Media/p", 300);
    testing::placeFile(tmp, e + "E1/Transcoded Media/High Quality Media/h", 400);
    testing::placeFile(tmp, e + "E1/Analysis Files/k/x", 50);
    testing::placeFile(tmp, e + "E1/Sub/Render Files/z", 5000);
    testing::placeSymlink(tmp, tmp / "outside/big", e + "E1/Transcoded Media/Proxy Media/link-to-file");
    testing::placeSymlink(tmp, tmp / "outside/render", e + "E1/Render Files/dirlink");
    ASSERT_EQ(::mkfifo((tmp / (e + "E1/Render Files/pipe")).c_str(), 0644), 0);
    testing::placeSymlink(tmp, tmp / "outside/event", e + "LinkedEvent");
    testing::placeSymlink(tmp, tmp / "outside/render", e + "E2/Render Files");
    testing::placeSymlink(tmp, tmp / "outside/transcoded", e + "E3/Transcoded Media");
    testing::placeSymlink(tmp, tmp / "outside/proxy", e + "E4/Transcoded Media/Proxy Media");
    testing::placeSymlink(tmp, tmp / "outside/big", e + "E5/Analysis Files");
    testing::placeSymlink(tmp, tmp / "outside/event", e + "Linked.fcpbundle");
    testing::placeSymlink(tmp, tmp / "outside/big", e + "FileLink");
    testing::placeFile(tmp, e + "NotAnEvent", 20);
    testing::placeFile(tmp, e + "Inner.fcpbundle/E/Render Files/n", 600);
    testing::placeFile(tmp, e + "E1/Render Files/Nested.fcpbundle/EV/Render Files/m", 700);
    testing::placeFile(tmp, e + ".hiddenroot", 33);
    testing::placeFile(tmp, e + "bad\n\xff event/Render Files/f", 44);
    // Activity: the kept files are old, those a cleaning removes are new (written now).
    testing::placeFile(tmp, e + "E6/Analysis Cache", 0);
    testing::placeFile(tmp, e + "E6/Proxy Media/kept", 0);
    testing::placeFile(tmp, e + "E6/Transcoded Media/Other/Proxy Media/kept", 0);
    const std::pair<const char*, std::int64_t> times[] = {
        {"NotAnEvent", 1'500'000'000},
        {"Render Files/r", 1'500'000'000},
        {"E1/Sub/Render Files/z", 1'500'000'000},
        {"Inner.fcpbundle/E/Render Files/n", 1'500'000'000},
        {"E6/Analysis Cache", 1'500'000'000},
        {".hiddenroot", 1'600'000'000},
        {"E6/Proxy Media/kept", 1'650'000'000},
        {"E6/Transcoded Media/Other/Proxy Media/kept", 1'700'000'000}};
    for (const auto& [file, seconds] : times)
        testing::setModified(tmp / (e + file), seconds);
    testing::placeFile(
        tmp,
        "loc/samples/Projects/Lib In Media.fcpbundle/Ev/Original Media/Deep.fcpbundle/X/Analysis Files/a", 9);

    // Libraries three deep, many side by side (in listing order, whichever thread finished
    // first), a chain whose paths pass PATH_MAX, a wide folder with libraries among its files.
    const std::string n = "loc/Nest.fcpbundle/E/Render Files/";
    testing::placeFile(tmp, n + "Mid.fcpbundle/E2/Render Files/m", 200);
    testing::placeFile(tmp, n + "Mid.fcpbundle/E2/Original Media/In.fcpbundle/E3/Analysis Files/a", 300);
    ASSERT_EQ(::mkfifo((tmp / (n + "pipe.fcpbundle")).c_str(), 0644), 0);
    for (int i = 0; i < 40; ++i)
        testing::placeFile(tmp, "loc/side/Lib" + std::to_string(i) + ".fcpbundle/E/Render Files/f", 10 + i);
    testing::makeDirs(tmp / "loc/plainchain");
    testing::makeDeepChain(tmp / "loc/plainchain", 2100, "c", false);
    testing::placeFile(tmp, "loc/plainchain/c/c/c/Chain.fcpbundle/E/Analysis Files/x", 9);
    const std::string wide = tmp / "loc/Wide.fcpbundle/E/Render Files/HQ";
    testing::makeDirs(wide);
    testing::makeManyFiles(wide, 12000, "seg-", 100, 1000);
    for (int i = 0; i < 12000; i += 500)
        testing::placeFile(tmp, "loc/Wide.fcpbundle/E/Render Files/HQ/sub-" + std::to_string(i) + "/inner.fcpbundle", i);
}

TEST(ScannerDifferential, EveryEdgeCaseMatchesTheLiteralRules) {
    TempDir tmp;
    buildEdgeCases(tmp);
    expectSameAsReference(tmp / "loc");
    expectSameAsReference(tmp / "loc/"); // doubled separator kept in every path
    expectSameAsReference(tmp / "loc/Edge.fcpbundle");

    // The figures themselves, worked out by hand, so both scanners are checked.
    const std::vector<FCPBundle> bundles = scanBundles(tmp / "loc");
    // Generated, edge cases, nested, side by side, chained, wide.
    EXPECT_EQ(bundles.size(), 3u + 11u + 4u + 40u + 1u + 25u);
    auto found = byName(bundles);
    EXPECT_EQ(found.count("Upper.FCPBUNDLE"), 0u);
    const FCPBundle& edge = found["Edge.fcpbundle"];
    EXPECT_EQ(edge.path, tmp / "loc/Edge.fcpbundle");
    EXPECT_EQ(edge.size, 1000 + 2000 + 10 + 300 + 400 + 50 + 5000 + 20 + 600 + 700 + 33 + 44);
    // Only entries inside real events count, never what a link leads to.
    EXPECT_EQ(edge.cacheSize(), 2000 + 10 + 700 + 44);
    EXPECT_EQ(edge.proxySize(), 300);
    EXPECT_EQ(edge.optimizedSize(), 400);
    EXPECT_EQ(edge.analysisSize(), 50);
    EXPECT_EQ(edge.lastModified, FileTime{std::chrono::sys_seconds(std::chrono::seconds(1'700'000'000))});
    EXPECT_FALSE(found["Inner.fcpbundle"].lastModified); // holds nothing but render files
    EXPECT_FALSE(found["Link.fcpbundle"].lastModified);
    for (const char* zero :
         {"Plain.fcpbundle", "Link.fcpbundle", "Dangling.fcpbundle", "fifo.fcpbundle", "Linked.fcpbundle"}) {
        const FCPBundle& b = found[zero];
        EXPECT_EQ(b.size + b.cacheSize() + b.proxySize() + b.optimizedSize() + b.analysisSize(), 0) << zero;
    }
    EXPECT_EQ(found["Inner.fcpbundle"].size, 600);
    EXPECT_EQ(found["Inner.fcpbundle"].cacheSize(), 600);
    EXPECT_EQ(found["Nested.fcpbundle"].cacheSize(), 700);
    EXPECT_EQ(found[".fcpbundle"].cacheSize(), 12);
    EXPECT_EQ(found["Deep.fcpbundle"].analysisSize(), 9);
    EXPECT_EQ(found["Lib In Media.fcpbundle"].size, 9);
    EXPECT_EQ(found["Lib In Media.fcpbundle"].analysisSize(), 0);
    EXPECT_EQ(found["Mid.fcpbundle"].size, 500);
    EXPECT_EQ(found["Mid.fcpbundle"].cacheSize(), 200);
    EXPECT_EQ(found["Nest.fcpbundle"].cacheSize(), 500);

    // A library measured alone counts as a scan of its parent does.
    const UniqueFd edgeFd(::open(edge.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::optional<FCPBundle> alone = measureBundle(edgeFd.get(), edge.path);
    ASSERT_TRUE(alone);
    alone->id = edge.id;
    EXPECT_EQ(testing::describeBundles({*alone}), testing::describeBundles({edge}));
}

// A dry run from the scan's listing says what a dry-run walk of each library says, for any set
// of categories and workers. A scan that leaves those categories' entries unread finds, and
// tells as it meets them, exactly the libraries the full scan's cleaning plan has a step for.
TEST(ScannerDifferential, ListedCleanableEntriesMatchADryRunWalk) {
    TempDir tmp;
    buildEdgeCases(tmp);
    testing::placeFile(tmp, "loc/Edge.fcpbundle/E7/Render Files", 77);             // a file in the entry's place
    testing::placeFile(tmp, "loc/Edge.fcpbundle/E7/Transcoded Media", 5);          // a file on the way
    testing::placeFile(tmp, "loc/Edge.fcpbundle/Transcoded Media/Proxy Media", 6); // not inside an event
    // Inside proxy media, never render files of its own.
    testing::placeFile(tmp, "loc/Edge.fcpbundle/E1/Transcoded Media/Proxy Media/Render Files/x", 8);
    const std::string location = tmp / "loc";
    const UniqueFd fd(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const auto into = [](std::vector<std::string>& lines) {
        return [&lines](const DeletionEntry& entry) {
            for (std::string& line : logLines(entry))
                lines.push_back(std::move(line));
        };
    };
    using C = CacheCategory;
    std::size_t listedEntries = 0;
    for (const CategoryMask mask : std::initializer_list<CategoryMask>{
             kEveryCategory, categoryBit(C::render), categoryBit(C::proxy),
             CategoryMask(categoryBit(C::optimized) | categoryBit(C::analysis))})
        for (const auto& [threads, limits] :
             {std::pair{1u, ParallelScanLimits{}}, std::pair{4u, ParallelScanLimits{}},
              std::pair{4u, ParallelScanLimits{3, 2}}}) {
            const std::vector<FCPBundle> full =
                parallelScanBundles(location, {threads}, nullptr, limits, {.listCleanable = mask});
            for (const FCPBundle& library : full) {
                std::vector<std::string> listed, walked;
                listCleanable(library, mask, into(listed));
                (void)cleanLibrary(fd.get(), library, mask, {.dryRun = true, .onEntry = into(walked)});
                EXPECT_EQ(listed, walked) << library.path << ", mask " << unsigned(mask) << ", " << threads;
                listedEntries += library.cleanable.size();
            }
            const auto identity = [](const FCPBundle& library) {
                return library.path + " " + library.relativePath + " " + std::to_string(library.device) + " " +
                       std::to_string(library.inode);
            };
            std::multiset<std::string> stepped, found, told;
            const CleaningPlan plan = planCleaning(full, {.categories = mask});
            for (const CleaningStep& step : plan.steps)
                stepped.insert(identity(plan.libraries[step.library]));
            std::mutex mutex;
            const ParallelScanRules skipping{.skipInside = mask, .onLibraryFound = [&](const FCPBundle& library) {
                                                 std::lock_guard lock(mutex);
                                                 told.insert(identity(library));
                                             }};
            for (const FCPBundle& library : parallelScanBundles(location, {threads}, nullptr, limits, skipping))
                found.insert(identity(library));
            EXPECT_EQ(found, stepped) << "mask " << unsigned(mask) << ", " << threads;
            EXPECT_EQ(told, stepped) << "mask " << unsigned(mask) << ", " << threads;
        }
    EXPECT_GT(listedEntries, 100u); // the generated libraries hold plenty
}

// The literal rules and the scan at any number of workers agree on what a user can read.
TEST(ScannerDifferential, UnreadableDirectoriesAsUnprivilegedUser) {
    TempDir tmp;
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Render Files/ok", 10);
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Render Files/locked/hidden", 1000);
    testing::placeFile(tmp, "loc/A.fcpbundle/Locked Event/Render Files/x", 2000);
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Analysis Files/a", 7);
    testing::placeFile(tmp, "loc/Locked.fcpbundle/E/Render Files/y", 3000);
    testing::placeFile(tmp, "loc/closed/B.fcpbundle/E/Render Files/z", 4000);
    testing::placeFile(tmp, "loc/open/C.fcpbundle/E/Analysis Files/w", 5);
    testing::chownTreeToNobody(tmp / "loc");
    for (const char* rel : {"loc/A.fcpbundle/E/Render Files/locked", "loc/A.fcpbundle/Locked Event",
                            "loc/Locked.fcpbundle", "loc/closed"})
        ASSERT_EQ(::chmod((tmp / rel).c_str(), 0), 0);

    const std::string location = tmp / "loc";
    std::string out = testing::runAsNobody([&] {
        std::string result = testing::describeBundles(testing::referenceScanBundles(location));
        for (unsigned threads : {1u, 8u})
            result += "--\n" + testing::describeBundles(scanBundles(location, ScanOptions{nullptr, threads}));
        return result;
    });
    std::string reference = out.substr(0, out.find("--\n"));
    EXPECT_EQ(out, reference + "--\n" + reference + "--\n" + reference);
    auto has = [&](const std::string& line) { return reference.find(line) != std::string::npos; };
    EXPECT_TRUE(has(location + "/A.fcpbundle | A.fcpbundle | 17 10 0 0 7 | -\n")) << reference;
    EXPECT_TRUE(has(location + "/Locked.fcpbundle | Locked.fcpbundle | 0 0 0 0 0 | -\n")) << reference;
    EXPECT_TRUE(has(location + "/open/C.fcpbundle | C.fcpbundle | 5 0 0 0 5 | -\n")) << reference;
    EXPECT_FALSE(has("B.fcpbundle")) << reference;
}

TEST(ScannerDifferential, EntriesVanishingDuringTheScan) {
    TempDir tmp;
    testing::placeFile(tmp, "loc/Stable.fcpbundle/E/Render Files/keep", 100);
    for (int i = 0; i < 200; ++i)
        testing::placeFile(tmp, "loc/Stable.fcpbundle/E/Original Media/clip" + std::to_string(i), 1);
    const std::string churn = tmp / "loc/Stable.fcpbundle/E/Render Files/churn";
    std::atomic<bool> stop{false};
    std::thread mutator([&] {
        // Creates and removes a subtree over and over while scans run.
        while (!stop.load()) {
            testing::makeDirs(churn + "/a/b");
            for (int i = 0; i < 20; ++i)
                writeFile(churn + "/a/b/f" + std::to_string(i), 10);
            std::filesystem::remove_all(churn);
        }
    });
    for (int round = 0; round < 30; ++round) {
        auto found = byName(scanBundles(tmp / "loc"));
        ASSERT_EQ(found.size(), 1u);
        const FCPBundle& b = found["Stable.fcpbundle"];
        EXPECT_GE(b.cacheSize(), 100);
        EXPECT_LE(b.cacheSize(), 100 + 200);
        EXPECT_EQ(b.size - b.cacheSize(), 200);
    }
    stop = true;
    mutator.join();
}

} // namespace
} // namespace velmora

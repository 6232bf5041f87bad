// The parallel scan held to the sequential one: same records, same order, run after run.
#include "discovery/parallel_scan.h"
#include "discovery/scanner.h"
#include "platform/unique_fd.h"
#include "samples/sample_tree.h"
#include "support/reference_scanner.h"
#include "support/temp_tree.h"

#include <atomic>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

using testing::TempDir;
using testing::writeFile;

std::string sequential(const std::string& location) {
    return testing::describeBundles(scanBundles(location, ScanOptions{nullptr, 1}));
}

// Processor times that tell a growing scan the machine is idle at every reading.
std::function<std::optional<ProcessorTimes>()> alwaysIdle(std::atomic<int>* readings = nullptr) {
    auto idle = std::make_shared<std::uint64_t>(0);
    return [idle, readings] {
        if (readings != nullptr) ++*readings;
        *idle += 100;
        return std::optional<ProcessorTimes>({1, *idle});
    };
}

void expectDistinctIds(const std::vector<FCPBundle>& bundles) {
    std::set<Uuid> ids;
    for (const FCPBundle& b : bundles)
        ids.insert(b.id);
    EXPECT_EQ(ids.size(), bundles.size());
    EXPECT_EQ(ids.count(Uuid{}), 0u);
}

// Generated libraries with nested libraries inside each other (outer before inner), links of
// every kind where category paths go on, names that are not UTF-8, many libraries side by
// side (their order depends on the listing, not on which thread finished first), a deep
// chain and a wide directory.
void buildMixedTree(const TempDir& tmp) {
    samples::generateSampleLocation(tmp / "loc/samples", {.seed = 11, .entries = 6000, .libraries = 5});

    testing::placeFile(tmp, "outside/event/Render Files/f", 7000);
    testing::placeFile(tmp, "outside/event/Transcoded Media/High Quality Media/h", 300);
    testing::placeFile(tmp, "outside/render/a", 11000);
    testing::placeFile(tmp, "outside/big", 1 << 30);

    const std::string n = "loc/Nest.fcpbundle/";
    testing::placeFile(tmp, n + "E/Render Files/r", 100);
    testing::placeFile(tmp, n + "E/Render Files/Mid.fcpbundle/E2/Render Files/m", 200);
    testing::placeFile(
        tmp, n + "E/Render Files/Mid.fcpbundle/E2/Original Media/In.fcpbundle/E3/Analysis Files/a", 300);
    testing::placeFile(tmp, n + "E/Transcoded Media/Proxy Media/Leaf.fcpbundle", 400);
    testing::placeSymlink(tmp, tmp / "outside/event", n + "LinkedEvent");
    testing::placeSymlink(tmp, tmp / "outside/render", n + "E/Render Files/dirlink");
    testing::placeSymlink(tmp, tmp / "outside/big", n + "E/Render Files/filelink");
    testing::placeSymlink(tmp, tmp / "outside/event", n + "Linked.fcpbundle");
    testing::placeFile(tmp, n + "bad\xff\n/Render Files/b", 55);
    ASSERT_EQ(::mkfifo((tmp / (n + "E/pipe.fcpbundle")).c_str(), 0644), 0);

    for (int i = 0; i < 40; ++i)
        testing::placeFile(tmp, "loc/side/Lib" + std::to_string(i) + ".fcpbundle/E/Render Files/f", 10 + i);

    testing::placeFile(tmp, "loc/Deep.fcpbundle/E/Render Files/seed", 1);
    testing::makeDeepChain(tmp / "loc/Deep.fcpbundle/E/Render Files", 3000, "d", true);
    testing::makeDirs(tmp / "loc/plainchain");
    testing::makeDeepChain(tmp / "loc/plainchain", 2000, "c", false);
    testing::placeFile(tmp, "loc/plainchain/c/c/c/Chain.fcpbundle/E/Analysis Files/x", 9);

    const std::string wide = tmp / "loc/Wide.fcpbundle/E/Render Files/HQ";
    testing::makeDirs(wide);
    testing::makeManyFiles(wide, 12000, "seg-", 100, 1000);
    for (int i = 0; i < 12000; i += 500)
        testing::placeFile(
            tmp, "loc/Wide.fcpbundle/E/Render Files/HQ/sub-" + std::to_string(i) + "/inner.fcpbundle", i);
}

// The mixed tree takes seconds to write on a slow disk: built once for the tests that read it.
class ParallelScanMixedTree : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        tmp_ = new TempDir;
        buildMixedTree(*tmp_);
    }
    static void TearDownTestSuite() {
        delete tmp_;
        tmp_ = nullptr;
    }
    static std::string location() { return *tmp_ / "loc"; }

  private:
    static TempDir* tmp_;
};
TempDir* ParallelScanMixedTree::tmp_ = nullptr;

TEST_F(ParallelScanMixedTree, SameRecordsAndOrderAsTheSequentialScanRunAfterRun) {
    const std::string location = this->location();
    const std::string expected = sequential(location);
    // The sequential scan is itself held to the literal rules elsewhere; check it found what
    // this tree holds, so the comparison below is not between two empty lists.
    ASSERT_EQ(testing::describeBundles(testing::referenceScanBundles(location)), expected);
    ASSERT_NE(
        expected.find("/Nest.fcpbundle/E/Render Files/Mid.fcpbundle | Mid.fcpbundle | 500 200 0 0 0 | "),
        std::string::npos)
        << expected;
    ASSERT_NE(expected.find("/Wide.fcpbundle/E/Render Files/HQ/sub-500/inner.fcpbundle | "),
              std::string::npos);

    // Up to the many threads a network share gets: more workers than directories at a time.
    for (unsigned threads : {2u, 4u, 8u, 64u, 128u}) {
        for (int run = 0; run < 7; ++run) {
            std::vector<FCPBundle> bundles = scanBundles(location, ScanOptions{nullptr, threads});
            ASSERT_EQ(testing::describeBundles(bundles), expected) << threads << " threads, run " << run;
            expectDistinctIds(bundles);
        }
    }
    // Workers joining while the scan runs: told the processors are idle, it doubles them
    // every tenth of a millisecond, while directories wait; or, told nothing, starts them all.
    for (bool known : {true, false}) {
        for (int run = 0; run < 5; ++run) {
            std::atomic<int> readings{0};
            ParallelScanWorkers growing{2, 64, alwaysIdle(&readings), std::chrono::microseconds(100)};
            if (!known)
                growing.readTimes = [&]() -> std::optional<ProcessorTimes> {
                    ++readings;
                    return std::nullopt;
                };
            std::vector<FCPBundle> bundles = parallelScanBundles(location, growing, nullptr);
            ASSERT_EQ(testing::describeBundles(bundles), expected) << "growing, run " << run;
            EXPECT_GE(readings.load(), known ? 2 : 1) << "the machine was looked at";
        }
    }
    // The doubled separator of a location ending in "/" is kept by both.
    EXPECT_EQ(testing::describeBundles(scanBundles(location + "/", ScanOptions{nullptr, 4})),
              sequential(location + "/"));
}

TEST_F(ParallelScanMixedTree, FallsBackToTheCappedWalkWhenTheQueuesHoldTooManyDirectories) {
    const std::string location = this->location();
    const std::string expected = sequential(location);
    const ParallelScanLimits limits[] = {{1, 0}, {2, 0}, {5, 0}, {0, 1}, {0, 3}, {3, 2}};
    for (const ParallelScanLimits& limit : limits) {
        for (int run = 0; run < 3; ++run) {
            std::vector<FCPBundle> bundles = parallelScanBundles(location, {4}, nullptr, limit);
            ASSERT_EQ(testing::describeBundles(bundles), expected)
                << "open " << limit.maxOpenDirectories << ", queued " << limit.maxQueuedDirectories
                << ", run " << run;
        }
    }
}

// A chain where every level also holds an empty side directory: queued naively, every
// level's descriptor stays open while its side directory waits. Under a descriptor limit of
// 64 the scan must still read every level.
TEST(ParallelScan, StaysWithinALowDescriptorLimit) {
    TempDir tmp;
    const std::string chain = tmp / "loc/L.fcpbundle/E/Render Files";
    testing::makeDirs(chain);
    {
        UniqueFd level(::open(chain.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int i = 0; i < 600; ++i) {
            ASSERT_EQ(::mkdirat(level.get(), "side", 0755), 0);
            UniqueFd f(::openat(level.get(), "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            ASSERT_EQ(::ftruncate(f.get(), 3), 0);
            ASSERT_EQ(::mkdirat(level.get(), "next", 0755), 0);
            UniqueFd next(::openat(level.get(), "next", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            level = std::move(next);
        }
    }
    const std::string location = tmp / "loc";
    const std::string expected = sequential(location);
    ASSERT_EQ(expected, location + "/L.fcpbundle | L.fcpbundle | 1800 1800 0 0 0 | -\n");
    std::string out = testing::runInChild([&] {
        rlimit limit{64, 64};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return std::string("setrlimit failed");
        std::string result;
        for (unsigned threads : {2u, 8u})
            result += testing::describeBundles(scanBundles(location, ScanOptions{nullptr, threads}));
        return result;
    });
    EXPECT_EQ(out, expected + expected);
}

// A process that may not start more threads: the scan does the work on those it has.
TEST(ParallelScan, ScansWhenNoThreadCanBeStarted) {
    TempDir tmp;
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Render Files/r", 10);
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Transcoded Media/Proxy Media/p", 20);
    testing::placeFile(tmp, "loc/x/B.fcpbundle/E/Analysis Files/a", 30);
    testing::chownTreeToNobody(tmp / "loc");
    const std::string location = tmp / "loc";
    const std::string expected = sequential(location);
    std::string out = testing::runAsNobody([&] {
        rlimit limit{1, 1}; // this process only: no thread can be created
        if (::setrlimit(RLIMIT_NPROC, &limit) != 0) return std::string("setrlimit failed");
        std::string result = testing::describeBundles(scanBundles(location, ScanOptions{nullptr, 8}));
        // Nor can workers join later, nor the thread that would start them.
        ParallelScanWorkers growing{1, 8, alwaysIdle(), std::chrono::microseconds(100)};
        return result + testing::describeBundles(parallelScanBundles(location, growing, nullptr));
    });
    EXPECT_EQ(out, expected + expected);
    EXPECT_NE(expected.find(location + "/A.fcpbundle | A.fcpbundle | 30 10 20 0 0 | -\n"), std::string::npos);
    EXPECT_NE(expected.find(location + "/x/B.fcpbundle | B.fcpbundle | 30 0 0 0 30 | -\n"),
              std::string::npos);
}

TEST(ParallelScan, ProgressCountsEveryEntryAndLibrary) {
    TempDir tmp;
    samples::SampleLocation generated =
        samples::generateSampleLocation(tmp / "loc", {.seed = 5, .entries = 5000, .libraries = 3});
    testing::placeFile(tmp, "loc/extra/Nested.fcpbundle/E/Original Media/Inner.fcpbundle/x", 1);
    const std::uint64_t entries = generated.entries + 6; // extra, Nested, E, Original Media, Inner, x
    for (unsigned threads : {1u, 2u, 8u, 64u}) {
        ScanProgress progress;
        std::vector<FCPBundle> bundles = scanBundles(tmp / "loc", ScanOptions{&progress, threads});
        EXPECT_EQ(progress.entriesRead.load(), entries) << threads << " threads";
        EXPECT_EQ(progress.librariesFound.load(), 5u) << threads << " threads";
        EXPECT_EQ(bundles.size(), 5u);
    }
}

} // namespace
} // namespace velmora

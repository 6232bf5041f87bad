// The scan engine under limits of the process: descriptors, threads.
#include "discovery/parallel_scan.h"
#include "discovery/scanner.h"
#include "platform/unique_fd.h"
#include "support/reference_scanner.h"
#include "support/temp_tree.h"

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

using testing::TempDir;
using testing::writeFile;

std::string oneWorker(const std::string& location) {
    return testing::describeBundles(scanBundles(location, ScanOptions{nullptr, 1}));
}

// Processor times that tell a growing scan the machine is idle at every reading.
std::function<std::optional<ProcessorTimes>()> alwaysIdle() {
    auto idle = std::make_shared<std::uint64_t>(0);
    return [idle] {
        *idle += 100;
        return std::optional<ProcessorTimes>({1, *idle});
    };
}

// A chain with a side folder at every level, each of which would hold its level's descriptor
// open if queued naively: under a limit of 64 the scan still reads every level.
TEST(ScanEngine, StaysWithinALowDescriptorLimit) {
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
    const std::string expected = oneWorker(location);
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

// A process that may start no more threads, or only a few of those asked for: the scan does
// the work on those it has.
TEST(ScanEngine, ScansWhenNoThreadCanBeStarted) {
    TempDir tmp;
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Render Files/r", 10);
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Transcoded Media/Proxy Media/p", 20);
    testing::placeFile(tmp, "loc/x/B.fcpbundle/E/Analysis Files/a", 30);
    testing::chownTreeToNobody(tmp / "loc");
    const std::string location = tmp / "loc";
    const std::string expected = oneWorker(location);
    for (const rlim_t processes : {1, 3}) {
        std::string out = testing::runAsNobody([&] {
            // The user's processes and threads: this process and 0 or 2 threads more.
            rlimit limit{processes, processes};
            if (::setrlimit(RLIMIT_NPROC, &limit) != 0) return std::string("setrlimit failed");
            std::string result = testing::describeBundles(scanBundles(location, ScanOptions{nullptr, 8}));
            // Nor can workers join later.
            ParallelScanWorkers growing{1, 8, alwaysIdle(), std::chrono::microseconds(100)};
            return result + testing::describeBundles(parallelScanBundles(location, growing, nullptr));
        });
        EXPECT_EQ(out, expected + expected) << processes;
    }
    EXPECT_NE(expected.find(location + "/A.fcpbundle | A.fcpbundle | 30 10 20 0 0 | -\n"), std::string::npos);
    EXPECT_NE(expected.find(location + "/x/B.fcpbundle | B.fcpbundle | 30 0 0 0 30 | -\n"),
              std::string::npos);
}

} // namespace
} // namespace velmora

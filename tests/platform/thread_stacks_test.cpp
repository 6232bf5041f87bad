#include "platform/descriptor_budget.h"
#include "platform/thread_stacks.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace velmora {
namespace {

// Threads start others with higher numbers, as the scan's workers do; each uses a megabyte
// of its stack. All of them run, on stacks that do not overlap, and all are joined.
TEST(ThreadStacks, ThreadsStartedByOthersRunOnStacksOfTheirOwn) {
    constexpr unsigned kThreads = 16;
    constexpr std::size_t kUsed = 1 << 20;
    ThreadStacks threads(kThreads);
    std::array<std::atomic<std::uintptr_t>, kThreads> lowest{};
    std::atomic<unsigned> ran{0};
    std::function<void(unsigned)> run = [&](unsigned self) {
        for (const unsigned next : {2 * self + 1, 2 * self + 2}) {
            if (next < kThreads) {
                EXPECT_TRUE(threads.start(next, [&run, next] { run(next); }));
            }
        }
        volatile char used[kUsed];
        used[0] = static_cast<char>(self);
        used[kUsed - 1] = static_cast<char>(self);
        lowest[self] = reinterpret_cast<std::uintptr_t>(&used[0]);
        ++ran;
    };
    ASSERT_TRUE(threads.start(0, [&run] { run(0); }));
    EXPECT_FALSE(threads.start(kThreads, [] {})) << "beyond the count";
    threads.joinAll();
    EXPECT_EQ(ran.load(), kThreads);
    std::array<std::uintptr_t, kThreads> sorted{};
    std::transform(lowest.begin(), lowest.end(), sorted.begin(), [](const auto& a) { return a.load(); });
    std::sort(sorted.begin(), sorted.end());
    for (unsigned i = 1; i < kThreads; ++i)
        EXPECT_GE(sorted[i] - sorted[i - 1], kUsed) << "stacks overlap";
}

#ifdef __linux__
// Workers about to open many descriptors: the table grows at once, and no descriptor is left
// open by it.
TEST(DescriptorBudget, TableReservedAhead) {
    auto tableSize = [] {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("FDSize:", 0) == 0) return std::stoul(line.substr(7));
        return 0ul;
    };
    UniqueFd fd(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(fd);
    const std::size_t before = descriptorsAvailable();
    reserveDescriptors(fd.get(), 3000);
    EXPECT_GE(tableSize(), 3000ul);
    EXPECT_EQ(descriptorsAvailable(), before);
}
#endif

} // namespace
} // namespace velmora

#include "platform/thread_group.h"
#include "support/temp_tree.h"

#include <atomic>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace velmora {
namespace {

// Every item runs; when the system gives no thread, the thread that waits runs them all.
TEST(ThreadGroup, RunsEveryItemEvenWhenNoThreadCanBeStarted) {
    auto runItems = [] {
        std::atomic<int> done{0};
        {
            ThreadGroup group(8);
            for (int i = 0; i < 100; ++i)
                group.async([&done] { ++done; });
            group.wait();
        }
        return std::to_string(done.load());
    };
    EXPECT_EQ(runItems(), "100");
    EXPECT_EQ(testing::runAsNobody([&] {
                  rlimit limit{1, 1}; // this process only: no thread can be created
                  if (::setrlimit(RLIMIT_NPROC, &limit) != 0) return std::string("setrlimit failed");
                  return runItems();
              }),
              "100");
}

} // namespace
} // namespace velmora

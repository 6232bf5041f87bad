// A matched folder swapped for a link to an outside folder while it is being removed: a remover
// of path strings follows it and deletes outside files; ours never may.
#include "cleaning/scanned_location.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <atomic>
#include <ftw.h>
#include <thread>

namespace velmora {
namespace {

using testing::listTree;

// One round: "Render Files" and an outside folder of the same shape swap with a link to the
// latter in a loop while `remove` runs on the location; returns how many outside files were lost.
std::size_t lostInOneRound(const std::function<void(const std::string& location)>& remove) {
    testing::TempDir tmp;
    const std::string event = tmp / "loc/Lib.fcpbundle/Event";
    for (const std::string& folder : {event + "/Render Files", tmp / "outside"})
        for (int d = 0; d < 8; ++d) {
            testing::makeDirs(folder + "/clip" + std::to_string(d));
            testing::makeManyFiles(folder + "/clip" + std::to_string(d), 60, "frame");
        }
    testing::makeSymlink(tmp / "outside", event + "/.swap");
    const std::size_t outsideBefore = listTree(tmp / "outside").size();

    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
        const std::string a = event + "/Render Files", b = event + "/.swap";
        while (!stop.load(std::memory_order_relaxed))
            if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0)
                swaps.fetch_add(1);
    });
    while (swaps.load() < 10)
        std::this_thread::yield(); // the race is on before the removal starts
    remove(tmp / "loc");
    stop = true;
    swapper.join();
    return outsideBefore - listTree(tmp / "outside").size();
}

TEST(DeletionRace, SwappedFolderNeverLeadsOutside) {
    // The control shows the test has teeth: a path-string remover (nftw) loses outside files.
    std::size_t naiveLosses = 0;
    for (int round = 0; round < 20 && naiveLosses == 0; ++round)
        naiveLosses += lostInOneRound([](const std::string& loc) {
            (void)::nftw((loc + "/Lib.fcpbundle/Event/Render Files").c_str(),
                         [](const char* path, const struct stat*, int, FTW*) { return ::remove(path), 0; },
                         16, FTW_DEPTH | FTW_PHYS);
        });
    EXPECT_GT(naiveLosses, 0u) << "the race never hurt the path-based remover; the test proves nothing";

    for (int round = 0; round < 60; ++round) {
        bool removedSomething = false;
        const std::size_t lost = lostInOneRound([&](const std::string& loc) {
            // A pass may meet the link instead; every other round removes side by side.
            const unsigned threads = round % 2 == 0 ? 1 : 4;
            const testing::ScannedLocation location(loc);
            for (int pass = 0; pass < 3; ++pass)
                removedSomething |=
                    testing::clean(location, "Lib.fcpbundle", categoryBit(CacheCategory::render), threads,
                                   {.maxOpenDescriptors = 6 * threads})
                        .report.anythingRemoved;
        });
        ASSERT_EQ(lost, 0u) << "round " << round;
        EXPECT_TRUE(removedSomething) << "round " << round;
    }
}

} // namespace
} // namespace velmora

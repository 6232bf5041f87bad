// A matched folder swapped for a link to an outside folder while it is being removed. A
// remover that works with path strings follows the link and deletes outside files; the
// descriptor-relative removal must never do so.

#include "cleaning/scanned_location.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <atomic>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velmora {
namespace {

using testing::listTree;
using testing::makeDirs;
using testing::writeFile;

// The same shape inside the matched folder and in the outside folder, so that every path
// the remover builds inside one also names a file in the other.
void fillMirror(const std::string& dir) {
    for (int d = 0; d < 8; ++d) {
        std::string sub = dir + "/clip" + std::to_string(d);
        makeDirs(sub);
        for (int f = 0; f < 60; ++f)
            writeFile(sub + "/frame" + std::to_string(f), 1);
    }
}

// The control: the obvious remover that works with path strings.
void naiveRemove(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    for (const auto& name : names) {
        std::string child = path + "/" + name;
        struct stat st {};
        if (::lstat(child.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode))
            naiveRemove(child);
        else
            ::unlink(child.c_str());
    }
    ::rmdir(path.c_str());
}

// One round: builds the library and the outside folder, swaps "Render Files" with a link to
// the outside folder in a loop while `remove` runs on the location, and returns how many
// outside files were lost.
std::size_t lostInOneRound(const std::function<void(const std::string& location)>& remove) {
    testing::TempDir tmp;
    const std::string lib = tmp / "loc/Lib.fcpbundle";
    const std::string event = lib + "/Event";
    fillMirror(event + "/Render Files");
    fillMirror(tmp / "outside");
    testing::makeSymlink(tmp / "outside", event + "/.swap");
    const std::size_t outsideBefore = listTree(tmp / "outside").size();

    std::atomic<bool> stop{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
        const std::string a = event + "/Render Files";
        const std::string b = event + "/.swap";
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
    // The control shows the test has teeth: the path-based remover loses outside files. On
    // a busy machine a round may pass without the two threads overlapping; one loss is proof.
    std::size_t naiveLosses = 0;
    for (int round = 0; round < 20 && naiveLosses == 0; ++round)
        naiveLosses += lostInOneRound(
            [](const std::string& loc) { naiveRemove(loc + "/Lib.fcpbundle/Event/Render Files"); });
    EXPECT_GT(naiveLosses, 0u) << "the race never hurt the path-based remover; the test proves nothing";

    for (int round = 0; round < 60; ++round) {
        bool removedSomething = false;
        std::size_t lost = lostInOneRound([&](const std::string& loc) {
            // A few passes: a pass may meet the link instead of the folder. Every other round
            // removes the folders inside it side by side.
            const unsigned threads = round % 2 == 0 ? 1 : 4;
            const testing::ScannedLocation location(loc);
            for (int pass = 0; pass < 3; ++pass)
                removedSomething |=
                    testing::clean(location, "Lib.fcpbundle", categoryBit(CacheCategory::render),
                                   {.maxOpenDescriptors = 6 * threads, .threads = threads})
                        .report.anythingRemoved;
        });
        ASSERT_EQ(lost, 0u) << "round " << round;
        EXPECT_TRUE(removedSomething) << "round " << round;
    }
}

} // namespace
} // namespace velmora

#include "platform/directory_names.h"
#include "platform/open_beneath.h"
#include "platform/safe_remove.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velmora {
namespace {

using testing::entryExists;
using testing::listTree;
using testing::makeDirs;
using testing::makeSymlink;
using testing::TempDir;
using testing::writeFile;

UniqueFd openDir(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// "path|description" per failure, in order.
std::string failureText(const RemoveReport& report) {
    std::string out;
    for (const auto& failure : report.failures)
        out += failure.path + "|" + failure.description + "\n";
    return out;
}

TEST(SafeRemove, RemovesWholeTreesLinksAndFilesButNeverWhatLinksPointTo) {
    TempDir tmp;
    makeDirs(tmp / "outside/inner");
    writeFile(tmp / "outside/inner/g", 20);
    makeDirs(tmp / "victim/sub/deep");
    writeFile(tmp / "victim/a", 5);
    writeFile(tmp / "victim/sub/deep/c", 5);
    makeSymlink(tmp / "outside", tmp / "victim/to-dir");
    makeSymlink(tmp / "outside/inner/g", tmp / "victim/sub/to-file");
    makeSymlink("/nonexistent/nowhere", tmp / "victim/sub/deep/dangling");
    ASSERT_EQ(::mkfifo((tmp / "victim/fifo").c_str(), 0644), 0);
    makeSymlink(tmp / "outside", tmp / "link");
    writeFile(tmp / "file", 3);

    const UniqueFd fd = openDir(tmp.path());
    const RemoveReport victim = removeEntryAt(fd.get(), "victim", tmp / "victim");
    // The victim, 2 folders, 2 files, 3 links and a fifo.
    EXPECT_EQ(std::tuple(victim.outcome, failureText(victim), victim.entriesRemoved),
              std::tuple(RemoveOutcome::Removed, "", 9u));
    // Told each is a directory (as a walk that raced a swap would be): only the entry goes.
    for (const char* name : {"link", "file"}) {
        const RemoveReport report = removeEntryAt(fd.get(), name, tmp / name, true);
        EXPECT_EQ(std::tuple(report.outcome, report.entriesRemoved), std::tuple(RemoveOutcome::Removed, 1u))
            << name;
    }
    EXPECT_EQ(listTree(tmp.path()), (std::set<std::string>{"outside/", "outside/inner/", "outside/inner/g"}));

    const RemoveReport gone = removeEntryAt(fd.get(), "never-there", tmp / "never-there");
    EXPECT_EQ(std::pair(gone.outcome, failureText(gone)), std::pair(RemoveOutcome::Vanished, std::string()));
    for (const char* bad : {"", ".", "..", "outside/inner"})
        EXPECT_EQ(removeEntryAt(fd.get(), bad, tmp / bad).outcome, RemoveOutcome::Failed) << bad;
    EXPECT_TRUE(entryExists(tmp / "outside/inner/g"));
}

TEST(SafeRemove, ParallelRemovalsOfOneTreeRemoveEachEntryOnce) {
    TempDir tmp;
    for (int d = 0; d < 20; ++d) {
        makeDirs(tmp / ("victim/d" + std::to_string(d) + "/inner"));
        testing::makeManyFiles(tmp / ("victim/d" + std::to_string(d) + "/inner"), 50, "f");
    }
    testing::makeDeepChain(tmp / "victim", 300, "deep", true);
    const std::uint64_t total = listTree(tmp / "victim").size() + 1;

    constexpr int kThreads = 6;
    std::vector<RemoveReport> reports(kThreads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const UniqueFd fd = openDir(tmp.path());
            for (ready.fetch_add(1); ready.load() < kThreads;) {
            }
            // A small cap, so the climbs back through ".." meet directories others removed.
            reports[t] = removeEntryAt(fd.get(), "victim", tmp / "victim", true, RemoveOptions{4});
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::uint64_t removed = 0;
    int removedOutcomes = 0;
    for (const auto& report : reports) {
        EXPECT_NE(report.outcome, RemoveOutcome::Failed);
        EXPECT_EQ(failureText(report), "");
        removed += report.entriesRemoved;
        removedOutcomes += report.outcome == RemoveOutcome::Removed;
    }
    EXPECT_EQ(removedOutcomes, 1);
    EXPECT_EQ(removed, total);
    EXPECT_FALSE(entryExists(tmp / "victim"));
}

// A listing stopped at a read that came back far from full has every name once, without the
// read of its end; one longer than a read's buffer is read on. Either way nothing is left.
TEST(SafeRemove, ListingsUntilAShortReadGiveEveryNameOnce) {
    TempDir tmp;
    for (const int files : {3, 3000}) { // 3,000 names of 40 characters fill more than one read
        const std::string folder = tmp / std::to_string(files);
        makeDirs(folder);
        testing::makeManyFiles(folder, files, std::string(36, 'n'));
        const UniqueFd fd = openDir(folder);
        std::vector<DirectoryChild> names;
        std::vector<DirectoryChild> rest;
        bool endSeen = true;
        ASSERT_EQ(readDirectoryNamesUntilShortRead(fd.get(), names, endSeen), 0);
        if (files == 3) {
            EXPECT_FALSE(endSeen);
        }
        std::set<std::string> unique;
        for (const DirectoryChild& child : names)
            unique.insert(child.name);
        EXPECT_EQ(unique.size(), static_cast<std::size_t>(files));
        EXPECT_EQ(names.size(), unique.size());
        ASSERT_EQ(readRemainingDirectoryNames(fd.get(), rest), 0);
        EXPECT_TRUE(rest.empty()) << files;
    }
}

// Also beneath a folder, where the kernel's one-call resolution gives up beyond PATH_MAX.
TEST(SafeRemove, OpenDirectoryNoFollowRefusesLinksEvenWithTrailingSlashOrBeyondPathMax) {
    TempDir tmp;
    makeDirs(tmp / "real");
    makeSymlink(tmp / "real", tmp / "link");
    const std::string name(250, 'p');
    testing::makeDeepChain(tmp / "real", 30, name, false);
    std::string deep = tmp / "real";
    for (int i = 0; i < 30; ++i)
        deep += "/" + name;
    const UniqueFd fd = openDirectoryNoFollow(deep + "/"); // opened piece by piece
    ASSERT_TRUE(fd);
    ASSERT_EQ(::mkdirat(fd.get(), "marker", 0755), 0);
    ASSERT_EQ(::symlinkat((tmp / "real").c_str(), fd.get(), "back"), 0);
    for (const std::string& path : {tmp / "real/", std::string("/"), deep + "/marker"})
        EXPECT_TRUE(openDirectoryNoFollow(path)) << path;
    for (const std::string& path : {tmp / "link", tmp / "link//", std::string(), deep + "/back"})
        EXPECT_FALSE(openDirectoryNoFollow(path)) << path;
    const UniqueFd root = openDirectoryNoFollow(tmp.path());
    const std::string below = deep.substr(tmp.path().size() + 1);
    EXPECT_TRUE(openDirectoryBeneath(root.get(), below + "/marker", false));
    EXPECT_FALSE(openDirectoryBeneath(root.get(), below + "/back", false));
}

} // namespace
} // namespace velmora

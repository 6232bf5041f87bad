#include "platform/safe_remove.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
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
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) ADD_FAILURE() << "cannot open " << path;
    return fd;
}

RemoveReport removeIn(const std::string& parent, const std::string& name, const RemoveOptions& options = {}) {
    UniqueFd fd = openDir(parent);
    return removeEntryAt(fd.get(), name, parent + "/" + name, false, options);
}

// "path|description" per failure, in order.
std::string failureText(const RemoveReport& report) {
    std::string out;
    for (const auto& failure : report.failures)
        out += failure.path + "|" + failure.description + "\n";
    return out;
}

// An outside folder that removals must never touch.
void makeOutside(const std::string& root) {
    makeDirs(root + "/inner");
    writeFile(root + "/f", 10);
    writeFile(root + "/inner/g", 20);
}

TEST(SafeRemove, RemovesWholeTreeButNeverWhatLinksPointTo) {
    TempDir tmp;
    makeOutside(tmp / "outside");
    const auto outsideBefore = listTree(tmp / "outside");
    makeDirs(tmp / "victim/sub/deep");
    writeFile(tmp / "victim/a", 5);
    writeFile(tmp / "victim/sub/b", 5);
    writeFile(tmp / "victim/sub/deep/c", 5);
    makeSymlink(tmp / "outside", tmp / "victim/to-dir");
    makeSymlink(tmp / "outside/f", tmp / "victim/sub/to-file");
    makeSymlink("/nonexistent/nowhere", tmp / "victim/sub/deep/dangling");
    ASSERT_EQ(::mkfifo((tmp / "victim/fifo").c_str(), 0644), 0);

    RemoveReport report = removeIn(tmp.path(), "victim");
    EXPECT_EQ(report.outcome, RemoveOutcome::Removed);
    EXPECT_EQ(failureText(report), "");
    EXPECT_EQ(report.entriesRemoved, 10u); // victim, 2 folders, 3 files, 3 links, 1 fifo
    EXPECT_FALSE(entryExists(tmp / "victim"));
    EXPECT_EQ(listTree(tmp / "outside"), outsideBefore);
}

TEST(SafeRemove, EntryThatIsALinkOrFileIsUnlinkedNotFollowed) {
    TempDir tmp;
    makeOutside(tmp / "outside");
    const auto outsideBefore = listTree(tmp / "outside");
    makeSymlink(tmp / "outside", tmp / "link");
    writeFile(tmp / "file", 3);

    // Told it is a directory (as a walk that raced a swap would): still only the link goes.
    UniqueFd fd = openDir(tmp.path());
    RemoveReport link = removeEntryAt(fd.get(), "link", tmp / "link", true);
    EXPECT_EQ(link.outcome, RemoveOutcome::Removed);
    EXPECT_EQ(link.entriesRemoved, 1u);
    RemoveReport file = removeEntryAt(fd.get(), "file", tmp / "file", true);
    EXPECT_EQ(file.outcome, RemoveOutcome::Removed);
    EXPECT_FALSE(entryExists(tmp / "link"));
    EXPECT_FALSE(entryExists(tmp / "file"));
    EXPECT_EQ(listTree(tmp / "outside"), outsideBefore);

    RemoveReport gone = removeEntryAt(fd.get(), "never-there", tmp / "never-there");
    EXPECT_EQ(gone.outcome, RemoveOutcome::Vanished);
    EXPECT_EQ(failureText(gone), "");

    for (const char* bad : {"", ".", "..", "a/b"}) {
        RemoveReport refused = removeEntryAt(fd.get(), bad, tmp / bad);
        EXPECT_EQ(refused.outcome, RemoveOutcome::Failed) << bad;
    }
    EXPECT_TRUE(entryExists(tmp / "outside/inner/g"));
}

TEST(SafeRemove, ParallelRemovalsOfOneTreeRemoveEachEntryOnce) {
    TempDir tmp;
    for (int d = 0; d < 20; ++d) {
        std::string dir = tmp / ("victim/d" + std::to_string(d) + "/inner");
        makeDirs(dir);
        for (int f = 0; f < 50; ++f)
            writeFile(dir + "/f" + std::to_string(f), 1);
    }
    testing::makeDeepChain(tmp / "victim", 300, "deep", true);
    const std::uint64_t total = listTree(tmp / "victim").size() + 1;

    constexpr int kThreads = 6;
    std::vector<RemoveReport> reports(kThreads);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            UniqueFd fd = openDir(tmp.path());
            ready.fetch_add(1);
            while (ready.load() < kThreads) {
            }
            // A small cap so the climbs back through ".." meet directories others removed.
            reports[t] = removeEntryAt(fd.get(), "victim", tmp / "victim", true, RemoveOptions{4});
        });
    }
    for (auto& thread : threads)
        thread.join();

    std::uint64_t removed = 0;
    int removedOutcomes = 0;
    for (const auto& report : reports) {
        EXPECT_NE(report.outcome, RemoveOutcome::Failed) << failureText(report);
        EXPECT_EQ(failureText(report), "");
        removed += report.entriesRemoved;
        removedOutcomes += report.outcome == RemoveOutcome::Removed;
    }
    EXPECT_EQ(removedOutcomes, 1);
    EXPECT_EQ(removed, total);
    EXPECT_FALSE(entryExists(tmp / "victim"));
}

TEST(SafeRemove, OpenDirectoryNoFollowRefusesLinksEvenWithTrailingSlash) {
    TempDir tmp;
    makeDirs(tmp / "real");
    makeSymlink(tmp / "real", tmp / "link");
    EXPECT_TRUE(openDirectoryNoFollow(tmp / "real/"));
    EXPECT_FALSE(openDirectoryNoFollow(tmp / "link"));
    EXPECT_FALSE(openDirectoryNoFollow(tmp / "link//"));
    EXPECT_FALSE(openDirectoryNoFollow(""));
    EXPECT_TRUE(openDirectoryNoFollow("/"));

    // Far beyond PATH_MAX: opened piece by piece; a link at the end is still refused.
    const std::string name(250, 'p');
    testing::makeDeepChain(tmp / "real", 30, name, false);
    std::string deep = tmp / "real";
    for (int i = 0; i < 30; ++i)
        deep += "/" + name;
    UniqueFd fd = openDirectoryNoFollow(deep + "/");
    ASSERT_TRUE(fd);
    ASSERT_EQ(::mkdirat(fd.get(), "marker", 0755), 0);
    ASSERT_EQ(::symlinkat((tmp / "real").c_str(), fd.get(), "back"), 0);
    EXPECT_TRUE(openDirectoryNoFollow(deep + "/marker"));
    EXPECT_FALSE(openDirectoryNoFollow(deep + "/back"));
}

} // namespace
} // namespace velmora

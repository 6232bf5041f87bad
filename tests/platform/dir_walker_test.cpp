#include "platform/dir_walker.h"
#include "platform/unique_fd.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::makeDirs;
using testing::TempDir;

std::string describe(std::string_view path, char type, std::size_t depth) {
    return std::string(path) + " " + type + std::to_string(depth);
}

// "path type depth" per entry in walk order, answering `action` for entries named `name`; each
// must be reachable through its parent descriptor and name.
std::vector<std::string> walkAll(const std::string& root, std::string_view name = "",
                                 WalkAction action = WalkAction::Continue) {
    std::vector<std::string> seen;
    EXPECT_TRUE(walkDirectory(root, [&](const WalkEntry& e) {
        struct stat st {};
        EXPECT_EQ(::fstatat(e.parentFd, e.name.data(), &st, AT_SYMLINK_NOFOLLOW), 0) << e.relativePath;
        EXPECT_TRUE(e.relativePath.ends_with(e.name));
        seen.push_back(describe(e.relativePath, "DRLO"[static_cast<int>(e.type)], e.depth));
        return e.name == name ? action : WalkAction::Continue;
    }));
    return seen;
}

TEST(DirWalker, PreOrderInFileSystemOrderWithRawNamesNeverThroughLinksSkippingAndStoppingAsTold) {
    TempDir tmp;
    makeDirs(tmp / "a/b/c");
    makeDirs(tmp / "z");
    testing::makeManyFiles(tmp / "a/b", 20, "file");
    testing::writeFile(tmp / "a/b/c/deep", 3);
    testing::writeFile(tmp / ".hidden", 1);
    testing::makeSymlink("a", tmp / "link");
    testing::makeSymlink("a/b/c/deep", tmp / "a/filelink");
    ASSERT_EQ(::mkfifo((tmp / "a/fifo").c_str(), 0644), 0);
    for (const std::string name : {"line\nbreak", "bad\xff\xfe", "tab\there", "\xc3\x28", " lead", "中"}) {
        makeDirs(tmp / name);
        testing::writeFile(tmp / (name + "/" + name), 1);
    }
    std::vector<std::string> expected; // the same listing, pre-order as readdir gives the names
    for (auto it = fs::recursive_directory_iterator(tmp.path()); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::file_type type = it->symlink_status().type();
        const char letter = type == fs::file_type::directory ? 'D'
                            : type == fs::file_type::regular ? 'R'
                            : type == fs::file_type::symlink ? 'L'
                                                             : 'O';
        expected.push_back(
            describe(it->path().lexically_relative(tmp.path()).string(), letter, it.depth() + 1));
    }
    for (const std::string entry : {"link L1", "a/filelink L2", "a/fifo O2", "a/b/c/deep R4", "中/中 R2"})
        EXPECT_NE(std::find(expected.begin(), expected.end(), entry), expected.end()) << entry;
    EXPECT_EQ(walkAll(tmp.path()), expected);
    // SkipChildren leaves a folder's contents out; Stop ends the walk after the entry.
    std::vector<std::string> withoutA;
    std::copy_if(expected.begin(), expected.end(), std::back_inserter(withoutA),
                 [](const std::string& entry) { return !entry.starts_with("a/"); });
    EXPECT_EQ(walkAll(tmp.path(), "a", WalkAction::SkipChildren), withoutA);
    const auto untilB = std::find(expected.begin(), expected.end(), "a/b D2") + 1;
    EXPECT_EQ(walkAll(tmp.path(), "b", WalkAction::Stop), std::vector(expected.begin(), untilB));

    // From a descriptor: the walk reads through its own, so the caller's offset does not move.
    UniqueFd fd(::open(tmp.path().c_str(), O_RDONLY | O_DIRECTORY));
    for (int round = 0; round < 2; ++round) {
        std::size_t count = 0;
        EXPECT_TRUE(
            walkDirectoryAt(fd.get(), [&](const WalkEntry&) { return ++count, WalkAction::Continue; }));
        EXPECT_EQ(count, expected.size()) << "round " << round;
    }
    auto never = [](const WalkEntry&) { return ADD_FAILURE(), WalkAction::Continue; };
    for (const std::string& root : {tmp / "link", tmp / "missing", tmp / "a/b/c/deep", std::string()})
        EXPECT_FALSE(walkDirectory(root, never)) << root;
}

// "folders files depth longest-path" of a walk of a chain with a file at each level: every file
// is met only if the walk resumes the levels it had to close.
std::string walkChain(const std::string& root, std::size_t cap) {
    std::size_t folders = 0, files = 0, depth = 0, longest = 0;
    const bool ok = walkDirectory(
        root,
        [&](const WalkEntry& e) {
            ++(e.type == EntryType::Directory ? folders : files);
            depth = std::max(depth, e.depth);
            longest = std::max(longest, e.relativePath.size());
            return WalkAction::Continue;
        },
        WalkOptions{.maxOpenDescriptors = cap});
    std::string text = ok ? "" : "failed: ";
    for (std::size_t n : {folders, files, depth, longest})
        text += std::to_string(n) + " ";
    return text;
}

TEST(DirWalker, TenThousandLevelsUnderALowDescriptorCapOrLimitAndPathsBeyondPathMax) {
    TempDir deep, longNames;
    testing::makeDeepChain(deep.path(), 10000, "d", true);
    EXPECT_EQ(walkChain(deep.path(), 8), "10000 10000 10000 19999 ");
    EXPECT_EQ(walkChain(deep.path(), 1), "10000 10000 10000 19999 "); // below the minimum: still works
    testing::makeDeepChain(longNames.path(), 40, std::string(200, 'n'), true); // 8 KB paths
    EXPECT_EQ(walkChain(longNames.path(), 64), "40 40 40 8039 ");
    // The same with the cap above the process's limit: running out of descriptors must be handled.
    EXPECT_EQ(testing::runInChild([&] {
                  const rlimit limit{24, 24};
                  return ::setrlimit(RLIMIT_NOFILE, &limit) == 0 ? walkChain(longNames.path(), 64)
                                                                 : "no limit";
              }),
              "40 40 40 8039 ");
}

TEST(DirWalker, UnreadableDirectoryIsPassedOverAsUnprivilegedUser) {
    TempDir tmp;
    makeDirs(tmp / "root/locked/inside");
    makeDirs(tmp / "root/open");
    testing::writeFile(tmp / "root/locked/secret", 1);
    testing::writeFile(tmp / "root/open/visible", 1);
    testing::chownTreeToNobody(tmp / "root");
    ASSERT_EQ(::chmod((tmp / "root/locked").c_str(), 0), 0);
    const std::string out = testing::runAsNobody([&] {
        std::string listing;
        const bool ok = walkDirectory(tmp / "root", [&](const WalkEntry& e) {
            listing += std::string(e.relativePath) + "\n";
            return WalkAction::Continue;
        });
        return (ok ? "ok\n" : "fail\n") + listing;
    });
    EXPECT_EQ(testing::lineSet(out), (std::multiset<std::string>{"ok", "locked", "open", "open/visible"}));
}

TEST(DirWalker, EntriesRemovedDuringTheWalkAreSkipped) {
    TempDir tmp;
    for (int i = 0; i < 30; ++i)
        testing::placeFile(tmp, "d" + std::to_string(i) + "/sub/f", 1);
    // The first folder met removes every other one; then the callback removes each entry below.
    std::string first;
    std::set<std::string> below;
    EXPECT_TRUE(walkDirectory(tmp.path(), [&](const WalkEntry& e) {
        if (first.empty()) {
            first = e.name;
            for (int i = 0; i < 30; ++i)
                if ("d" + std::to_string(i) != first) testing::removeTree(tmp / ("d" + std::to_string(i)));
        } else if (e.depth > 1) {
            below.insert(std::string(e.relativePath));
            EXPECT_EQ(e.type == EntryType::Regular ? ::unlinkat(e.parentFd, e.name.data(), 0) : 0, 0);
        }
        return WalkAction::Continue;
    }));
    EXPECT_EQ(below, (std::set<std::string>{first + "/sub", first + "/sub/f"}));
    EXPECT_FALSE(testing::entryExists(tmp / (first + "/sub/f")));
}

TEST(DirWalker, DirectoryMovedAwayWhileItsParentIsClosed) {
    TempDir tmp;
    makeDirs(tmp / "a/b/c/d");
    makeDirs(tmp / "elsewhere");
    testing::makeManyFiles(tmp / "a/b", 50, "f");
    std::size_t files = 0;
    bool moved = false;
    EXPECT_TRUE(walkDirectory(
        tmp.path(),
        [&](const WalkEntry& e) {
            // Once c lives elsewhere, ".." from it no longer leads back to b.
            if (e.relativePath == "a/b/c/d" && !moved)
                moved = ::rename((tmp / "a/b/c").c_str(), (tmp / "elsewhere/c").c_str()) == 0;
            files += e.type == EntryType::Regular && e.relativePath.starts_with("a/b/f");
            return WalkAction::Continue;
        },
        WalkOptions{.maxOpenDescriptors = 2}));
    EXPECT_TRUE(moved);
    EXPECT_EQ(files, 50u);
}

} // namespace
} // namespace velmora

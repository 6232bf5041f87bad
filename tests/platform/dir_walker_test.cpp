#include "platform/dir_walker.h"
#include "platform/unique_fd.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velmora {
namespace {

using testing::TempDir;

struct Seen {
    std::string path;
    EntryType type;
    std::size_t depth;
};

std::vector<Seen> walkAll(const std::string& root, const WalkOptions& options = {}) {
    std::vector<Seen> seen;
    bool ok = walkDirectory(
        root,
        [&](const WalkEntry& e) {
            seen.push_back({std::string(e.relativePath), e.type, e.depth});
            return WalkAction::Continue;
        },
        options);
    EXPECT_TRUE(ok) << root;
    return seen;
}

// Pre-order listing built with plain readdir, in the order the file system gives.
void readdirOrder(const std::string& dir, const std::string& rel, std::vector<std::string>& out) {
    DIR* d = ::opendir(dir.c_str());
    ASSERT_NE(d, nullptr) << dir;
    std::vector<std::pair<std::string, bool>> names;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        names.emplace_back(name, e->d_type == DT_DIR);
    }
    ::closedir(d);
    for (const auto& [name, isDir] : names) {
        std::string childRel = rel.empty() ? name : rel + "/" + name;
        out.push_back(childRel);
        if (isDir) readdirOrder(dir + "/" + name, childRel, out);
    }
}

TEST(DirWalker, PreOrderInFileSystemOrderWithTypesAndDepths) {
    TempDir tmp;
    testing::makeDirs(tmp / "a/b/c");
    testing::makeDirs(tmp / "a/e");
    testing::makeDirs(tmp / "z");
    for (int i = 0; i < 20; ++i)
        testing::writeFile(tmp / ("a/b/file" + std::to_string(i)), i);
    testing::writeFile(tmp / "a/b/c/deep", 3);
    testing::writeFile(tmp / ".hidden", 1);
    testing::makeSymlink("a", tmp / "link");
    ASSERT_EQ(::mkfifo((tmp / "a/fifo").c_str(), 0644), 0);

    std::vector<std::string> expected;
    readdirOrder(tmp.path(), "", expected);
    std::vector<Seen> seen = walkAll(tmp.path());
    // Each entry is reachable through its parent descriptor and name, which ends its path.
    walkDirectory(tmp.path(), [&](const WalkEntry& e) {
        struct stat st {};
        EXPECT_EQ(::fstatat(e.parentFd, std::string(e.name).c_str(), &st, AT_SYMLINK_NOFOLLOW), 0)
            << e.relativePath;
        EXPECT_TRUE(e.relativePath.ends_with(e.name));
        if (e.name == "deep") {
            EXPECT_EQ(st.st_size, 3);
        }
        return WalkAction::Continue;
    });
    std::vector<std::string> paths;
    std::map<std::string, Seen> byPath;
    for (const Seen& s : seen) {
        paths.push_back(s.path);
        byPath[s.path] = s;
    }
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(byPath["a"].type, EntryType::Directory);
    EXPECT_EQ(byPath["a"].depth, 1u);
    EXPECT_EQ(byPath["a/b/c/deep"].type, EntryType::Regular);
    EXPECT_EQ(byPath["a/b/c/deep"].depth, 4u);
    EXPECT_EQ(byPath["link"].type, EntryType::Symlink);
    EXPECT_EQ(byPath["a/fifo"].type, EntryType::Other);
    EXPECT_EQ(byPath[".hidden"].type, EntryType::Regular);
}

TEST(DirWalker, SkipChildrenLeavesThatDirectoryOutAndStopEndsTheWalk) {
    TempDir tmp;
    testing::makeDirs(tmp / "keep/inner");
    testing::makeDirs(tmp / "skip/inner");
    testing::writeFile(tmp / "skip/inner/f", 1);
    std::set<std::string> paths;
    walkDirectory(tmp.path(), [&](const WalkEntry& e) {
        paths.insert(std::string(e.relativePath));
        return e.name == "skip" ? WalkAction::SkipChildren : WalkAction::Continue;
    });
    EXPECT_EQ(paths, (std::set<std::string>{"keep", "keep/inner", "skip"}));

    std::vector<std::string> visited;
    walkDirectory(tmp.path(), [&](const WalkEntry& e) {
        visited.emplace_back(e.relativePath);
        return e.name == "inner" ? WalkAction::Stop : WalkAction::Continue;
    });
    ASSERT_EQ(visited.size(), 2u); // the first top folder, then its "inner": nothing after
    EXPECT_EQ(visited[1], visited[0] + "/inner");
}

TEST(DirWalker, LinksAreNeverFollowedAndARootThatIsNoDirectoryFails) {
    TempDir tmp;
    testing::makeDirs(tmp / "real/sub");
    testing::writeFile(tmp / "real/sub/f", 1);
    testing::makeDirs(tmp / "walked");
    testing::makeSymlink(tmp / "real", tmp / "walked/dirlink");
    testing::makeSymlink(tmp / "real/sub/f", tmp / "walked/filelink");
    std::vector<Seen> seen = walkAll(tmp / "walked");
    ASSERT_EQ(seen.size(), 2u);
    for (const Seen& s : seen)
        EXPECT_EQ(s.type, EntryType::Symlink) << s.path;

    auto never = [](const WalkEntry&) {
        ADD_FAILURE() << "no entry expected";
        return WalkAction::Continue;
    };
    for (const std::string& root :
         {tmp / "walked/dirlink", tmp / "missing", tmp / "real/sub/f", std::string()})
        EXPECT_FALSE(walkDirectory(root, never)) << root;
}

TEST(DirWalker, WalkFromDescriptorLeavesCallersDescriptorAlone) {
    TempDir tmp;
    for (int i = 0; i < 5; ++i)
        testing::writeFile(tmp / ("f" + std::to_string(i)), 0);
    UniqueFd fd(::open(tmp.path().c_str(), O_RDONLY | O_DIRECTORY));
    ASSERT_TRUE(fd);
    for (int round = 0; round < 2; ++round) {
        int count = 0;
        EXPECT_TRUE(walkDirectoryAt(fd.get(), [&](const WalkEntry&) {
            ++count;
            return WalkAction::Continue;
        }));
        EXPECT_EQ(count, 5) << "round " << round;
    }
}

TEST(DirWalker, RawByteNamesWithNewlinesAndInvalidUtf8) {
    TempDir tmp;
    const std::vector<std::string> names = {"line\nbreak", std::string("bad\xff\xfe", 5),
                                            "tab\there",   std::string("\xc3\x28", 2),
                                            " lead space", "\xe4\xb8\xad"};
    for (const std::string& n : names)
        testing::makeDirs(tmp / n);
    for (const std::string& n : names)
        testing::writeFile(tmp / (n + "/" + n), 1);
    std::set<std::string> seen;
    for (const Seen& s : walkAll(tmp.path()))
        seen.insert(s.path);
    std::set<std::string> expected;
    for (const std::string& n : names) {
        expected.insert(n);
        expected.insert(n + "/" + n);
    }
    EXPECT_EQ(seen, expected);
}

// Every level holds the next directory and a file "f": whatever the order of the two,
// each file must be met, which needs the walk to resume levels it had to close.
void expectWholeChain(const std::string& root, std::size_t levels, const WalkOptions& options) {
    std::size_t files = 0, dirs = 0, maxDepth = 0, longest = 0;
    EXPECT_TRUE(walkDirectory(
        root,
        [&](const WalkEntry& e) {
            (e.type == EntryType::Directory ? dirs : files)++;
            maxDepth = std::max(maxDepth, e.depth);
            longest = std::max(longest, e.relativePath.size());
            return WalkAction::Continue;
        },
        options));
    EXPECT_EQ(dirs, levels);
    EXPECT_EQ(files, levels);
    EXPECT_EQ(maxDepth, levels);
    EXPECT_EQ(longest, levels * 2 - 1); // "d/d/.../d"
}

TEST(DirWalker, TenThousandLevelsUnderALowDescriptorCapAndPathsBeyondPathMax) {
    TempDir tmp;
    const std::size_t levels = 10000;
    testing::makeDeepChain(tmp.path(), levels, "d", true);
    expectWholeChain(tmp.path(), levels, WalkOptions{.maxOpenDescriptors = 8});
    expectWholeChain(tmp.path(), levels,
                     WalkOptions{.maxOpenDescriptors = 1}); // below the minimum: still works

    TempDir longNames; // 40 levels of 201 bytes: far past PATH_MAX
    const std::string name(200, 'n');
    testing::makeDeepChain(longNames.path(), 40, name, false);
    std::size_t longest = 0, count = 0;
    walkDirectory(longNames.path(), [&](const WalkEntry& e) {
        longest = std::max(longest, e.relativePath.size());
        ++count;
        EXPECT_EQ(e.name, name);
        return WalkAction::Continue;
    });
    EXPECT_EQ(count, 40u);
    EXPECT_EQ(longest, 40 * 201 - 1);
}

TEST(DirWalker, DeepChainUnderALoweredDescriptorLimit) {
    TempDir tmp;
    const std::size_t levels = 3000;
    testing::makeDeepChain(tmp.path(), levels, "dir", true);
    std::string result = testing::runInChild([&] {
        rlimit limit{24, 24};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return std::string("setrlimit failed");
        std::size_t files = 0;
        bool ok = walkDirectory(
            tmp.path(),
            [&](const WalkEntry& e) {
                if (e.type == EntryType::Regular) ++files;
                return WalkAction::Continue;
            },
            WalkOptions{.maxOpenDescriptors =
                            1000}); // the cap is above the limit: running out must be handled
        return std::string(ok ? "ok " : "fail ") + std::to_string(files);
    });
    EXPECT_EQ(result, "ok " + std::to_string(levels));
}

TEST(DirWalker, UnreadableDirectoryIsPassedOverAsUnprivilegedUser) {
    TempDir tmp;
    testing::makeDirs(tmp / "root/locked/inside");
    testing::makeDirs(tmp / "root/open");
    testing::writeFile(tmp / "root/locked/secret", 1);
    testing::writeFile(tmp / "root/open/visible", 1);
    testing::chownTreeToNobody(tmp / "root");
    ASSERT_EQ(::chmod((tmp / "root/locked").c_str(), 0), 0);
    std::string out = testing::runAsNobody([&] {
        std::string listing;
        bool ok = walkDirectory(tmp / "root", [&](const WalkEntry& e) {
            listing += std::string(e.relativePath) + "\n";
            return WalkAction::Continue;
        });
        return std::string(ok ? "ok\n" : "fail\n") + listing;
    });
    EXPECT_EQ(testing::lineSet(out), (std::multiset<std::string>{"ok", "locked", "open", "open/visible"}));
}

TEST(DirWalker, EntriesRemovedDuringTheWalkAreSkipped) {
    TempDir tmp;
    for (int i = 0; i < 30; ++i) {
        testing::makeDirs(tmp / ("d" + std::to_string(i) + "/sub"));
        testing::writeFile(tmp / ("d" + std::to_string(i) + "/sub/f"), 1);
    }
    // The first directory met removes every other one; then each entry given to the
    // callback is removed by the callback itself through its parent descriptor.
    bool first = true;
    std::string firstName;
    std::set<std::string> below;
    EXPECT_TRUE(walkDirectory(tmp.path(), [&](const WalkEntry& e) {
        if (e.depth == 1 && first) {
            first = false;
            firstName = std::string(e.name);
            for (int i = 0; i < 30; ++i) {
                std::string n = "d" + std::to_string(i);
                if (n != firstName) testing::removeTree(tmp / n);
            }
            return WalkAction::Continue;
        }
        if (e.depth > 1) {
            below.insert(std::string(e.relativePath));
            if (e.type == EntryType::Regular) {
                EXPECT_EQ(::unlinkat(e.parentFd, std::string(e.name).c_str(), 0), 0);
            }
        }
        return WalkAction::Continue;
    }));
    EXPECT_EQ(below, (std::set<std::string>{firstName + "/sub", firstName + "/sub/f"}));
    EXPECT_FALSE(std::filesystem::exists(tmp / (firstName + "/sub/f")));
}

TEST(DirWalker, DirectoryMovedAwayWhileItsParentIsClosed) {
    TempDir tmp;
    testing::makeDirs(tmp / "a/b/c/d");
    for (int i = 0; i < 50; ++i)
        testing::writeFile(tmp / ("a/b/f" + std::to_string(i)), 0);
    testing::makeDirs(tmp / "elsewhere");
    std::set<std::string> files;
    bool moved = false;
    EXPECT_TRUE(walkDirectory(
        tmp.path(),
        [&](const WalkEntry& e) {
            if (e.relativePath == "a/b/c/d" && !moved) {
                // c now lives elsewhere: ".." from it no longer leads back to b.
                moved = ::rename((tmp / "a/b/c").c_str(), (tmp / "elsewhere/c").c_str()) == 0;
            }
            if (e.type == EntryType::Regular && e.relativePath.starts_with("a/b/"))
                files.insert(std::string(e.relativePath));
            return WalkAction::Continue;
        },
        WalkOptions{.maxOpenDescriptors = 2}));
    EXPECT_TRUE(moved);
    EXPECT_EQ(files.size(), 50u);
}

} // namespace
} // namespace velmora

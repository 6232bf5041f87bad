#include "samples/sample_tree.h"
#include "support/run_program.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace velmora {
namespace {

using testing::listTree;
using testing::makeDirs;
using testing::makeSymlink;
using testing::TempDir;
using testing::writeFile;

using CliResult = testing::ProgramRun;
using testing::lineSet;

const testing::Environment kChinese{
    {"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "zh_CN.UTF-8"}};
const testing::Environment kEnglish{
    {"LANGUAGE", "en"}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "en_US.UTF-8"}};

CliResult runCli(const std::vector<std::string>& args, const testing::Environment& language = kChinese) {
    return testing::runProgram(std::string(VELMORA_BIN_DIR) + "/velmora-cli", args, language);
}

// The rules written out independently: the shortest prefix of a library-relative path that a
// category names (by whole components), or "" when none does.
std::string matchedPrefix(const std::string& relative, const std::set<std::string>& categories) {
    std::vector<std::string> parts;
    std::stringstream in(relative);
    for (std::string part; std::getline(in, part, '/');)
        parts.push_back(part);
    std::string prefix;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        prefix += (i ? "/" : "") + parts[i];
        const std::string& last = parts[i];
        const std::string parent = i > 0 ? parts[i - 1] : "";
        if ((categories.count("render") && last == "Render Files") ||
            (categories.count("proxy") && last == "Proxy Media" && parent == "Transcoded Media") ||
            (categories.count("optimized") && last == "High Quality Media" && parent == "Transcoded Media") ||
            (categories.count("analysis") && (last == "Analysis Files" || last == "Analysis Cache")))
            return prefix;
    }
    return "";
}

struct Expectation {
    std::set<std::string> remaining;
    std::set<std::string> matchedEntries; // full paths
};

Expectation expect(const std::string& location, const std::set<std::string>& before,
                   const std::set<std::string>& categories, const std::string& onlyLibrary = "") {
    Expectation e;
    for (const auto& entry : before) {
        std::string path = entry.ends_with("/") ? entry.substr(0, entry.size() - 1) : entry;
        std::size_t bundle = path.find(".fcpbundle/");
        std::string matched;
        if (bundle != std::string::npos) {
            std::string library = path.substr(0, bundle + 10);
            if (onlyLibrary.empty() || location + "/" + library == onlyLibrary) {
                matched = matchedPrefix(path.substr(bundle + 11), categories);
                if (!matched.empty()) e.matchedEntries.insert(location + "/" + library + "/" + matched);
            }
        }
        if (matched.empty()) e.remaining.insert(entry);
    }
    return e;
}

std::multiset<std::string> prefixed(const std::string& prefix, const std::set<std::string>& paths) {
    std::multiset<std::string> out;
    for (const auto& p : paths)
        out.insert(prefix + p);
    return out;
}

class CleanCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        sample =
            samples::generateSampleLocation(tmp / "location", {.seed = 7, .entries = 4000, .libraries = 3});
        location = tmp / "location";
        // Look-alikes no category may touch, and a category folder at a library's root.
        const std::string lib = sample.libraries.at(0).path;
        for (const char* file :
             {"My Render Files/keep", "Event X/render files/keep", "Event X/Render Files.mov",
              "Event X/Proxy Media/keep", "Event X/Analysis Files.txt", "Render Files/root.mov",
              "Event X/Render Files/High Quality Media/r.mov"}) {
            std::string path = lib + "/" + file;
            makeDirs(path.substr(0, path.rfind('/')));
            writeFile(path, 1000);
        }
        extraBytes = 2000; // root Render Files and the one in Event X
        // Category-named folders outside any library stay.
        makeDirs(location + "/Exports/Render Files");
        writeFile(location + "/Exports/Render Files/keep.mov", 10);
    }

    TempDir tmp;
    samples::SampleLocation sample;
    std::string location;
    std::int64_t extraBytes = 0;
};

TEST_F(CleanCommand, RemovesExactlyWhatTheRulesNameAndSummarises) {
    const auto before = listTree(location);
    const Expectation e = expect(location, before, {"render", "proxy", "optimized", "analysis"});
    ASSERT_GT(e.matchedEntries.size(), 10u);

    CliResult dry = runCli({"clean", location, "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(listTree(location), before);
    std::set<std::string> dryPaths;
    for (const auto& line : lineSet(dry.out)) {
        ASSERT_TRUE(line.starts_with("Would delete: ")) << line;
        dryPaths.insert(line.substr(14, line.rfind(" (") - 14));
    }
    EXPECT_EQ(dryPaths, e.matchedEntries);

    // The log lines, the summary and the status read the same in every language: the dry run
    // above and the other tests run in Chinese, this one in English.
    CliResult run = runCli({"clean", location}, kEnglish);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(lineSet(run.out), prefixed("Deleted: ", e.matchedEntries));
    EXPECT_EQ(listTree(location), e.remaining);

    std::int64_t expectedBytes = extraBytes;
    for (const auto& lib : sample.libraries)
        expectedBytes += lib.cacheSize + lib.proxySize + lib.optimizedSize + lib.analysisSize;
    char gb[32];
    std::snprintf(gb, sizeof gb, "%.2f GB", static_cast<double>(expectedBytes) / 1073741824.0);
    EXPECT_EQ(run.err, "Libraries: 3\nEntries removed: " + std::to_string(e.matchedEntries.size()) +
                           "\nEntries failed: 0\nBytes reclaimed: " + std::to_string(expectedBytes) + " (" +
                           gb + ")\n");
    const std::string dryBytes = "Bytes to reclaim: " + std::to_string(expectedBytes) + " (";
    EXPECT_NE(dry.err.find(dryBytes), std::string::npos) << dry.err;

    // A second run finds nothing left.
    CliResult again = runCli({"clean", location});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "");
}

TEST_F(CleanCommand, OneLibraryAndOneCategory) {
    const auto before = listTree(location);
    const std::string lib = sample.libraries.at(1).path;
    const Expectation e = expect(location, before, {"optimized"}, lib);
    ASSERT_FALSE(e.matchedEntries.empty());

    CliResult run = runCli({"clean", location, "--library", lib, "--category", "optimized"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(lineSet(run.out), prefixed("Deleted: ", e.matchedEntries));
    EXPECT_EQ(listTree(location), e.remaining);
    EXPECT_NE(run.err.find("Bytes reclaimed: " + std::to_string(sample.libraries.at(1).optimizedSize) + " ("),
              std::string::npos)
        << run.err;
}

TEST_F(CleanCommand, BadArgumentsExitTwoAndTouchNothing) {
    const auto before = listTree(location);
    const std::string lib = sample.libraries.at(0).path;
    makeSymlink(lib, location + "/Link.fcpbundle");
    makeDirs(tmp / "elsewhere/Other.fcpbundle/E/Render Files");
    const std::vector<std::vector<std::string>> cases{
        {"clean"},
        {"clean", location, "--category", "renders"},
        {"clean", location, "--category"},
        {"clean", location, "--bogus"},
        {"clean", tmp / "missing"},
        {"clean", location, "--library", location + "/Link.fcpbundle"},
        {"clean", location, "--library", location + "/Exports"},
        {"clean", location, "--library", ""},
        {"clean", location, "--library", tmp / "elsewhere/Other.fcpbundle"},
    };
    for (const auto& args : cases) {
        CliResult run = runCli(args);
        EXPECT_EQ(run.status, 2) << args.back() << "\n" << run.err;
        EXPECT_EQ(run.out, "") << args.back();
        EXPECT_FALSE(run.err.empty()) << args.back();
    }
    auto after = listTree(location);
    after.erase("Link.fcpbundle");
    EXPECT_EQ(after, before);
    EXPECT_TRUE(testing::entryExists(tmp / "elsewhere/Other.fcpbundle/E/Render Files"));
}

TEST_F(CleanCommand, FailedRemovalExitsOne) {
    const std::string lib = sample.libraries.at(2).path;
    const std::string locked = lib + "/Event Z/Render Files/locked.mov";
    makeDirs(lib + "/Event Z/Render Files");
    writeFile(locked, 10);
    if (std::system(("chattr +i '" + locked + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "chattr +i is not supported on the temporary folder's file system";
    CliResult run = runCli({"clean", location, "--library", lib, "--category", "render"});
    std::system(("chattr -i '" + locked + "'").c_str());
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(lineSet(run.out).count("Error deleting " + locked + ": Operation not permitted"), 1u)
        << run.out;
    EXPECT_NE(run.err.find("Entries failed: 1\n"), std::string::npos) << run.err;
    EXPECT_EQ(listTree(lib + "/Event Z"),
              (std::set<std::string>{"Render Files/", "Render Files/locked.mov"}));
}

} // namespace
} // namespace velmora

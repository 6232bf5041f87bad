#include "samples/sample_tree.h"
#include "support/cli_program.h"
#include "support/mount_namespace.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velmora {
namespace {

using testing::listTree;
using testing::makeDirs;
using testing::makeSymlink;
using testing::TempDir;
using testing::writeFile;

using CliResult = testing::ProgramRun;
using testing::lineSet;

using testing::fromBase64;
using testing::kChinese;
using testing::kEnglish;
using testing::runCli;

// A clean's JSON report: the entries by their exact path (from pathBase64 where the path is
// not UTF-8), each with its bytes and status; and the sum of the entries' bytes.
struct Report {
    nlohmann::json object;
    std::map<std::string, std::pair<std::int64_t, std::string>> entries;
    std::int64_t entryBytes = 0;
};

Report parseReport(const std::string& json, const std::string& stripPrefix = "") {
    Report report;
    report.object = nlohmann::json::parse(json);
    for (const auto& entry : report.object.at("entries")) {
        std::string path = entry.at("path");
        if (entry.contains("pathBase64")) {
            path = fromBase64(entry.at("pathBase64"));
            EXPECT_NE(path, entry.at("path").get<std::string>()); // only where the bytes are not UTF-8
        }
        EXPECT_EQ(entry.contains("error"), entry.at("status") == "failed") << path;
        report.entryBytes += entry.at("bytes").get<std::int64_t>();
        report.entries[path.substr(path.starts_with(stripPrefix) ? stripPrefix.size() : 0)] = {
            entry.at("bytes"), entry.at("status")};
    }
    EXPECT_EQ(report.object.at("bytes").get<std::int64_t>(), report.entryBytes);
    EXPECT_EQ(report.object.at("failed").get<std::size_t>(),
              std::count_if(report.object.at("entries").begin(), report.object.at("entries").end(),
                            [](const nlohmann::json& e) { return e.at("status") == "failed"; }));
    return report;
}

std::set<std::string> pathsOf(const Report& report) {
    std::set<std::string> paths;
    for (const auto& [path, facts] : report.entries)
        paths.insert(path);
    return paths;
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
        // A link named like a library is listed by the scan and never followed by the clean.
        makeSymlink("/", location + "/Root.fcpbundle");
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
    // Libraries listed side by side come out in scan order, as one after the other gives them.
    EXPECT_EQ(runCli({"clean", location, "--dry-run", "--jobs", "1"}).out, dry.out);
    EXPECT_EQ(runCli({"clean", location, "--dry-run", "--jobs", "8"}).out, dry.out);

    // The report, the summary and the status read the same in every language: the dry run
    // above and the other tests run in Chinese, this one in English.
    CliResult run = runCli({"clean", location, "--json"}, kEnglish);
    EXPECT_EQ(run.status, 0) << run.err;
    const Report report = parseReport(run.out);
    EXPECT_EQ(pathsOf(report), e.matchedEntries);
    EXPECT_EQ(listTree(location), e.remaining);

    std::int64_t expectedBytes = extraBytes;
    for (const auto& lib : sample.libraries)
        expectedBytes += lib.reclaimable();
    EXPECT_EQ(report.object.at("dryRun"), false);
    EXPECT_EQ(report.object.at("libraries"), 4);
    EXPECT_EQ(report.object.at("failed"), 0);
    EXPECT_EQ(report.entryBytes, expectedBytes);
    for (const auto& [path, facts] : report.entries)
        EXPECT_EQ(facts.second, "deleted") << path;
    char gb[32];
    std::snprintf(gb, sizeof gb, "%.2f GB", static_cast<double>(expectedBytes) / 1073741824.0);
    EXPECT_EQ(run.err, "Libraries: 4\nEntries removed: " + std::to_string(e.matchedEntries.size()) +
                           "\nEntries failed: 0\nBytes reclaimed: " + std::to_string(expectedBytes) + " (" +
                           gb + ")\n");
    const std::string dryBytes = "Bytes to reclaim: " + std::to_string(expectedBytes) + " (";
    EXPECT_NE(dry.err.find(dryBytes), std::string::npos) << dry.err;

    // A second run finds nothing left.
    CliResult again = runCli({"clean", location});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "");
}

TEST_F(CleanCommand, SignalStopsBetweenRemovalsAndSummarisesWhatWasRemoved) {
    // Many more matched entries than the small pipe holds lines: the run is far from done
    // when the first line arrives.
    const std::string big = tmp / "big";
    for (int i = 0; i < 50; ++i) {
        const std::string event = big + "/L" + std::to_string(i) + ".fcpbundle/Event";
        for (const char* file :
             {"Original Media/a.mov", "Render Files/r.mov", "Transcoded Media/Proxy Media/p.mov",
              "Transcoded Media/High Quality Media/o.mov", "Analysis Files/a.plist"}) {
            const std::string path = event + "/" + file;
            makeDirs(path.substr(0, path.rfind('/')));
            writeFile(path, 100);
        }
    }
    const struct {
        int signal;
        int status;
    } cases[] = {{SIGINT, 130}, {SIGTERM, 143}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signal);
        const auto before = listTree(big);
        const Expectation e = expect(big, before, {"render", "proxy", "optimized", "analysis"});
        ASSERT_GT(e.matchedEntries.size(), 100u);

        CliResult run = testing::runProgramSignalledAfterFirstLine(
            std::string(VELMORA_BIN_DIR) + "/velmora-cli", {"clean", "--jobs", "1", big}, c.signal);
        EXPECT_EQ(run.status, c.status) << run.err;
        std::set<std::string> removed;
        for (const auto& line : lineSet(run.out)) {
            ASSERT_TRUE(line.starts_with("Deleted: ")) << line;
            removed.insert(line.substr(9));
        }
        // Some entries went, not all; each one that went was a matched entry, and nothing
        // outside the matched entries was touched.
        EXPECT_GE(removed.size(), 1u);
        EXPECT_LT(removed.size(), e.matchedEntries.size());
        const auto after = listTree(big);
        for (const auto& path : removed) {
            EXPECT_TRUE(e.matchedEntries.count(path)) << path;
            EXPECT_FALSE(testing::entryExists(path)) << path;
        }
        for (const auto& entry : e.remaining)
            EXPECT_TRUE(after.count(entry)) << entry;
        EXPECT_NE(run.err.find("Stopped by signal " + std::to_string(c.signal)), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("Entries removed: " + std::to_string(removed.size()) + "\n"),
                  std::string::npos)
            << run.err;
    }
}

TEST_F(CleanCommand, OneLibraryAndOneCategory) {
    const auto before = listTree(location);
    const std::string lib = sample.libraries.at(1).path;
    const Expectation e = expect(location, before, {"optimized"}, lib);
    ASSERT_FALSE(e.matchedEntries.empty());

    // Any spelling that stays inside the location names the library: here relative, through
    // another folder and "..", against the location ".".
    const std::string spelling = "Exports/../" + lib.substr(location.size() + 1);
    CliResult run = testing::runProgram(
        "/bin/sh", {"-c", "cd \"$1\" && exec \"$0\" clean . --library \"$2\" --category optimized",
                    std::string(VELMORA_BIN_DIR) + "/velmora-cli", location, spelling});
    EXPECT_EQ(run.status, 0) << run.err;
    std::set<std::string> respelled;
    for (const auto& entry : e.matchedEntries)
        respelled.insert(spelling + entry.substr(lib.size()));
    EXPECT_EQ(lineSet(run.out), prefixed("Deleted: ", respelled));
    EXPECT_EQ(listTree(location), e.remaining);
    EXPECT_NE(run.err.find("Bytes reclaimed: " + std::to_string(sample.libraries.at(1).categorySizes[categoryIndex(CacheCategory::optimized)]) + " ("),
              std::string::npos)
        << run.err;
}

// A dry run of one copy and a clean of another report the same entries and bytes, byte-exact
// paths included, with libraries reached through links (listed, never followed) among them.
TEST_F(CleanCommand, DryRunAndCleanOfIdenticalCopiesReportTheSameBytes) {
    const std::string lib = sample.libraries.at(0).path;
    makeSymlink(lib, location + "/Link.fcpbundle");
    testing::placeFile(tmp, "outside/Far.fcpbundle/E/Render Files/f", 123456);
    makeSymlink(tmp / "outside/Far.fcpbundle", location + "/Far.fcpbundle");
    makeDirs(lib + "/Event \xff\xfe/Render Files");
    writeFile(lib + "/Event \xff\xfe/Render Files/clip.mov", 4321);
    ASSERT_EQ(std::system(("cp -a '" + location + "' '" + (tmp / "copy") + "'").c_str()), 0);
    const std::string copy = tmp / "copy";

    CliResult dry = runCli({"clean", "--dry-run", "--json", location});
    CliResult run = runCli({"clean", "--json", copy});
    ASSERT_EQ(dry.status, 0) << dry.err;
    ASSERT_EQ(run.status, 0) << run.err;
    const Report would = parseReport(dry.out, location);
    const Report did = parseReport(run.out, copy);
    EXPECT_EQ(would.object.at("dryRun"), true);
    EXPECT_EQ(would.object.at("libraries"), 6);
    EXPECT_EQ(pathsOf(would), pathsOf(did));
    ASSERT_EQ(would.entries.count(lib.substr(location.size()) + "/Event \xff\xfe/Render Files"), 1u);
    for (const auto& [path, facts] : would.entries) {
        EXPECT_EQ(facts.second, "would-delete") << path;
        EXPECT_EQ(did.entries.at(path), std::make_pair(facts.first, std::string("deleted"))) << path;
        EXPECT_FALSE(testing::entryExists(copy + path)) << path;
    }
    EXPECT_EQ(did.entryBytes, would.entryBytes);
    auto bytesLine = [](const std::string& err) { return err.substr(err.find("Bytes ")); };
    EXPECT_EQ(bytesLine(run.err), "Bytes reclaimed: " + bytesLine(dry.err).substr(18)) << run.err << dry.err;
    EXPECT_TRUE(testing::entryExists(tmp / "outside/Far.fcpbundle/E/Render Files/f"));
}

// Every folder that cannot be read is told once and counts once, whether the scan or a
// library's own walk meets it, in a dry run and in a clean.
TEST(CleanCommandUnreadable, EachFolderIsToldOnce) {
    TempDir tmp;
    const std::string location = tmp / "loc";
    testing::placeFile(tmp, "loc/closed/Hidden.fcpbundle/E/Render Files/r", 5);
    testing::placeFile(tmp, "loc/A.fcpbundle/Locked/Render Files/r", 6);
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Render Files/locked/r", 7);
    testing::placeFile(tmp, "loc/A.fcpbundle/E/Render Files/r", 8);
    testing::chownTreeToNobody(location);
    for (const char* folder : {"closed", "A.fcpbundle/Locked", "A.fcpbundle/E/Render Files/locked"})
        ASSERT_EQ(::chmod((location + "/" + folder).c_str(), 0), 0);
    auto asNobody = [&](const std::string& dryRun) {
        return testing::runProgram(
            "/bin/sh",
            {"-c", "exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" clean $1 \"$2\"",
             std::string(VELMORA_BIN_DIR) + "/velmora-cli", dryRun, location},
            kEnglish);
    };
    const std::string denied = ": Permission denied";
    CliResult dry = asNobody("--dry-run");
    EXPECT_EQ(dry.status, 1) << dry.err;
    EXPECT_EQ(lineSet(dry.out),
              (std::multiset<std::string>{
                  "Error reading " + location + "/closed" + denied,
                  "Error reading " + location + "/A.fcpbundle/Locked" + denied,
                  "Error reading " + location + "/A.fcpbundle/E/Render Files/locked" + denied,
                  "Would delete: " + location + "/A.fcpbundle/E/Render Files (8 bytes)"}));
    EXPECT_NE(dry.err.find("Entries failed: 3\n"), std::string::npos) << dry.err;
    CliResult run = asNobody("");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(lineSet(run.out),
              (std::multiset<std::string>{"Error reading " + location + "/closed" + denied,
                                          "Error reading " + location + "/A.fcpbundle/Locked" + denied,
                                          "Error deleting " + location +
                                              "/A.fcpbundle/E/Render Files/locked" + denied}));
    EXPECT_NE(run.err.find("Entries failed: 3\n"), std::string::npos) << run.err;
}

// --untouched-for leaves alone the libraries whose kept files changed within the period.
TEST(CleanUntouchedFor, CleansOnlyLibrariesNotModifiedForDays) {
    TempDir tmp;
    const std::string location = tmp / "loc";
    const std::int64_t now = std::time(nullptr);
    const std::int64_t day = 86400;
    // name -> newest kept file's age in days (-1: no kept file at all)
    const std::map<std::string, int> ages{{"Old", 100}, {"Recent", 3}, {"Edge", 29}, {"Bare", -1}};
    for (const auto& [name, age] : ages) {
        const std::string library = location + "/" + name + ".fcpbundle";
        makeDirs(library + "/E/Render Files");
        writeFile(library + "/E/Render Files/r", 100); // new: a cleaning removes it, it does not count
        if (age < 0) continue;
        writeFile(library + "/E/kept.fcpevent", 10);
        testing::setModified(library + "/E/kept.fcpevent", now - age * day - 60);
    }
    struct Case {
        std::vector<std::string> args;
        std::set<std::string> cleaned;
        int skipped;
    };
    const Case cases[] = {
        {{"--untouched-for", "30"}, {"Old", "Bare"}, 2},
        {{"--untouched-for", "29"}, {"Old", "Edge", "Bare"}, 1},
        {{"--untouched-for", "0"}, {"Old", "Recent", "Edge", "Bare"}, 0},
        {{"--untouched-for", "1000000"}, {"Bare"}, 3}, // centuries: no overflow lets Old through
        {{"--untouched-for", "30", "--library", location + "/Recent.fcpbundle"}, {}, 1},
        {{"--untouched-for", "30", "--library", location + "/Old.fcpbundle", "--category", "render"},
         {"Old"},
         0},
    };
    for (const Case& c : cases) {
        for (bool dryRun : {true, false}) {
            const std::string copy = tmp / "run";
            testing::removeTree(copy);
            ASSERT_EQ(std::system(("cp -a '" + location + "' '" + copy + "'").c_str()), 0);
            std::vector<std::string> args{"clean", "--json"};
            if (dryRun) args.push_back("--dry-run");
            for (std::string arg : c.args)
                args.push_back(arg.starts_with(location) ? copy + arg.substr(location.size()) : arg);
            args.push_back(copy);
            CliResult run = runCli(args);
            const std::string label = c.args.at(1) + (c.args.size() > 2 ? " " + c.args.at(3) : "");
            ASSERT_EQ(run.status, 0) << label << run.err;
            const Report report = parseReport(run.out, copy + "/");
            std::set<std::string> expected;
            for (const std::string& name : c.cleaned)
                expected.insert(name + ".fcpbundle/E/Render Files");
            EXPECT_EQ(pathsOf(report), expected) << label;
            EXPECT_EQ(report.object.at("skipped"), c.skipped) << label;
            EXPECT_NE(
                run.err.find("\n" + std::to_string(c.skipped) + " libraries skipped as recently modified\n"),
                std::string::npos)
                << label << run.err;
            for (const auto& [name, age] : ages)
                EXPECT_EQ(testing::entryExists(copy + "/" + name + ".fcpbundle/E/Render Files"),
                          dryRun || !c.cleaned.count(name))
                    << label << " " << name;
        }
    }
}

TEST_F(CleanCommand, BadArgumentsExitTwoAndTouchNothing) {
    auto before = listTree(location);
    const std::string lib = sample.libraries.at(0).path;
    makeSymlink(lib, location + "/Link.fcpbundle");
    makeDirs(tmp / "elsewhere/Other.fcpbundle/E/Render Files");
    makeSymlink(tmp / "elsewhere", location + "/out");
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
        // Spellings that leave the location through ".." or a link.
        {"clean", location, "--library", location + "/../elsewhere/Other.fcpbundle"},
        {"clean", location, "--library", location + "/out/Other.fcpbundle"},
        {"clean", "--json", location, "--library", tmp / "missing.fcpbundle"},
        {"clean", location, "--untouched-for", "-1"},
        {"clean", location, "--untouched-for", "month"},
        {"clean", location, "--untouched-for"},
        {"clean", "--json", "--dry-run", tmp / "missing"},
    };
    for (const auto& args : cases) {
        CliResult run = runCli(args);
        EXPECT_EQ(run.status, 2) << args.back() << "\n" << run.err;
        EXPECT_EQ(run.out, "") << args.back();
        EXPECT_FALSE(run.err.empty()) << args.back();
    }
    before.insert("Link.fcpbundle");
    before.insert("out");
    EXPECT_EQ(listTree(location), before);
    EXPECT_TRUE(testing::entryExists(tmp / "elsewhere/Other.fcpbundle/E/Render Files"));
}

TEST_F(CleanCommand, FailedRemovalExitsOne) {
    const std::string lib = sample.libraries.at(2).path;
    const std::string locked = lib + "/Event Z/Render Files/locked.mov";
    makeDirs(lib + "/Event Z/Render Files");
    writeFile(locked, 10);
    if (std::system(("chattr +i '" + locked + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "chattr +i is not supported on the temporary folder's file system";
    // --quiet keeps only the error line; a second run's JSON reports the entry as failed
    // (and its error line goes to standard error).
    CliResult run = runCli({"clean", location, "--library", lib, "--category", "render", "--quiet"});
    CliResult json = runCli({"clean", location, "--library", lib, "--category", "render", "--json"});
    std::system(("chattr -i '" + locked + "'").c_str());
    const std::string error = "Error deleting " + locked + ": Operation not permitted";
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, error + "\n");
    EXPECT_NE(run.err.find("Entries failed: 1\n"), std::string::npos) << run.err;
    EXPECT_GT(std::stoll(run.err.substr(run.err.find("Entries removed: ") + 17)), 0) << run.err;
    EXPECT_EQ(json.status, 1) << json.err;
    EXPECT_NE(json.err.find(error + "\n"), std::string::npos) << json.err;
    const Report report = parseReport(json.out);
    EXPECT_EQ(report.object.at("failed"), 1);
    EXPECT_EQ(report.entries.at(lib + "/Event Z/Render Files"),
              std::make_pair(std::int64_t{0}, std::string("failed")));
    EXPECT_EQ(report.object.at("entries").at(0).at("error"), locked + ": Operation not permitted");
    EXPECT_EQ(listTree(lib + "/Event Z"),
              (std::set<std::string>{"Render Files/", "Render Files/locked.mov"}));
}

// Two cleans of one location at once: each reports the bytes it unlinked itself, so together
// they report exactly what there was, and every entry gets one line from one of them.
TEST_F(CleanCommand, RunsAtOnceReportTheBytesEachRemoved) {
    const Expectation e = expect(location, listTree(location), {"render", "proxy", "optimized", "analysis"});
    std::int64_t expectedBytes = extraBytes;
    for (const auto& lib : sample.libraries)
        expectedBytes += lib.reclaimable();
    std::vector<CliResult> runs(2);
    std::vector<std::thread> threads;
    for (auto& run : runs)
        threads.emplace_back([&] { run = runCli({"clean", location, "--jobs", "2"}); });
    for (auto& thread : threads)
        thread.join();
    std::int64_t reclaimed = 0;
    std::multiset<std::string> lines;
    for (const auto& run : runs) {
        EXPECT_EQ(run.status, 0) << run.err;
        const std::size_t at = run.err.find("Bytes reclaimed: ");
        ASSERT_NE(at, std::string::npos) << run.err;
        reclaimed += std::stoll(run.err.substr(at + 17));
        for (const auto& line : lineSet(run.out))
            lines.insert(line);
    }
    EXPECT_EQ(reclaimed, expectedBytes);
    EXPECT_EQ(lines, prefixed("Deleted: ", e.matchedEntries));
    EXPECT_EQ(listTree(location), e.remaining);
}

// velmora-cli with its log going into a one-page pipe that nobody reads yet: returns once the
// program waits in a write, stopped (SIGSTOP), with the log so far.
struct BlockedRun {
    pid_t pid = -1;
    int readFd = -1;
    std::string logSoFar;

    // Lets it go on, reads the rest of the log and waits for the end; the exit status.
    int finish() {
        ::kill(pid, SIGCONT);
        char buffer[4096];
        for (ssize_t n; (n = ::read(readFd, buffer, sizeof buffer)) > 0;)
            logSoFar.append(buffer, static_cast<std::size_t>(n));
        ::close(readFd);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

BlockedRun startUntilLogIsFull(const std::vector<std::string>& args) {
    BlockedRun run;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0 || ::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096) < 4096) {
        ADD_FAILURE() << "no small pipe";
        return run;
    }
    run.pid = ::fork();
    if (run.pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
        testing::execProgram(std::string(VELMORA_BIN_DIR) + "/velmora-cli", args);
    }
    ::close(pipeFds[1]);
    run.readFd = pipeFds[0];
    const std::string wchan = "/proc/" + std::to_string(run.pid) + "/wchan";
    while (!testing::readWholeFile(wchan).ends_with("pipe_write")) {
        if (::waitpid(run.pid, nullptr, WNOHANG) != 0) {
            ADD_FAILURE() << "the program ended without filling the pipe";
            return run;
        }
        std::this_thread::yield();
    }
    // Held still while the log is read, or reading would let it go on at once.
    ::kill(run.pid, SIGSTOP);
    ::waitpid(run.pid, nullptr, WUNTRACED);
    int queued = 0;
    if (::ioctl(run.readFd, FIONREAD, &queued) == 0) {
        run.logSoFar.resize(static_cast<std::size_t>(queued));
        if (::read(run.readFd, run.logSoFar.data(), run.logSoFar.size()) != queued)
            ADD_FAILURE() << "short read";
    }
    return run;
}

// Event folders with long names, each with a "Render Files" folder: enough log to fill a pipe.
void addManyRenderFolders(const std::string& library, const std::string& events) {
    for (int i = 0; i < 60; ++i) {
        makeDirs(library + "/" + events + std::to_string(i) + "/Render Files");
        writeFile(library + "/" + events + std::to_string(i) + "/Render Files/r", 1);
    }
}

// Every line is out the moment its entry is gone: with the log's pipe full, the program waits
// in its write having removed exactly one entry more than the pipe holds lines. A log that
// cannot be written at all (a full disk) is an error, not a silent success.
TEST_F(CleanCommand, LogLinesLeaveAsEachEntryIsDoneAndAFailedLogIsAnError) {
    const std::string lib = sample.libraries.at(0).path;
    const std::string events(150, 'e');
    addManyRenderFolders(lib, events);
    const Expectation e = expect(location, listTree(location), {"render"}, lib);
    auto matchedLeft = [&] {
        return static_cast<int>(
            std::count_if(e.matchedEntries.begin(), e.matchedEntries.end(),
                          [](const std::string& path) { return testing::entryExists(path); }));
    };
    const int matchedBefore = matchedLeft();
    ASSERT_GT(matchedBefore, 60);
    BlockedRun run =
        startUntilLogIsFull({"clean", location, "--library", lib, "--category", "render", "--jobs", "1"});
    const std::string& out = run.logSoFar;
    const auto linesOut = static_cast<int>(std::count(out.begin(), out.end(), '\n'));
    EXPECT_GT(linesOut, 0);
    EXPECT_EQ(matchedBefore - matchedLeft(), linesOut + 1) << out;
    ::kill(run.pid, SIGKILL);
    (void)run.finish();

    CliResult full = testing::runProgram(
        "/bin/sh", {"-c", std::string(VELMORA_BIN_DIR) + "/velmora-cli clean \"$0\" >/dev/full", location});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(
        full.err.find("velmora-cli clean: the log could not be written to standard output: No space left on "
                      "device\n"),
        std::string::npos)
        << full.err;
    EXPECT_EQ(matchedLeft(), 0);
}

// Once a library's removal is under way, the folder above the libraries is swapped for a link
// to an outside folder that holds libraries of the same names. The library being cleaned is
// held by its descriptor; the next one is no longer reached inside the location and is left
// alone with an error, and nothing outside is touched.
TEST(CleanCommandBounds, ParentSwappedForALinkDuringTheCleanLeadsNowhereOutside) {
    TempDir tmp;
    const std::string events(150, 'e');
    for (const char* name : {"X.fcpbundle", "Y.fcpbundle"}) {
        addManyRenderFolders(tmp / "loc/B/" + name, events);
        addManyRenderFolders(tmp / "out/" + name, events);
    }
    const auto outsideBefore = listTree(tmp / "out");
    BlockedRun run = startUntilLogIsFull({"clean", tmp / "loc", "--jobs", "1"});
    ASSERT_EQ(::rename((tmp / "loc/B").c_str(), (tmp / "loc/B.moved").c_str()), 0);
    makeSymlink(tmp / "out", tmp / "loc/B");
    const int status = run.finish();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(listTree(tmp / "out"), outsideBefore);
    // The first library went whole; the second is refused by name.
    const std::string first =
        run.logSoFar.substr(run.logSoFar.find(tmp / "loc/B/") + (tmp / "loc/B/").size(), 11);
    const std::string second = first == "X.fcpbundle" ? "Y.fcpbundle" : "X.fcpbundle";
    EXPECT_NE(
        run.logSoFar.find("Error deleting " + (tmp / "loc/B/") + second +
                          ": Reached only through a link or another file system, not inside the location; "
                          "left in place\n"),
        std::string::npos)
        << run.logSoFar;
    EXPECT_EQ(std::count(run.logSoFar.begin(), run.logSoFar.end(), '\n'), 61);
    auto renderFolders = [&](const std::string& name) {
        const auto tree = listTree(tmp / "loc/B.moved/" + name);
        return std::count_if(tree.begin(), tree.end(),
                             [](const std::string& e) { return e.ends_with("/Render Files/"); });
    };
    EXPECT_EQ(renderFolders(first), 0);
    EXPECT_EQ(renderFolders(second), 60);
}

// A folder mounted below the location is left out by default, scan and clean alike, with
// the count on stderr; --cross-file-systems takes it in. Under a 16-descriptor limit, eight
// jobs still clean all 64 libraries.
TEST(CleanCommandBounds, StaysOnItsFileSystemAndCompletesUnderSixteenDescriptors) {
    TempDir tmp;
    testing::placeFile(tmp, "elsewhere/Far.fcpbundle/E/Render Files/r", 7);
    testing::placeFile(tmp, "loc/mnt/keep", 1);
    for (int i = 0; i < 64; ++i)
        testing::placeFile(tmp, "loc/L" + std::to_string(i) + ".fcpbundle/E/Render Files/r", 100);
    const std::string far = tmp / "loc/mnt/Far.fcpbundle/E/Render Files";
    std::string out = testing::runInMountNamespace([&] {
        testing::bindMount(tmp / "elsewhere", tmp / "loc/mnt");
        std::string text;
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"scan", tmp / "loc"},
              {"clean", "--dry-run", tmp / "loc"},
              {"clean", "--dry-run", "--cross-file-systems", tmp / "loc"},
              {"clean", "--library", tmp / "loc/mnt/Far.fcpbundle", tmp / "loc"}}) {
            CliResult run = runCli(args);
            text += std::to_string(run.status) + " " +
                    std::to_string(run.out.find("Far.fcpbundle") != std::string::npos) + " " +
                    std::to_string(run.err.find("1 (--cross-file-systems") != std::string::npos ||
                                   run.err.find("挂载点: 1") != std::string::npos) +
                    "\n";
        }
        return text;
    });
    if (out == testing::kNoMountNamespace) GTEST_SKIP() << "cannot create a mount namespace here";
    // status, Far listed, mount point counted
    EXPECT_EQ(out, "0 0 1\n0 0 1\n0 1 0\n2 0 0\n");
    EXPECT_TRUE(testing::entryExists(tmp / "elsewhere/Far.fcpbundle/E/Render Files/r"));

    CliResult run =
        testing::runProgram("/bin/sh", {"-c", "ulimit -n 16; exec \"$0\" clean --jobs 8 \"$1\"",
                                        std::string(VELMORA_BIN_DIR) + "/velmora-cli", tmp / "loc"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Libraries: 64\nEntries removed: 64\nEntries failed: 0\nBytes reclaimed: 6400 ("),
              std::string::npos)
        << run.err;
    EXPECT_EQ(lineSet(run.out).size(), 64u);
    for (const auto& entry : listTree(tmp / "loc"))
        EXPECT_FALSE(entry.ends_with("/Render Files/")) << entry;
}

} // namespace
} // namespace velmora

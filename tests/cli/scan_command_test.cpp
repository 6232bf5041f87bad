// velmora-cli scan, run as the real program: its table, JSON, statuses, languages and progress
// line; what a scan finds is held in tests/discovery.
#include "discovery/scanner.h"
#include "support/cli_program.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <pty.h>
#include <regex>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora {
namespace {

using testing::TempDir;

using CliRun = testing::ProgramRun;
const std::string kProgram = std::string(VELMORA_BIN_DIR) + "/velmora-cli";

using testing::fromBase64;
using testing::kChinese;
using testing::kEnglish;
using testing::runCli;
const auto language = testing::languageEnvironment;

constexpr std::int64_t GiB = 1073741824;

// A scan's JSON without the ids, which are new in every scan.
nlohmann::json withoutIds(const std::string& json) {
    nlohmann::json parsed = nlohmann::json::parse(json);
    for (auto& record : parsed)
        record.erase("id");
    return parsed;
}

void buildKnownLibrary(const TempDir& tmp) {
    testing::placeFile(tmp, "loc/L.fcpbundle/E/Render Files/r", GiB);
    testing::placeFile(tmp, "loc/L.fcpbundle/E/Transcoded Media/Proxy Media/p", GiB / 2);
    testing::placeFile(tmp, "loc/L.fcpbundle/E/Transcoded Media/High Quality Media/h", 5);
    testing::placeFile(tmp, "loc/L.fcpbundle/E/Analysis Files/a", 10 * GiB);
    testing::makeDirs(tmp / "loc/L.fcpbundle/E/Original Media/短片.fcpbundle");
    // The only file a cleaning keeps: its time is the library's activity.
    testing::placeFile(tmp, "loc/L.fcpbundle/E/Info.plist", 0);
    testing::setModified(tmp / "loc/L.fcpbundle/E/Info.plist", 1'600'000'000);
}

TEST(ScanCommand, TableShowsEveryLibraryWithFormattedSizes) {
    TempDir tmp;
    buildKnownLibrary(tmp);
    CliRun run = runCli({"scan", tmp / "loc"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    const std::string outer = tmp / "loc/L.fcpbundle";
    const std::string inner = outer + "/E/Original Media/短片.fcpbundle";
    EXPECT_EQ(run.out, "资源库            总大小  缓存大小  代理媒体  优化媒体  媒体分析缓存  路径\n"
                       "L.fcpbundle     11.50 GB   1.00 GB   0.50 GB   0.00 GB      10.00 GB  " +
                           outer +
                           "\n"
                           "短片.fcpbundle   0.00 GB   0.00 GB   0.00 GB   0.00 GB       0.00 GB  " +
                           inner + "\n");
}

TEST(ScanCommand, JsonHasTheRecordFieldsInScanOrder) {
    TempDir tmp;
    buildKnownLibrary(tmp);
    for (int i = 0; i < 5; ++i)
        testing::placeFile(tmp, "loc/Lib " + std::to_string(i) + ".fcpbundle/E/Render Files/f", i);
    testing::makeDirs(tmp / "loc/bad\xff\n.fcpbundle");
    testing::makeDirs(tmp / "loc/b\xc3.fcpbundle"); // one base64 padding character fewer
    CliRun run = runCli({"scan", "--json", tmp / "loc/"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    nlohmann::json parsed = nlohmann::json::parse(run.out);
    ASSERT_TRUE(parsed.is_array());
    std::vector<FCPBundle> expected = scanBundles(tmp / "loc/");
    ASSERT_EQ(parsed.size(), expected.size());
    ASSERT_EQ(parsed.size(), 9u);
    const std::regex uuid("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const nlohmann::json& o = parsed[i];
        EXPECT_TRUE(std::regex_match(o.at("id").get<std::string>(), uuid)) << o.at("id");
        std::string path = expected[i].path, name = expected[i].displayName;
        // Paths that are not UTF-8 show U+FFFD and carry their exact bytes in pathBase64.
        const bool exact = name != "bad\xff\n.fcpbundle" && name != "b\xc3.fcpbundle";
        EXPECT_EQ(o.size(), exact ? 9u : 10u) << o;
        if (!exact) {
            EXPECT_EQ(fromBase64(o.at("pathBase64")), path);
            name = name[1] == 'a' ? "bad\xef\xbf\xbd\n.fcpbundle" : "b\xef\xbf\xbd.fcpbundle";
            path = tmp / "loc//" + name;
        }
        const FCPBundle& e = expected[i];
        // Only the known library has a file a cleaning keeps, so only it has a time.
        EXPECT_EQ(nlohmann::json({o.at("path"), o.at("displayName"), o.at("size"), o.at("cacheSize"),
                                  o.at("proxySize"), o.at("optimizedSize"), o.at("analysisSize"),
                                  o.at("lastModified")}),
                  nlohmann::json(
                      {path, name, e.size, e.cacheSize(), e.proxySize(), e.optimizedSize(), e.analysisSize(),
                       name == "L.fcpbundle" ? nlohmann::json("2020-09-13T12:26:40Z") : nlohmann::json()}));
    }
    // The table escapes the names that would break its lines: one line for each library.
    const std::string table = runCli({"scan", tmp / "loc"}).out;
    EXPECT_NE(table.find("bad\\xff\\n.fcpbundle  "), std::string::npos) << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 10);
}

// A folder that cannot be read is one line on stderr, like du's, and exit 1; what could be
// read is still listed, exactly, under any descriptor limit.
TEST(ScanCommand, UnreadableFolderIsReportedAndLowDescriptorLimitsStillListEverything) {
    TempDir tmp;
    for (int i = 0; i < 8; ++i)
        testing::placeFile(tmp, "loc/L" + std::to_string(i) + ".fcpbundle/E/Render Files/r", 1000 + i);
    testing::placeFile(tmp, "loc/closed/Hidden.fcpbundle/E/Render Files/r", 5);
    testing::chownTreeToNobody(tmp / "loc");
    ASSERT_EQ(::chmod((tmp / "loc/closed").c_str(), 0700), 0);
    ASSERT_EQ(::chown((tmp / "loc/closed").c_str(), 0, 0), 0);
    const CliRun whole = runCli({"scan", "--json", tmp / "loc"});
    ASSERT_EQ(whole.status, 0) << whole.err;
    auto expected = withoutIds(whole.out);
    ASSERT_EQ(expected.size(), 9u);
    expected.erase(std::remove_if(expected.begin(), expected.end(),
                                  [](const auto& r) { return r["displayName"] == "Hidden.fcpbundle"; }),
                   expected.end());
    for (const std::string threads : {"1", "8"}) {
        CliRun run =
            testing::runProgram("/bin/sh", {"-c",
                                            "ulimit -n 16; exec setpriv --reuid=65534 --regid=65534 "
                                            "--clear-groups \"$0\" scan --json --threads \"$1\" \"$2\"",
                                            kProgram, threads, tmp / "loc"});
        EXPECT_EQ(run.status, 1) << threads;
        EXPECT_EQ(run.err, "velmora-cli: 无法读取目录: " + (tmp / "loc/closed") + " (Permission denied)\n")
            << threads;
        EXPECT_EQ(withoutIds(run.out), expected) << threads;
    }
}

TEST(ScanCommand, BadArgumentsPrintTheUsageAndExitWithTwo) {
    TempDir tmp;
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"scan"},
                                                                  {"scan", "--bogus", tmp.path()},
                                                                  {"scan", "--threads", "many", tmp.path()},
                                                                  {"scan", "--threads", "-1", tmp.path()},
                                                                  {"scan", tmp.path(), "extra"},
                                                                  {"frobnicate"}}) {
        CliRun run = runCli(args);
        EXPECT_EQ(std::tie(run.status, run.out), std::tuple(2, "")) << run.err;
        EXPECT_TRUE(run.err.starts_with("velmora-cli: ")) << run.err;
        EXPECT_NE(run.err.find("Usage: velmora-cli"), std::string::npos) << run.err;
    }
    for (const char* command : {"scan", "clean"}) {
        CliRun help = runCli({command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find("Usage: velmora-cli " + std::string(command) + " [OPTIONS] LOCATION"),
                  std::string::npos)
            << help.out;
        EXPECT_NE(help.out.find("Exit status: 0 success; 1 "), std::string::npos) << help.out;
    }
}

// What a user reads follows the language variables; what scripts read never does.
TEST(ScanCommand, HumanTextsFollowTheLanguageMachineOutputDoesNot) {
    TempDir tmp;
    buildKnownLibrary(tmp);
    testing::makeDirs(tmp / "empty");
    struct Case {
        const char* name;
        testing::Environment environment;
        bool english;
    };
    const std::vector<Case> cases{
        {"zh_CN", kChinese, false},
        {"LANGUAGE=en", kEnglish, true},
        // The first preference with a table wins.
        {"LANGUAGE=fr:en", language("fr:en", "", "fr_FR.UTF-8"), true},
        {"LC_ALL=en_GB", language("", "en_GB.UTF-8", "zh_CN.UTF-8"), true},
    };
    // Everything of the JSON but the ids is the same in every language.
    const nlohmann::json json = withoutIds(runCli({"scan", "--json", tmp / "loc"}).out);
    EXPECT_EQ(runCli({"scan", "--json", tmp / "empty"}).out, "[]\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CliRun table = runCli({"scan", tmp / "loc"}, c.environment);
        EXPECT_EQ(table.status, 0);
        EXPECT_EQ(table.out.substr(0, table.out.find('\n')),
                  c.english ? "Library            Total  Render Files  Proxy Media  Optimized Media  "
                              "Analysis Files  Path"
                            : "资源库            总大小  缓存大小  代理媒体  优化媒体  媒体分析缓存  路径");
        EXPECT_EQ(runCli({"scan", tmp / "empty"}, c.environment).out,
                  c.english ? "No Final Cut Pro libraries found.\n" : "未找到 Final Cut Pro 资源库。\n");
        CliRun missing = runCli({"scan", tmp / "missing"}, c.environment);
        EXPECT_EQ(
            std::tie(missing.status, missing.out, missing.err),
            std::tuple(2, "",
                       (c.english ? "velmora-cli: location does not exist: " : "velmora-cli: 位置不存在: ") +
                           (tmp / "missing") + "\n"));
        EXPECT_EQ(withoutIds(runCli({"scan", "--json", tmp / "loc"}, c.environment).out), json);
    }
    const std::string file = tmp / "loc/L.fcpbundle/E/Info.plist";
    CliRun notDir = runCli({"scan", "--json", file});
    EXPECT_EQ(std::tie(notDir.status, notDir.out, notDir.err),
              std::tuple(2, "", "velmora-cli: 位置不是目录: " + file + "\n"));
}

TEST(ScanCommand, ProgressLineOnlyWhenStderrIsATerminal) {
    TempDir tmp;
    for (int i = 0; i < 3; ++i)
        testing::placeFile(tmp, "loc/L" + std::to_string(i) + ".fcpbundle/E/Render Files/f", 1);
    const std::string outPath = tmp / "out";
    int master = -1;
    pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        testing::applyEnvironment(kChinese);
        testing::execProgram(kProgram, {"scan", "--json", tmp / "loc"});
    }
    std::string terminal;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        terminal.append(buffer, n);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(terminal.find("\r\033[K已扫描 "), std::string::npos) << terminal;
    EXPECT_NE(terminal.find(" 个资源库"), std::string::npos) << terminal;
    EXPECT_TRUE(terminal.ends_with("\r\033[K")) << terminal; // the line is cleared at the end
    EXPECT_EQ(nlohmann::json::parse(testing::readWholeFile(outPath)).size(), 3u);
}

} // namespace
} // namespace velmora

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
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora {
namespace {

using testing::runCli;
using testing::TempDir;
using CliRun = testing::ProgramRun;
const std::string kProgram = std::string(VELMORA_BIN_DIR) + "/velmora-cli";
constexpr std::int64_t GiB = 1073741824;

// A scan's JSON without the ids, which are new in every scan.
nlohmann::json withoutIds(const std::string& json) {
    nlohmann::json parsed = nlohmann::json::parse(json);
    for (auto& record : parsed)
        record.erase("id");
    return parsed;
}

// A library of known sizes, dated by its only kept file, with a library nested in its media.
void buildKnownLibrary(const TempDir& tmp) {
    const std::string event = "loc/L.fcpbundle/E/";
    for (const auto& [file, size] : std::initializer_list<std::pair<const char*, std::int64_t>>{
             {"Render Files/r", GiB},
             {"Transcoded Media/Proxy Media/p", GiB / 2},
             {"Transcoded Media/High Quality Media/h", 5},
             {"Analysis Files/a", 10 * GiB},
             {"Info.plist", 0}})
        testing::placeFile(tmp, event + file, size);
    testing::setModified(tmp / (event + "Info.plist"), 1'600'000'000);
    testing::makeDirs(tmp / (event + "Original Media/短片.fcpbundle"));
}

// Every record with its fields, in scan order; a path that is not UTF-8 shows U+FFFD and
// carries its exact bytes in pathBase64. The table escapes what would break its lines.
TEST(ScanCommand, JsonHasTheRecordFieldsInScanOrder) {
    TempDir tmp;
    buildKnownLibrary(tmp);
    testing::makeDirs(tmp / "loc/bad\xff\n.fcpbundle");
    testing::makeDirs(tmp / "loc/b\xc3.fcpbundle"); // one base64 padding character fewer
    CliRun run = runCli({"scan", "--json", tmp / "loc/"});
    ASSERT_EQ(std::tie(run.status, run.err), std::tuple(0, "")) << run.err;
    const nlohmann::json parsed = nlohmann::json::parse(run.out);
    const std::vector<FCPBundle> expected = scanBundles(tmp / "loc/");
    ASSERT_EQ(parsed.size(), 4u);
    ASSERT_EQ(expected.size(), 4u);
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const nlohmann::json& o = parsed[i];
        const FCPBundle& e = expected[i];
        std::string path = e.path, name = e.displayName;
        const bool exact = name != "bad\xff\n.fcpbundle" && name != "b\xc3.fcpbundle";
        EXPECT_EQ(o.size(), exact ? 9u : 10u) << o;
        if (!exact) {
            EXPECT_EQ(testing::fromBase64(o.at("pathBase64")), path);
            name = name[1] == 'a' ? "bad\xef\xbf\xbd\n.fcpbundle" : "b\xef\xbf\xbd.fcpbundle";
            path = tmp / "loc//" + name;
        }
        // Only the known library has a file a cleaning keeps, so only it has a time.
        EXPECT_EQ(nlohmann::json({o.at("path"), o.at("displayName"), o.at("size"), o.at("cacheSize"),
                                  o.at("proxySize"), o.at("optimizedSize"), o.at("analysisSize"),
                                  o.at("lastModified")}),
                  nlohmann::json(
                      {path, name, e.size, e.cacheSize(), e.proxySize(), e.optimizedSize(), e.analysisSize(),
                       name == "L.fcpbundle" ? nlohmann::json("2020-09-13T12:26:40Z") : nlohmann::json()}));
    }
    const std::string table = runCli({"scan", tmp / "loc"}).out;
    EXPECT_NE(table.find("bad\\xff\\n.fcpbundle  "), std::string::npos) << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 5);
}

// A folder that cannot be read is one line on stderr, like du's, and exit 1; what could be
// read is still listed, exactly, under any descriptor limit.
TEST(ScanCommand, UnreadableFolderIsReportedAndLowDescriptorLimitsStillListEverything) {
    TempDir tmp;
    for (int i = 0; i < 8; ++i)
        testing::placeFile(tmp, "loc/L" + std::to_string(i) + ".fcpbundle/E/Render Files/r", 1000 + i);
    const nlohmann::json expected = withoutIds(runCli({"scan", "--json", tmp / "loc"}).out);
    ASSERT_EQ(expected.size(), 8u);
    testing::placeFile(tmp, "loc/closed/Hidden.fcpbundle/E/Render Files/r", 5);
    testing::chownTreeToNobody(tmp / "loc");
    ASSERT_EQ(::chmod((tmp / "loc/closed").c_str(), 0700), 0);
    ASSERT_EQ(::chown((tmp / "loc/closed").c_str(), 0, 0), 0);
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
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
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
    for (const std::string command : {"scan", "clean"}) {
        CliRun help = runCli({command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find("Usage: velmora-cli " + command + " [OPTIONS] LOCATION"), std::string::npos)
            << help.out;
        EXPECT_NE(help.out.find("Exit status: 0 success; 1 "), std::string::npos) << help.out;
    }
}

// What a user reads follows the language variables, the first preference with a table winning;
// what scripts read never does. The table's columns line up whatever the width of the names.
TEST(ScanCommand, HumanTextsFollowTheLanguageMachineOutputDoesNot) {
    TempDir tmp;
    buildKnownLibrary(tmp);
    testing::makeDirs(tmp / "empty");
    const std::string outer = tmp / "loc/L.fcpbundle";
    const std::string table = "资源库            总大小  缓存大小  代理媒体  优化媒体  媒体分析缓存  路径\n"
                              "L.fcpbundle     11.50 GB   1.00 GB   0.50 GB   0.00 GB      10.00 GB  " +
                              outer +
                              "\n短片.fcpbundle   0.00 GB   0.00 GB   0.00 GB   0.00 GB       0.00 GB  " +
                              outer + "/E/Original Media/短片.fcpbundle\n";
    const std::string heading = "Library            Total  Render Files  Proxy Media  Optimized Media  "
                                "Analysis Files  Path\n";
    const nlohmann::json json = withoutIds(runCli({"scan", "--json", tmp / "loc"}).out);
    EXPECT_EQ(runCli({"scan", "--json", tmp / "empty"}).out, "[]\n");
    const auto language = testing::languageEnvironment;
    for (const auto& [name, environment, english] :
         {std::tuple{"zh_CN", testing::kChinese, false}, std::tuple{"LANGUAGE=en", testing::kEnglish, true},
          std::tuple{"LANGUAGE=fr:en", language("fr:en", "", "fr_FR.UTF-8"), true},
          std::tuple{"LC_ALL=en_GB", language("", "en_GB.UTF-8", "zh_CN.UTF-8"), true}}) {
        SCOPED_TRACE(name);
        const std::string shown = runCli({"scan", tmp / "loc"}, environment).out;
        EXPECT_EQ(english ? shown.substr(0, shown.find('\n') + 1) : shown, english ? heading : table);
        EXPECT_EQ(runCli({"scan", tmp / "empty"}, environment).out,
                  english ? "No Final Cut Pro libraries found.\n" : "未找到 Final Cut Pro 资源库。\n");
        CliRun missing = runCli({"scan", tmp / "missing"}, environment);
        EXPECT_EQ(
            std::tie(missing.status, missing.out, missing.err),
            std::tuple(2, "",
                       (english ? "velmora-cli: location does not exist: " : "velmora-cli: 位置不存在: ") +
                           (tmp / "missing") + "\n"));
        EXPECT_EQ(withoutIds(runCli({"scan", "--json", tmp / "loc"}, environment).out), json);
    }
    const std::string file = outer + "/E/Info.plist";
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
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        testing::applyEnvironment(testing::kChinese);
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

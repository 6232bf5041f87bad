// velmora-cli clean as the real program: only what it adds to the cleaning (options, exit
// statuses, texts, JSON); the cleaning's own rules are held in tests/cleaning.
#include "platform/safe_remove.h"
#include "support/cli_program.h"
#include "support/mount_namespace.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>

namespace velmora {
namespace {

using testing::lineSet;
using testing::listTree;
using testing::placeFile;
using testing::runCli;
using testing::TempDir;
using CliResult = testing::ProgramRun;
using Lines = std::multiset<std::string>;
const std::string kProgram = std::string(VELMORA_BIN_DIR) + "/velmora-cli";

// Libraries "<dir>/L<i>.fcpbundle" with one event, 100 bytes of each kind and original media.
void placeLibraries(const TempDir& tmp, const std::string& dir, int count) {
    for (int i = 0; i < count; ++i)
        for (const char* file :
             {"Render Files/r", "Transcoded Media/Proxy Media/p", "Transcoded Media/High Quality Media/o",
              "Analysis Files/a", "Original Media/m.mov"})
            placeFile(tmp, dir + "/L" + std::to_string(i) + ".fcpbundle/E/" + file, 100);
}

// The regenerable entries below `location`, as paths below it.
std::set<std::string> regenerable(const std::string& location) {
    std::set<std::string> entries;
    for (const std::string& path : listTree(location))
        if (std::string entry = testing::regenerableEntry(path); !entry.empty()) entries.insert(entry);
    return entries;
}

// Three libraries, one with an event named in bytes that are not UTF-8, and a link named like one.
class CleanCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        placeLibraries(tmp, "loc", 3);
        placeFile(tmp, "loc/L0.fcpbundle/\xff\xfe/Render Files/r", 50);
        testing::makeSymlink("/", location + "/Root.fcpbundle");
    }
    TempDir tmp;
    const std::string location = tmp / "loc";
};

// The dry run's lines and summary, the clean's summary and JSON; a path that is not UTF-8 shows
// U+FFFD in the JSON and carries its exact bytes in pathBase64.
TEST_F(CleanCommand, DryRunAndCleanTellTheirEntriesAndBytes) {
    const auto before = listTree(location);
    CliResult dry = runCli({"clean", location, "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    Lines expected{"Would delete: " + location + "/L0.fcpbundle/\\xFF\\xFE/Render Files (50 bytes)"};
    for (const std::string& entry : regenerable(location))
        if (!entry.starts_with("L0.fcpbundle/\xff"))
            expected.insert("Would delete: " + location + "/" + entry + " (100 bytes)");
    EXPECT_EQ(lineSet(dry.out), expected);
    EXPECT_TRUE(dry.err.ends_with("待删除条目: 13\n可回收字节: 1250 (0.00 GB)\n")) << dry.err;
    const nlohmann::json would =
        nlohmann::json::parse(runCli({"clean", location, "--dry-run", "--json"}).out);
    EXPECT_EQ(std::tuple(would.at("dryRun"), would.at("bytes"), would.at("entries").size()),
              std::tuple(true, 1250, 13u));
    EXPECT_EQ(listTree(location), before);

    CliResult run = runCli({"clean", location, "--json"}, testing::kEnglish);
    EXPECT_EQ(run.status, 0) << run.err;
    nlohmann::json did = nlohmann::json::parse(run.out);
    EXPECT_EQ(run.err,
              "Libraries: 4\nEntries removed: 13\nEntries failed: 0\nBytes reclaimed: 1250 (0.00 GB)\n"
              "Disk space freed: " +
                  did.at("bytesFreed").dump() + " (0.00 GB)\n");
    EXPECT_EQ(std::tuple(did.at("libraries"), did.at("bytes"), did.at("failed"), did.at("entries").size()),
              std::tuple(4, 1250, 0, 13u));
    nlohmann::json odd;
    for (const nlohmann::json& entry : did.at("entries"))
        if (entry.contains("pathBase64")) odd = entry;
    EXPECT_EQ(testing::fromBase64(odd.at("pathBase64")), location + "/L0.fcpbundle/\xff\xfe/Render Files");
    EXPECT_EQ(std::tuple(odd.at("path"), odd.at("bytes"), odd.at("status")),
              std::tuple(location + "/L0.fcpbundle/\xef\xbf\xbd\xef\xbf\xbd/Render Files", 50, "deleted"));
    EXPECT_TRUE(regenerable(location).empty());
}

// --library takes any spelling inside the location; --category and --untouched-for narrow the clean.
TEST_F(CleanCommand, OptionsNarrowTheClean) {
    testing::makeDirs(location + "/Exports");
    CliResult run = testing::runProgram(
        "/bin/sh",
        {"-c", "cd \"$1\" && exec \"$0\" clean . --library Exports/../L1.fcpbundle --category optimized",
         kProgram, location});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Deleted: Exports/../L1.fcpbundle/E/Transcoded Media/High Quality Media\n");
    EXPECT_EQ(regenerable(location).size(), 12u);

    testing::setModified(location + "/L2.fcpbundle/E/Original Media/m.mov", std::time(nullptr) - 31 * 86400);
    run = runCli({"clean", "--json", "--untouched-for", "30", "--category", "render", location}, testing::kEnglish);
    EXPECT_EQ(run.status, 0) << run.err;
    const nlohmann::json report = nlohmann::json::parse(run.out);
    EXPECT_EQ(std::tuple(report.at("skipped"), report.at("entries").size()), std::tuple(2, 1u));
    EXPECT_NE(run.err.find("\n2 libraries skipped as recently modified\n"), std::string::npos) << run.err;
    EXPECT_EQ(regenerable(location).size(), 11u); // L2's render files went

    // A library deeper than PATH_MAX below its location, modified just now: its age is read
    // through its folder, so it is left alone as recent.
    const std::string far = tmp / "far", level(250, 'd');
    std::string deep = far;
    for (int i = 0; i < 17; ++i)
        deep += "/" + level;
    testing::makeDirs(far);
    testing::makeDeepChain(far, 17, level, false);
    for (const char* file : {"Deep.fcpbundle/E/Render Files/r", "Deep.fcpbundle/E/Info.plist"})
        placeFile(tmp, file, 1);
    const UniqueFd deepFd = openDirectoryNoFollow(deep);
    ASSERT_EQ(::renameat(AT_FDCWD, (tmp / "Deep.fcpbundle").c_str(), deepFd.get(), "Deep.fcpbundle"), 0);
    run = runCli({"clean", far, "--library", deep + "/Deep.fcpbundle", "--untouched-for", "30"});
    EXPECT_EQ(std::tie(run.status, run.out), std::tuple(0, "")) << run.err;
    EXPECT_EQ(::faccessat(deepFd.get(), "Deep.fcpbundle/E/Render Files", F_OK, AT_SYMLINK_NOFOLLOW), 0);
}

TEST_F(CleanCommand, BadArgumentsExitTwoAndTouchNothing) {
    placeFile(tmp, "elsewhere/Other.fcpbundle/E/Render Files/r", 1);
    testing::makeSymlink(location + "/L0.fcpbundle", location + "/Link.fcpbundle");
    testing::makeSymlink(tmp / "elsewhere", location + "/out");
    const auto before = listTree(tmp.path());
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"clean"},
             {"clean", location, "--category", "renders"},
             {"clean", location, "--jobs", "0"},
             {"clean", location, "--untouched-for", "-1"},
             {"clean", tmp / "missing"},
             {"clean", "--json", "--dry-run", tmp / "missing"},
             {"clean", location, "--library", location + "/Link.fcpbundle"},
             {"clean", location, "--library", location + "/Exports"},
             {"clean", location, "--library", ""},
             {"clean", "--json", location, "--library", tmp / "missing.fcpbundle"},
             // Spellings that leave the location, plainly, through ".." or through a link.
             {"clean", location, "--library", tmp / "elsewhere/Other.fcpbundle"},
             {"clean", location, "--library", location + "/../elsewhere/Other.fcpbundle"},
             {"clean", location, "--library", location + "/out/Other.fcpbundle"}}) {
        CliResult run = runCli(args);
        EXPECT_EQ(std::tie(run.status, run.out), std::tuple(2, "")) << args.back() << "\n" << run.err;
        EXPECT_FALSE(run.err.empty()) << args.back();
        if (args.size() > 2 && args[args.size() - 2] == "--library") // refused: one line naming it
            EXPECT_TRUE(std::count(run.err.begin(), run.err.end(), '\n') == 1 &&
                        run.err.find(args.back()) != std::string::npos)
                << run.err;
    }
    EXPECT_EQ(listTree(tmp.path()), before);
}

TEST_F(CleanCommand, FailedRemovalExitsOne) {
    const std::string locked = location + "/L2.fcpbundle/E/Render Files/r";
    const testing::ImmutableFiles mark({locked});
    if (!mark.marked()) GTEST_SKIP() << "chattr +i is not supported on the temporary folder's file system";
    // --quiet keeps only the error line; with --json it goes to standard error.
    CliResult run = runCli({"clean", location, "--library", location + "/L2.fcpbundle", "--quiet"}, testing::kEnglish);
    CliResult json = runCli({"clean", location, "--library", location + "/L2.fcpbundle", "--json"});
    const std::string error = "Error deleting " + locked + ": Operation not permitted\n";
    EXPECT_EQ(std::tie(run.status, run.out), std::tuple(1, error));
    EXPECT_NE(run.err.find("Entries removed: 3\nEntries failed: 1\n"), std::string::npos) << run.err;
    EXPECT_EQ(json.status, 1);
    EXPECT_TRUE(json.err.starts_with(error)) << json.err;
    const nlohmann::json report = nlohmann::json::parse(json.out);
    EXPECT_EQ(report.at("failed"), 1);
    EXPECT_EQ(report.at("entries").at(0), nlohmann::json({{"path", location + "/L2.fcpbundle/E/Render Files"},
                                                          {"bytes", 0},
                                                          {"status", "failed"},
                                                          {"error", locked + ": Operation not permitted"}}));
}

// Signalled at its first line (the small pipe holds few), a run removes nothing more and counts
// what it removed; what is left then goes under a 16-descriptor limit with eight jobs asked for.
TEST(CleanCommandSignals, StopBetweenRemovalsAndSummariseWhatWasRemoved) {
    TempDir tmp;
    placeLibraries(tmp, "big", 50);
    const std::string location = tmp / "big";
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        std::set<std::string> left = regenerable(location);
        const std::size_t before = left.size();
        CliResult run =
            testing::runProgramSignalledAfterFirstLine(kProgram, {"clean", "--jobs", "1", location}, signal);
        EXPECT_EQ(run.status, status) << run.err;
        for (const auto& line : lineSet(run.out))
            EXPECT_EQ(line.starts_with("Deleted: " + location + "/")
                          ? left.erase(line.substr(10 + location.size()))
                          : 0,
                      1u)
                << line;
        EXPECT_GT(left.size(), 0u);
        EXPECT_LT(left.size(), before);
        EXPECT_EQ(regenerable(location), left);
        EXPECT_NE(run.err.find("Entries removed: " + std::to_string(before - left.size()) + "\n"),
                  std::string::npos);
        EXPECT_NE(run.err.find("Stopped by signal " + std::to_string(signal)), std::string::npos) << run.err;
    }
    const std::size_t left = regenerable(location).size();
    CliResult rest = testing::runProgram(
        "/bin/sh", {"-c", "ulimit -n 16; exec \"$0\" clean --jobs 8 \"$1\"", kProgram, location});
    EXPECT_EQ(rest.status, 0) << rest.err;
    EXPECT_NE(
        rest.err.find("Libraries: 50\nEntries removed: " + std::to_string(left) + "\nEntries failed: 0\n"),
        std::string::npos)
        << rest.err;
    EXPECT_EQ(lineSet(rest.out).size(), left);
    EXPECT_EQ(listTree(location).size(), 50 * 5u); // each library, its event, Transcoded and Original Media
}

TEST_F(CleanCommand, LogLinesLeaveAsEachEntryIsDoneAndAFailedLogIsAnError) {
    for (int i = 0; i < 60; ++i)
        placeFile(tmp, "loc/L0.fcpbundle/" + std::string(150, 'e') + std::to_string(i) + "/Render Files/r",
                  1);
    const std::size_t before = regenerable(location).size();
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    ASSERT_GE(::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096), 4096);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        testing::execProgram(kProgram,
                             {"clean", location, "--library", location + "/L0.fcpbundle", "--jobs", "1"});
    }
    ::close(pipeFds[1]);
    const std::string wchan = "/proc/" + std::to_string(pid) + "/wchan";
    while (!testing::readWholeFile(wchan).ends_with("pipe_write") && ::waitpid(pid, nullptr, WNOHANG) == 0)
        std::this_thread::yield();
    ::kill(pid, SIGSTOP); // held still while the log is read, or reading would let it go on
    ::waitpid(pid, nullptr, WUNTRACED);
    int queued = 0;
    ASSERT_EQ(::ioctl(pipeFds[0], FIONREAD, &queued), 0);
    std::string log(static_cast<std::size_t>(queued), '\0');
    ASSERT_EQ(::read(pipeFds[0], log.data(), log.size()), queued);
    const std::size_t removed = before - regenerable(location).size();
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(pipeFds[0]);
    const auto lines = static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
    EXPECT_GT(lines, 0u);
    EXPECT_EQ(removed, lines + 1) << log;

    CliResult full = testing::runProgram("/bin/sh", {"-c", kProgram + " clean \"$0\" >/dev/full", location});
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(
        full.err.find("velmora-cli clean: the log could not be written to standard output: No space left on "
                      "device\n"),
        std::string::npos)
        << full.err;
    EXPECT_TRUE(regenerable(location).empty());

    // Far more output than the pipe and head's reading hold, so that head is gone before the end.
    placeLibraries(tmp, "loc/" + std::string(200, 'n'), 200);
    CliResult cut = testing::runProgram(
        "/bin/sh",
        {"-c",
         "for c in 'scan --json' clean; do { \"$0\" $c \"$1\"; echo \"status $?\" >&2; } | head -1; done",
         kProgram, location},
        testing::kEnglish);
    for (const char* said :
         {"velmora-cli: the listing could not be written to standard output: Broken pipe\nstatus 1\n",
          "Entries removed: 800\n",
          "the log could not be written to standard output: Broken pipe\nstatus 1\n"})
        EXPECT_NE(cut.err.find(said), std::string::npos) << cut.err;
    EXPECT_TRUE(regenerable(location).empty());
}

// A folder mounted below the location is left out unless asked, counted, and no --library target.
TEST(CleanCommandBounds, StaysOnItsFileSystemUnlessAsked) {
    TempDir tmp;
    placeFile(tmp, "elsewhere/Far.fcpbundle/E/Render Files/r", 7);
    placeLibraries(tmp, "loc", 1);
    testing::makeDirs(tmp / "loc/mnt");
    const std::string out = testing::runInMountNamespace([&] {
        testing::bindMount(tmp / "elsewhere", tmp / "loc/mnt");
        std::string text;
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"clean", "--dry-run", tmp / "loc"},
              {"clean", "--dry-run", "--cross-file-systems", tmp / "loc"},
              {"clean", "--library", tmp / "loc/mnt/Far.fcpbundle", tmp / "loc"}}) {
            CliResult run = runCli(args, testing::kEnglish);
            text += std::to_string(run.status) + " " +
                    std::to_string(run.out.find("Far.fcpbundle") != std::string::npos) + " " +
                    std::to_string(run.err.starts_with("Mount points not entered: 1 (")) + "\n";
        }
        return text;
    });
    if (out == testing::kNoMountNamespace) GTEST_SKIP() << "cannot create a mount namespace here";
    EXPECT_EQ(out, "0 0 1\n0 1 0\n2 0 0\n"); // status, Far listed, mount point counted
    EXPECT_TRUE(testing::entryExists(tmp / "elsewhere/Far.fcpbundle/E/Render Files/r"));
}

} // namespace
} // namespace velmora

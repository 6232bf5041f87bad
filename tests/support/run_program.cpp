#include "run_program.h"

#include "temp_tree.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::testing {
namespace {

// Starts `program` with its standard output on `outFd` and its standard error in `errPath`.
pid_t spawn(const std::string& program, const std::vector<std::string>& args, const Environment& environment,
            int outFd, const std::string& errPath) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outFd, STDOUT_FILENO);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        applyEnvironment(environment);
        execProgram(program, args);
    }
    return pid;
}

// The exit status of `pid`; -1 when it did not exit normally.
int exitStatus(pid_t pid) {
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

void execProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

void applyEnvironment(const Environment& environment) {
    for (const auto& [name, value] : environment)
        value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
}

std::string readWholeFile(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const Environment& environment) {
    TempDir outputs;
    const int out = ::open((outputs / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const pid_t pid = spawn(program, args, environment, out, outputs / "err");
    ::close(out);
    const int status = exitStatus(pid);
    return {status, readWholeFile(outputs / "out"), readWholeFile(outputs / "err")};
}

ProgramRun runProgramSignalledAfterFirstLine(const std::string& program, const std::vector<std::string>& args,
                                             int signal) {
    TempDir outputs;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    (void)::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096);
    const pid_t pid = spawn(program, args, {}, pipeFds[1], outputs / "err");
    ::close(pipeFds[1]);
    ProgramRun run;
    bool signalled = false;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        run.out.append(buffer, static_cast<std::size_t>(n));
        if (!signalled && run.out.find('\n') != std::string::npos) signalled = ::kill(pid, signal) == 0;
    }
    ::close(pipeFds[0]);
    run.status = exitStatus(pid);
    run.err = readWholeFile(outputs / "err");
    return run;
}

} // namespace velmora::testing

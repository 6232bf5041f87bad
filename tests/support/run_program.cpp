#include "run_program.h"

#include "temp_tree.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::testing {

void execProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

void applyEnvironment(const Environment& environment) {
    for (const auto& [name, value] : environment) {
        if (value.empty())
            ::unsetenv(name.c_str());
        else
            ::setenv(name.c_str(), value.c_str(), 1);
    }
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string captureStdout(const std::function<void()>& work) {
    TempDir outputs;
    const std::string path = outputs / "stdout";
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int target = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (saved < 0 || target < 0 || ::dup2(target, STDOUT_FILENO) < 0)
        throw std::runtime_error("cannot redirect standard output");
    ::close(target);
    try {
        work();
    } catch (...) {
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
        throw;
    }
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    return readWholeFile(path);
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const Environment& environment) {
    TempDir outputs;
    const std::string outPath = outputs / "out", errPath = outputs / "err";
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        applyEnvironment(environment);
        execProgram(program, args);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return {};
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readWholeFile(outPath), readWholeFile(errPath)};
}

ProgramRun runProgramSignalledAfterFirstLine(const std::string& program, const std::vector<std::string>& args,
                                             int signal) {
    TempDir outputs;
    const std::string errPath = outputs / "err";
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    (void)::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        execProgram(program, args);
    }
    ::close(pipeFds[1]);
    ProgramRun run;
    bool signalled = false;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        run.out.append(buffer, static_cast<std::size_t>(n));
        if (!signalled && run.out.find('\n') != std::string::npos) {
            ::kill(pid, signal);
            signalled = true;
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return {};
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = readWholeFile(errPath);
    return run;
}

} // namespace velmora::testing

#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::testing {

struct ProgramRun {
    int status = -1; // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Variables set for a program run; an empty value unsets the variable.
using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs `program` with `args` and this process's environment changed by `environment`, its
// stdout and stderr sent to files (not terminals), and waits.
[[nodiscard]] ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                                    const Environment& environment = {});

// Changes this process's environment as `environment` says.
void applyEnvironment(const Environment& environment);

// Runs `program` with its stdout on a small pipe, sends it `signal` as soon as its first whole
// line has arrived, and waits. The pipe holds little, so the program cannot get far ahead.
[[nodiscard]] ProgramRun runProgramSignalledAfterFirstLine(const std::string& program,
                                                           const std::vector<std::string>& args, int signal);

// In a forked child: replaces the process with `program`; exits 127 when that fails.
[[noreturn]] void execProgram(const std::string& program, const std::vector<std::string>& args);

// Runs `work` with this process's standard output sent to a file, and returns what it wrote.
[[nodiscard]] std::string captureStdout(const std::function<void()>& work);

// The whole content of a file; empty when it cannot be read.
[[nodiscard]] std::string readWholeFile(const std::string& path);

} // namespace velmora::testing

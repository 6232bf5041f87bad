#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velmora::testing {

struct ProgramRun {
    int status = -1; // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Variables to set for a program run; an empty value unsets the variable.
using Environment = std::vector<std::pair<std::string, std::string>>;
void applyEnvironment(const Environment& environment);

// Runs `program` with `args` and `environment`, its output sent to files (not terminals), and waits.
[[nodiscard]] ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                                    const Environment& environment = {});
// The same with standard output on a small pipe, sending `signal` at the first whole line.
[[nodiscard]] ProgramRun runProgramSignalledAfterFirstLine(const std::string& program,
                                                           const std::vector<std::string>& args, int signal);
// In a forked child: replaces the process with `program`; exits 127 when that fails.
[[noreturn]] void execProgram(const std::string& program, const std::vector<std::string>& args);

// The whole content of a file; empty when it cannot be read.
[[nodiscard]] std::string readWholeFile(const std::string& path);

} // namespace velmora::testing

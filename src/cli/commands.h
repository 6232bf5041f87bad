#pragma once

namespace CLI {
class App;
}

namespace velmora::cli {

// Exit statuses, the same for every subcommand (and listed in --help):
inline constexpr int kExitOk = 0;         // success (also --help and --version)
inline constexpr int kExitIncomplete = 1; // the run went through, but something could not be done
inline constexpr int kExitUsage = 2;      // bad arguments, or LOCATION / --library unusable
// A clean that SIGINT or SIGTERM stopped: this plus the signal's number (130, 143).
inline constexpr int kExitStoppedBySignal = 128;

// The exit statuses as --help lists them.
inline constexpr const char* kExitStatusHelp =
    "Exit status: 0 success; 1 the run went through but some entries could not be removed; "
    "2 usage error, or LOCATION (or --library) missing or not a directory; 130 or 143 a clean "
    "stopped by SIGINT or SIGTERM.";

// Every subcommand lives in a file of its own and registers itself here: it adds its
// subcommand (options, help) to `app`, and when the subcommand runs it stores the process
// exit status in `exitCode` (bad arguments never reach it: they end with the usage and
// kExitUsage in main). To add a command, declare its function below and call it from main.cpp.
void addScanCommand(CLI::App& app, int& exitCode);
void addCleanCommand(CLI::App& app, int& exitCode);
void addServeCommand(CLI::App& app, int& exitCode);
void addTokenCommand(CLI::App& app, int& exitCode);

} // namespace velmora::cli

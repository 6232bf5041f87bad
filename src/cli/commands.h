#pragma once

namespace CLI {
class App;
}

namespace velmora::cli {

// Every subcommand lives in a file of its own and registers itself here: it adds its
// subcommand (options, help) to `app`, and when the subcommand runs it stores the process
// exit status in `exitCode` (0 success, 1 failure; bad arguments never reach it: they end
// with the usage and status 2 in main). To add a command, declare its function below and
// call it from main.cpp.
void addScanCommand(CLI::App& app, int& exitCode);
void addCleanCommand(CLI::App& app, int& exitCode);

} // namespace velmora::cli

// velmora-cli: the Velmora core from a terminal.
#include "app_identity.h"
#include "cli/commands.h"
#include "i18n/translation.h"
#include "platform/descriptor_budget.h"
#include "platform/log_output.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    velmora::raiseDescriptorLimit();
    // A reader of the output that goes away (`| head`) must not end a cleaning half-way.
    velmora::ignoreClosedPipes();
    // The same choice of language as the window's, from the same tables. Only the texts meant
    // for people change with it: log lines, JSON and exit statuses stay the same in every language.
    (void)velmora::useTranslationFor();
    CLI::App app{"velmora-cli: find Final Cut Pro libraries, measure their regenerable data and clean it."};
    app.name("velmora-cli");
    app.set_version_flag("--version", std::string("velmora-cli ") + velmora::kVersion);
    app.require_subcommand(1);
    app.footer(velmora::cli::kExitStatusHelp);
    int exitCode = 0;
    velmora::cli::addScanCommand(app, exitCode);
    velmora::cli::addCleanCommand(app, exitCode);
    velmora::cli::addServeCommand(app, exitCode);
    velmora::cli::addTokenCommand(app, exitCode);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return app.exit(error); // --help, --version: stdout, status 0
        // Usage errors: the message and the usage of the command concerned, status 2.
        std::cerr << "velmora-cli: " << error.what() << "\n\n";
        if (app.get_subcommands().empty())
            std::cerr << app.help();
        else
            std::cerr << app.get_subcommands().back()->help(app.get_name());
        return velmora::cli::kExitUsage;
    } catch (const std::exception& error) {
        std::cerr << "velmora-cli: " << error.what() << "\n";
        return velmora::cli::kExitIncomplete;
    }
    return exitCode;
}

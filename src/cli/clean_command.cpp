#include "cli/clean_command.h"

#include "cleaning/cleaning_runner.h"
#include "cli/clean_report.h"
#include "cli/commands.h"
#include "cli/library_argument.h"
#include "cli/stop_signals.h"
#include "discovery/scanner.h"
#include "i18n/translation.h"
#include "platform/descriptor_budget.h"
#include "platform/log_output.h"
#include "platform/unique_fd.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>

namespace velmora {

namespace {

void complain(const QString& what) {
    std::fprintf(stderr, "velmora-cli clean: %s\n", what.toStdString().c_str());
}

// `what` is a looked-up text with %1 where the path goes.
void complain(const QString& what, const std::string& path) {
    complain(what.arg(QString::fromStdString(escapeForLog(path))));
}

// The libraries a clean is about, and what finding them met.
struct Found {
    std::vector<FCPBundle> libraries;
    std::vector<UnreadableFolder> unreadable;
    std::uint64_t mountsSkipped = 0;
    bool listedByScan = false; // the records list their cleanable entries
};

// The one library that --library names, with its activity when the age decides; nothing
// (after saying why) when it names none inside the location. Its age is read through the
// folder found, never by its path again; a library whose age cannot be read is left alone,
// its folder told as unreadable, since an unknown age would count as untouched.
std::optional<Found> namedLibrary(const CleanRequest& request, int locationFd) {
    auto resolved = resolveLibraryArgument(locationFd, *request.library, request.crossFileSystems);
    if (auto* problem = std::get_if<LibraryArgumentProblem>(&resolved)) {
        complain(problem->text, *request.library);
        return std::nullopt;
    }
    NamedLibrary named = std::get<NamedLibrary>(std::move(resolved));
    Found found;
    if (request.untouchedFor) {
        const auto unreadable = [&found](const std::string& path, int error) {
            found.unreadable.push_back({path, error});
        };
        std::optional<FCPBundle> measured = measureBundle(named.fd.get(), named.record.path, unreadable);
        if (!measured) return found;
        named.record.lastModified = measured->lastModified;
    }
    found.libraries.push_back(std::move(named.record));
    return found;
}

// Descriptors below which the scan and the cleaning do not go side by side: each gets half.
constexpr std::size_t kDescriptorsToOverlap = 512;

// Every library below the location. A stop during the scan leaves an incomplete list, of
// which nothing is cleaned, unless `asFound` cleans each library as the scan meets it: then
// the libraries met before the stop stay, their cleanings stopped between removals.
Found scannedLibraries(const CleanRequest& request, const std::string& location, const CancellationToken& stop,
                       CleaningAsFound* asFound, std::size_t descriptors) {
    Found found;
    std::mutex mutex;
    ScanProgress progress;
    ScanOptions scan;
    scan.progress = &progress;
    scan.cancel = &stop;
    scan.crossFileSystems = request.crossFileSystems;
    // A dry run is told from what the scan met on its way through the libraries: on a share a
    // second walk of every library would cost as many round trips again. Not when crossing
    // mounts, where the scan enters mounts that a cleaning never enters inside a removed entry.
    found.listedByScan = request.dryRun && !request.crossFileSystems;
    if (found.listedByScan) scan.listCleanable = request.categories;
    if (asFound != nullptr) {
        scan.skipInside = request.categories;
        scan.onLibraryFound = [asFound](const FCPBundle& library) { asFound->add(library); };
        scan.descriptors = descriptors;
    }
    // Folders the scan cannot read may hold libraries: each is an error and a failure.
    scan.onUnreadable = [&](const std::string& path, int error) {
        std::lock_guard lock(mutex);
        found.unreadable.push_back({path, error});
    };
    found.libraries = scanBundles(location, scan);
    found.mountsSkipped = progress.mountPointsSkipped.load();
    if (stop.requested() && asFound == nullptr) found.libraries.clear();
    return found;
}

// Writes the JSON report (when asked for) and the summary, and gives the exit status.
int finishClean(const CleanRequest& request, const cli::CleanReport& report, const CleaningPlan& plan,
                const CleaningTally& tally, std::uint64_t mountsSkipped, int signal) {
    bool written = true;
    if (request.json) {
        const std::string json = report.json(plan, tally);
        written = std::fwrite(json.data(), 1, json.size(), stdout) == json.size();
    }
    written = std::fflush(stdout) == 0 && written;
    const std::optional<std::size_t> skipped =
        request.untouchedFor ? std::optional(plan.skippedAsRecent) : std::nullopt;
    std::fputs(report.summary(plan, tally, mountsSkipped, skipped).c_str(), stderr);
    int writeError = logWriteError();
    if (!written && writeError == 0) writeError = errno;
    if (writeError != 0)
        complain(translate("CleanCommand", "the log could not be written to standard output: %1")
                     .arg(QString::fromUtf8(std::strerror(writeError))));
    // A run a signal stopped exits with 128 + its number, as a shell reports it.
    if (signal != 0) {
        std::fputs(translate("CleanCommand", "Stopped by signal %1 before the run was complete")
                       .arg(signal)
                       .append(QLatin1Char('\n'))
                       .toLocal8Bit()
                       .constData(),
                   stderr);
        return cli::kExitStoppedBySignal + signal;
    }
    return tally.failed > 0 || writeError != 0 ? cli::kExitIncomplete : cli::kExitOk;
}

} // namespace

int runClean(const CleanRequest& request) {
    if (!request.location) {
        complain(translate("CleanCommand", "no location given"));
        return cli::kExitUsage;
    }
    const std::string& location = *request.location;
    // The location is opened once, and every library is reached beneath this descriptor.
    UniqueFd locationFd(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (!locationFd) {
        complain(translate("CleanCommand", "location is not a directory: %1"), location);
        return cli::kExitUsage;
    }
    // From here on an interrupt stops the run between removals; the report still follows.
    CancellationToken stop;
    cli::StopSignals stopSignals(stop);
    cli::CleanReport report(request.dryRun, request.json, request.quiet);
    CleaningRunOptions options;
    options.dryRun = request.dryRun;
    options.crossFileSystems = request.crossFileSystems;
    options.jobs = request.jobs;
    options.cancel = &stop;
    CleaningEvents events;
    events.onEntry = [&report](const DeletionEntry& entry) { report.add(entry); };

    // A real clean of every library, whatever its age, starts each library as the scan meets
    // it: on a share the removals then overlap the scan's round trips. The scan leaves the
    // inside of the cleaned entries unread (the cleaning reads it), so it finds no library
    // that another one's cleaning removes whole, and each library it meets is a step.
    const std::size_t descriptors = descriptorsAvailable();
    std::optional<CleaningAsFound> asFound;
    if (!request.library && !request.dryRun && !request.untouchedFor && descriptors >= kDescriptorsToOverlap)
        asFound.emplace(locationFd.get(), request.categories, options, events, descriptors / 2);
    std::optional<Found> found = request.library ? namedLibrary(request, locationFd.get())
                                                 : scannedLibraries(request, location, stop,
                                                                    asFound ? &*asFound : nullptr, descriptors / 2);
    if (!found) return cli::kExitUsage;

    PlanRequest wanted;
    wanted.categories = request.categories;
    wanted.untouchedFor = request.untouchedFor;
    const CleaningPlan plan = planCleaning(std::move(found->libraries), wanted, std::move(found->unreadable));
    options.listedByScan = found->listedByScan;
    const CleaningTally tally =
        asFound ? asFound->finish(plan) : runCleaning(locationFd.get(), plan, options, events);
    return finishClean(request, report, plan, tally, found->mountsSkipped + tally.mountsSkipped,
                       stopSignals.received());
}

// `velmora-cli clean LOCATION [--library PATH] [--category render|proxy|optimized|analysis|all]
// [--dry-run] [--jobs N] [--untouched-for DAYS] [--json] [--quiet]`
void cli::addCleanCommand(CLI::App& app, int& exitCode) {
    struct Arguments {
        std::string location;
        std::string library;
        std::string category = "all";
        bool dryRun = false;
        bool crossFileSystems = false;
        unsigned jobs = 0; // by the location's storage
        unsigned untouchedForDays = 0;
        bool json = false;
        bool quiet = false;
    };
    auto arguments = std::make_shared<Arguments>();
    CLI::App* command = app.add_subcommand(
        "clean",
        "Remove render files, proxy media, optimized media and analysis files from the libraries of a "
        "location; one line per entry on standard output, a summary on standard error");
    command->footer(kExitStatusHelp);
    command->add_option("LOCATION", arguments->location, "Folder whose libraries are cleaned")->required();
    CLI::Option* library =
        command->add_option("--library", arguments->library, "Clean only this library (inside LOCATION)");
    command->add_option("--category", arguments->category, "What to remove (default: all)")
        ->check(CLI::IsMember({"render", "proxy", "optimized", "analysis", "all"}));
    command->add_flag("--cross-file-systems", arguments->crossFileSystems,
                      "Also scan and clean folders mounted below LOCATION (other drives, shares)");
    command->add_flag("--dry-run", arguments->dryRun,
                      "List what would be removed, with sizes; remove nothing");
    command
        ->add_option("--jobs", arguments->jobs,
                     "Libraries cleaned at once (default: one per processor, 64 on a network share)")
        ->check(CLI::Range(1u, 64u));
    CLI::Option* untouchedFor = command->add_option(
        "--untouched-for", arguments->untouchedForDays,
        "Clean only libraries whose files outside the regenerable data were last modified at least DAYS "
        "days ago; the others are skipped and counted in the summary");
    untouchedFor->type_name("DAYS")->check(CLI::Range(0u, 1000000u));
    command->add_flag("--json", arguments->json,
                      "Print one JSON report of every entry on standard output instead of the lines");
    command->add_flag("--quiet", arguments->quiet,
                      "Leave out the line of each removed entry; errors and the summary stay");
    command->callback([arguments, library, untouchedFor, &exitCode] {
        CleanRequest request;
        request.location = arguments->location;
        if (library->count() > 0) request.library = arguments->library;
        if (arguments->category != "all")
            request.categories = categoryBit(*categoryFromKey(arguments->category));
        request.dryRun = arguments->dryRun;
        request.crossFileSystems = arguments->crossFileSystems;
        request.jobs = arguments->jobs;
        if (untouchedFor->count() > 0) request.untouchedFor = std::chrono::days(arguments->untouchedForDays);
        request.json = arguments->json;
        request.quiet = arguments->quiet;
        exitCode = runClean(request);
    });
}

} // namespace velmora

#include "cli/clean_command.h"

#include "cleaning/delete_matching_items.h"
#include "cli/clean_report.h"
#include "cli/commands.h"
#include "cli/library_argument.h"
#include "cli/stop_signals.h"
#include "discovery/scanner.h"
#include "discovery/walk_concurrency.h"
#include "i18n/translation.h"
#include "library/format_size.h"
#include "platform/descriptor_budget.h"
#include "platform/log_output.h"
#include "platform/unique_fd.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <variant>

namespace velmora {

namespace {

std::string withoutTrailingSlashes(const std::string& path) {
    std::size_t end = path.find_last_not_of('/');
    return end == std::string::npos ? (path.empty() ? path : "/") : path.substr(0, end + 1);
}

void complain(const QString& what) {
    std::fprintf(stderr, "velmora-cli clean: %s\n", what.toStdString().c_str());
}

// `what` is a looked-up text with %1 where the path goes.
void complain(const QString& what, const std::string& path) {
    complain(what.arg(QString::fromStdString(escapeForLog(path))));
}

// Whether `path` lies inside `outer`, comparing the path strings component-wise.
bool isInside(const std::string& path, const std::string& outer) {
    std::string prefix = withoutTrailingSlashes(outer);
    if (prefix != "/") prefix += '/';
    return path.size() > prefix.size() && path.starts_with(prefix);
}

struct Target {
    FCPBundle library;
    bool nested = false; // inside another library that is cleaned: its entries go with that one
};

// Descriptors left to the rest of the program, and the fewest one cleaning job needs: the
// library, the walk's own two and the removal's two, with one to spare.
constexpr std::size_t kReservedDescriptors = 4;
constexpr std::size_t kDescriptorsPerJob = 8;

std::string describeError(int error) {
    const char* text = ::strerrordesc_np(error);
    return text ? text : "Unknown error " + std::to_string(error);
}

// Whether the library was modified less than `untouchedFor` ago (a library without a kept
// file counts as untouched).
bool recentlyModified(const FCPBundle& library, std::chrono::seconds untouchedFor) {
    // In whole seconds: a period of many centuries would overflow a nanosecond clock.
    using std::chrono::floor;
    using std::chrono::seconds;
    return library.lastModified && floor<seconds>(*library.lastModified) >
                                       floor<seconds>(std::chrono::system_clock::now()) - untouchedFor;
}

// Writes one whole line to standard error.
void writeErrorLine(std::string_view line) {
    std::string whole(line);
    whole.push_back('\n');
    std::fwrite(whole.data(), 1, whole.size(), stderr);
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

    // Every log line goes through here: errors always, the others unless quiet; with --json
    // standard output carries only the report, so errors go to standard error.
    auto logLine = [&request](std::string_view line) {
        const bool error = line.starts_with("Error deleting ") || line.starts_with("Error reading ");
        if (request.json) {
            if (error) writeErrorLine(line);
        } else if (error || !request.quiet) {
            (void)writeLogLine(line); // a failed write is remembered and reported below
        }
    };

    // From here on an interrupt stops the run between removals; the report still follows.
    CancellationToken stop;
    cli::StopSignals stopSignals(stop);

    std::vector<FCPBundle> libraries;
    std::vector<DeletionEntry> unreadableFolders; // from the scan's threads, under the mutex
    std::mutex unreadableMutex;
    std::uint64_t mountsSkipped = 0;
    bool listedByScan = false;
    if (request.library) {
        auto resolved = resolveLibraryArgument(locationFd.get(), *request.library, request.crossFileSystems);
        if (auto* problem = std::get_if<LibraryArgumentProblem>(&resolved)) {
            complain(problem->text, *request.library);
            return cli::kExitUsage;
        }
        FCPBundle record = std::get<FCPBundle>(std::move(resolved));
        // Its activity is only needed to decide whether to leave it alone.
        if (request.untouchedFor)
            if (auto measured = measureBundle(record.path)) record.lastModified = measured->lastModified;
        libraries.push_back(std::move(record));
    } else {
        // Folders the scan cannot read may hold libraries: each is an error and a failure.
        ScanOptions scan;
        ScanProgress progress;
        scan.progress = &progress;
        scan.cancel = &stop;
        scan.crossFileSystems = request.crossFileSystems;
        // A dry run is told from what the scan met on its way through the libraries: on a
        // share a second walk of every library would cost as many round trips again. Not when
        // crossing mounts, where the scan enters mounts that a cleaning never enters inside a
        // removed entry.
        listedByScan = request.dryRun && !request.crossFileSystems;
        if (listedByScan)
            for (CacheCategory category : request.categories)
                scan.listCleanable |= categoryBit(category);
        scan.onUnreadable = [&](const std::string& path, int error) {
            DeletionEntry entry;
            entry.path = path;
            entry.status = DeletionStatus::Unreadable;
            entry.failures.push_back({path, error, describeError(error)});
            std::lock_guard lock(unreadableMutex);
            unreadableFolders.push_back(std::move(entry));
        };
        libraries = scanBundles(location, scan);
        mountsSkipped = progress.mountPointsSkipped.load();
        // An interrupted scan lists only part of the location: clean none of it.
        if (stop.requested()) libraries.clear();
    }

    std::vector<Target> targets;
    std::size_t skipped = 0;
    for (FCPBundle& library : libraries) {
        if (request.untouchedFor && recentlyModified(library, *request.untouchedFor))
            ++skipped;
        else
            targets.push_back({std::move(library)});
    }
    // A library inside another one that is cleaned is cleaned with it, in that library's
    // walk: cleaning it again beside it would race for the same entries.
    for (Target& target : targets)
        for (const Target& other : targets)
            if (&other != &target && isInside(target.library.path, other.library.path)) target.nested = true;

    cli::CleanReport report(request.dryRun, targets.size(),
                            request.untouchedFor ? std::optional<std::size_t>(skipped) : std::nullopt);
    report.addMountsSkipped(mountsSkipped);
    // A folder the scan could not read inside a library that this run walks is met again by
    // that walk, which reports it: it is told once, not twice.
    for (const DeletionEntry& entry : unreadableFolders) {
        const bool walkedAgain =
            !listedByScan && std::any_of(targets.begin(), targets.end(), [&](const Target& t) {
                return !t.nested && (entry.path == t.library.path || isInside(entry.path, t.library.path));
            });
        if (walkedAgain) continue;
        logLine("Error reading " + escapeForLog(entry.path) + ": " + entry.failures.front().description);
        report.add(entry);
    }
    DeletionOptions options;
    options.dryRun = request.dryRun;
    options.crossFileSystems = request.crossFileSystems;
    options.cancel = &stop;
    options.onEntry = [&report](const DeletionEntry& entry) { report.add(entry); };
    options.sink = logLine;
    // Each worker takes the next library and cleans its categories in one walk, writing each
    // entry's line as soon as the entry is done; libraries go in parallel, as the window's
    // whole-location run does.
    std::vector<std::string_view> names;
    for (CacheCategory category : request.categories)
        names.push_back(categoryInfo(category).deletionName);
    // A dry run with libraries side by side still lists in scan order: each library's lines
    // and entries are kept until every library before it is written.
    struct Listing {
        std::vector<std::variant<std::string, DeletionEntry>> events;
        std::vector<DeletionReport> reports;
        bool done = false;
    };
    std::vector<Listing> listings(request.dryRun ? targets.size() : 0);
    std::mutex listingMutex;
    std::size_t nextListed = 0;
    auto writeListed = [&](bool all) { // under listingMutex
        for (; nextListed < listings.size() && (all || listings[nextListed].done); ++nextListed) {
            for (const auto& event : listings[nextListed].events) {
                if (const auto* entry = std::get_if<DeletionEntry>(&event))
                    report.add(*entry);
                else
                    logLine(std::get<std::string>(event));
            }
            if (listings[nextListed].done) report.addLibrary(listings[nextListed].reports);
        }
    };
    std::atomic<std::size_t> nextTarget{0};
    auto worker = [&] {
        for (std::size_t i; !stop.requested() && (i = nextTarget.fetch_add(1)) < targets.size();) {
            if (!request.dryRun) {
                if (!targets[i].nested)
                    report.addLibrary(
                        deleteMatchingItemsBeneath(locationFd.get(), targets[i].library, names, options));
                continue;
            }
            Listing& listing = listings[i];
            if (!targets[i].nested) {
                DeletionOptions listed = options;
                listed.sink = [&listing](std::string_view line) {
                    listing.events.emplace_back(std::string(line));
                };
                listed.onEntry = [&listing](const DeletionEntry& entry) {
                    listing.events.emplace_back(entry);
                };
                listing.reports =
                    listedByScan
                        ? listCleanableEntries(targets[i].library, names, listed)
                        : deleteMatchingItemsBeneath(locationFd.get(), targets[i].library, names, listed);
            }
            std::lock_guard lock(listingMutex);
            listing.done = true;
            writeListed(false);
        }
    };
    // Libraries at once, and descriptors for each, from the limit in force: a low limit means
    // fewer at once, never libraries left out.
    const std::size_t budget = descriptorsAvailable();
    const std::size_t spare = budget > kReservedDescriptors ? budget - kReservedDescriptors : 0;
    const unsigned wanted = request.jobs == 0 ? defaultCleaningJobs(location) : request.jobs;
    const unsigned jobs = static_cast<unsigned>(
        std::clamp<std::size_t>(spare / kDescriptorsPerJob, 1, std::clamp(wanted, 1u, 64u)));
    // On a share the run's threads are shared out among the libraries cleaned at once, each
    // library's entries and folders removed (or measured) side by side.
    std::size_t cleaned = 0;
    for (const Target& target : targets)
        if (!target.nested) ++cleaned;
    const unsigned together = static_cast<unsigned>(std::clamp<std::size_t>(cleaned, 1, jobs));
    options.threads = std::max(1u, defaultCleaningThreads(location) / together);
    // Each job's walk and its removal (or dry-run measurement) hold up to this many each,
    // besides the library's own two; threads need a few each.
    const std::size_t mostPerJob = std::max<std::size_t>(64, 6 * std::size_t{options.threads} + 2);
    options.maxOpenDescriptors = std::clamp<std::size_t>((spare / jobs) / 2, 3, mostPerJob) - 1;
    std::vector<std::thread> helpers;
    for (unsigned j = 1; j < jobs && j < targets.size(); ++j)
        helpers.emplace_back(worker);
    worker();
    for (auto& helper : helpers)
        helper.join();
    // After a stop, what the libraries that finished listed (those that never started give nothing).
    writeListed(true);

    bool written = true;
    if (request.json) {
        const std::string json = report.json();
        written = std::fwrite(json.data(), 1, json.size(), stdout) == json.size();
    }
    written = std::fflush(stdout) == 0 && written;
    std::fputs(report.summary().c_str(), stderr);
    int writeError = logWriteError();
    if (!written && writeError == 0) writeError = errno;
    if (writeError != 0 && writeError != EPIPE)
        complain(translate("CleanCommand", "the log could not be written to standard output: %1")
                     .arg(QString::fromUtf8(std::strerror(writeError))));
    // A run a signal stopped exits with 128 + its number, as a shell reports it.
    if (const int signal = stopSignals.received()) {
        std::fputs(translate("CleanCommand", "Stopped by signal %1 before the run was complete")
                       .arg(signal)
                       .append(QLatin1Char('\n'))
                       .toLocal8Bit()
                       .constData(),
                   stderr);
        return cli::kExitStoppedBySignal + signal;
    }
    return report.failed() > 0 || writeError != 0 ? cli::kExitIncomplete : cli::kExitOk;
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
        if (arguments->category != "all") request.categories = {*categoryFromKey(arguments->category)};
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

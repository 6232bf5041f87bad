#include "cli/clean_command.h"

#include "cleaning/delete_matching_items.h"
#include "cli/commands.h"
#include "cli/library_argument.h"
#include "discovery/scanner.h"
#include "i18n/translation.h"
#include "library/format_size.h"
#include "platform/descriptor_budget.h"
#include "platform/log_output.h"
#include "platform/unique_fd.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
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
    bool nested = false; // inside another library of the list: its bytes count there
};

// The libraries of the location, each marked when it lies inside another one.
std::vector<Target> libraryTargets(std::vector<FCPBundle> bundles) {
    std::vector<Target> targets;
    for (const auto& bundle : bundles) {
        bool nested = false;
        for (const auto& other : bundles)
            if (&other != &bundle && isInside(bundle.path, other.path)) nested = true;
        targets.push_back({bundle, nested});
    }
    return targets;
}

// Descriptors left to the rest of the program, and the fewest one cleaning job needs: the
// library, the walk's own two and the removal's two, with one to spare.
constexpr std::size_t kReservedDescriptors = 4;
constexpr std::size_t kDescriptorsPerJob = 8;

std::string describeError(int error) {
    const char* text = ::strerrordesc_np(error);
    return text ? text : "Unknown error " + std::to_string(error);
}

// One summary line to standard error; `text` is a looked-up text and `values` fill its %1, %2...
void printSummary(const QString& text, const QStringList& values) {
    QString line = text;
    for (const QString& value : values)
        line = line.arg(value);
    std::fprintf(stderr, "%s\n", line.toStdString().c_str());
}

QString number(std::int64_t value) {
    return QString::number(value);
}

} // namespace

unsigned defaultCleanJobs() {
    return std::max(1u, std::thread::hardware_concurrency());
}

int runClean(const CleanRequest& request) {
    if (!request.location) {
        complain(translate("CleanCommand", "no location given"));
        return kCleanBadArguments;
    }
    const std::string& location = *request.location;
    // The location is opened once, and every library is reached beneath this descriptor.
    UniqueFd locationFd(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (!locationFd) {
        complain(translate("CleanCommand", "location is not a directory: %1"), location);
        return kCleanBadArguments;
    }

    std::vector<Target> targets;
    std::atomic<std::uint64_t> scanFailures{0};
    std::atomic<std::uint64_t> mountPointsSkipped{0};
    if (request.library) {
        auto resolved = resolveLibraryArgument(locationFd.get(), *request.library, request.crossFileSystems);
        if (auto* problem = std::get_if<LibraryArgumentProblem>(&resolved)) {
            complain(problem->text, *request.library);
            return kCleanBadArguments;
        }
        targets.push_back({std::get<FCPBundle>(std::move(resolved)), false});
    } else {
        // Folders the scan cannot read may hold libraries: each is an error and a failure.
        ScanOptions scan;
        ScanProgress progress;
        scan.progress = &progress;
        scan.crossFileSystems = request.crossFileSystems;
        scan.onUnreadable = [&](const std::string& path, int error) {
            ++scanFailures;
            (void)writeLogLine("Error reading " + escapeForLog(path) + ": " + describeError(error));
        };
        targets = libraryTargets(scanBundles(location, scan));
        mountPointsSkipped += progress.mountPointsSkipped.load();
    }

    DeletionOptions options;
    options.dryRun = request.dryRun;
    options.crossFileSystems = request.crossFileSystems;
    std::atomic<std::uint64_t> removed{0};
    std::atomic<std::uint64_t> failed{scanFailures.load()};
    std::atomic<std::uint64_t> matched{0};
    std::atomic<std::int64_t> bytesMatched{0};
    std::atomic<std::int64_t> bytesRemoved{0};
    std::atomic<std::size_t> nextTarget{0};
    // Each worker takes the next library and cleans its categories in one walk, writing their
    // lines in category order; libraries go in parallel, as the window's whole-location run
    // does. A dry run lists in scan order.
    std::vector<std::string_view> names;
    for (CacheCategory category : request.categories)
        names.push_back(categoryInfo(category).deletionName);
    auto worker = [&] {
        for (std::size_t i; (i = nextTarget.fetch_add(1)) < targets.size();) {
            const Target& target = targets[i];
            // A dry run lists a nested library's entries once, with the library that holds it.
            if (request.dryRun && target.nested) continue;
            for (const DeletionReport& report :
                 deleteMatchingItemsBeneath(locationFd.get(), target.library, names, options)) {
                removed += report.removed;
                failed += report.failed;
                matched += report.matched;
                bytesMatched += report.bytesMatched;
                bytesRemoved += report.bytesRemoved;
                mountPointsSkipped += report.mountsSkipped;
            }
        }
    };
    // Libraries at once, and descriptors for each, from the limit in force: a low limit means
    // fewer at once, never libraries left out.
    const std::size_t budget = descriptorsAvailable();
    const std::size_t spare = budget > kReservedDescriptors ? budget - kReservedDescriptors : 0;
    const unsigned jobs =
        request.dryRun ? 1u
                       : static_cast<unsigned>(std::clamp<std::size_t>(spare / kDescriptorsPerJob, 1,
                                                                       std::clamp(request.jobs, 1u, 64u)));
    // Each job's walk and its removal (or dry-run measurement) hold up to this many each,
    // besides the library's own two.
    options.maxOpenDescriptors = std::clamp<std::size_t>((spare / jobs) / 2, 3, 64) - 1;
    std::vector<std::thread> helpers;
    for (unsigned j = 1; j < jobs && j < targets.size(); ++j)
        helpers.emplace_back(worker);
    worker();
    for (auto& helper : helpers)
        helper.join();

    if (mountPointsSkipped > 0)
        printSummary(
            translate("CleanCommand", "Mount points not entered: %1 (--cross-file-systems enters them)"),
            {QString::number(mountPointsSkipped.load())});
    printSummary(translate("CleanCommand", "Libraries: %1"),
                 {number(static_cast<std::int64_t>(targets.size()))});
    if (request.dryRun) {
        printSummary(translate("CleanCommand", "Entries to remove: %1"), {QString::number(matched.load())});
        printSummary(translate("CleanCommand", "Entries failed: %1"), {QString::number(failed.load())});
        printSummary(translate("CleanCommand", "Bytes to reclaim: %1 (%2)"),
                     {number(bytesMatched.load()), QString::fromStdString(formatSize(bytesMatched.load()))});
    } else {
        printSummary(translate("CleanCommand", "Entries removed: %1"), {QString::number(removed.load())});
        printSummary(translate("CleanCommand", "Entries failed: %1"), {QString::number(failed.load())});
        // What this run itself unlinked: never a re-measurement, so runs at once never count
        // the same bytes twice.
        printSummary(translate("CleanCommand", "Bytes reclaimed: %1 (%2)"),
                     {number(bytesRemoved.load()), QString::fromStdString(formatSize(bytesRemoved.load()))});
    }
    if (int error = logWriteError()) {
        complain(translate("CleanCommand", "the log could not be written to standard output: %1")
                     .arg(QString::fromUtf8(std::strerror(error))));
        return kCleanSomeFailed;
    }
    return failed > 0 ? kCleanSomeFailed : kCleanOk;
}

// `velmora-cli clean LOCATION [--library PATH] [--category render|proxy|optimized|analysis|all]
// [--dry-run] [--jobs N]`
void cli::addCleanCommand(CLI::App& app, int& exitCode) {
    struct Arguments {
        std::string location;
        std::string library;
        std::string category = "all";
        bool dryRun = false;
        bool crossFileSystems = false;
        unsigned jobs = defaultCleanJobs();
    };
    auto arguments = std::make_shared<Arguments>();
    CLI::App* command = app.add_subcommand(
        "clean",
        "Remove render files, proxy media, optimized media and analysis files from the libraries of a "
        "location; one line per entry on standard output, a summary on standard error");
    command->add_option("LOCATION", arguments->location, "Folder whose libraries are cleaned")->required();
    CLI::Option* library =
        command->add_option("--library", arguments->library, "Clean only this library (inside LOCATION)");
    command->add_option("--category", arguments->category, "What to remove (default: all)")
        ->check(CLI::IsMember({"render", "proxy", "optimized", "analysis", "all"}));
    command->add_flag("--cross-file-systems", arguments->crossFileSystems,
                      "Also scan and clean folders mounted below LOCATION (other drives, shares)");
    command->add_flag("--dry-run", arguments->dryRun,
                      "List what would be removed, with sizes; remove nothing");
    command->add_option("--jobs", arguments->jobs, "Libraries cleaned at once (default: one per processor)")
        ->check(CLI::Range(1u, 64u));
    command->callback([arguments, library, &exitCode] {
        CleanRequest request;
        request.location = arguments->location;
        if (library->count() > 0) request.library = arguments->library;
        if (arguments->category != "all") request.categories = {*categoryFromKey(arguments->category)};
        request.dryRun = arguments->dryRun;
        request.crossFileSystems = arguments->crossFileSystems;
        request.jobs = arguments->jobs;
        exitCode = runClean(request);
    });
}

} // namespace velmora

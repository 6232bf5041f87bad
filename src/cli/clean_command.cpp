#include "cli/clean_command.h"

#include "cleaning/delete_matching_items.h"
#include "cli/commands.h"
#include "discovery/measure.h"
#include "discovery/scanner.h"
#include "i18n/translation.h"
#include "library/format_size.h"
#include "platform/log_output.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace velmora {

namespace {

constexpr std::string_view kLibrarySuffix = ".fcpbundle";

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
    std::string path;
    bool nested = false; // inside another library of the list: its bytes count there
};

// The libraries of the location and the bytes they hold, outer libraries only.
std::int64_t totalSize(const std::vector<FCPBundle>& bundles, std::vector<Target>* targets) {
    std::int64_t total = 0;
    for (const auto& bundle : bundles) {
        bool nested = false;
        for (const auto& other : bundles)
            if (&other != &bundle && isInside(bundle.path, other.path)) nested = true;
        if (!nested) total += bundle.size;
        if (targets) targets->push_back({bundle.path, nested});
    }
    return total;
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
    struct stat st {};
    if (::stat(location.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        complain(translate("CleanCommand", "location is not a directory: %1"), location);
        return kCleanBadArguments;
    }

    std::vector<Target> targets;
    std::int64_t before = 0;
    if (request.library) {
        const std::string& library = *request.library;
        // Only a real library folder: a link or any other folder would widen what is removed.
        if (!withoutTrailingSlashes(library).ends_with(kLibrarySuffix) ||
            ::lstat(withoutTrailingSlashes(library).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            complain(
                translate("CleanCommand",
                          "not a library folder (a directory whose name ends in .fcpbundle, not a link): %1"),
                library);
            return kCleanBadArguments;
        }
        if (!isInside(library, location)) {
            complain(translate("CleanCommand", "library is not inside the location: %1"), library);
            return kCleanBadArguments;
        }
        targets.push_back({library, false});
        before = directorySize(library);
    } else {
        before = totalSize(scanBundles(location), &targets);
    }

    DeletionOptions options;
    options.dryRun = request.dryRun;
    std::atomic<std::uint64_t> removed{0};
    std::atomic<std::uint64_t> failed{0};
    std::atomic<std::uint64_t> matched{0};
    std::atomic<std::int64_t> bytesMatched{0};
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
            for (const DeletionReport& report : deleteMatchingItemsReports(target.path, names, options)) {
                removed += report.removed;
                failed += report.failed;
                matched += report.matched;
                bytesMatched += report.bytesMatched;
            }
        }
    };
    const unsigned jobs = request.dryRun ? 1u : std::clamp<unsigned>(request.jobs, 1u, 64u);
    std::vector<std::thread> helpers;
    for (unsigned j = 1; j < jobs && j < targets.size(); ++j)
        helpers.emplace_back(worker);
    worker();
    for (auto& helper : helpers)
        helper.join();

    printSummary(translate("CleanCommand", "Libraries: %1"),
                 {number(static_cast<std::int64_t>(targets.size()))});
    if (request.dryRun) {
        printSummary(translate("CleanCommand", "Entries to remove: %1"), {QString::number(matched.load())});
        printSummary(translate("CleanCommand", "Bytes to reclaim: %1 (%2)"),
                     {number(bytesMatched.load()), QString::fromStdString(formatSize(bytesMatched.load()))});
        return kCleanOk;
    }
    // The same measure the scan took of each library, now that it is clean.
    std::int64_t after = 0;
    for (const auto& target : targets)
        if (!target.nested) after += directorySize(target.path);
    printSummary(translate("CleanCommand", "Entries removed: %1"), {QString::number(removed.load())});
    printSummary(translate("CleanCommand", "Entries failed: %1"), {QString::number(failed.load())});
    printSummary(translate("CleanCommand", "Bytes reclaimed: %1 (%2)"),
                 {number(before - after), QString::fromStdString(formatSize(before - after))});
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
        request.jobs = arguments->jobs;
        exitCode = runClean(request);
    });
}

} // namespace velmora

#include "cleaning/delete_matching_items.h"

#include "cleaning/deletion_match.h"
#include "platform/dir_walker.h"
#include "platform/log_output.h"
#include "platform/path.h"
#include "platform/safe_remove.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <vector>

namespace velmora {

namespace {

// Regular-file bytes of the entry `name` in `parentFd`: its size for a file, the total below
// it for a directory (links not followed, other mounts not entered), 0 for anything else.
std::int64_t entryBytes(int parentFd, std::string_view nameView, std::size_t maxOpenDescriptors) {
    std::string name(nameView);
    struct stat st {};
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    if (S_ISREG(st.st_mode)) return st.st_size;
    if (!S_ISDIR(st.st_mode)) return 0;
    UniqueFd fd(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd || isOtherMount(parentFd, fd.get())) return 0;
    std::int64_t total = 0;
    walkDirectoryAt(
        fd.get(),
        [&](const WalkEntry& entry) {
            std::string child(entry.name);
            if (entry.type == EntryType::Regular) {
                struct stat childStat {};
                if (::fstatat(entry.parentFd, child.c_str(), &childStat, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISREG(childStat.st_mode))
                    total += childStat.st_size;
            } else if (entry.type == EntryType::Directory) {
                UniqueFd sub(::openat(entry.parentFd, child.c_str(),
                                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_PATH));
                if (!sub || isOtherMount(entry.parentFd, sub.get())) return WalkAction::SkipChildren;
            }
            return WalkAction::Continue;
        },
        WalkOptions{maxOpenDescriptors});
    return total;
}

// Deals with one matched entry: removes it (or measures it in a dry run), writes its lines
// and tells options.onEntry.
void handleMatch(const WalkEntry& entry, const std::string& basePath, const DeletionOptions& options,
                 DeletionReport& report, const std::function<void(std::string)>& emit) {
    ++report.matched;
    const std::string fullPath = joinPath(basePath, entry.relativePath);
    // Measured the way the dry run measures, before anything goes, so that a clean and a dry
    // run of identical copies report the same bytes; only for a caller that asks for them.
    const bool measure = options.dryRun || options.onEntry;
    const std::int64_t bytes =
        measure ? entryBytes(entry.parentFd, entry.name, options.maxOpenDescriptors) : 0;
    auto tell = [&](DeletionStatus status, std::int64_t entryBytes, std::string_view error = {}) {
        if (options.onEntry) options.onEntry(DeletionEntry{fullPath, status, entryBytes, error});
    };
    if (options.dryRun) {
        report.bytesMatched += bytes;
        emit("Would delete: " + escapeForLog(fullPath) + " (" + std::to_string(bytes) + " bytes)");
        tell(DeletionStatus::WouldDelete, bytes);
        return;
    }
    RemoveReport removal =
        removeEntryAt(entry.parentFd, entry.name, fullPath, entry.type == EntryType::Directory,
                      RemoveOptions{options.maxOpenDescriptors, options.cancel});
    switch (removal.outcome) {
    case RemoveOutcome::Removed:
        ++report.removed;
        report.innerRemoved += removal.entriesRemoved - 1;
        report.bytesRemoved += bytes;
        emit("Deleted: " + escapeForLog(fullPath));
        tell(DeletionStatus::Deleted, bytes);
        break;
    case RemoveOutcome::Vanished:
        // Another run got there first; its own line reports the entry.
        ++report.vanished;
        report.innerRemoved += removal.entriesRemoved;
        break;
    case RemoveOutcome::Stopped:
        // Left partly emptied by a stop: not removed, no line; what went still counts.
        ++report.stopped;
        report.innerRemoved += removal.entriesRemoved;
        if (measure)
            report.bytesRemoved += std::max<std::int64_t>(
                0, bytes - entryBytes(entry.parentFd, entry.name, options.maxOpenDescriptors));
        break;
    case RemoveOutcome::Failed: {
        ++report.failed;
        report.innerRemoved += removal.entriesRemoved;
        if (removal.failures.empty()) removal.failures.push_back({fullPath, 0, "Unknown error"});
        if (report.firstFailedPath.empty()) {
            report.firstFailedPath = removal.failures.front().path;
            report.firstFailureDescription = removal.failures.front().description;
        }
        std::string error;
        for (const RemoveFailure& failure : removal.failures) {
            ++report.errorLines;
            emit("Error deleting " + escapeForLog(failure.path) + ": " + failure.description);
            if (!error.empty()) error += "; ";
            if (failure.path != fullPath) error += escapeForLog(failure.path) + ": ";
            error += failure.description;
        }
        // What went is what was there less what stayed.
        const std::int64_t gone =
            measure ? std::max<std::int64_t>(
                          0, bytes - entryBytes(entry.parentFd, entry.name, options.maxOpenDescriptors))
                    : 0;
        report.bytesRemoved += gone;
        tell(DeletionStatus::Failed, gone, error);
        break;
    }
    }
}

} // namespace

std::vector<DeletionReport> deleteMatchingItemsReports(const std::string& basePath,
                                                       const std::vector<std::string_view>& deletionNames,
                                                       const DeletionOptions& options) {
    std::vector<DeletionReport> reports(deletionNames.size());
    UniqueFd root = openDirectoryNoFollow(basePath);
    if (!root) {
        // Nothing was walked; the reason is kept for a caller that names the failure.
        const char* text = ::strerrordesc_np(errno);
        const std::string why = text ? text : "Unknown error";
        for (DeletionReport& report : reports)
            report.firstFailureDescription = why;
        return reports;
    }

    std::vector<DeletionMatch> matches;
    for (std::string_view name : deletionNames)
        matches.emplace_back(name);
    auto write = [&](std::string_view line) {
        if (options.sink)
            options.sink(line);
        else
            writeLogLine(line);
    };
    // With several names the lines wait, so they come out grouped by name, in order.
    const bool hold = deletionNames.size() > 1;
    std::vector<std::vector<std::string>> held(deletionNames.size());

    const bool walked = walkDirectoryAt(
        root.get(),
        [&](const WalkEntry& entry) {
            if (cancelled(options.cancel)) return WalkAction::Stop;
            for (std::size_t i = 0; i < matches.size(); ++i) {
                if (!matches[i].matches(entry.relativePath)) continue;
                handleMatch(entry, basePath, options, reports[i], [&](std::string line) {
                    if (hold)
                        held[i].push_back(std::move(line));
                    else
                        write(line);
                });
                // A matched directory is dealt with whole: nothing inside it is matched again.
                return WalkAction::SkipChildren;
            }
            return WalkAction::Continue;
        },
        WalkOptions{options.maxOpenDescriptors});
    for (std::size_t i = 0; i < reports.size(); ++i) {
        reports[i].walked = walked;
        reports[i].cancelled = cancelled(options.cancel);
        for (const std::string& line : held[i])
            write(line);
    }
    return reports;
}

DeletionReport deleteMatchingItemsReport(const std::string& basePath, std::string_view deletionName,
                                         const DeletionOptions& options) {
    return deleteMatchingItemsReports(basePath, {deletionName}, options).front();
}

bool deleteMatchingItems(const std::string& basePath, const std::string& deletionName) {
    return deleteMatchingItemsReport(basePath, deletionName).anythingRemoved();
}

} // namespace velmora

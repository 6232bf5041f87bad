#include "cleaning/delete_matching_items.h"

#include "cleaning/deletion_match.h"
#include "platform/dir_walker.h"
#include "platform/log_output.h"
#include "platform/path.h"
#include "platform/safe_remove.h"

#include <fcntl.h>
#include <sys/stat.h>

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

} // namespace

DeletionReport deleteMatchingItemsReport(const std::string& basePath, std::string_view deletionName,
                                         const DeletionOptions& options) {
    DeletionReport report;
    UniqueFd root = openDirectoryNoFollow(basePath);
    if (!root) return report;

    const DeletionMatch match(deletionName);
    auto emit = [&](const std::string& line) {
        if (options.sink)
            options.sink(line);
        else
            writeLogLine(line);
    };
    const RemoveOptions removeOptions{options.maxOpenDescriptors};

    report.walked = walkDirectoryAt(
        root.get(),
        [&](const WalkEntry& entry) {
            if (!match.matches(entry.relativePath)) return WalkAction::Continue;
            ++report.matched;
            const std::string fullPath = joinPath(basePath, entry.relativePath);
            if (options.dryRun) {
                std::int64_t bytes = entryBytes(entry.parentFd, entry.name, options.maxOpenDescriptors);
                report.bytesMatched += bytes;
                emit("Would delete: " + escapeForLog(fullPath) + " (" + std::to_string(bytes) + " bytes)");
                return WalkAction::SkipChildren;
            }
            RemoveReport removal = removeEntryAt(entry.parentFd, entry.name, fullPath,
                                                 entry.type == EntryType::Directory, removeOptions);
            switch (removal.outcome) {
            case RemoveOutcome::Removed:
                ++report.removed;
                report.innerRemoved += removal.entriesRemoved - 1;
                emit("Deleted: " + escapeForLog(fullPath));
                break;
            case RemoveOutcome::Vanished:
                // Another run got there first; its own line reports the entry.
                ++report.vanished;
                report.innerRemoved += removal.entriesRemoved;
                break;
            case RemoveOutcome::Failed:
                ++report.failed;
                report.innerRemoved += removal.entriesRemoved;
                if (removal.failures.empty()) removal.failures.push_back({fullPath, 0, "Unknown error"});
                for (const RemoveFailure& failure : removal.failures) {
                    ++report.errorLines;
                    emit("Error deleting " + escapeForLog(failure.path) + ": " + failure.description);
                }
                break;
            }
            // A matched directory is dealt with whole: nothing inside it is matched again.
            return WalkAction::SkipChildren;
        },
        WalkOptions{options.maxOpenDescriptors});
    return report;
}

bool deleteMatchingItems(const std::string& basePath, const std::string& deletionName) {
    return deleteMatchingItemsReport(basePath, deletionName).anythingRemoved();
}

} // namespace velmora

#include "cleaning/delete_matching_items.h"

#include "cleaning/deletion_match.h"
#include "library/cache_category.h"
#include "platform/dir_walker.h"
#include "platform/log_output.h"
#include "platform/open_beneath.h"
#include "platform/path.h"
#include "platform/safe_remove.h"
#include "platform/tree_workers.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace velmora {

namespace {

std::string describe(int error) {
    const char* text = ::strerrordesc_np(error);
    return text ? std::string(text) : "Unknown error " + std::to_string(error);
}

// One library's cleaning: the walk's visitor and what it reports.
class LibraryCleaning {
  public:
    LibraryCleaning(const std::string& basePath, const std::vector<std::string_view>& names,
                    const DeletionOptions& options)
        : basePath_(basePath), options_(options), reports_(names.size()) {
        for (std::string_view name : names)
            matches_.emplace_back(name);
    }

    ~LibraryCleaning() { workers_.reset(); } // every handed-over entry is done before the rest goes

    // Walks the library open at `libraryFd` and deals with every match.
    std::vector<DeletionReport> run(int libraryFd) {
        const unsigned threads = TreeWorkers::usableThreads(options_.threads, options_.maxOpenDescriptors);
        if (threads >= 2)
            workers_ = std::make_unique<TreeWorkers>(threads, options_.maxOpenDescriptors, options_.cancel);
        WalkOptions walk = walkOptions();
        walk.onError = [this](std::string_view relativePath, int error) {
            unreadable(joinPath(basePath_, relativePath), error);
        };
        walk.onOtherMount = [this](std::string_view) { ++reports_.front().mountsSkipped; };
        const bool walked = walkDirectoryAt(
            libraryFd,
            [this](const WalkEntry& entry) {
                if (cancelled(options_.cancel)) return WalkAction::Stop;
                for (std::size_t i = 0; i < matches_.size(); ++i) {
                    if (!matches_[i].matches(entry.relativePath)) continue;
                    handleMatch(entry, i);
                    // A matched directory is dealt with whole: nothing inside it is matched again.
                    return WalkAction::SkipChildren;
                }
                return WalkAction::Continue;
            },
            walk);
        const int walkError = errno;
        if (workers_) workers_->wait(); // every callback is done: nothing else holds the lock
        const bool stopped = cancelled(options_.cancel);
        if (!walked && !stopped) unreadable(basePath_, walkError);
        for (DeletionReport& report : reports_) {
            report.walked = walked;
            report.cancelled = stopped;
        }
        return std::move(reports_);
    }

    // What the scan listed as cleanable, told as a dry-run walk would tell it.
    std::vector<DeletionReport> listed(const std::vector<CleanableEntry>& entries,
                                       const std::vector<std::string_view>& names) {
        for (const CleanableEntry& cleanable : entries) {
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (categoryFromDeletionName(names[i]) != cleanable.category) continue;
                DeletionEntry entry{i,
                                    joinPath(basePath_, cleanable.relativePath),
                                    DeletionStatus::WouldDelete,
                                    cleanable.bytes,
                                    {}};
                ++reports_[i].matched;
                tell(entry);
                break;
            }
        }
        for (DeletionReport& report : reports_)
            report.walked = true;
        return std::move(reports_);
    }

    // The library itself could not be opened.
    std::vector<DeletionReport> unopenable(int error) {
        unreadable(basePath_, error);
        return std::move(reports_);
    }

    // The library is not reached, or not as the scan saw it: nothing in it is touched.
    std::vector<DeletionReport> refused(int error, std::string description) {
        DeletionReport& report = reports_.front();
        ++report.failed;
        DeletionEntry entry{
            0, basePath_, DeletionStatus::Failed, 0, {{basePath_, error, std::move(description)}}};
        finish(entry, report);
        return std::move(reports_);
    }

  private:
    WalkOptions walkOptions() const {
        WalkOptions walk;
        walk.maxOpenDescriptors = options_.maxOpenDescriptors;
        walk.stayOnMount = !options_.crossFileSystems;
        return walk;
    }

    void write(const std::string& line) {
        if (options_.sink)
            options_.sink(line);
        else
            (void)writeLogLine(line); // a failed write is remembered and reported by the caller
    }

    void finish(DeletionEntry& entry, DeletionReport& report) {
        if (options_.onEntry) options_.onEntry(entry);
        switch (entry.status) {
        case DeletionStatus::Deleted:
            write("Deleted: " + escapeForLog(entry.path));
            break;
        case DeletionStatus::WouldDelete:
            write("Would delete: " + escapeForLog(entry.path) + " (" + std::to_string(entry.bytes) +
                  " bytes)");
            break;
        case DeletionStatus::Failed:
        case DeletionStatus::Unreadable:
            for (const RemoveFailure& failure : entry.failures) {
                ++report.errorLines;
                if (report.firstFailedPath.empty()) {
                    report.firstFailedPath = failure.path;
                    report.firstFailureDescription = failure.description;
                }
                write(std::string(entry.status == DeletionStatus::Failed ? "Error deleting "
                                                                         : "Error reading ") +
                      escapeForLog(failure.path) + ": " + failure.description);
            }
            break;
        }
    }

    // A folder the walk could not open or read: its contents were not searched.
    void unreadable(std::string path, int error) {
        DeletionEntry entry{
            0, path, DeletionStatus::Unreadable, 0, {{std::move(path), error, describe(error)}}};
        if (ordered()) {
            std::lock_guard lock(mutex_);
            slots_.push_back({true, {std::move(entry)}});
            writeReadySlots();
            return;
        }
        std::unique_lock lock(mutex_, std::defer_lock);
        if (workers_) lock.lock();
        tell(entry);
    }

    // Counts the finished entry in its report and writes its lines.
    void tell(DeletionEntry& entry) {
        DeletionReport& report = reports_[entry.nameIndex];
        if (entry.status == DeletionStatus::Unreadable) {
            ++report.failed;
            report.unreadableFolders.push_back(entry.path);
        }
        if (entry.status == DeletionStatus::WouldDelete) report.bytesMatched += entry.bytes;
        finish(entry, report);
    }

    // A dry run measured by several threads still lists in the walk's order: each entry (with
    // the folders inside it that could not be read) takes its place when met and is written
    // once every entry before it is.
    [[nodiscard]] bool ordered() const { return workers_ && options_.dryRun; }
    struct Slot {
        bool ready = false;
        std::vector<DeletionEntry> entries;
    };
    void writeReadySlots() {
        while (!slots_.empty() && slots_.front().ready) {
            for (DeletionEntry& entry : slots_.front().entries)
                tell(entry);
            slots_.pop_front();
        }
    }

    // Regular-file bytes of the matched entry `name` in `parentFd`: its size for a file, the
    // total below it for a directory (links not followed, other mounts not entered), 0 for
    // anything else. Folders inside it that cannot be read are reported.
    std::int64_t entryBytes(int parentFd, const std::string& name, const std::string& fullPath) {
        struct stat st {};
        if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
        if (S_ISREG(st.st_mode)) return st.st_size;
        if (!S_ISDIR(st.st_mode)) return 0;
        UniqueFd fd(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd) {
            if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP) unreadable(fullPath, errno);
            return 0;
        }
        if (isOtherMount(parentFd, fd.get())) return 0;
        std::int64_t total = 0;
        WalkOptions walk = walkOptions();
        walk.stayOnMount = true; // removal never enters a mount inside a matched entry
        walk.onError = [&](std::string_view relativePath, int error) {
            unreadable(joinPath(fullPath, relativePath), error);
        };
        walkDirectoryAt(
            fd.get(),
            [&](const WalkEntry& entry) {
                if (entry.type == EntryType::Regular) {
                    struct stat childStat {};
                    if (::fstatat(entry.parentFd, entry.name.data(), &childStat, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISREG(childStat.st_mode))
                        total += childStat.st_size;
                }
                return WalkAction::Continue;
            },
            walk);
        return total;
    }

    // Deals with one matched entry: removes it (or measures it in a dry run) and reports it.
    void handleMatch(const WalkEntry& match, std::size_t nameIndex) {
        DeletionEntry entry;
        entry.nameIndex = nameIndex;
        entry.path = joinPath(basePath_, match.relativePath);
        if (workers_) {
            // Handing over may wait for descriptors that only finished entries give back, and
            // they need the lock to report: it is not held meanwhile.
            std::string name(match.name);
            Slot* slot = nullptr;
            {
                std::lock_guard lock(mutex_);
                ++reports_[nameIndex].matched;
                if (options_.dryRun) slot = &slots_.emplace_back(); // a deque keeps its elements in place
            }
            if (options_.dryRun) {
                std::string path = entry.path;
                workers_->measure(
                    match.parentFd, name, std::move(path),
                    [this, slot, entry = std::move(entry)](EntryMeasure measure) mutable {
                        std::lock_guard lock(mutex_);
                        for (RemoveFailure& failure : measure.unreadable)
                            slot->entries.push_back(
                                {0, failure.path, DeletionStatus::Unreadable, 0, {std::move(failure)}});
                        entry.status = DeletionStatus::WouldDelete;
                        entry.bytes = measure.bytes;
                        slot->entries.push_back(std::move(entry));
                        slot->ready = true;
                        writeReadySlots();
                    });
                return;
            }
            std::string path = entry.path;
            workers_->remove(match.parentFd, name, std::move(path), match.type == EntryType::Directory,
                             [this, entry = std::move(entry)](RemoveReport removal) mutable {
                                 std::lock_guard lock(mutex_);
                                 removed(entry, std::move(removal));
                             });
            return;
        }
        DeletionReport& report = reports_[nameIndex];
        ++report.matched;
        if (options_.dryRun) {
            entry.status = DeletionStatus::WouldDelete;
            entry.bytes = entryBytes(match.parentFd, std::string(match.name), entry.path);
            tell(entry);
            return;
        }
        removed(entry,
                removeEntryAt(match.parentFd, match.name, entry.path, match.type == EntryType::Directory,
                              RemoveOptions{options_.maxOpenDescriptors, options_.cancel}));
    }

    // Counts and reports a matched entry's removal.
    void removed(DeletionEntry& entry, RemoveReport removal) {
        DeletionReport& report = reports_[entry.nameIndex];
        entry.bytes = removal.bytesUnlinked;
        report.bytesRemoved += removal.bytesUnlinked;
        switch (removal.outcome) {
        case RemoveOutcome::Removed:
            ++report.removed;
            report.innerRemoved += removal.entriesRemoved - 1;
            entry.status = DeletionStatus::Deleted;
            finish(entry, report);
            break;
        case RemoveOutcome::Vanished:
            // Another run got there first; its own line reports the entry.
            ++report.vanished;
            report.innerRemoved += removal.entriesRemoved;
            report.bytesRemovedUnlisted += removal.bytesUnlinked;
            break;
        case RemoveOutcome::Stopped:
            // Left partly emptied by a stop: not removed, no line; what went still counts.
            ++report.stopped;
            report.innerRemoved += removal.entriesRemoved;
            report.bytesRemovedUnlisted += removal.bytesUnlinked;
            break;
        case RemoveOutcome::Failed:
            ++report.failed;
            report.innerRemoved += removal.entriesRemoved;
            if (removal.failures.empty()) removal.failures.push_back({entry.path, 0, "Unknown error"});
            entry.status = DeletionStatus::Failed;
            entry.failures = std::move(removal.failures);
            finish(entry, report);
            break;
        }
    }

    const std::string& basePath_;
    const DeletionOptions& options_;
    std::vector<DeletionMatch> matches_;
    std::vector<DeletionReport> reports_;
    // With threads: guards the reports, the slots and the writing of lines.
    std::mutex mutex_;
    std::deque<Slot> slots_;
    std::unique_ptr<TreeWorkers> workers_;
};

} // namespace

std::string DeletionEntry::errorText() const {
    std::string text;
    for (const RemoveFailure& failure : failures) {
        if (!text.empty()) text += "; ";
        if (failure.path != path) text += escapeForLog(failure.path) + ": ";
        text += failure.description;
    }
    return text;
}

std::vector<DeletionReport> deleteMatchingItemsReports(const std::string& basePath,
                                                       const std::vector<std::string_view>& deletionNames,
                                                       const DeletionOptions& options) {
    LibraryCleaning cleaning(basePath, deletionNames, options);
    UniqueFd root = openDirectoryNoFollow(basePath);
    if (!root) {
        // A link or a file named like a library is not a library folder: nothing to clean.
        if (errno == ENOTDIR || errno == ELOOP) return std::vector<DeletionReport>(deletionNames.size());
        return cleaning.unopenable(errno);
    }
    return cleaning.run(root.get());
}

DeletionReport deleteMatchingItemsReport(const std::string& basePath, std::string_view deletionName,
                                         const DeletionOptions& options) {
    return deleteMatchingItemsReports(basePath, {deletionName}, options).front();
}

bool deleteMatchingItems(const std::string& basePath, const std::string& deletionName) {
    return deleteMatchingItemsReport(basePath, deletionName).anythingRemoved();
}

namespace {

constexpr char kNotBeneathText[] =
    "Reached only through a link or another file system, not inside the location; left in place";
constexpr char kReplacedText[] = "Not the folder the scan found (moved or replaced since); left in place";

// Whether the record's entry is still the link or file the scan met: not a library folder,
// so there is nothing to clean and nothing to report.
bool isSameNonDirectory(int locationFd, const FCPBundle& library, bool crossMounts) {
    const std::string& relative = library.relativePath;
    const std::size_t slash = relative.rfind('/');
    UniqueFd parent =
        slash == std::string::npos
            ? openDirectoryBeneath(locationFd, "", crossMounts)
            : openDirectoryBeneath(locationFd, std::string_view(relative).substr(0, slash), crossMounts);
    if (!parent) return false;
    struct stat st {};
    const std::string name = relative.substr(slash == std::string::npos ? 0 : slash + 1);
    if (::fstatat(parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
        return false;
    const bool identityKnown = library.device != 0 || library.inode != 0;
    return !identityKnown || (st.st_dev == library.device && st.st_ino == library.inode);
}

} // namespace

std::vector<DeletionReport> deleteMatchingItemsBeneath(int locationFd, const FCPBundle& library,
                                                       const std::vector<std::string_view>& deletionNames,
                                                       const DeletionOptions& options) {
    LibraryCleaning cleaning(library.path, deletionNames, options);
    const bool crossMounts = options.crossFileSystems;
    UniqueFd fd = openDirectoryBeneath(locationFd, library.relativePath, crossMounts);
    if (!fd) {
        const int error = errno;
        if ((error == ELOOP || error == ENOTDIR) && isSameNonDirectory(locationFd, library, crossMounts))
            return std::vector<DeletionReport>(deletionNames.size());
        if (error == ELOOP || error == EXDEV) return cleaning.refused(error, kNotBeneathText);
        return cleaning.unopenable(error);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return cleaning.unopenable(errno);
    const bool identityKnown = library.device != 0 || library.inode != 0;
    if (identityKnown && (st.st_dev != library.device || st.st_ino != library.inode))
        return cleaning.refused(ESTALE, kReplacedText);
    return cleaning.run(fd.get());
}

std::vector<DeletionReport> listCleanableEntries(const FCPBundle& library,
                                                 const std::vector<std::string_view>& deletionNames,
                                                 const DeletionOptions& options) {
    return LibraryCleaning(library.path, deletionNames, options).listed(library.cleanable, deletionNames);
}

std::vector<DeletionReport> deleteMatchingItemsOf(const FCPBundle& library,
                                                  const std::vector<std::string_view>& deletionNames,
                                                  const DeletionOptions& options) {
    FCPBundle reach = library;
    std::string location;
    const std::string& path = library.path;
    const std::string& relative = library.relativePath;
    if (!relative.empty() && path.size() > relative.size() && path.ends_with(relative) &&
        path[path.size() - relative.size() - 1] == '/') {
        location = path.substr(0, path.size() - relative.size() - 1);
        if (location.empty()) location = "/";
    } else {
        // No scan made it: its own last component, below its parent folder.
        std::string trimmed = path;
        while (trimmed.size() > 1 && trimmed.ends_with('/'))
            trimmed.pop_back();
        const std::size_t slash = trimmed.rfind('/');
        location = slash == std::string::npos ? "." : (slash == 0 ? "/" : trimmed.substr(0, slash));
        reach.relativePath = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    }
    UniqueFd locationFd(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (!locationFd) {
        LibraryCleaning cleaning(library.path, deletionNames, options);
        return cleaning.unopenable(errno);
    }
    return deleteMatchingItemsBeneath(locationFd.get(), reach, deletionNames, options);
}

} // namespace velmora

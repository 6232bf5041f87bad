#include "cleaning/clean_library.h"

#include "library/category_position.h"
#include "platform/byte_sum.h"
#include "platform/dir_walker.h"
#include "platform/directory_names.h"
#include "platform/open_beneath.h"
#include "platform/path.h"
#include "platform/safe_remove.h"
#include "platform/translatable_text.h"
#include "platform/tree_workers.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace velmora {

namespace {

// Whether the folder `name` in `parentFd` is the root of another mount.
bool isMountPoint(int parentFd, const char* name) {
    UniqueFd fd(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return fd && isOtherMount(parentFd, fd.get());
}

// One library's cleaning: the walk's visitor and what it tells.
class LibraryCleaning {
  public:
    LibraryCleaning(const std::string& basePath, CategoryMask categories, const DeletionOptions& options)
        : basePath_(basePath), options_(options), categories_(categories) {}

    ~LibraryCleaning() { waitForHandedOver(); } // every handed-over entry is done before the rest goes

    // Walks the library open at `libraryFd` along the categories' sub-paths (its events, and
    // the folders on the way inside them) and deals with every category entry met.
    DeletionReport run(int libraryFd) {
        // The system may give no thread at all (a process limit): then the walk removes alone.
        if (options_.workers && options_.workers->threads() > 0) workers_ = options_.workers;
        WalkOptions walk = walkOptions();
        walk.onError = [this](std::string_view relativePath, int error) {
            unreadable(joinPath(basePath_, relativePath), error);
        };
        walk.onOtherMount = [this](std::string_view) { ++report_.mountsSkipped; };
        // positions[d]: where the folder holding the entries at depth d + 1 lies.
        std::vector<CategoryPosition> positions{CategoryPosition{}};
        const bool walked = walkDirectoryAt(
            libraryFd,
            [&](const WalkEntry& entry) {
                if (cancelled(options_.cancel)) return WalkAction::Stop;
                const CategoryPosition at = positions[entry.depth - 1].child(entry.name, categories_);
                if (at.position == LibraryPosition::Category) {
                    // A category entry is dealt with whole: nothing inside it is met again.
                    handleMatch(entry, at.category);
                    return WalkAction::SkipChildren;
                }
                if (at.position == LibraryPosition::Elsewhere) return WalkAction::SkipChildren;
                positions.resize(entry.depth);
                positions.push_back(at);
                return WalkAction::Continue;
            },
            walk);
        const int walkError = errno;
        waitForHandedOver(); // every callback is done: nothing else holds the lock
        if (!walked && !cancelled(options_.cancel)) unreadable(basePath_, walkError);
        return report_;
    }

    // The library is gone: nothing to clean, nothing to tell.
    DeletionReport vanished() {
        report_.vanished = true;
        return report_;
    }

    // The library itself could not be opened.
    DeletionReport unopenable(int error) {
        unreadable(basePath_, error);
        return report_;
    }

    // The library is not reached, or not as the scan saw it: nothing in it is touched.
    DeletionReport refused(int error, std::string description) {
        tell({std::nullopt,
              basePath_,
              DeletionStatus::Failed,
              0,
              {{basePath_, error, std::move(description)}}});
        return report_;
    }

  private:
    WalkOptions walkOptions() const {
        WalkOptions walk;
        walk.maxOpenDescriptors = options_.maxOpenDescriptors;
        walk.stayOnMount = !options_.crossFileSystems;
        return walk;
    }

    void tell(const DeletionEntry& entry) {
        if (options_.onEntry) options_.onEntry(entry);
    }

    // Entries handed to the threads are counted until their callbacks end, as the threads may
    // be the run's, busy with other libraries' entries too.
    void handingOver() {
        std::lock_guard lock(mutex_);
        ++handedOver_;
    }
    // The last thing a callback does, under the lock (once it is released, this cleaning may
    // be gone).
    void handedBack() {
        if (--handedOver_ == 0) allHandedBack_.notify_all();
    }
    void waitForHandedOver() {
        std::unique_lock lock(mutex_);
        allHandedBack_.wait(lock, [this] { return handedOver_ == 0; });
    }

    // A folder the walk could not open or read: its contents were not searched.
    void unreadable(std::string path, int error) {
        tellNow({std::nullopt, path, DeletionStatus::Unreadable, 0, {{std::move(path), error, describeErrno(error)}}});
    }

    // An entry known at once, told in its place among those that threads are measuring.
    void tellNow(DeletionEntry entry) {
        if (ordered()) {
            std::lock_guard lock(mutex_);
            slots_.push_back({true, {std::move(entry)}});
            tellReadySlots();
            return;
        }
        std::unique_lock lock(mutex_, std::defer_lock);
        if (workers_) lock.lock();
        tell(entry);
    }

    // A dry run measured by several threads still tells in the walk's order: each entry (with
    // the folders inside it that could not be read) takes its place when met and is told
    // once every entry before it is.
    [[nodiscard]] bool ordered() const { return workers_ && options_.dryRun; }
    struct Slot {
        bool ready = false;
        std::vector<DeletionEntry> entries;
    };
    void tellReadySlots() {
        while (!slots_.empty() && slots_.front().ready) {
            for (const DeletionEntry& entry : slots_.front().entries)
                tell(entry);
            slots_.pop_front();
        }
    }

    // Regular-file bytes of the matched entry `name` in `parentFd`: its size for a file, the
    // total below it for a directory (links not followed, other mounts not entered), 0 for
    // anything else. Folders inside it that cannot be read are told.
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
        WalkOptions walk = walkOptions();
        walk.stayOnMount = true; // removal never enters a mount inside a matched entry
        walk.onError = [&](std::string_view relativePath, int error) {
            unreadable(joinPath(fullPath, relativePath), error);
        };
        return regularFileBytesBelow(fd.get(), walk);
    }

    // Deals with one matched entry: removes it (or measures it in a dry run) and tells it.
    void handleMatch(const WalkEntry& match, CacheCategory category) {
        DeletionEntry entry;
        entry.category = category;
        entry.path = joinPath(basePath_, match.relativePath);
        const bool directory = match.type == EntryType::Directory;
        if (options_.dryRun && directory && isMountPoint(match.parentFd, match.name.data())) {
            // The cleaning leaves it in place: the dry run says so, in the same words.
            entry.status = DeletionStatus::Failed;
            entry.failures = {mountPointFailure(entry.path)};
            tellNow(std::move(entry));
            return;
        }
        if (!workers_) {
            if (options_.dryRun) {
                entry.status = DeletionStatus::WouldDelete;
                entry.bytes = entryBytes(match.parentFd, std::string(match.name), entry.path);
                tell(entry);
                return;
            }
            removed(entry, removeEntryAt(match.parentFd, match.name, entry.path, directory,
                                         RemoveOptions{options_.maxOpenDescriptors, options_.cancel}));
            return;
        }
        // Handing over may wait for descriptors that only finished entries give back, and
        // they need the lock to tell: it is not held meanwhile.
        std::string name(match.name);
        std::string path = entry.path;
        if (!options_.dryRun) {
            handingOver();
            workers_->remove(match.parentFd, name, std::move(path), directory,
                             [this, entry = std::move(entry)](RemoveReport removal) mutable {
                                 std::lock_guard lock(mutex_);
                                 removed(entry, std::move(removal));
                                 handedBack();
                             });
            return;
        }
        Slot* slot = nullptr;
        {
            std::lock_guard lock(mutex_);
            slot = &slots_.emplace_back(); // a deque keeps its elements in place
            ++handedOver_;
        }
        workers_->measure(
            match.parentFd, name, std::move(path),
            [this, slot, entry = std::move(entry)](EntryMeasure measure) mutable {
                std::lock_guard lock(mutex_);
                for (RemoveFailure& failure : measure.unreadable)
                    slot->entries.push_back(
                        {std::nullopt, failure.path, DeletionStatus::Unreadable, 0, {std::move(failure)}});
                entry.status = DeletionStatus::WouldDelete;
                entry.bytes = measure.bytes;
                slot->entries.push_back(std::move(entry));
                slot->ready = true;
                tellReadySlots();
                handedBack();
            });
    }

    // Counts and tells a matched entry's removal.
    void removed(DeletionEntry& entry, RemoveReport removal) {
        entry.bytes = removal.bytesUnlinked;
        entry.bytesFreed = removal.bytesFreed;
        report_.anythingRemoved = report_.anythingRemoved || removal.entriesRemoved > 0;
        switch (removal.outcome) {
        case RemoveOutcome::Removed:
            entry.status = DeletionStatus::Deleted;
            tell(entry);
            break;
        case RemoveOutcome::Vanished: // another run got there first; it tells the entry
        case RemoveOutcome::Stopped:  // left partly emptied by a stop: not removed, not told
            report_.bytesUnlisted = addBytes(report_.bytesUnlisted, removal.bytesUnlinked);
            report_.bytesFreedUnlisted = addBytes(report_.bytesFreedUnlisted, removal.bytesFreed);
            break;
        case RemoveOutcome::Failed:
            if (removal.failures.empty()) removal.failures.push_back({entry.path, 0, "Unknown error"});
            entry.status = DeletionStatus::Failed;
            entry.failures = std::move(removal.failures);
            tell(entry);
            break;
        }
    }

    const std::string& basePath_;
    const DeletionOptions& options_;
    const CategoryMask categories_;
    DeletionReport report_;
    // With threads: guards the report, the slots, the telling of entries and the count of
    // those handed over.
    std::mutex mutex_;
    std::condition_variable allHandedBack_;
    std::size_t handedOver_ = 0;
    std::deque<Slot> slots_;
    TreeWorkers* workers_ = nullptr;
};

constexpr char kNotBeneathText[] = QT_TRANSLATE_NOOP(
    "FailureReasons",
    "Reached only through a link or another file system, not inside the location; left in place");
constexpr char kReplacedText[] = QT_TRANSLATE_NOOP(
    "FailureReasons", "Not the folder the scan found (moved or replaced since); left in place");

// Whether the record's entry is still the link or file the scan met: not a library folder,
// so there is nothing to clean and nothing to tell.
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

DeletionReport cleanLibrary(int locationFd, const FCPBundle& library, CategoryMask categories,
                            const DeletionOptions& options) {
    LibraryCleaning cleaning(library.path, categories, options);
    const bool crossMounts = options.crossFileSystems;
    UniqueFd fd = openDirectoryBeneath(locationFd, library.relativePath, crossMounts);
    if (!fd) {
        const int error = errno;
        if ((error == ELOOP || error == ENOTDIR) && isSameNonDirectory(locationFd, library, crossMounts))
            return {};
        if (error == ELOOP || error == EXDEV) return cleaning.refused(error, kNotBeneathText);
        // The folder the scan met is a link or a file now, or something on the way to it is.
        if (error == ENOTDIR) return cleaning.refused(error, kReplacedText);
        if (error == ENOENT) return cleaning.vanished();
        return cleaning.unopenable(error);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return cleaning.unopenable(errno);
    const bool identityKnown = library.device != 0 || library.inode != 0;
    if (identityKnown && (st.st_dev != library.device || st.st_ino != library.inode))
        return cleaning.refused(ESTALE, kReplacedText);
    return cleaning.run(fd.get());
}

void listCleanable(const FCPBundle& library, CategoryMask categories, const DeletionEntrySink& onEntry) {
    for (const CleanableEntry& cleanable : library.cleanable) {
        if ((categories & categoryBit(cleanable.category)) == 0 || !onEntry) continue;
        std::string path = joinPath(library.path, cleanable.relativePath);
        if (cleanable.mountPoint)
            onEntry({cleanable.category, path, DeletionStatus::Failed, 0, {mountPointFailure(path)}});
        else
            onEntry({cleanable.category, std::move(path), DeletionStatus::WouldDelete, cleanable.bytes, {}});
    }
}

} // namespace velmora

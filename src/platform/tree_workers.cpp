#include "platform/tree_workers.h"

#include "platform/bounded_task_pool.h"
#include "platform/byte_sum.h"
#include "platform/dir_walker.h"
#include "platform/directory_names.h"
#include "platform/file_identity.h"
#include "platform/path.h"
#include "platform/tree_work_items.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>

namespace velmora {

namespace {

// Descriptors each thread may hold besides the directories being emptied: a removal handed
// to removeEntryAt (two levels and one to climb back) or a walk measuring one directory.
constexpr std::size_t kPerThread = 3;

using tree_work::childKey;
using tree_work::Dir;
using tree_work::Job;
using tree_work::kAfterChildren;
using tree_work::Key;
using tree_work::KeyedFailure;

// The weight of an entry handed over, against the folders inside entries (see post()).
constexpr std::size_t kEntryWeight = 1;

} // namespace

struct TreeWorkers::Impl {
    Impl(unsigned threadCount, std::size_t maxOpen, const CancellationToken* token)
        : cancel(token),
          pool(threadCount, maxOpen > threadCount * kPerThread + 1 ? maxOpen - threadCount * kPerThread : 1) {
    }

    const CancellationToken* cancel;
    // Descriptors for listed directories and the entries' parents; its threads run every task.
    BoundedTaskPool pool;

    void submit(std::unique_ptr<Job> job, int parentFd) {
        pool.reserveWaiting();
        job->parentFd.reset(::fcntl(parentFd, F_DUPFD_CLOEXEC, 0));
        std::optional<FileIdentity> parentId;
        if (job->parentFd) parentId = identifyFd(job->parentFd.get());
        if (!parentId) {
            // Not even the parent can be looked at: the one-by-one removal says why.
            job->parentFd.reset();
            pool.release();
            if (job->measuring)
                job->measured(EntryMeasure{});
            else
                job->removed(removeEntryAt(parentFd, job->name, job->path, job->expectDirectory,
                                           RemoveOptions{2, cancel}));
            return;
        }
        job->parentId = *parentId;
        pool.jobStarted();
        Job* raw = job.release();
        // An entry starts before the folders inside those already started: it may hold the
        // run's longest chain of removals (those in one folder go one after the other), which
        // sets the end of the whole run unless it starts early.
        pool.post([this, raw] { start(raw); }, kEntryWeight);
    }

    void complete(Job* job) {
        std::unique_ptr<Job> owned(job);
        if (job->measuring) {
            EntryMeasure measure;
            measure.bytes = job->bytes.load();
            measure.unreadable = job->sortedFailures();
            job->measured(std::move(measure));
        } else {
            RemoveReport report;
            report.entriesRemoved = job->entriesRemoved.load();
            report.bytesUnlinked = job->bytes.load();
            report.bytesFreed = job->freed.load();
            if (job->readOnly) {
                // Nothing on a read-only file system can go: one failure for the whole entry.
                report.outcome = RemoveOutcome::Failed;
                report.failures.push_back({job->path, EROFS, describeErrno(EROFS)});
            } else {
                report.outcome = job->stopped ? RemoveOutcome::Stopped : job->rootOutcome;
                report.failures = job->sortedFailures();
            }
            job->removed(std::move(report));
        }
        job->parentFd.reset();
        owned.reset();
        pool.jobEnded();
    }

    // The entry itself: a directory is opened and listed here; anything else, and anything
    // unusual about the directory, goes to the one-by-one removal.
    void start(Job* job) {
        const int parentFd = job->parentFd.get();
        if (job->measuring) {
            struct stat st {};
            if (::fstatat(parentFd, job->name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISREG(st.st_mode)) job->bytes = static_cast<std::int64_t>(st.st_size);
                if (S_ISDIR(st.st_mode)) {
                    bool spare = true;
                    auto root = openListed(job, parentFd, job->parentId, job->name, job->path, Key{}, &spare);
                    if (root) return process(std::move(root));
                    if (!spare) measureHere(job, parentFd, job->parentId, job->name, job->path, Key{});
                }
            }
            return complete(job);
        }
        if (cancelled(cancel)) {
            job->stopped = true;
            return complete(job);
        }
        auto root = openListed(job, parentFd, job->parentId, job->name, job->path, Key{});
        if (!root) {
            RemoveReport report =
                removeEntryAt(parentFd, job->name, job->path, job->expectDirectory, RemoveOptions{2, cancel});
            job->entriesRemoved += report.entriesRemoved;
            addBytes(job->bytes, report.bytesUnlinked);
            addBytes(job->freed, report.bytesFreed);
            job->rootOutcome = report.outcome;
            if (report.outcome == RemoveOutcome::Stopped) job->stopped = true;
            for (RemoveFailure& failure : report.failures)
                job->addFailure(Key{}, std::move(failure));
            return complete(job);
        }
        process(std::move(root));
    }

    // Opens and lists the directory `name` of `parentFd` (which is `parentId`). Nothing when
    // that is not plainly possible: no descriptor to spare (`spare` false), not a directory
    // (any more), another mount, unreadable. Measuring reports an unreadable one.
    std::shared_ptr<Dir> openListed(Job* job, int parentFd, const FileIdentity& parentId,
                                    const std::string& name, const std::string& path, const Key& key,
                                    bool* spare = nullptr) {
        if (spare) *spare = true;
        if (!pool.tryReserve()) {
            if (spare) *spare = false;
            return nullptr;
        }
        auto dir = std::make_shared<Dir>();
        dir->fd.reset(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        int error = dir->fd ? 0 : errno;
        std::optional<FileIdentity> id;
        if (!error) id = identifyFd(dir->fd.get());
        if (!error && !id) error = errno;
        if (!error && onOtherMount(parentId, *id)) error = EXDEV;
        if (!error) {
            // A removal learns whether it saw the whole listing from the directory's own
            // removal; measuring reads to the end.
            error = job->measuring ? readDirectoryNames(dir->fd.get(), dir->children)
                                   : readDirectoryNamesUntilShortRead(dir->fd.get(), dir->children, dir->endSeen);
        }
        if (error) {
            dir->fd.reset();
            pool.release();
            if (job->measuring && error != ENOENT && error != ENOTDIR && error != ELOOP && error != EXDEV)
                job->addFailure(key, {path, error, describeErrno(error)});
            return nullptr;
        }
        dir->job = job;
        dir->id = *id;
        dir->name = name;
        dir->path = path;
        dir->key = key;
        return dir;
    }

    // Goes through the listing of `dir`: files are removed (or measured) here, directories
    // listed and queued for any thread. Ends with the directory when nothing below waits.
    void process(std::shared_ptr<Dir> dir) {
        Job* job = dir->job;
        for (std::size_t i = 0; i < dir->children.size() && !job->ended(); ++i) {
            const DirectoryChild& child = dir->children[i];
            std::string path = dir->path + '/' + child.name;
            if (job->measuring)
                measureChild(dir, i, std::move(path));
            else if (!removeChild(dir, i, std::move(path)))
                break;
        }
        if (--dir->pending == 0) finish(std::move(dir));
    }

    // False when the stop request or a read-only file system ends the whole entry.
    bool removeChild(const std::shared_ptr<Dir>& dir, std::size_t index, std::string path) {
        Job* job = dir->job;
        const DirectoryChild& child = dir->children[index];
        const int fd = dir->fd.get();
        if (cancelled(cancel)) {
            job->stopped = true;
            return false;
        }
        if (child.type != DT_DIR) {
            const UnlinkLookUp file = lookUpBeforeUnlink(fd, child.name.c_str(), child.type);
            if (file.kind == UnlinkLookUp::Kind::Vanished) return true;
            if (file.kind != UnlinkLookUp::Kind::Directory) {
                if (::unlinkat(fd, child.name.c_str(), 0) == 0) {
                    ++job->entriesRemoved;
                    addBytes(job->bytes, file.bytes);
                    addBytes(job->freed, file.freed);
                    return true;
                }
                if (errno == ENOENT) return true;
                if (errno == EROFS) {
                    job->readOnly = true;
                    return false;
                }
                return handOver(dir, index, std::move(path), false);
            }
        }
        postChild(dir, index, std::move(path));
        return true;
    }

    // A directory in `dir`'s listing, opened, listed and dealt with by whichever thread takes
    // it: the directories of one listing are read side by side, not one after the other by
    // the thread going through it.
    void postChild(const std::shared_ptr<Dir>& dir, std::size_t index, std::string path) {
        ++dir->pending;
        pool.post([this, dir, index, path = std::move(path)]() mutable { takeChild(dir, index, std::move(path)); });
    }

    void takeChild(std::shared_ptr<Dir> dir, std::size_t index, std::string path) {
        Job* job = dir->job;
        const DirectoryChild& child = dir->children[index];
        const Key key = dir->keyOf(index);
        std::shared_ptr<Dir> below;
        if (job->measuring) {
            bool spare = true;
            below = openListed(job, dir->fd.get(), dir->id, child.name, path, key, &spare);
            if (!below && !spare) measureHere(job, dir->fd.get(), dir->id, child.name, path, key);
        } else if (!job->ended()) {
            if (cancelled(cancel))
                job->stopped = true;
            else if (!(below = openListed(job, dir->fd.get(), dir->id, child.name, path, key)))
                handOver(dir, index, std::move(path), true);
        }
        if (below) {
            below->parent = dir;
            return process(std::move(below)); // it tells `dir` once done
        }
        if (--dir->pending == 0) finish(std::move(dir));
    }

    // The one-by-one removal of one child, for everything out of the ordinary.
    bool handOver(const std::shared_ptr<Dir>& dir, std::size_t index, std::string path, bool directory) {
        Job* job = dir->job;
        RemoveReport report = removeEntryAt(dir->fd.get(), dir->children[index].name, path, directory,
                                            RemoveOptions{2, cancel});
        job->entriesRemoved += report.entriesRemoved;
        addBytes(job->bytes, report.bytesUnlinked);
        addBytes(job->freed, report.bytesFreed);
        const Key key = dir->keyOf(index);
        for (RemoveFailure& failure : report.failures) {
            if (failure.error == EROFS) job->readOnly = true;
            job->addFailure(key, std::move(failure));
        }
        if (report.outcome == RemoveOutcome::Failed) dir->leftSomething = true;
        if (report.outcome == RemoveOutcome::Stopped) job->stopped = true;
        return !job->ended();
    }

    void measureChild(const std::shared_ptr<Dir>& dir, std::size_t index, std::string path) {
        Job* job = dir->job;
        const DirectoryChild& child = dir->children[index];
        const int fd = dir->fd.get();
        if (child.type != DT_DIR) {
            if (child.type != DT_REG && child.type != DT_UNKNOWN) return;
            struct stat st {};
            if (::fstatat(fd, child.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
            if (S_ISREG(st.st_mode)) addBytes(job->bytes, st.st_size);
            if (!S_ISDIR(st.st_mode)) return;
        }
        postChild(dir, index, std::move(path));
    }

    // No descriptor to spare: the directory is measured on this thread, one level at a time.
    void measureHere(Job* job, int parentFd, const FileIdentity& parentId, const std::string& name,
                     const std::string& path, const Key& key) {
        UniqueFd own(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!own) {
            if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP)
                job->addFailure(key, {path, errno, describeErrno(errno)});
            return;
        }
        auto id = identifyFd(own.get());
        if (!id || onOtherMount(parentId, *id)) return;
        std::vector<KeyedFailure> unreadable;
        WalkOptions walk;
        walk.maxOpenDescriptors = 2;
        walk.stayOnMount = true;
        std::int64_t total = 0;
        std::uint32_t order = 0;
        walk.onError = [&](std::string_view relative, int error) {
            unreadable.push_back(
                {childKey(key, order++), {joinPath(path, relative), error, describeErrno(error)}});
        };
        walkDirectoryAt(
            own.get(),
            [&](const WalkEntry& entry) {
                struct stat st {};
                if (entry.type == EntryType::Regular &&
                    ::fstatat(entry.parentFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISREG(st.st_mode))
                    total = addBytes(total, st.st_size);
                return WalkAction::Continue;
            },
            walk);
        addBytes(job->bytes, total);
        for (KeyedFailure& failure : unreadable)
            job->addFailure(std::move(failure.key), std::move(failure.failure));
    }

    // More of `dir`'s listing, which holds entries not gone through yet: the rest of a listing
    // taken as whole after a short read (see openListed), or else a fresh one (what was
    // created inside meanwhile). 0, or the errno.
    int listMore(Dir& dir) {
        dir.listed += dir.children.size();
        if (!dir.endSeen) {
            dir.endSeen = true;
            return readRemainingDirectoryNames(dir.fd.get(), dir.children);
        }
        ++dir.rereads;
        return readDirectoryNames(dir.fd.get(), dir.children);
    }

    // Everything below `dir` is done: remove it through its parent's descriptor, then tell
    // the parent, which may be done in turn.
    void finish(std::shared_ptr<Dir> dir) {
        for (;;) {
            Job* job = dir->job;
            const int parentFd = dir->parent ? dir->parent->fd.get() : job->parentFd.get();
            bool removed = false;
            bool vanished = false;
            if (dir->leftSomething && !dir->endSeen && !job->ended() && !cancelled(cancel)) {
                // It stays; what its listing has not given yet is still dealt with.
                const int readError = listMore(*dir);
                if (readError == 0) {
                    dir->pending = 1;
                    return process(std::move(dir));
                }
                if (readError != ENOENT)
                    job->addFailure(childKey(dir->key, kAfterChildren),
                                    {dir->path, readError, describeErrno(readError)});
            }
            if (!job->measuring && !dir->leftSomething && !job->ended()) {
                if (cancelled(cancel)) {
                    job->stopped = true;
                } else if (::unlinkat(parentFd, dir->name.c_str(), AT_REMOVEDIR) == 0) {
                    removed = true;
                } else {
                    const int error = errno;
                    if (error == ENOENT) {
                        vanished = true;
                    } else if ((error == ENOTEMPTY || error == EEXIST) && (!dir->endSeen || dir->rereads < 2)) {
                        const int readError = listMore(*dir);
                        if (readError == 0) {
                            dir->pending = 1;
                            return process(std::move(dir));
                        }
                        if (readError == ENOENT)
                            vanished = true;
                        else
                            job->addFailure(childKey(dir->key, kAfterChildren),
                                            {dir->path, error, describeErrno(error)});
                    } else if (error == EROFS) {
                        job->readOnly = true;
                    } else {
                        job->addFailure(childKey(dir->key, kAfterChildren),
                                        {dir->path, error, describeErrno(error)});
                    }
                }
            }
            if (removed) ++job->entriesRemoved;
            dir->fd.reset();
            pool.release();
            std::shared_ptr<Dir> parent = std::move(dir->parent);
            if (!parent) {
                job->rootOutcome = removed ? RemoveOutcome::Removed
                                           : (vanished ? RemoveOutcome::Vanished : RemoveOutcome::Failed);
                return complete(job);
            }
            if (!removed && !vanished) parent->leftSomething = true;
            dir.reset();
            if (--parent->pending != 0) return;
            dir = std::move(parent);
        }
    }
};

TreeWorkers::TreeWorkers(unsigned threads, std::size_t maxOpenDescriptors, const CancellationToken* cancel)
    : impl_(std::make_unique<Impl>(std::max(1u, threads), maxOpenDescriptors, cancel)) {}

TreeWorkers::~TreeWorkers() = default;

unsigned TreeWorkers::usableThreads(unsigned wanted, std::size_t maxOpenDescriptors) {
    // Each thread's own few, and as many again for directories being emptied.
    const std::size_t fit = maxOpenDescriptors / (2 * kPerThread);
    return static_cast<unsigned>(std::min<std::size_t>(wanted, fit));
}

void TreeWorkers::remove(int parentFd, const std::string& name, std::string displayPath, bool expectDirectory,
                         std::function<void(RemoveReport)> done) {
    auto job = std::make_unique<Job>();
    job->name = name;
    job->path = std::move(displayPath);
    job->expectDirectory = expectDirectory;
    job->removed = std::move(done);
    impl_->submit(std::move(job), parentFd);
}

void TreeWorkers::measure(int parentFd, const std::string& name, std::string displayPath,
                          std::function<void(EntryMeasure)> done) {
    auto job = std::make_unique<Job>();
    job->measuring = true;
    job->name = name;
    job->path = std::move(displayPath);
    job->measured = std::move(done);
    impl_->submit(std::move(job), parentFd);
}

std::size_t TreeWorkers::threads() const {
    return impl_->pool.threads();
}

} // namespace velmora

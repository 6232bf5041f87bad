#include "platform/safe_remove.h"

#include "platform/byte_sum.h"
#include "platform/directory_names.h"
#include "platform/file_identity.h"
#include "platform/translatable_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr char kMountPointText[] = QT_TRANSLATE_NOOP("FailureReasons", "Is a mount point; left in place");
constexpr char kMovedText[] =
    QT_TRANSLATE_NOOP("FailureReasons", "Directory moved during removal; left in place");

using Identity = FileIdentity;

bool differentMount(const Identity& parent, const Identity& child) {
    return onOtherMount(parent, child);
}

std::optional<Identity> identify(int dirFd, const char* name) {
    return identifyAt(dirFd, name);
}

std::string describe(int error) {
    return describeErrno(error);
}

using Child = DirectoryChild;

int readNames(int fd, std::vector<Child>& out) {
    return readDirectoryNames(fd, out);
}

struct Frame {
    UniqueFd fd;
    Identity id;
    std::string name; // the directory's name in its parent
    std::vector<Child> children;
    std::size_t next = 0;
    std::size_t pathLength = 0; // length of this directory's full path in the path buffer
    int rereads = 0;
    bool leftSomething = false; // something inside stays, so this directory stays too
};

class Remover {
  public:
    Remover(int rootParentFd, std::string_view displayPath, const RemoveOptions& options)
        : rootParentFd_(rootParentFd), path_(displayPath),
          cap_(std::max<std::size_t>(options.maxOpenDescriptors, 2)), cancel_(options.cancel) {}

    RemoveReport run(std::string_view name, unsigned char listedType);

  private:
    enum class Step { Removed, Vanished, Failed, Descend };

    // `listedType`: the d_type the listing gave (DT_UNKNOWN when nothing is known).
    Step removeOrOpen(int dirFd, const Identity& dirId, const std::string& name, unsigned char listedType,
                      Frame& opened);
    Step openDirectory(int dirFd, const Identity& dirId, const std::string& name, Frame& opened);
    void fail(int error, std::string description = {}) {
        if (error == EROFS) {
            // Nothing on a read-only file system can go: one failure for the whole entry.
            report_.failures.push_back({path_.substr(0, rootPathLength_), error, describe(error)});
            aborted_ = true;
            return;
        }
        report_.failures.push_back(
            {path_, error, description.empty() ? describe(error) : std::move(description)});
    }
    void push(Frame&& frame);
    enum class Parent { Ready, Resumed, Aborted };
    // Makes sure the frame below the top has an open descriptor. Resumed: part of the tree
    // vanished meanwhile and the stack now ends at what is left; Aborted: a directory was
    // moved away, and nothing more may be removed.
    Parent ensureParentOpen();
    void finishTop();

    int rootParentFd_;
    std::string path_;
    std::size_t rootPathLength_ = path_.size();
    std::size_t cap_;
    const CancellationToken* cancel_;
    std::vector<Frame> stack_;
    std::size_t firstOpen_ = 0; // frames [firstOpen_, size) hold open descriptors
    RemoveReport report_;
    bool aborted_ = false;
};

Remover::Step Remover::openDirectory(int dirFd, const Identity& dirId, const std::string& name,
                                     Frame& opened) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            int error = errno;
            if (error == ENOENT) return Step::Vanished;
            if (error == ENOTDIR || error == ELOOP) {
                // Swapped for a link or a file: unlink that, never follow it.
                if (::unlinkat(dirFd, name.c_str(), 0) == 0) return Step::Removed;
                int unlinkError = errno;
                if (unlinkError == ENOENT) return Step::Vanished;
                if (unlinkError == EISDIR) continue; // swapped back to a directory
                fail(unlinkError);
                return Step::Failed;
            }
            // Unreadable (no search permission) or out of descriptors: an empty directory
            // can still go; otherwise report why it could not be opened.
            if (::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0) return Step::Removed;
            if (errno == ENOENT) return Step::Vanished;
            fail(error);
            return Step::Failed;
        }
        opened.fd.reset(fd);
        auto id = identifyFd(fd);
        if (!id) {
            fail(errno);
            return Step::Failed;
        }
        if (differentMount(dirId, *id)) {
            fail(EBUSY, kMountPointText);
            return Step::Failed;
        }
        opened.id = *id;
        if (int error = readNames(fd, opened.children)) {
            if (error == ENOENT) return Step::Vanished; // removed while we opened it
            fail(error);
            return Step::Failed;
        }
        opened.name = name;
        return Step::Descend;
    }
    fail(EISDIR);
    return Step::Failed;
}

Remover::Step Remover::removeOrOpen(int dirFd, const Identity& dirId, const std::string& name,
                                    unsigned char listedType, Frame& opened) {
    if (listedType != DT_DIR) {
        const UnlinkLookUp file = lookUpBeforeUnlink(dirFd, name.c_str(), listedType);
        if (file.kind == UnlinkLookUp::Kind::Vanished) return Step::Vanished;
        if (file.kind == UnlinkLookUp::Kind::Directory) return openDirectory(dirFd, dirId, name, opened);
        if (::unlinkat(dirFd, name.c_str(), 0) == 0) {
            report_.bytesUnlinked = addBytes(report_.bytesUnlinked, file.bytes);
            report_.bytesFreed = addBytes(report_.bytesFreed, file.freed);
            return Step::Removed;
        }
        int error = errno;
        if (error == ENOENT) return Step::Vanished;
        if (error != EISDIR) {
            // Other systems say EPERM for a directory, and a permission check comes before
            // the type check: find out whether it is a directory after all.
            auto id = identify(dirFd, name.c_str());
            if (!id) {
                if (errno == ENOENT) return Step::Vanished;
                fail(error);
                return Step::Failed;
            }
            if (!S_ISDIR(id->mode)) {
                if (error == EBUSY && differentMount(dirId, *id))
                    fail(error, kMountPointText);
                else
                    fail(error);
                return Step::Failed;
            }
        }
    }
    return openDirectory(dirFd, dirId, name, opened);
}

void Remover::push(Frame&& frame) {
    frame.pathLength = path_.size();
    stack_.push_back(std::move(frame));
    while (stack_.size() - firstOpen_ > cap_) {
        stack_[firstOpen_].fd.reset();
        ++firstOpen_;
    }
}

Remover::Parent Remover::ensureParentOpen() {
    const std::size_t parent = stack_.size() - 2;
    if (parent >= firstOpen_) return Parent::Ready;
    Frame& above = stack_[parent];
    UniqueFd up(::openat(stack_.back().fd.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (up) {
        auto id = identifyFd(up.get());
        if (id && id->sameFile(above.id)) {
            above.fd = std::move(up);
            firstOpen_ = parent;
            return Parent::Ready;
        }
    }
    // ".." is not the directory we came from: ours was moved or removed by someone else.
    // Find the way down again from the entry's parent, by name, checking every level.
    UniqueFd current;
    int dirFd = rootParentFd_;
    for (std::size_t k = 0; k <= parent; ++k) {
        UniqueFd next(
            ::openat(dirFd, stack_[k].name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        std::optional<Identity> id;
        if (next) id = identifyFd(next.get());
        if (!next && errno == ENOENT) {
            // Level k is gone with everything below it: carry on with what is left above.
            stack_.resize(k);
            if (k == 0) {
                report_.outcome = RemoveOutcome::Vanished;
                return Parent::Resumed;
            }
            stack_.back().fd = std::move(current);
            firstOpen_ = k - 1;
            path_.resize(stack_.back().pathLength);
            return Parent::Resumed;
        }
        if (!id || !id->sameFile(stack_[k].id)) {
            // Moved elsewhere: going on would remove names in the wrong place.
            path_.resize(stack_[k].pathLength);
            fail(ESTALE, kMovedText);
            return Parent::Aborted;
        }
        current = std::move(next);
        dirFd = current.get();
    }
    above.fd = std::move(current);
    firstOpen_ = parent;
    return Parent::Ready;
}

void Remover::finishTop() {
    Frame& top = stack_.back();
    const bool isRoot = stack_.size() == 1;
    if (!isRoot) {
        switch (ensureParentOpen()) {
        case Parent::Ready:
            break;
        case Parent::Resumed:
            return;
        case Parent::Aborted:
            aborted_ = true;
            return;
        }
    }
    const int parentFd = isRoot ? rootParentFd_ : stack_[stack_.size() - 2].fd.get();
    bool removed = false;
    bool vanished = false;
    if (!top.leftSomething) {
        if (::unlinkat(parentFd, top.name.c_str(), AT_REMOVEDIR) == 0) {
            removed = true;
        } else {
            int error = errno;
            if (error == ENOENT) {
                vanished = true;
            } else if ((error == ENOTEMPTY || error == EEXIST) && top.rereads < 2) {
                // Something was created inside meanwhile: take it too.
                ++top.rereads;
                int readError = readNames(top.fd.get(), top.children);
                if (readError == 0) {
                    top.next = 0;
                    return;
                }
                if (readError == ENOENT)
                    vanished = true;
                else
                    fail(error);
            } else {
                fail(error);
            }
        }
    }
    if (removed) ++report_.entriesRemoved;
    const bool stays = !removed && !vanished;
    stack_.pop_back();
    if (firstOpen_ > stack_.size()) firstOpen_ = stack_.size();
    if (stack_.empty()) {
        report_.outcome =
            removed ? RemoveOutcome::Removed : (vanished ? RemoveOutcome::Vanished : RemoveOutcome::Failed);
        return;
    }
    if (stays) stack_.back().leftSomething = true;
    path_.resize(stack_.back().pathLength);
}

RemoveReport Remover::run(std::string_view name, unsigned char listedType) {
    auto rootParentId = identifyFd(rootParentFd_);
    if (!rootParentId) {
        fail(errno);
        report_.outcome = RemoveOutcome::Failed;
        return std::move(report_);
    }
    Frame first;
    switch (removeOrOpen(rootParentFd_, *rootParentId, std::string(name), listedType, first)) {
    case Step::Removed:
        report_.entriesRemoved = 1;
        report_.outcome = RemoveOutcome::Removed;
        return std::move(report_);
    case Step::Vanished:
        report_.outcome = RemoveOutcome::Vanished;
        return std::move(report_);
    case Step::Failed:
        report_.outcome = RemoveOutcome::Failed;
        return std::move(report_);
    case Step::Descend:
        push(std::move(first));
        break;
    }

    while (!stack_.empty() && !aborted_) {
        if (cancelled(cancel_)) {
            report_.outcome = RemoveOutcome::Stopped;
            return std::move(report_);
        }
        Frame& top = stack_.back();
        if (top.next == top.children.size()) {
            finishTop();
            continue;
        }
        const Child& child = top.children[top.next++];
        path_.push_back('/');
        path_.append(child.name);
        Frame opened;
        switch (removeOrOpen(top.fd.get(), top.id, child.name, child.type, opened)) {
        case Step::Removed:
            ++report_.entriesRemoved;
            break;
        case Step::Vanished:
            break;
        case Step::Failed:
            top.leftSomething = true;
            break;
        case Step::Descend:
            push(std::move(opened)); // `top` is invalid from here on
            continue;
        }
        path_.resize(stack_.back().pathLength);
    }
    if (aborted_) report_.outcome = RemoveOutcome::Failed;
    return std::move(report_);
}

} // namespace

UnlinkLookUp lookUpBeforeUnlink(int dirFd, const char* name, unsigned char listedType) {
    UnlinkLookUp found;
    if (listedType != DT_REG && listedType != DT_UNKNOWN) return found;
    struct statx st {};
    constexpr unsigned kWanted = STATX_TYPE | STATX_SIZE | STATX_NLINK | STATX_BLOCKS;
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kWanted, &st) != 0) {
        if (errno == ENOENT) found.kind = UnlinkLookUp::Kind::Vanished;
    } else if (S_ISDIR(st.stx_mode)) {
        found.kind = UnlinkLookUp::Kind::Directory;
    } else if (S_ISREG(st.stx_mode)) {
        found.bytes = static_cast<std::int64_t>(st.stx_size);
        if (st.stx_nlink <= 1 && (st.stx_mask & STATX_BLOCKS) != 0)
            found.freed = static_cast<std::int64_t>(st.stx_blocks) * 512;
    }
    return found;
}

RemoveFailure mountPointFailure(std::string path) {
    return {std::move(path), EBUSY, kMountPointText};
}

RemoveReport removeEntryAt(int parentFd, std::string_view name, std::string_view displayPath,
                           bool expectDirectory, const RemoveOptions& options) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) {
        RemoveReport report;
        report.outcome = RemoveOutcome::Failed;
        report.failures.push_back({std::string(displayPath), EINVAL, describe(EINVAL)});
        return report;
    }
    Remover remover(parentFd, displayPath, options);
    return remover.run(name, expectDirectory ? DT_DIR : DT_UNKNOWN);
}

bool isOtherMount(int parentFd, int fd) {
    auto parent = identifyFd(parentFd);
    auto child = identifyFd(fd);
    if (!parent || !child) return true;
    return differentMount(*parent, *child);
}

UniqueFd openDirectoryNoFollow(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return UniqueFd();
    }
    // A trailing slash would make the kernel follow a link in the last component.
    std::size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return UniqueFd(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::string trimmed = path.substr(0, end + 1);
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (trimmed.size() < PATH_MAX) return UniqueFd(::open(trimmed.c_str(), kFlags | O_NOFOLLOW));

    // Too long for one call: open it a few components at a time, relative to the last piece.
    UniqueFd current(::open(trimmed[0] == '/' ? "/" : ".", kFlags));
    if (!current) return current;
    std::size_t pos = trimmed.find_first_not_of('/');
    while (pos != std::string::npos) {
        std::size_t limit = pos + (PATH_MAX - 256);
        bool last = limit >= trimmed.size();
        std::size_t cut = last ? trimmed.size() : trimmed.rfind('/', limit);
        if (cut == std::string::npos || cut <= pos) {
            errno = ENAMETOOLONG;
            return UniqueFd();
        }
        std::string piece = trimmed.substr(pos, cut - pos);
        UniqueFd next(::openat(current.get(), piece.c_str(), kFlags | (last ? O_NOFOLLOW : 0)));
        if (!next) return next;
        current = std::move(next);
        pos = last ? std::string::npos : trimmed.find_first_not_of('/', cut);
    }
    return current;
}

} // namespace velmora

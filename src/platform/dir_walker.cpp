#include "platform/dir_walker.h"

#include "platform/byte_sum.h"
#include "platform/file_identity.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velmora {
namespace {

constexpr std::size_t kBufferSize = 32 * 1024;
constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// One directory on the current path from the root. Only the deepest few hold a descriptor
// and a read buffer; the others remember where to resume and which directory they were.
struct Frame {
    UniqueFd fd;
    std::unique_ptr<char[]> buffer;
    std::size_t bufferPos = 0;
    std::size_t bufferLen = 0;
    bool exhausted = false;
    off_t resumeOffset = 0;    // d_off of the last entry handed out: where reading goes on
    std::size_t nameStart = 0; // this directory's name inside the walk's relative path
    std::size_t pathLen = 0;   // length of this directory's relative path
    dev_t dev = 0;             // identity, recorded when the descriptor is given up
    ino_t ino = 0;
};

bool sameDirectory(int fd, const Frame& frame) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_dev == frame.dev && st.st_ino == frame.ino;
}

class Walker {
  public:
    Walker(const WalkVisitor& visit, const WalkOptions& options)
        : visit_(visit), options_(options),
          cap_(options.maxOpenDescriptors < 2 ? 2 : options.maxOpenDescriptors) {}

    void run(UniqueFd rootFd) {
        if (options_.stayOnMount) {
            if (auto id = identifyFd(rootFd.get())) {
                rootId_ = *id;
            } else {
                report("", errno);
                return;
            }
        }
        frames_.emplace_back();
        frames_.back().fd = std::move(rootFd);
        frames_.back().buffer = takeBuffer();
        openCount_ = 1;
        while (!frames_.empty() && !stopped_)
            step();
    }

  private:
    void report(std::string_view relativePath, int error) {
        if (options_.onError) options_.onError(relativePath, error);
    }

    // Whether a directory just opened is one the walk may enter.
    bool mayEnter(int fd, std::string_view relativePath) {
        if (!options_.stayOnMount) return true;
        auto id = identifyFd(fd);
        if (!id) {
            report(relativePath, errno);
            return false;
        }
        if (!onOtherMount(rootId_, *id)) return true;
        if (options_.onOtherMount) options_.onOtherMount(relativePath);
        return false;
    }

    std::unique_ptr<char[]> takeBuffer() {
        if (spareBuffers_.empty()) return std::make_unique<char[]>(kBufferSize);
        auto buffer = std::move(spareBuffers_.back());
        spareBuffers_.pop_back();
        return buffer;
    }

    void giveBackBuffer(Frame& frame) {
        if (frame.buffer) spareBuffers_.push_back(std::move(frame.buffer));
        frame.bufferPos = frame.bufferLen = 0;
    }

    // Gives up the descriptor of the shallowest open frame other than the root (the root
    // stays open as the anchor for reopening by name). False when nothing can be given up.
    bool evictOne() {
        for (std::size_t i = 1; i + 1 < frames_.size(); ++i) {
            Frame& frame = frames_[i];
            if (!frame.fd) continue;
            struct stat st {};
            if (::fstat(frame.fd.get(), &st) == 0) {
                frame.dev = st.st_dev;
                frame.ino = st.st_ino;
            }
            frame.fd.reset();
            giveBackBuffer(frame);
            --openCount_;
            return true;
        }
        return false;
    }

    // openat that makes room under the cap, and again when the process runs out of descriptors.
    UniqueFd openDirectory(int dirFd, const char* name, int flags) {
        while (openCount_ >= cap_ && evictOne()) {
        }
        for (;;) {
            int fd = ::openat(dirFd, name, flags);
            if (fd >= 0) return UniqueFd(fd);
            if ((errno == EMFILE || errno == ENFILE) && evictOne()) continue;
            return UniqueFd();
        }
    }

    std::string_view frameName(std::size_t index) const {
        const Frame& frame = frames_[index];
        return std::string_view(path_).substr(frame.nameStart, frame.pathLen - frame.nameStart);
    }

    // Reopens frame `index` by walking down by name from the nearest open ancestor, checking
    // every directory's identity. When the path no longer leads to the same directories, the
    // frames from the first mismatch on are dropped: that part of the tree moved away.
    void reopenByName(std::size_t index) {
        std::size_t anchor = index;
        while (!frames_[anchor].fd)
            --anchor; // the root is always open
        UniqueFd current;
        int currentFd = frames_[anchor].fd.get();
        for (std::size_t j = anchor + 1; j <= index; ++j) {
            std::string name(frameName(j));
            UniqueFd next = openDirectory(currentFd, name.c_str(), kDirFlags);
            if (!next && errno != ENOENT && errno != ENOTDIR && errno != ELOOP)
                report(std::string_view(path_).substr(0, frames_[j].pathLen), errno);
            if (!next || !sameDirectory(next.get(), frames_[j])) {
                frames_.resize(j);
                return;
            }
            current = std::move(next);
            currentFd = current.get();
        }
        frames_[index].fd = std::move(current);
        ++openCount_;
    }

    // Leaves the deepest directory and makes sure the one it returns to is open again,
    // positioned where its reading stopped.
    void popFrame() {
        UniqueFd child = std::move(frames_.back().fd);
        giveBackBuffer(frames_.back());
        frames_.pop_back();
        --openCount_;
        while (!frames_.empty() && !frames_.back().fd) {
            Frame& parent = frames_.back();
            bool reopened = false;
            if (child) {
                UniqueFd up = openDirectory(child.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (up && sameDirectory(up.get(), parent)) {
                    parent.fd = std::move(up);
                    ++openCount_;
                    reopened = true;
                }
            }
            if (!reopened) {
                child.reset();
                std::size_t depthBefore = frames_.size();
                reopenByName(frames_.size() - 1);
                if (frames_.size() != depthBefore) continue; // dropped; retry with what is left
            }
            Frame& frame = frames_.back();
            if (::lseek(frame.fd.get(), frame.resumeOffset, SEEK_SET) == static_cast<off_t>(-1))
                frame.exhausted = true;
            frame.buffer = takeBuffer();
            frame.bufferPos = frame.bufferLen = 0;
        }
    }

    void step() {
        Frame& frame = frames_.back();
        if (frame.bufferPos >= frame.bufferLen) {
            if (!frame.exhausted) {
                ssize_t n = ::getdents64(frame.fd.get(), frame.buffer.get(), kBufferSize);
                if (n > 0) {
                    frame.bufferPos = 0;
                    frame.bufferLen = static_cast<std::size_t>(n);
                } else {
                    // ENOENT: the directory was removed while it was read (nothing left to list).
                    if (n < 0 && errno != ENOENT)
                        report(std::string_view(path_).substr(0, frame.pathLen), errno);
                    frame.exhausted = true;
                }
            }
            if (frame.exhausted) {
                popFrame();
                return;
            }
        }

        auto* entry = reinterpret_cast<struct dirent64*>(frame.buffer.get() + frame.bufferPos);
        frame.bufferPos += entry->d_reclen;
        frame.resumeOffset = entry->d_off;
        const char* name = entry->d_name;
        if (isDotOrDotDot(name)) return;

        EntryType type;
        if (std::optional<EntryType> listed = entryTypeFromListing(entry->d_type)) {
            type = *listed;
        } else {
            struct stat st {};
            if (::fstatat(frame.fd.get(), name, &st, AT_SYMLINK_NOFOLLOW) != 0) return; // vanished
            type = entryTypeFromMode(st.st_mode);
        }

        std::size_t nameLen = std::strlen(name);
        path_.resize(frame.pathLen);
        if (frame.pathLen != 0) path_.push_back('/');
        std::size_t nameStart = path_.size();
        path_.append(name, nameLen);

        const int parentFd = frame.fd.get();
        const std::size_t depth = frames_.size();
        WalkAction action = visit_(WalkEntry{parentFd, std::string_view(name, nameLen), path_, type, depth});
        if (action == WalkAction::Stop) stopped_ = true;
        if (type != EntryType::Directory || action != WalkAction::Continue) return;

        // The callback may have removed or replaced the entry: O_NOFOLLOW|O_DIRECTORY makes a
        // link or file found here now a plain failure, and the walk goes on.
        UniqueFd child = openDirectory(parentFd, name, kDirFlags);
        if (!child) {
            // Gone, or swapped for a link or a file: nothing to walk. Anything else is an error.
            if (errno != ENOENT && errno != ENOTDIR && errno != ELOOP) report(path_, errno);
            return;
        }
        if (!mayEnter(child.get(), path_)) return;
        Frame next;
        next.fd = std::move(child);
        next.buffer = takeBuffer();
        next.nameStart = nameStart;
        next.pathLen = path_.size();
        frames_.push_back(std::move(next));
        ++openCount_;
    }

    const WalkVisitor& visit_;
    const WalkOptions& options_;
    FileIdentity rootId_;
    std::size_t cap_;
    std::size_t openCount_ = 0;
    bool stopped_ = false;
    std::vector<Frame> frames_;
    std::vector<std::unique_ptr<char[]>> spareBuffers_;
    std::string path_;
};

} // namespace

bool walkDirectoryAt(int rootFd, const WalkVisitor& visit, const WalkOptions& options) {
    // A descriptor of our own, so reading does not move the caller's offset.
    UniqueFd own(::openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!own) return false;
    Walker(visit, options).run(std::move(own));
    return true;
}

bool walkDirectory(const std::string& root, const WalkVisitor& visit, const WalkOptions& options) {
    UniqueFd fd(::open(root.c_str(), kDirFlags));
    if (!fd) return false;
    Walker(visit, options).run(std::move(fd));
    return true;
}

std::int64_t regularFileBytesBelow(int dirFd, const WalkOptions& options) {
    std::int64_t total = 0;
    walkDirectoryAt(
        dirFd,
        [&total](const WalkEntry& entry) {
            // The name is a view into the walker's buffer, terminated by the kernel's NUL.
            struct stat st {};
            if (entry.type == EntryType::Regular &&
                ::fstatat(entry.parentFd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
                total = addBytes(total, st.st_size);
            return WalkAction::Continue;
        },
        options);
    return total;
}

std::optional<EntryType> entryTypeFromListing(unsigned char dType) {
    switch (dType) {
    case DT_DIR:
        return EntryType::Directory;
    case DT_REG:
        return EntryType::Regular;
    case DT_LNK:
        return EntryType::Symlink;
    case DT_UNKNOWN:
        return std::nullopt;
    default:
        return EntryType::Other;
    }
}

EntryType entryTypeFromMode(unsigned mode) {
    if (S_ISDIR(mode)) return EntryType::Directory;
    if (S_ISREG(mode)) return EntryType::Regular;
    if (S_ISLNK(mode)) return EntryType::Symlink;
    return EntryType::Other;
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace velmora

// latency-fs: a FUSE file system that mirrors a directory and answers every request after a
// fixed delay, the way a file server a network hop away does. Each request is worked on at
// once and its answer sent the delay after, by one thread that keeps the answers in order:
// any number of requests wait at once, and their waiting costs this machine's processors no
// more than a distant server's does (no thread sleeps per request). Attributes and entries
// are cached by the kernel for --cache-s seconds and listings are answered with
// READDIRPLUS (names with their attributes), as the Linux NFS client does: a stat after a
// listing costs no round trip, opening and reading a directory does. With --work-us every
// answered request also costs that much processor time on this machine before its answer
// goes out, as a real network file system's client spends on each call (building it,
// sending it, taking the answer apart): a "heavy" share, where the requests in flight
// compete with the walk for the processors. At unmount the request counts, the server's
// own processor time and how late its answers went out (on a busy machine the answering
// thread waits its turn) are written to standard error and to --stats FILE.
//
//   latency-fs [--latency-ms MS] [--work-us US] [--cache-s S] [--threads N] [--kernel-permissions]
//              [--stats FILE] [--pid-file FILE] [-f] SOURCE MOUNTPOINT
//
// Only the benchmarks use it. It supports what they do: walking, reading, and removing
// (unlink, rmdir). Nodes are kept by path, so entries replaced in SOURCE behind its back are
// seen afresh once the kernel's cache for them has expired.
#define FUSE_USE_VERSION 312

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <fuse3/fuse_lowlevel.h>
#include <mutex>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

// Requests counted, in the order they are printed.
enum Op : unsigned {
    Lookup,
    Forget,
    Getattr,
    Readlink,
    Opendir,
    Readdir,
    Readdirplus,
    Releasedir,
    Open,
    Read,
    Release,
    Unlink,
    Rmdir,
    Statfs,
    OpCount
};
constexpr std::array<const char*, OpCount> kOpNames{
    "lookup",     "forget", "getattr", "readlink", "opendir", "readdir", "readdirplus",
    "releasedir", "open",   "read",    "release",  "unlink",  "rmdir",   "statfs"};

struct Settings {
    std::chrono::nanoseconds latency{std::chrono::milliseconds(1)};
    std::chrono::nanoseconds work{0}; // processor time spent on every answered request
    double cacheSeconds = 10.0;
    unsigned threads = 128;
    std::string statsFile;
    std::string pidFile;
    bool foreground = false;
    bool kernelPermissions = false;
    std::string source;
    std::string mountpoint;
};

using Clock = std::chrono::steady_clock;

std::chrono::nanoseconds threadProcessorTime() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Keeps this thread's processor busy for `amount` of its own time: time it is not given
// (another thread runs) does not count, as a request's own work takes as long whatever else
// the machine does.
void spendProcessorTime(std::chrono::nanoseconds amount) {
    if (amount.count() <= 0) return;
    const std::chrono::nanoseconds until = threadProcessorTime() + amount;
    while (threadProcessorTime() < until) {
    }
}

// The processor time this whole process has used, in milliseconds.
long processorMilliseconds() {
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000L + t.tv_usec / 1000; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Sends each answer the latency after it was handed over, from one thread. The latency is
// the same for all, so the answers fall due in the order they arrive: a queue holds them.
class DelayedAnswers {
  public:
    explicit DelayedAnswers(Clock::duration latency) : latency_(latency) {}

    void start() {
        thread_ = std::thread([this] { run(); });
    }

    void add(std::function<void()> send) {
        bool wasEmpty;
        {
            std::lock_guard lock(mutex_);
            wasEmpty = queue_.empty();
            queue_.push_back(Answer{Clock::now() + latency_, std::move(send)});
        }
        // The sending thread sleeps until the first answer is due: only a new first one
        // needs to wake it.
        if (wasEmpty) changed_.notify_one();
    }

    // Sends what is still waiting, at once, and ends the thread: the session it answers on
    // is about to go.
    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_one();
        if (thread_.joinable()) thread_.join();
    }

  private:
    struct Answer {
        Clock::time_point due;
        std::function<void()> send;
    };

    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (queue_.empty()) {
                if (stopping_) return;
                changed_.wait(lock);
                continue;
            }
            if (!stopping_ && queue_.front().due > Clock::now()) {
                changed_.wait_until(lock, queue_.front().due);
                continue;
            }
            std::function<void()> send = std::move(queue_.front().send);
            const Clock::time_point due = queue_.front().due;
            queue_.pop_front();
            lock.unlock();
            send();
            if (!stopping_) late(Clock::now() - due);
            lock.lock();
        }
    }

    // How long after its due time an answer went out, for the account at unmount.
    void late(Clock::duration by) {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(by).count();
        lateSum_ += us;
        ++sent_;
        if (us > 250) ++lateOver250_;
    }

  public:
    // "late_us=MEAN late_over_250us=N": how far the latency the share gave exceeded the one
    // asked for, on average, and how many answers were more than 250 µs late.
    std::string lateness() const {
        return "late_us=" + std::to_string(sent_ == 0 ? 0 : lateSum_ / static_cast<long long>(sent_)) +
               " late_over_250us=" + std::to_string(lateOver250_);
    }

  private:
    long long lateSum_ = 0; // only the sending thread counts, and it has ended before the account
    std::uint64_t sent_ = 0;
    std::uint64_t lateOver250_ = 0;
    const Clock::duration latency_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Answer> queue_; // due times in order: taken under the lock as they arrive
    bool stopping_ = false;
    std::thread thread_;
};

// A node the kernel knows: the path below SOURCE it stands for ("." for the root) and how
// many lookups the kernel holds on it.
struct Node {
    std::string path;
    std::uint64_t lookups = 0;
};

class Mirror {
  public:
    Mirror(int sourceFd, const Settings& settings, DelayedAnswers& answers)
        : sourceFd_(sourceFd), settings_(settings), answers_(answers) {
        nodes_.emplace(FUSE_ROOT_ID, Node{".", 1});
        ids_.emplace(".", FUSE_ROOT_ID);
    }

    int sourceFd() const { return sourceFd_; }
    double cacheSeconds() const { return settings_.cacheSeconds; }

    void count(Op op) { counts_[op].fetch_add(1, std::memory_order_relaxed); }

    // Sends an answer the latency after its work is done, as a server's answer reaches the
    // client a round trip after the server has it: at once without latency, else from the
    // answering thread.
    void answer(std::function<void()> send) {
        spendProcessorTime(settings_.work);
        if (settings_.latency.count() == 0)
            send();
        else
            answers_.add(std::move(send));
    }
    void answerError(fuse_req_t req, int error) {
        answer([req, error] { fuse_reply_err(req, error); });
    }

    bool pathOf(fuse_ino_t ino, std::string& path) {
        std::lock_guard lock(mutex_);
        auto it = nodes_.find(ino);
        if (it == nodes_.end()) return false;
        path = it->second.path;
        return true;
    }

    static std::string childPath(const std::string& parent, const char* name) {
        return parent == "." ? std::string(name) : parent + "/" + name;
    }

    // Looks `name` up below the node `parent` and, when it exists, gives the kernel one more
    // lookup on its node. errno on failure.
    bool lookUp(fuse_ino_t parent, const char* name, fuse_entry_param& entry) {
        std::string path;
        if (!pathOf(parent, path)) {
            errno = ESTALE;
            return false;
        }
        path = childPath(path, name);
        std::memset(&entry, 0, sizeof entry);
        if (::fstatat(sourceFd_, path.c_str(), &entry.attr, AT_SYMLINK_NOFOLLOW) != 0) return false;
        entry.attr_timeout = settings_.cacheSeconds;
        entry.entry_timeout = settings_.cacheSeconds;
        std::lock_guard lock(mutex_);
        auto [it, inserted] = ids_.try_emplace(path, nextId_);
        if (inserted) nodes_.emplace(nextId_++, Node{path, 0});
        entry.ino = it->second;
        ++nodes_[entry.ino].lookups;
        return true;
    }

    void forget(fuse_ino_t ino, std::uint64_t n) {
        std::lock_guard lock(mutex_);
        auto it = nodes_.find(ino);
        if (it == nodes_.end() || ino == FUSE_ROOT_ID) return;
        it->second.lookups -= std::min(n, it->second.lookups);
        if (it->second.lookups > 0) return;
        auto id = ids_.find(it->second.path);
        if (id != ids_.end() && id->second == ino) ids_.erase(id);
        nodes_.erase(it);
    }

    // The path no longer names this node (it was removed): a new entry there gets a new node.
    void detach(const std::string& path) {
        std::lock_guard lock(mutex_);
        ids_.erase(path);
    }

    void printCounts() const {
        std::uint64_t total = 0;
        std::string detail;
        for (unsigned op = 0; op < OpCount; ++op) {
            std::uint64_t n = counts_[op].load();
            total += n;
            detail += std::string(" ") + kOpNames[op] + "=" + std::to_string(n);
        }
        std::string line = "latency-fs requests: total=" + std::to_string(total) + detail +
                           " cpu_ms=" + std::to_string(processorMilliseconds()) + " " + answers_.lateness() + "\n";
        std::fputs(line.c_str(), stderr);
        if (settings_.statsFile.empty()) return;
        // Written whole under a temporary name, so a reader never sees half of it.
        std::string temporary = settings_.statsFile + ".tmp";
        if (FILE* out = std::fopen(temporary.c_str(), "w")) {
            std::fputs(line.c_str(), out);
            if (std::fclose(out) == 0) std::rename(temporary.c_str(), settings_.statsFile.c_str());
        }
    }

  private:
    const int sourceFd_;
    const Settings& settings_;
    DelayedAnswers& answers_;
    std::array<std::atomic<std::uint64_t>, OpCount> counts_{};
    std::mutex mutex_;
    std::unordered_map<fuse_ino_t, Node> nodes_;
    std::unordered_map<std::string, fuse_ino_t> ids_;
    fuse_ino_t nextId_ = FUSE_ROOT_ID + 1;
};

Mirror* mirror(fuse_req_t req) {
    return static_cast<Mirror*>(fuse_req_userdata(req));
}

// An open directory: its listing and the position the kernel reads from.
struct DirHandle {
    DIR* dir = nullptr;
    std::string path;
    off_t offset = 0;
    dirent* pending = nullptr; // read but not yet sent: it did not fit the last reply
};

void fsInit(void*, fuse_conn_info* conn) {
    // Listings always carry attributes, so the walk's stat calls are answered from the cache.
    conn->want |= FUSE_CAP_READDIRPLUS;
    conn->want &= ~FUSE_CAP_READDIRPLUS_AUTO;
    conn->want |= FUSE_CAP_PARALLEL_DIROPS & conn->capable;
    // Closing directories is sent in the background: let many of those be in flight too.
    conn->max_background = 64;
    conn->congestion_threshold = 48;
}

void fsLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    Mirror& m = *mirror(req);
    m.count(Lookup);
    fuse_entry_param entry{};
    if (!m.lookUp(parent, name, entry)) {
        m.answerError(req, errno);
        return;
    }
    m.answer([req, entry] { fuse_reply_entry(req, &entry); });
}

void fsForget(fuse_req_t req, fuse_ino_t ino, std::uint64_t nlookup) {
    Mirror& m = *mirror(req);
    m.count(Forget); // no answer is awaited, so no delay either
    m.forget(ino, nlookup);
    fuse_reply_none(req);
}

void fsForgetMulti(fuse_req_t req, std::size_t count, fuse_forget_data* forgets) {
    Mirror& m = *mirror(req);
    for (std::size_t i = 0; i < count; ++i) {
        m.count(Forget);
        m.forget(forgets[i].ino, forgets[i].nlookup);
    }
    fuse_reply_none(req);
}

void fsGetattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
    Mirror& m = *mirror(req);
    m.count(Getattr);
    std::string path;
    struct stat st {};
    if (!m.pathOf(ino, path)) {
        m.answerError(req, ESTALE);
        return;
    }
    if (::fstatat(m.sourceFd(), path.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        m.answerError(req, errno);
        return;
    }
    m.answer([req, st, timeout = m.cacheSeconds()] { fuse_reply_attr(req, &st, timeout); });
}

void fsReadlink(fuse_req_t req, fuse_ino_t ino) {
    Mirror& m = *mirror(req);
    m.count(Readlink);
    std::string path;
    if (!m.pathOf(ino, path)) {
        m.answerError(req, ESTALE);
        return;
    }
    std::vector<char> target(PATH_MAX + 1);
    ssize_t n = ::readlinkat(m.sourceFd(), path.c_str(), target.data(), PATH_MAX);
    if (n < 0) {
        m.answerError(req, errno);
        return;
    }
    target[static_cast<std::size_t>(n)] = '\0';
    m.answer([req, target = std::move(target)] { fuse_reply_readlink(req, target.data()); });
}

void fsOpendir(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    Mirror& m = *mirror(req);
    m.count(Opendir);
    auto handle = std::make_unique<DirHandle>();
    if (!m.pathOf(ino, handle->path)) {
        m.answerError(req, ESTALE);
        return;
    }
    int fd = ::openat(m.sourceFd(), handle->path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || (handle->dir = ::fdopendir(fd)) == nullptr) {
        int error = errno;
        if (fd >= 0) ::close(fd);
        m.answerError(req, error);
        return;
    }
    fi->fh = reinterpret_cast<std::uint64_t>(handle.get());
    // The kernel's file information lives only as long as this call: the answer sends a copy.
    m.answer([req, info = *fi, handle = handle.release()] {
        if (fuse_reply_open(req, &info) != 0) {
            ::closedir(handle->dir);
            delete handle;
        }
    });
}

void readDirectory(fuse_req_t req, fuse_ino_t ino, std::size_t size, off_t offset, fuse_file_info* fi,
                   bool plus) {
    Mirror& m = *mirror(req);
    m.count(plus ? Readdirplus : Readdir);
    auto* handle = reinterpret_cast<DirHandle*>(fi->fh);
    if (offset != handle->offset) {
        ::seekdir(handle->dir, offset);
        handle->pending = nullptr;
        handle->offset = offset;
    }
    std::vector<char> buffer(size);
    std::size_t used = 0;
    for (;;) {
        if (handle->pending == nullptr) {
            errno = 0;
            handle->pending = ::readdir(handle->dir);
            if (handle->pending == nullptr) {
                if (errno != 0 && used == 0) {
                    m.answerError(req, errno);
                    return;
                }
                break;
            }
        }
        const dirent* d = handle->pending;
        const bool dots = std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0;
        std::size_t entrySize;
        if (plus) {
            fuse_entry_param entry{};
            if (dots) {
                // No node for these: the kernel links nothing for an entry without one.
                entry.attr.st_ino = d->d_ino;
                entry.attr.st_mode = static_cast<mode_t>(d->d_type) << 12;
            } else if (!m.lookUp(ino, d->d_name, entry)) {
                handle->pending = nullptr; // vanished since it was listed
                continue;
            }
            entrySize =
                fuse_add_direntry_plus(req, buffer.data() + used, size - used, d->d_name, &entry, d->d_off);
            if (entrySize > size - used) {
                if (entry.ino != 0) m.forget(entry.ino, 1); // not sent: the kernel holds no lookup
                break;
            }
        } else {
            struct stat st {};
            st.st_ino = d->d_ino;
            st.st_mode = static_cast<mode_t>(d->d_type) << 12;
            entrySize = fuse_add_direntry(req, buffer.data() + used, size - used, d->d_name, &st, d->d_off);
            if (entrySize > size - used) break;
        }
        used += entrySize;
        handle->offset = d->d_off;
        handle->pending = nullptr;
    }
    buffer.resize(used);
    m.answer([req, buffer = std::move(buffer)] { fuse_reply_buf(req, buffer.data(), buffer.size()); });
}

void fsReaddir(fuse_req_t req, fuse_ino_t ino, std::size_t size, off_t offset, fuse_file_info* fi) {
    readDirectory(req, ino, size, offset, fi, false);
}

void fsReaddirplus(fuse_req_t req, fuse_ino_t ino, std::size_t size, off_t offset, fuse_file_info* fi) {
    readDirectory(req, ino, size, offset, fi, true);
}

void fsReleasedir(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    Mirror& m = *mirror(req);
    m.count(Releasedir);
    auto* handle = reinterpret_cast<DirHandle*>(fi->fh);
    ::closedir(handle->dir);
    delete handle;
    m.answerError(req, 0);
}

void fsOpen(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    Mirror& m = *mirror(req);
    m.count(Open);
    std::string path;
    if (!m.pathOf(ino, path)) {
        m.answerError(req, ESTALE);
        return;
    }
    if ((fi->flags & O_ACCMODE) != O_RDONLY) { // a mirror for reading and removing only
        m.answerError(req, EROFS);
        return;
    }
    int fd = ::openat(m.sourceFd(), path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        m.answerError(req, errno);
        return;
    }
    fi->fh = static_cast<std::uint64_t>(fd);
    m.answer([req, info = *fi, fd] {
        if (fuse_reply_open(req, &info) != 0) ::close(fd);
    });
}

void fsRead(fuse_req_t req, fuse_ino_t, std::size_t size, off_t offset, fuse_file_info* fi) {
    Mirror& m = *mirror(req);
    m.count(Read);
    std::vector<char> buffer(size);
    ssize_t n = ::pread(static_cast<int>(fi->fh), buffer.data(), size, offset);
    if (n < 0)
        m.answerError(req, errno);
    else {
        buffer.resize(static_cast<std::size_t>(n));
        m.answer([req, buffer = std::move(buffer)] { fuse_reply_buf(req, buffer.data(), buffer.size()); });
    }
}

void fsRelease(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    Mirror& m = *mirror(req);
    m.count(Release);
    ::close(static_cast<int>(fi->fh));
    m.answerError(req, 0);
}

void removeEntry(fuse_req_t req, fuse_ino_t parent, const char* name, Op op) {
    Mirror& m = *mirror(req);
    m.count(op);
    std::string path;
    if (!m.pathOf(parent, path)) {
        m.answerError(req, ESTALE);
        return;
    }
    path = Mirror::childPath(path, name);
    if (::unlinkat(m.sourceFd(), path.c_str(), op == Rmdir ? AT_REMOVEDIR : 0) != 0) {
        m.answerError(req, errno);
        return;
    }
    m.detach(path);
    m.answerError(req, 0);
}

void fsUnlink(fuse_req_t req, fuse_ino_t parent, const char* name) {
    removeEntry(req, parent, name, Unlink);
}

void fsRmdir(fuse_req_t req, fuse_ino_t parent, const char* name) {
    removeEntry(req, parent, name, Rmdir);
}

void fsStatfs(fuse_req_t req, fuse_ino_t) {
    Mirror& m = *mirror(req);
    m.count(Statfs);
    struct statvfs st {};
    if (::fstatvfs(m.sourceFd(), &st) != 0)
        m.answerError(req, errno);
    else
        m.answer([req, st] { fuse_reply_statfs(req, &st); });
}

int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--latency-ms MS] [--work-us US] [--cache-s S] [--threads N] [--kernel-permissions] "
                 "[--stats FILE] [--pid-file FILE] [-f] SOURCE MOUNTPOINT\n"
                 "  --latency-ms MS  delay of every answered request (default 1; 0 for none)\n"
                 "  --work-us US     processor time spent on every answered request (default 0)\n"
                 "  --cache-s S      how long the kernel may keep attributes and entries (default 10)\n"
                 "  --threads N      threads working on requests (default 128); a request waits for its\n"
                 "                   answer without holding one\n"
                 "  --kernel-permissions  the kernel checks permissions (a folder's attributes are\n"
                 "                   fetched again before each removal in it)\n"
                 "  --stats FILE     also write the request counts to FILE at unmount\n"
                 "  --pid-file FILE  write the serving process's id to FILE once mounted\n"
                 "  -f               stay in the foreground\n",
                 program);
    return 2;
}

bool parseArguments(int argc, char** argv, Settings& settings) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        char* end = nullptr;
        if (arg == "-f") {
            settings.foreground = true;
        } else if (arg == "--kernel-permissions") {
            settings.kernelPermissions = true;
        } else if (arg == "--latency-ms" && (v = value())) {
            double ms = std::strtod(v, &end);
            if (*end != '\0' || ms < 0) return false;
            settings.latency = std::chrono::nanoseconds(static_cast<std::int64_t>(ms * 1e6));
        } else if (arg == "--work-us" && (v = value())) {
            double us = std::strtod(v, &end);
            if (*end != '\0' || us < 0) return false;
            settings.work = std::chrono::nanoseconds(static_cast<std::int64_t>(us * 1e3));
        } else if (arg == "--cache-s" && (v = value())) {
            settings.cacheSeconds = std::strtod(v, &end);
            if (*end != '\0' || settings.cacheSeconds < 0) return false;
        } else if (arg == "--threads" && (v = value())) {
            long n = std::strtol(v, &end, 10);
            if (*end != '\0' || n < 1 || n > 4096) return false;
            settings.threads = static_cast<unsigned>(n);
        } else if (arg == "--stats" && (v = value())) {
            settings.statsFile = v;
        } else if (arg == "--pid-file" && (v = value())) {
            settings.pidFile = v;
        } else if (!arg.empty() && arg[0] != '-') {
            positional.push_back(arg);
        } else {
            return false;
        }
    }
    if (positional.size() != 2) return false;
    settings.source = positional[0];
    settings.mountpoint = positional[1];
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parseArguments(argc, argv, settings)) return usage(argv[0]);
    int sourceFd = ::open(settings.source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (sourceFd < 0) {
        std::fprintf(stderr, "latency-fs: cannot open %s: %s\n", settings.source.c_str(),
                     std::strerror(errno));
        return 1;
    }
    // Files named relative to where we were started stay valid after daemonizing.
    char cwd[PATH_MAX];
    for (std::string* file : {&settings.statsFile, &settings.pidFile})
        if (!file->empty() && (*file)[0] != '/' && ::getcwd(cwd, sizeof cwd) != nullptr)
            *file = std::string(cwd) + "/" + *file;
    // Answers go out on time rather than up to 50 µs late.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);

    DelayedAnswers answers(settings.latency);
    Mirror mirrorState(sourceFd, settings, answers);
    fuse_lowlevel_ops ops{};
    ops.init = fsInit;
    ops.lookup = fsLookup;
    ops.forget = fsForget;
    ops.forget_multi = fsForgetMulti;
    ops.getattr = fsGetattr;
    ops.readlink = fsReadlink;
    ops.opendir = fsOpendir;
    ops.readdir = fsReaddir;
    ops.readdirplus = fsReaddirplus;
    ops.releasedir = fsReleasedir;
    ops.open = fsOpen;
    ops.read = fsRead;
    ops.release = fsRelease;
    ops.unlink = fsUnlink;
    ops.rmdir = fsRmdir;
    ops.statfs = fsStatfs;

    // In the background by default: the starting process returns (status 0) only once the
    // mount is in place and the id written, so a script can use the mount right away.
    int ready[2] = {-1, -1};
    if (!settings.foreground) {
        if (::pipe(ready) != 0) return 1;
        pid_t child = ::fork();
        if (child < 0) return 1;
        if (child > 0) {
            ::close(ready[1]);
            char byte = 0;
            return ::read(ready[0], &byte, 1) == 1 ? 0 : 1;
        }
        ::close(ready[0]);
        ::setsid();
    }

    // Permissions are the server's to check by default, as on a network file system: the
    // kernel then asks for no attributes of its own. Checking them in the kernel
    // (--kernel-permissions) makes it fetch a folder's attributes again before every removal
    // in it, since each one makes them stale: a second round trip that an NFS client does
    // not pay, as the answer to a removal carries the folder's new attributes. Only the
    // user who mounted (root, for the benchmarks) can enter the mount either way.
    char arg0[] = "latency-fs";
    char opt[] = "-o";
    std::string mountOptions = "fsname=latency-fs,subtype=latency";
    if (settings.kernelPermissions) mountOptions += ",default_permissions";
    char* fuseArgv[] = {arg0, opt, mountOptions.data(), nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, fuseArgv);
    fuse_session* session = fuse_session_new(&args, &ops, sizeof ops, &mirrorState);
    if (session == nullptr) return 1;
    int status = 1;
    if (fuse_set_signal_handlers(session) == 0) {
        if (fuse_session_mount(session, settings.mountpoint.c_str()) == 0) {
            if (!settings.pidFile.empty()) {
                if (FILE* out = std::fopen(settings.pidFile.c_str(), "w")) {
                    std::fprintf(out, "%d\n", static_cast<int>(::getpid()));
                    std::fclose(out);
                }
            }
            if (!settings.foreground) {
                // Hold nothing of the starter's: its pipes close when it is done with them.
                int null = ::open("/dev/null", O_RDWR);
                for (int fd : {0, 1, 2})
                    ::dup2(null, fd);
                ::close(null);
                (void)::chdir("/");
                char byte = 1;
                (void)::write(ready[1], &byte, 1);
                ::close(ready[1]);
            }
            answers.start(); // here: a thread does not outlive the fork above
            fuse_loop_config* config = fuse_loop_cfg_create();
            fuse_loop_cfg_set_max_threads(config, settings.threads);
            fuse_loop_cfg_set_idle_threads(config, settings.threads);
            status = fuse_session_loop_mt(session, config) == 0 ? 0 : 1;
            fuse_loop_cfg_destroy(config);
            answers.stop();
            fuse_session_unmount(session);
        }
        fuse_remove_signal_handlers(session);
    }
    fuse_session_destroy(session);
    mirrorState.printCounts();
    ::close(sourceFd);
    return status;
}

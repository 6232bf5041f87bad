#include "temp_tree.h"

#include "platform/unique_fd.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace velmora::testing {
namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::string quoted(const std::string& path) {
    std::string out = "'";
    for (char c : path) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string runForked(const std::function<std::string()>& work, bool dropPrivileges) {
    int fds[2];
    if (::pipe(fds) != 0) fail("pipe");
    pid_t pid = ::fork();
    if (pid < 0) fail("fork");
    if (pid == 0) {
        ::close(fds[0]);
        int code = 0;
        std::string result;
        try {
            if (dropPrivileges) {
                if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                    ::setresuid(65534, 65534, 65534) != 0)
                    ::_exit(3);
            }
            result = work();
        } catch (...) {
            code = 4;
        }
        std::size_t done = 0;
        while (done < result.size()) {
            ssize_t n = ::write(fds[1], result.data() + done, result.size() - done);
            if (n <= 0) ::_exit(5);
            done += static_cast<std::size_t>(n);
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    std::string output;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("child process failed, status " + std::to_string(status));
    return output;
}

} // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) fail("mkdtemp");
    path_ = pattern;
    // Readable and searchable by the unprivileged user that some cases switch to.
    ::chmod(path_.c_str(), 0755);
}

TempDir::~TempDir() {
    removeTree(path_);
}

std::string TempDir::operator/(std::string_view relative) const {
    std::string out = path_;
    out.push_back('/');
    out.append(relative);
    return out;
}

void makeDirs(const std::string& path) {
    std::filesystem::create_directories(path);
}

void writeFile(const std::string& path, std::int64_t size) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) fail("open " + path);
    if (size <= 65536) {
        std::string bytes(static_cast<std::size_t>(size), 'v');
        if (::write(fd.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            fail("write " + path);
    } else if (::ftruncate(fd.get(), size) != 0) {
        fail("ftruncate " + path);
    }
}

void makeSymlink(const std::string& target, const std::string& linkPath) {
    if (::symlink(target.c_str(), linkPath.c_str()) != 0) fail("symlink " + linkPath);
}

void setModified(const std::string& path, std::int64_t secondsSinceEpoch) {
    const timespec times[2] = {{secondsSinceEpoch, 0}, {secondsSinceEpoch, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) fail("utimensat " + path);
}

void makeDeepChain(const std::string& root, std::size_t levels, const std::string& name,
                   bool fileAtEachLevel) {
    UniqueFd current(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!current) fail("open " + root);
    for (std::size_t i = 0; i < levels; ++i) {
        if (fileAtEachLevel) {
            UniqueFd file(::openat(current.get(), "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            if (!file) fail("create f");
        }
        if (::mkdirat(current.get(), name.c_str(), 0755) != 0 && errno != EEXIST) fail("mkdirat");
        UniqueFd next(::openat(current.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!next) fail("openat");
        current = std::move(next);
    }
}

void makeManyFiles(const std::string& dir, int count, const std::string& prefix, int sizedEvery,
                   std::int64_t size) {
    UniqueFd parent(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent) fail("open " + dir);
    for (int i = 0; i < count; ++i) {
        const std::string name = prefix + std::to_string(i);
        UniqueFd file(::openat(parent.get(), name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        if (!file) fail("create " + name);
        if (sizedEvery > 0 && i % sizedEvery == 0 && ::ftruncate(file.get(), size) != 0)
            fail("ftruncate " + name);
    }
}

ImmutableFiles::ImmutableFiles(std::vector<std::string> paths) : paths_(std::move(paths)) {
    std::string command = "chattr +i";
    for (const std::string& path : paths_)
        command += " " + quoted(path);
    marked_ = !paths_.empty() && std::system((command + " 2>/dev/null").c_str()) == 0;
}

ImmutableFiles::~ImmutableFiles() {
    std::string command = "chattr -i";
    for (const std::string& path : paths_)
        command += " " + quoted(path);
    (void)std::system((command + " 2>/dev/null").c_str());
}

void removeTree(const std::string& path) {
    // Permissions changed by a test must not stop the clean-up.
    std::string command = "chmod -R u+rwx " + quoted(path) + " 2>/dev/null; rm -rf " + quoted(path);
    (void)std::system(command.c_str());
}

std::string runAsNobody(const std::function<std::string()>& work) {
    return runForked(work, true);
}

std::string runInChild(const std::function<std::string()>& work) {
    return runForked(work, false);
}

void chownTreeToNobody(const std::string& path) {
    std::string command = "chown -R -h 65534:65534 " + quoted(path);
    if (std::system(command.c_str()) != 0) throw std::runtime_error("chown failed: " + path);
}

void placeFile(const TempDir& tmp, const std::string& relative, std::int64_t size) {
    std::string path = tmp / relative;
    makeDirs(path.substr(0, path.rfind('/')));
    writeFile(path, size);
}

void placeSymlink(const TempDir& tmp, const std::string& target, const std::string& relative) {
    std::string path = tmp / relative;
    makeDirs(path.substr(0, path.rfind('/')));
    makeSymlink(target, path);
}

} // namespace velmora::testing

#include "temp_tree.h"

#include "platform/unique_fd.h"

#include <cstdio>
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

// Runs `command` with each path appended as one quoted word, its errors silenced; true on success.
bool runShell(std::string command, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        command += " '";
        for (char c : path)
            command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += "'";
    }
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

UniqueFd openFolder(int at, const std::string& name) {
    UniqueFd fd(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) fail("open " + name);
    return fd;
}

// Creates the file `name` in the folder open at `dir` and gives it `size` bytes (sparse).
void createAt(int dir, const std::string& name, std::int64_t size) {
    UniqueFd file(::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    if (!file || (size > 0 && ::ftruncate(file.get(), size) != 0)) fail("create " + name);
}

// The path of `relative` below `tmp`, its parent folders made.
std::string placed(const TempDir& tmp, const std::string& relative) {
    const std::string path = tmp / relative;
    makeDirs(path.substr(0, path.rfind('/')));
    return path;
}

std::string runForked(const std::function<std::string()>& work, bool dropPrivileges) {
    int fds[2];
    if (::pipe(fds) != 0) fail("pipe");
    const pid_t pid = ::fork();
    if (pid < 0) fail("fork");
    if (pid == 0) {
        ::close(fds[0]);
        if (dropPrivileges && (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                               ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(3);
        try {
            const std::string result = work();
            FILE* out = ::fdopen(fds[1], "w");
            ::_exit(std::fwrite(result.data(), 1, result.size(), out) == result.size() &&
                            std::fclose(out) == 0
                        ? 0
                        : 5);
        } catch (...) {
            ::_exit(4);
        }
    }
    ::close(fds[1]);
    std::string output;
    char buffer[65536];
    FILE* in = ::fdopen(fds[0], "r");
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        output.append(buffer, n);
    std::fclose(in);
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
    ::chmod(path_.c_str(), 0755); // open to the unprivileged user some cases switch to
}

TempDir::~TempDir() {
    removeTree(path_);
}

std::string TempDir::operator/(std::string_view relative) const {
    return path_ + "/" + std::string(relative);
}

void makeDirs(const std::string& path) {
    std::filesystem::create_directories(path);
}

void writeFile(const std::string& path, std::int64_t size) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    const std::string bytes(size <= 65536 ? static_cast<std::size_t>(size) : 0, 'v');
    if (!fd || ::write(fd.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        (size > 65536 && ::ftruncate(fd.get(), size) != 0))
        fail("write " + path);
}

void makeSymlink(const std::string& target, const std::string& linkPath) {
    if (::symlink(target.c_str(), linkPath.c_str()) != 0) fail("symlink " + linkPath);
}

void setModified(const std::string& path, std::int64_t secondsSinceEpoch) {
    const timespec times[2] = {{secondsSinceEpoch, 0}, {secondsSinceEpoch, 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) fail("utimensat " + path);
}

void placeFile(const TempDir& tmp, const std::string& relative, std::int64_t size) {
    writeFile(placed(tmp, relative), size);
}

void placeSymlink(const TempDir& tmp, const std::string& target, const std::string& relative) {
    makeSymlink(target, placed(tmp, relative));
}

void makeDeepChain(const std::string& root, std::size_t levels, const std::string& name,
                   bool fileAtEachLevel) {
    UniqueFd current = openFolder(AT_FDCWD, root);
    for (std::size_t i = 0; i < levels; ++i) {
        if (fileAtEachLevel) createAt(current.get(), "f", 0);
        if (::mkdirat(current.get(), name.c_str(), 0755) != 0 && errno != EEXIST) fail("mkdirat");
        current = openFolder(current.get(), name);
    }
}

void makeManyFiles(const std::string& dir, int count, const std::string& prefix, int sizedEvery,
                   std::int64_t size) {
    const UniqueFd parent = openFolder(AT_FDCWD, dir);
    for (int i = 0; i < count; ++i)
        createAt(parent.get(), prefix + std::to_string(i), sizedEvery > 0 && i % sizedEvery == 0 ? size : 0);
}

void removeTree(const std::string& path) {
    (void)runShell("chmod -R u+rwx", {path}); // permissions a test took away must not stop it
    (void)runShell("rm -rf", {path});
}

ImmutableFiles::ImmutableFiles(std::vector<std::string> paths)
    : paths_(std::move(paths)), marked_(!paths_.empty() && runShell("chattr +i", paths_)) {}

ImmutableFiles::~ImmutableFiles() {
    (void)runShell("chattr -i", paths_);
}

std::string runAsNobody(const std::function<std::string()>& work) {
    return runForked(work, true);
}

std::string runInChild(const std::function<std::string()>& work) {
    return runForked(work, false);
}

void chownTreeToNobody(const std::string& path) {
    if (!runShell("chown -R -h 65534:65534", {path})) throw std::runtime_error("chown failed: " + path);
}

} // namespace velmora::testing

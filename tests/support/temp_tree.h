#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::testing {

// A fresh directory under the system's temporary folder, removed with everything in it
// (however deep) when the object goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::string& path() const { return path_; }
    // path() + "/" + relative
    [[nodiscard]] std::string operator/(std::string_view relative) const;

  private:
    std::string path_;
};

// Creates every missing directory of `path`.
void makeDirs(const std::string& path);
// Creates (or replaces) a regular file of `size` bytes; sizes above 64 KiB are sparse.
void writeFile(const std::string& path, std::int64_t size);
void makeSymlink(const std::string& target, const std::string& linkPath);
// Sets the modification (and access) time of the entry itself, a link not followed, to
// `secondsSinceEpoch`.
void setModified(const std::string& path, std::int64_t secondsSinceEpoch);

// The same, relative to a temporary folder, creating the missing parent directories first.
void placeFile(const TempDir& tmp, const std::string& relative, std::int64_t size);
void placeSymlink(const TempDir& tmp, const std::string& target, const std::string& relative);

// Builds `levels` nested directories named `name` below `root` using descriptors only, so
// the chain can be far longer than PATH_MAX. With `fileAtEachLevel`, every level also holds
// an empty regular file "f".
void makeDeepChain(const std::string& root, std::size_t levels, const std::string& name,
                   bool fileAtEachLevel);

// Marks files immutable (chattr +i) so removing them fails with EPERM, and takes the mark
// off again when it goes away, so the temporary folder can still be removed.
class ImmutableFiles {
  public:
    explicit ImmutableFiles(std::vector<std::string> paths);
    ~ImmutableFiles();
    ImmutableFiles(const ImmutableFiles&) = delete;
    ImmutableFiles& operator=(const ImmutableFiles&) = delete;
    // False where the file system or the tool does not support the mark.
    [[nodiscard]] bool marked() const { return marked_; }

  private:
    std::vector<std::string> paths_;
    bool marked_ = false;
};

// Removes `path` and everything below it (handles trees deeper than PATH_MAX).
void removeTree(const std::string& path);

// Creates `count` files "<prefix><i>" in the existing directory `dir`, through one descriptor
// (fast for huge directories); every file whose index is a multiple of `sizedEvery` gets
// `size` bytes (sparse), the others are empty.
void makeManyFiles(const std::string& dir, int count, const std::string& prefix, int sizedEvery = 0,
                   std::int64_t size = 0);

// Runs `work` in a child process as uid/gid 65534 with no supplementary groups and returns
// the text it produced. Throws when the child does not finish normally.
[[nodiscard]] std::string runAsNobody(const std::function<std::string()>& work);

// Runs `work` in a child process (same user) and returns the text it produced; for cases
// that change process-wide state such as resource limits.
[[nodiscard]] std::string runInChild(const std::function<std::string()>& work);

// Gives `path` and everything below it to uid/gid 65534.
void chownTreeToNobody(const std::string& path);

} // namespace velmora::testing

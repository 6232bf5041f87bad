#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::testing {

// A fresh folder under the system's temporary folder, removed with everything in it when it goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] std::string operator/(std::string_view relative) const; // path() + "/" + relative

  private:
    std::string path_;
};

void makeDirs(const std::string& path);
// A regular file of `size` bytes, replacing any; sizes above 64 KiB are sparse.
void writeFile(const std::string& path, std::int64_t size);
void makeSymlink(const std::string& target, const std::string& linkPath);
// Sets the modification time of the entry itself (a link is not followed).
void setModified(const std::string& path, std::int64_t secondsSinceEpoch);
// writeFile and makeSymlink below `tmp`, creating the missing parent folders first.
void placeFile(const TempDir& tmp, const std::string& relative, std::int64_t size);
void placeSymlink(const TempDir& tmp, const std::string& target, const std::string& relative);
// `levels` nested folders `name` below `root`, past PATH_MAX if need be; each with a file "f" if asked.
void makeDeepChain(const std::string& root, std::size_t levels, const std::string& name,
                   bool fileAtEachLevel);
// `count` files "<prefix><i>" in `dir`; every `sizedEvery`-th has `size` bytes, the others none.
void makeManyFiles(const std::string& dir, int count, const std::string& prefix, int sizedEvery = 0,
                   std::int64_t size = 0);
// Removes `path` and everything below it, whatever its depth and permissions.
void removeTree(const std::string& path);

// Marks files immutable (chattr +i: removing them fails with EPERM) until it goes away.
class ImmutableFiles {
  public:
    explicit ImmutableFiles(std::vector<std::string> paths);
    ~ImmutableFiles();
    ImmutableFiles(const ImmutableFiles&) = delete;
    ImmutableFiles& operator=(const ImmutableFiles&) = delete;
    [[nodiscard]] bool marked() const { return marked_; } // false where the mark is unsupported

  private:
    std::vector<std::string> paths_;
    bool marked_ = false;
};

// Runs `work` in a forked child, as uid/gid 65534 or as this user (to change process-wide state
// such as limits), and returns the text it produced; throws when the child fails.
[[nodiscard]] std::string runAsNobody(const std::function<std::string()>& work);
[[nodiscard]] std::string runInChild(const std::function<std::string()>& work);
// Gives `path` and everything below it to uid/gid 65534.
void chownTreeToNobody(const std::string& path);

} // namespace velmora::testing

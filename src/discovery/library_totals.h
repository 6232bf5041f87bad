#pragma once

#include "discovery/library_context.h"
#include "library/fcp_bundle.h"
#include "platform/byte_sum.h" // every total below adds through it

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace velmora {

// Where no file's time is known: earlier than any time a file system gives.
inline constexpr FileTime kNoTime{std::chrono::sys_seconds::min(), 0};

// What a scan has added up for one library: its size, each category's bytes, and the newest
// modification time of the files a cleaning keeps.
struct Totals {
    std::int64_t size = 0;
    std::array<std::int64_t, 4> categories{};
    FileTime newest = kNoTime;

    void add(const Totals& other);
    // Writes the sizes and the time into `bundle`.
    void fill(FCPBundle& bundle) const;
};

// A regular file met by the scan: the bytes it adds to its libraries, and its time when a
// cleaning of them keeps it.
struct FileFacts {
    std::int64_t bytes = 0;
    FileTime keptModified = kNoTime;
};

// Type, size and modification time of one entry, links not followed. statx asking for just
// these is a little cheaper than fstatat, and sizes are the scan's main cost. A file system
// that cannot give type and size counts the entry as unreadable.
[[nodiscard]] bool lookUp(int dirFd, const char* name, struct statx& st);

// What the regular file whose status is `st` adds to the libraries that enclose it.
[[nodiscard]] FileFacts factsOfFile(const struct statx& st);

// One scan worker's totals per library, indexed by the order libraries were found in; the
// workers' totals are summed once the scan is done.
class LibraryTotals {
  public:
    Totals& of(std::uint32_t library);
    [[nodiscard]] const std::vector<Totals>& all() const { return totals_; }
    // Bytes found below each listed cleanable entry, by its number.
    [[nodiscard]] const std::vector<std::int64_t>& listedBytes() const { return listedBytes_; }

    // Adds regular files of a directory to every library that encloses it, and to the listed
    // entries the directory lies in: the sum of those that are not category entries
    // themselves, or (with `name`) the one file so named, which may be one.
    void addFiles(const DirectoryContext& context, const FileFacts& files, std::string_view name = {});

  private:
    std::vector<Totals> totals_;
    std::vector<std::int64_t> listedBytes_;
};

} // namespace velmora

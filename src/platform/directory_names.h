#pragma once

#include <string>
#include <vector>

namespace velmora {

// One name of a directory listing, with the type the listing gave (a dirent's d_type,
// DT_UNKNOWN where the file system leaves it to a stat call).
struct DirectoryChild {
    std::string name;
    unsigned char type;
};

// Reads every name of the directory open at `fd` (from its start, "." and ".." left out)
// into `out`, so that removals made afterwards never disturb the listing. 0, or the errno.
[[nodiscard]] int readDirectoryNames(int fd, std::vector<DirectoryChild>& out);

// The errno's description, as log lines give it.
[[nodiscard]] std::string describeErrno(int error);

} // namespace velmora

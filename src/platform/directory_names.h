#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

// Bytes one read of a directory listing asks for: most folders come in one call, and a
// network file system answers one of several hundred entries in one request (FUSE sizes its
// listing requests by the reader's buffer).
inline constexpr std::size_t kListingBufferSize = 128 * 1024;

// One name of a directory listing, with the type the listing gave (a dirent's d_type,
// DT_UNKNOWN where the file system leaves it to a stat call).
struct DirectoryChild {
    std::string name;
    unsigned char type;
};

// Reads every name of the directory open at `fd` (from its start, "." and ".." left out)
// into `out`, so that removals made afterwards never disturb the listing. 0, or the errno.
[[nodiscard]] int readDirectoryNames(int fd, std::vector<DirectoryChild>& out);
// The same, but stops after a read that comes back far from full, taking it for the
// listing's last part without reading its end (`endSeen` false then): on a network file
// system that read is a round trip. The caller must make sure of the end some other way,
// e.g. by removing the directory, and read on with readRemainingDirectoryNames if that fails.
[[nodiscard]] int readDirectoryNamesUntilShortRead(int fd, std::vector<DirectoryChild>& out, bool& endSeen);
// The names the directory's reading has not given yet, to its end, into `out`. 0, or the errno.
[[nodiscard]] int readRemainingDirectoryNames(int fd, std::vector<DirectoryChild>& out);

// The errno's description, as log lines give it.
[[nodiscard]] std::string describeErrno(int error);

} // namespace velmora

#pragma once

#include "platform/cancellation.h"
#include "platform/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One entry that a removal had to leave in place.
struct RemoveFailure {
    std::string path;        // full path of the entry, raw bytes
    int error = 0;           // errno of the failed call
    std::string description; // text for a log line: the errno's description, or a reason of ours
};

enum class RemoveOutcome {
    Removed,  // the entry is gone and this call removed it
    Vanished, // the entry was already gone (someone else removed it): not an error
    Failed,   // the entry (or something inside it) is still there; see failures
    Stopped,  // the cancellation was requested part way: the entry may be partly emptied
};

struct RemoveOptions {
    // Directory descriptors one removal may hold at once; deeper levels are reopened
    // through ".." on the way back up, with device and inode checked. At least 2.
    std::size_t maxOpenDescriptors = 64;
    // Checked before each unlink: once requested, the removal ends after the call under way.
    const CancellationToken* cancel = nullptr;
};

struct RemoveReport {
    RemoveOutcome outcome = RemoveOutcome::Vanished;
    std::uint64_t entriesRemoved = 0; // entries this call unlinked, the entry itself included
    // Sizes of the regular files this call unlinked, from the look-up made just before each
    // unlink: what this call reclaimed, never what someone else removed meanwhile.
    std::int64_t bytesUnlinked = 0;
    // What the disk got back: the allocated bytes of the files whose last link this call
    // removed (less than bytesUnlinked for sparse and hard-linked files).
    std::int64_t bytesFreed = 0;
    // The entries left in place because removing them failed, each once. A directory that
    // stays only because something inside it stayed is not listed again.
    std::vector<RemoveFailure> failures;
};

// Removes the entry `name` of the directory open at `parentFd` (a file, a link, or a whole
// directory tree) without ever following a link, without crossing into another mount and
// without forcing anything (no chmod). Everything is done relative to directory
// descriptors, so a directory swapped for a link during the removal never redirects it.
// `displayPath` is the entry's full path, used only to name failures. `expectDirectory`
// saves a system call when the caller already knows the type; a wrong guess is harmless.
[[nodiscard]] RemoveReport removeEntryAt(int parentFd, std::string_view name, std::string_view displayPath,
                                         bool expectDirectory = false, const RemoveOptions& options = {});

// An entry other than a directory, looked up just before it is unlinked, so what its unlink
// gives back is what this run itself removed, never a later re-measurement.
struct UnlinkLookUp {
    enum class Kind { Vanished, Directory, Other } kind = Kind::Other;
    std::int64_t bytes = 0; // a regular file's size
    std::int64_t freed = 0; // its allocated bytes, when this is its last link
};
// `listedType`: the d_type its listing gave (DT_UNKNOWN when nothing is known); only a
// regular file, or an entry of unknown type, needs the look-up.
[[nodiscard]] UnlinkLookUp lookUpBeforeUnlink(int dirFd, const char* name, unsigned char listedType);

// The failure of an entry left in place because it is the root of another mount.
[[nodiscard]] RemoveFailure mountPointFailure(std::string path);

// Opens `path` as a directory without following a link in its last component (trailing
// slashes do not make it follow one). Paths longer than PATH_MAX are opened piece by piece.
// Returns an invalid descriptor with errno set on failure.
[[nodiscard]] UniqueFd openDirectoryNoFollow(const std::string& path);

// Whether the directory open at `fd` lies on another mount than the one open at `parentFd`
// (mount id where the kernel reports it, device otherwise; a mount root always counts).
[[nodiscard]] bool isOtherMount(int parentFd, int fd);

} // namespace velmora

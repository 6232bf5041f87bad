#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

enum class EntryType : unsigned char { Directory, Regular, Symlink, Other };

// The type a directory listing reports (a dirent's d_type); nothing for DT_UNKNOWN, where the
// file system leaves the type to a stat call.
[[nodiscard]] std::optional<EntryType> entryTypeFromListing(unsigned char dType);
// The type a stat call reports (st_mode or stx_mode).
[[nodiscard]] EntryType entryTypeFromMode(unsigned mode);
// True for the "." and ".." entries of a listing.
[[nodiscard]] bool isDotOrDotDot(const char* name);

// One entry met by the walk. Everything here is valid only during the callback.
struct WalkEntry {
    int parentFd;                  // open descriptor of the directory that holds the entry
    std::string_view name;         // the entry's name, raw bytes; name.data() is NUL-terminated
    std::string_view relativePath; // path from the walk's root, components joined by "/"
    EntryType type;                // from d_type; fstatat(AT_SYMLINK_NOFOLLOW) only when d_type is unknown
    std::size_t depth;             // 1 for the root's direct children
};

// Stop ends the whole walk at once: nothing after this entry is visited.
enum class WalkAction { Continue, SkipChildren, Stop };

struct WalkOptions {
    // Descriptors the walk may hold open at once; deeper levels are reopened on the way
    // back up through "..", with device and inode checked.
    std::size_t maxOpenDescriptors = 64;
    // Never enter a directory on another mount than the root's (the mount point itself is
    // still visited, as an entry; its contents are not).
    bool stayOnMount = false;
    // Called with the relative path of each directory left out because it is on another
    // mount (only with stayOnMount).
    std::function<void(std::string_view relativePath)> onOtherMount;
    // Called with the relative path of each directory that could not be opened or read, and
    // the errno; its contents (or the rest of them) are passed over. Entries that vanish or
    // turn out to be links while the walk runs are not errors.
    std::function<void(std::string_view relativePath, int error)> onError;
};

using WalkVisitor = std::function<WalkAction(const WalkEntry&)>;

// Walks everything below `root` in pre-order (a directory before its contents, siblings in
// the order the file system lists them), never following a symbolic link and never
// recursing on the C++ stack. Directories that cannot be opened or read (see onError), and
// entries that vanish, are passed over. Returns false when `root` itself cannot be opened as a directory
// (a link at `root` is not followed either).
bool walkDirectory(const std::string& root, const WalkVisitor& visit, const WalkOptions& options = {});

// The same, starting from an already open directory descriptor (not closed by the walk).
bool walkDirectoryAt(int rootFd, const WalkVisitor& visit, const WalkOptions& options = {});

// Total logical size of the regular files below the open directory `dirFd`, walked as
// walkDirectoryAt walks it.
[[nodiscard]] std::int64_t regularFileBytesBelow(int dirFd, const WalkOptions& options = {});

} // namespace velmora

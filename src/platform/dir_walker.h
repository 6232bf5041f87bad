#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace velmora {

enum class EntryType : unsigned char { Directory, Regular, Symlink, Other };

// One entry met by the walk. Everything here is valid only during the callback.
struct WalkEntry {
    int parentFd;                  // open descriptor of the directory that holds the entry
    std::string_view name;         // the entry's name, raw bytes; name.data() is NUL-terminated
    std::string_view relativePath; // path from the walk's root, components joined by "/"
    EntryType type;                // from d_type; fstatat(AT_SYMLINK_NOFOLLOW) only when d_type is unknown
    std::size_t depth;             // 1 for the root's direct children
};

enum class WalkAction { Continue, SkipChildren };

struct WalkOptions {
    // Descriptors the walk may hold open at once; deeper levels are reopened on the way
    // back up through "..", with device and inode checked.
    std::size_t maxOpenDescriptors = 64;
};

using WalkVisitor = std::function<WalkAction(const WalkEntry&)>;

// Walks everything below `root` in pre-order (a directory before its contents, siblings in
// the order the file system lists them), never following a symbolic link and never
// recursing on the C++ stack. Directories that cannot be opened or read, and entries that
// vanish, are passed over. Returns false when `root` itself cannot be opened as a directory
// (a link at `root` is not followed either).
bool walkDirectory(const std::string& root, const WalkVisitor& visit, const WalkOptions& options = {});

// The same, starting from an already open directory descriptor (not closed by the walk).
bool walkDirectoryAt(int rootFd, const WalkVisitor& visit, const WalkOptions& options = {});

} // namespace velmora

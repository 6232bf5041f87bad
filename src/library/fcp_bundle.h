#pragma once

#include "platform/uuid.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

enum class CacheCategory;

// An entry of a library that a cleaning would remove, as the scan that listed it met it.
struct CleanableEntry {
    std::string relativePath; // below the library
    CacheCategory category;   // the category whose removed path it is
    // Regular-file bytes it holds: its size for a file, the total below it for a folder
    // (links not followed, other mounts not entered), 0 for anything else.
    std::int64_t bytes = 0;
};

// A file's modification time.
using FileTime = std::chrono::time_point<std::chrono::system_clock, std::chrono::nanoseconds>;

// One Final Cut Pro library found by a scan. A plain value: made by the scanner, never changed.
struct FCPBundle {
    Uuid id;
    std::string path;
    std::string displayName;
    std::int64_t size = 0;
    std::int64_t cacheSize = 0;
    std::int64_t proxySize = 0;
    std::int64_t optimizedSize = 0;
    std::int64_t analysisSize = 0;
    // The newest modification time of the regular files in the library that a cleaning
    // keeps (outside every category's removed entries); none when there is no such file.
    std::optional<FileTime> lastModified;
    // How a cleaning reaches the library again, never by `path`: its path below the location
    // that was scanned, and the device and inode of the entry the scan met there (0 and 0
    // for a record that no scan made).
    std::string relativePath;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // Only when the scan was asked to list them (ScanOptions::listCleanable): the entries a
    // cleaning of those categories removes, in walk order. Nothing inside one is listed again.
    std::vector<CleanableEntry> cleanable;
};

// The fields above the way back in are equal; the strings compare as text under canonical
// equivalence.
[[nodiscard]] bool operator==(const FCPBundle& a, const FCPBundle& b);

} // namespace velmora

template <> struct std::hash<velmora::FCPBundle> {
    std::size_t operator()(const velmora::FCPBundle& bundle) const noexcept;
};

#pragma once

#include "library/cache_category.h"
#include "library/file_time.h"
#include "platform/uuid.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// An entry of a library that a cleaning would remove, as the scan that listed it met it.
struct CleanableEntry {
    std::string relativePath; // below the library
    CacheCategory category;   // the category whose removed path it is
    // Regular-file bytes it holds: its size for a file, the total below it for a folder
    // (links not followed, other mounts not entered), 0 for anything else.
    std::int64_t bytes = 0;
    // A folder that is the root of another mount: a cleaning leaves it in place.
    bool mountPoint = false;
};

// One Final Cut Pro library found by a scan. A plain value: made by the scanner, never changed.
struct FCPBundle {
    Uuid id;
    std::string path;
    std::string displayName;
    std::int64_t size = 0;
    // Bytes of each category, indexed by categoryIndex.
    std::array<std::int64_t, 4> categorySizes{};
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

    [[nodiscard]] std::int64_t sizeOf(CacheCategory category) const {
        return categorySizes[categoryIndex(category)];
    }
    [[nodiscard]] std::int64_t& sizeOf(CacheCategory category) { return categorySizes[categoryIndex(category)]; }
    // What a cleaning of every category frees.
    [[nodiscard]] std::int64_t reclaimable() const;
    // The names the window's roles and the JSON fields carry; "cache" means render files only.
    [[nodiscard]] std::int64_t cacheSize() const { return sizeOf(CacheCategory::render); }
    [[nodiscard]] std::int64_t proxySize() const { return sizeOf(CacheCategory::proxy); }
    [[nodiscard]] std::int64_t optimizedSize() const { return sizeOf(CacheCategory::optimized); }
    [[nodiscard]] std::int64_t analysisSize() const { return sizeOf(CacheCategory::analysis); }
};

} // namespace velmora

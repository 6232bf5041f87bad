#pragma once

#include "library/cache_category.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::samples {

// What to generate. The same options and seed always give the same tree (names, shapes,
// sizes); only the order in which the file system lists siblings is its own.
struct SampleOptions {
    std::uint64_t seed = 1;
    // Entries (files and directories) to create below the location, approximately: the
    // result reports the exact count. Realistic locations: 50,000 to 1,000,000.
    std::size_t entries = 50000;
    std::size_t libraries = 4;
    // Media sizes as real footage has them (gigabytes per clip) instead of megabytes.
    // Every file is sparse either way, so the disk holds almost nothing.
    bool large = false;
    // Share of the entries placed in unrelated folders around the libraries (camera card
    // dumps, photos, music, exports, project folders), as on a real editing drive.
    double unrelatedShare = 0.35;
};

// One generated library and what a correct scan must report for it.
struct SampleLibrary {
    std::string relativePath; // below the location, "/"-separated
    std::string path;         // location + "/" + relativePath
    std::vector<std::string> eventFolders;
    std::int64_t size = 0;          // every regular file below the library
    std::array<std::int64_t, 4> categorySizes{}; // <event>/<sub-path> of each category
    [[nodiscard]] std::int64_t reclaimable() const {
        return categorySizes[0] + categorySizes[1] + categorySizes[2] + categorySizes[3];
    }
    std::size_t entries = 0;        // entries below the library directory
};

struct SampleLocation {
    std::string root;
    std::vector<SampleLibrary> libraries; // in generation order, not scan order
    std::size_t entries = 0;              // every entry created below root
    std::int64_t bytes = 0;               // logical size of every regular file below root
};

// Creates a location at `dir` (made if missing; it should be empty) holding realistic Final
// Cut Pro libraries: event folders with CurrentVersion.fcpevent, Original Media, Render
// Files (High Quality Media, Peaks Data, Thumbnail Media in hash-named folders),
// Transcoded Media (Proxy Media, High Quality Media), Analysis Files and Shared Items;
// library-root entries (__Temp, .lock, .lock-info, Motion Templates.localized, settings);
// and unrelated folders of projects, exports and documents around them. No links, no
// nested libraries. Throws std::system_error when the tree cannot be written.
SampleLocation generateSampleLocation(const std::string& dir, const SampleOptions& options);

} // namespace velmora::samples

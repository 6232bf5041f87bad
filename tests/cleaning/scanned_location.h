#pragma once

// Libraries reached the way the programs reach them: the location opened once and scanned,
// each library cleaned beneath it.
#include "cleaning/clean_library.h"
#include "discovery/scanner.h"
#include "platform/tree_workers.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <optional>
#include <gtest/gtest.h>

namespace velmora::testing {

struct ScannedLocation {
    explicit ScannedLocation(const std::string& path, const ScanOptions& options = {})
        : fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
          libraries(scanBundles(path, options)) {}

    [[nodiscard]] FCPBundle operator[](const std::string& name) const {
        for (const FCPBundle& library : libraries)
            if (library.displayName == name) return library;
        ADD_FAILURE() << "no library " << name;
        return {};
    }

    UniqueFd fd;
    std::vector<FCPBundle> libraries;
};

// What one cleaning told: its entries and their log lines, in order, and its report.
struct Told {
    std::vector<DeletionEntry> entries;
    std::vector<std::string> lines;
    DeletionReport report;
};

// Cleans the library `name` of the location; options.onEntry, when set, hears each entry after.
inline Told clean(const ScannedLocation& location, const std::string& name, CategoryMask categories,
                  DeletionOptions options = {}) {
    Told told;
    options.onEntry = [&told, also = options.onEntry](const DeletionEntry& entry) {
        told.entries.push_back(entry);
        for (std::string& line : logLines(entry))
            told.lines.push_back(std::move(line));
        if (also) also(entry);
    };
    told.report = cleanLibrary(location.fd.get(), location[name], categories, options);
    return told;
}

// The same on `threads` threads lent to the cleaning (1: none, one request after the other).
inline Told clean(const ScannedLocation& location, const std::string& name, CategoryMask categories,
                  unsigned threads, DeletionOptions options = {}) {
    std::optional<TreeWorkers> workers;
    if (threads > 1) options.workers = &workers.emplace(threads, options.maxOpenDescriptors, options.cancel);
    return clean(location, name, categories, std::move(options));
}

// The lines, one after the other, each ended by a line feed: what a child process hands back.
inline std::string text(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines)
        all += line + "\n";
    return all;
}

} // namespace velmora::testing

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cancellation.h"

namespace velmora {

// Removes every entry of the library at `basePath` that the category with this deletion name
// matches, safely (descriptor-relative, never through a link, never into another mount), and
// writes one line per matched entry to standard output: "Deleted: <full path>" or
// "Error deleting <full path>: <description>". True when at least one entry was removed.
// A library that cannot be walked (or is a link) gives false and no output.
bool deleteMatchingItems(const std::string& basePath, const std::string& deletionName);

// Receives each log line, without its line feed.
using DeletionLineSink = std::function<void(std::string_view line)>;

enum class DeletionStatus { Deleted, Failed, WouldDelete };

// One matched entry, as it finished: the entry a "Deleted:", "Would delete:" or first
// "Error deleting" line names.
struct DeletionEntry {
    std::string_view path; // full path, raw bytes
    DeletionStatus status;
    // Regular-file bytes: removed from the entry (Deleted, and what went of a Failed one),
    // or that would go (WouldDelete).
    std::int64_t bytes = 0;
    std::string_view error; // Failed: what stayed and why
};

// Receives each matched entry as soon as it is dealt with; may be called from several
// threads at once when several libraries are cleaned in parallel.
using DeletionEntrySink = std::function<void(const DeletionEntry& entry)>;

struct DeletionOptions {
    // List what would be removed ("Would delete: <full path> (<bytes> bytes)") and remove nothing.
    bool dryRun = false;
    // Where the lines go; empty: standard output, one whole line per write.
    DeletionLineSink sink;
    // Directory descriptors the walk and each removal may hold at once (each).
    std::size_t maxOpenDescriptors = 64;
    // Optional: told about each matched entry (an entry someone else removed first is not
    // one). Setting it also measures what each removal takes (bytesRemoved).
    DeletionEntrySink onEntry;
    // A stop request, checked before each removal call (one unlink or rmdir): once requested,
    // the call under way finishes and no other starts. The entry being removed may be left
    // partly emptied; it counts as stopped, not as removed, and gets no line.
    const CancellationToken* cancel = nullptr;
};

struct DeletionReport {
    bool walked = false;            // the library could be opened and walked
    std::uint64_t matched = 0;      // matched entries met by the walk
    std::uint64_t removed = 0;      // matched entries removed completely ("Deleted:" lines)
    std::uint64_t failed = 0;       // matched entries left in place, wholly or partly
    std::uint64_t vanished = 0;     // matched entries someone else removed first (no line)
    std::uint64_t stopped = 0;      // matched entries the stop request left partly removed (no line)
    std::uint64_t innerRemoved = 0; // entries removed inside matched directories
    std::uint64_t errorLines = 0;   // "Error deleting" lines written
    std::int64_t bytesMatched = 0;  // dry run: regular-file bytes in the matched entries
    bool cancelled = false;         // the stop request ended the walk before its end
    std::int64_t bytesRemoved = 0;  // with onEntry: regular-file bytes removed (sum of its bytes)
    // The first entry that had to stay, with the description its error line gave; empty
    // while nothing failed. Lets a caller name one concrete failure to the user. A library
    // that could not be opened leaves the path empty and gives the reason here.
    std::string firstFailedPath;
    std::string firstFailureDescription;
    // The result of deleteMatchingItems: something was removed, a matched entry or part of one.
    [[nodiscard]] bool anythingRemoved() const { return removed > 0 || innerRemoved > 0; }
};

// deleteMatchingItems with its counts and options. Each line names one entry, its path
// escaped (\n, \t, \\, \xNN) so a line always stands for exactly one entry. A matched entry
// that is removed completely gives "Deleted: <path>". One that cannot be removed completely
// gives one "Error deleting <path>: <description>" line for each entry inside it that had to
// stay (a mount point, a read-only or immutable file, a folder without write permission),
// and not again for the folders that stay only because they still hold it; everything else
// in it is still removed; on a read-only file system nothing can go, and the matched entry
// gets one line. A matched entry already removed by someone else gives no line.
[[nodiscard]] DeletionReport deleteMatchingItemsReport(const std::string& basePath,
                                                       std::string_view deletionName,
                                                       const DeletionOptions& options = {});

// Several deletion names over one walk of the library, one report per name. An entry takes
// the first name that matches it and is dealt with whole. The lines come out grouped by
// name in the given order, each group in walk order: what one deleteMatchingItemsReport per
// name would write, except that a category folder nested in the folder of a later name goes
// with that folder instead of getting its own line first.
[[nodiscard]] std::vector<DeletionReport>
deleteMatchingItemsReports(const std::string& basePath, const std::vector<std::string_view>& deletionNames,
                           const DeletionOptions& options = {});

} // namespace velmora

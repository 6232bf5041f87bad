#pragma once

#include "library/fcp_bundle.h"
#include "platform/cancellation.h"
#include "platform/safe_remove.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Removes every entry of the library at `basePath` that the category with this deletion name
// matches, safely (descriptor-relative, never through a link, never into another mount), and
// writes one line per matched entry to standard output: "Deleted: <full path>" or
// "Error deleting <full path>: <description>". True when at least one entry was removed.
// A library that cannot be walked (or is a link) gives false and no output.
bool deleteMatchingItems(const std::string& basePath, const std::string& deletionName);

// Receives each log line, without its line feed.
using DeletionLineSink = std::function<void(std::string_view line)>;

enum class DeletionStatus {
    Deleted,     // the matched entry is gone
    Failed,      // the matched entry, or something inside it, had to stay
    WouldDelete, // dry run: the entry would be removed
    Unreadable,  // a folder (or the library itself) could not be opened or read: not searched
};

// One finished entry, reported the moment it is done (before its log line is written). An
// entry someone else removed first, or that a stop request left partly removed, is not one.
struct DeletionEntry {
    std::size_t nameIndex = 0; // which deletion name matched (0 for an unreadable folder)
    std::string path;          // full path, raw bytes
    DeletionStatus status = DeletionStatus::Deleted;
    // Regular-file bytes this run unlinked in the entry (also of a Failed one); in a dry run
    // the bytes it holds.
    std::int64_t bytes = 0;
    // What had to stay and why (Failed: one per entry left in place; Unreadable: the folder).
    std::vector<RemoveFailure> failures;

    // The failures in one text: "<description>" for the entry itself, "<path>: <description>"
    // for an entry inside it, joined by "; ".
    [[nodiscard]] std::string errorText() const;
};

// Receives each finished entry; may be called from several threads at once when several
// libraries are cleaned in parallel.
using DeletionEntrySink = std::function<void(const DeletionEntry& entry)>;

struct DeletionOptions {
    // List what would be removed ("Would delete: <full path> (<bytes> bytes)") and remove nothing.
    bool dryRun = false;
    // Where the lines go; empty: standard output, one whole line per write, as each entry finishes.
    DeletionLineSink sink;
    // Directory descriptors the walk and each removal may hold at once (each).
    std::size_t maxOpenDescriptors = 64;
    // Threads that remove (or, in a dry run, measure) the matched entries of one library side
    // by side, the folders inside each one too. 1: one request after the other, which suits a
    // local disk; on a share each request waits on its round trip, and many threads keep many
    // of them waiting at once. Fewer are used when maxOpenDescriptors cannot hold them.
    unsigned threads = 1;
    // Look for matches on other mounts below the library too (removal itself never enters a
    // mount inside a matched entry).
    bool crossFileSystems = false;
    // Told about every finished entry, from the thread that cleans the library or one of its
    // threads (one call at a time per library).
    DeletionEntrySink onEntry;
    // A stop request, checked before each removal call (one unlink or rmdir): once requested,
    // the call under way finishes and no other starts. The entry being removed may be left
    // partly emptied; it counts as stopped, not as removed, and gets no line.
    const CancellationToken* cancel = nullptr;
};

struct DeletionReport {
    bool walked = false;       // the library could be opened and walked
    std::uint64_t matched = 0; // matched entries met by the walk
    std::uint64_t removed = 0; // matched entries removed completely ("Deleted:" lines)
    // Matched entries left in place, wholly or partly, and folders that could not be read
    // (a library's unreadable folders count with its first deletion name).
    std::uint64_t failed = 0;
    std::uint64_t vanished = 0;     // matched entries someone else removed first (no line)
    std::uint64_t stopped = 0;      // matched entries the stop request left partly removed (no line)
    std::uint64_t innerRemoved = 0; // entries removed inside matched directories
    std::uint64_t errorLines = 0;   // "Error deleting" and "Error reading" lines written
    // Mount points below the library that the walk did not enter (with the first name).
    std::uint64_t mountsSkipped = 0;
    std::int64_t bytesMatched = 0; // dry run: regular-file bytes in the matched entries
    // Regular-file bytes this run unlinked, in stopped entries too.
    std::int64_t bytesRemoved = 0;
    // The part of bytesRemoved in entries told to no one: another run finished them first, or
    // a stop left them partly removed.
    std::int64_t bytesRemovedUnlisted = 0;
    bool cancelled = false; // the stop request ended the walk before its end
    // The folders that could not be read (each also counted in `failed`), so that a caller
    // summing several walks of one library counts each folder once.
    std::vector<std::string> unreadableFolders;
    // The first entry that had to stay (or folder that could not be read), with the
    // description its error line gave; empty while nothing failed. Lets a caller name one
    // concrete failure to the user.
    std::string firstFailedPath;
    std::string firstFailureDescription;
    // The result of deleteMatchingItems: something was removed, a matched entry or part of one.
    [[nodiscard]] bool anythingRemoved() const { return removed > 0 || innerRemoved > 0; }
};

// deleteMatchingItems with its counts and options. Each line names one entry, its path
// escaped (\n, \t, \\, \xNN) so a line always stands for exactly one entry, written as soon
// as the entry is done. A matched entry that is removed completely gives "Deleted: <path>". One that cannot
// be removed completely gives one "Error deleting <path>: <description>" line for each entry inside it that
// had to stay (a mount point, a read-only or immutable file, a folder without write permission), and not
// again for the folders that stay only because they still hold it; everything else in it is still removed; on
// a read-only file system nothing can go, and the matched entry gets one line. A matched entry already
// removed by someone else gives no line. A folder that cannot be opened or read (the library itself included)
// gives "Error reading <path>: <description>" and counts as failed; a library path that is a link or a file
// is not a library folder and gives nothing.
[[nodiscard]] DeletionReport deleteMatchingItemsReport(const std::string& basePath,
                                                       std::string_view deletionName,
                                                       const DeletionOptions& options = {});

// Several deletion names over one walk of the library, one report per name. An entry takes
// the first name that matches it and is dealt with whole; lines come out in the order the
// entries finish.
[[nodiscard]] std::vector<DeletionReport>
deleteMatchingItemsReports(const std::string& basePath, const std::vector<std::string_view>& deletionNames,
                           const DeletionOptions& options = {});

// A library that a scan found, cleaned the safe way: reached beneath the location open at
// `locationFd` by the record's relative path, never following a link and (unless
// crossFileSystems) never entering another mount on the way, and checked to be the very
// entry the scan met (device and inode) before anything in it is removed. A library that
// cannot be reached so, or is no longer that entry, is left alone with one "Error deleting"
// line and counts as failed; a record that is a link or a file gives nothing.
[[nodiscard]] std::vector<DeletionReport>
deleteMatchingItemsBeneath(int locationFd, const FCPBundle& library,
                           const std::vector<std::string_view>& deletionNames,
                           const DeletionOptions& options = {});

// The dry run of deleteMatchingItemsBeneath told from the record alone, when the scan that
// made it listed its cleanable entries for (at least) these names' categories: the same
// "Would delete" lines, entries and reports, in the same order, with nothing read again.
// The scan has already told about the folders it could not read.
[[nodiscard]] std::vector<DeletionReport>
listCleanableEntries(const FCPBundle& library, const std::vector<std::string_view>& deletionNames,
                     const DeletionOptions& options = {});

// The same with the location reopened from the record: its path without the relative path.
// A record that no scan made (no relative path) is reached beneath its parent folder.
[[nodiscard]] std::vector<DeletionReport>
deleteMatchingItemsOf(const FCPBundle& library, const std::vector<std::string_view>& deletionNames,
                      const DeletionOptions& options = {});

} // namespace velmora

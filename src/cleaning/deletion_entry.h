#pragma once

#include "library/cache_category.h"
#include "platform/safe_remove.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

enum class DeletionStatus {
    Deleted,     // the matched entry is gone
    Failed,      // the matched entry, or something inside it, had to stay; or the library was not reached
    WouldDelete, // dry run: the entry would be removed
    Unreadable,  // a folder (or the library itself) could not be opened or read: not searched
};

// One finished entry of a cleaning, told the moment it is done. An entry someone else
// removed first, or that a stop request left partly removed, is not one.
struct DeletionEntry {
    // The category whose removed path the entry is; none for a folder that could not be
    // read and for a library that was not reached.
    std::optional<CacheCategory> category;
    std::string path; // full path, raw bytes
    DeletionStatus status = DeletionStatus::Deleted;
    // Regular-file bytes this run unlinked in the entry (also of a Failed one); in a dry run
    // the bytes it holds.
    std::int64_t bytes = 0;
    // What had to stay and why (Failed: one per entry left in place; Unreadable: the folder).
    std::vector<RemoveFailure> failures;
    // What the disk got back from the entry (see RemoveReport::bytesFreed); 0 in a dry run.
    std::int64_t bytesFreed = 0;

    [[nodiscard]] bool failed() const {
        return status == DeletionStatus::Failed || status == DeletionStatus::Unreadable;
    }
    // The failures in one text (see failuresText), each description as it was given.
    [[nodiscard]] std::string errorText() const;
};

// Words a failure's description (the C library's English) for a reader, in their language.
using ReasonWording = std::function<std::string(const std::string& description)>;

// The failures of the entry at `entryPath` in one text: "<description>" for the entry itself,
// "<path>: <description>" for an entry inside it, joined by "; "; `describe`, when given,
// words each description.
[[nodiscard]] std::string failuresText(const std::string& entryPath, const std::vector<RemoveFailure>& failures,
                                       const ReasonWording& describe = {});

// Receives each finished entry.
using DeletionEntrySink = std::function<void(const DeletionEntry& entry)>;

// The log lines that tell the entry, without line feeds, its paths escaped (\n, \t, \\,
// \xNN) so that a line always stands for exactly one entry: "Deleted: <path>", "Would
// delete: <path> (<bytes> bytes)", one "Error deleting <path>: <description>" for each entry
// inside it that had to stay, or "Error reading <path>: <description>". Scripts read these:
// they never change with the language.
[[nodiscard]] std::vector<std::string> logLines(const DeletionEntry& entry);

} // namespace velmora

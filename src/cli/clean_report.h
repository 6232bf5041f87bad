#pragma once

#include "cleaning/delete_matching_items.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velmora::cli {

// What one `velmora-cli clean` did, gathered entry by entry as the workers finish them, so
// that the summary and the JSON object can be written at the end, or at any moment before it
// when the run is stopped early (they then tell what was done until then).
class CleanReport {
  public:
    CleanReport(bool dryRun, std::size_t libraries, std::optional<std::size_t> skippedAsRecent)
        : dryRun_(dryRun), libraries_(libraries), skippedAsRecent_(skippedAsRecent) {}

    // Safe to call from several threads at once.
    void add(const DeletionEntry& entry);

    // What the walk of one library adds beyond its entries: the mount points below it that it
    // did not enter, and bytes this run unlinked in entries that are not entries of the report
    // (another run removed the entry first, or a stop left it partly removed).
    void addLibrary(const std::vector<DeletionReport>& reports);
    // Mount points below the location that the scan did not enter.
    void addMountsSkipped(std::uint64_t count) { mountsSkipped_ += count; }

    [[nodiscard]] std::uint64_t failed() const;

    // {"dryRun", "libraries", "skipped", "bytes", "failed", "entries": [{"path", "pathBase64"
    // (when not UTF-8), "bytes", "status", "error" (failed only)}]}, entries in the order they
    // finished; "bytes" is the total this run unlinked (or would): the entries' bytes, and the
    // bytes of entries that another run finished first. Ends with a line feed.
    [[nodiscard]] std::string json() const;

    // The lines for standard error: the mount points not entered (when any), the libraries, the skipped ones when recent libraries are
    // left alone, the entries, and the bytes ("Bytes reclaimed", or "Bytes to reclaim").
    [[nodiscard]] std::string summary() const;

  private:
    struct Entry {
        std::string path;
        DeletionStatus status;
        std::int64_t bytes;
        std::string error;
    };

    const bool dryRun_;
    const std::size_t libraries_;
    const std::optional<std::size_t> skippedAsRecent_;
    std::atomic<std::uint64_t> mountsSkipped_{0};
    std::atomic<std::int64_t> bytesOutsideEntries_{0};
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

} // namespace velmora::cli

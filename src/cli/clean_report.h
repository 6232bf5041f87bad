#pragma once

#include "cleaning/cleaning_plan.h"
#include "cleaning/cleaning_tally.h"
#include "cleaning/deletion_entry.h"

#include <cstddef>
#include <nlohmann/json.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::cli {

// How `velmora-cli clean` presents a run: each entry's log lines as the entry finishes, and
// at the end the JSON object or the summary.
class CleanReport {
  public:
    CleanReport(bool dryRun, bool json, bool quiet) : dryRun_(dryRun), json_(json), quiet_(quiet) {}

    // Writes the entry's lines: errors always, the others unless quiet; with JSON, standard
    // output carries only the report, so errors go to standard error and the entry is kept
    // for the report. One call at a time.
    void add(const DeletionEntry& entry);

    // {"dryRun", "libraries", "skipped", "vanished", "bytes", "failed", "entries": [{"path",
    // "pathBase64" (when not UTF-8), "bytes", "status", "error" (failed only)}]}, entries in the
    // order they finished. Ends with a line feed.
    [[nodiscard]] std::string json(const CleaningPlan& plan, const CleaningTally& tally) const;

    // The lines for standard error: the mount points not entered (when any), the libraries,
    // the skipped ones when recent libraries are left alone (`skipped`), those gone since the
    // scan (when any), the entries, and the bytes ("Bytes reclaimed", or "Bytes to reclaim").
    [[nodiscard]] std::string summary(const CleaningPlan& plan, const CleaningTally& tally,
                                      std::uint64_t mountsSkipped, std::optional<std::size_t> skipped) const;

  private:
    const bool dryRun_;
    const bool json_;
    const bool quiet_;
    nlohmann::ordered_json entries_ = nlohmann::ordered_json::array();
};

} // namespace velmora::cli

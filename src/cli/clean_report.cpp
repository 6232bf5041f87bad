#include "cli/clean_report.h"

#include "report/json_fields.h"
#include "i18n/translation.h"
#include "library/format_size.h"
#include "platform/log_output.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace velmora::cli {

namespace {

// One line of the summary: a looked-up text whose %1 is `value` and %2 (when present) `extra`.
std::string line(const QString& text, std::int64_t value, const std::string& extra = {}) {
    QString filled = text.arg(value);
    if (!extra.empty()) filled = filled.arg(QString::fromStdString(extra));
    return filled.toStdString() + "\n";
}

// Writes one whole line to standard error.
void writeErrorLine(std::string line) {
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
}

} // namespace

void CleanReport::add(const DeletionEntry& entry) {
    const bool error = entry.failed();
    for (const std::string& text : logLines(entry)) {
        if (json_) {
            if (error) writeErrorLine(text);
        } else if (error || !quiet_) {
            (void)writeLogLine(text); // a failed write is remembered and reported at the end
        }
    }
    if (json_) entries_.push_back(entryFields(entry));
}

std::string CleanReport::json(const CleaningPlan& plan, const CleaningTally& tally) const {
    nlohmann::ordered_json report;
    report["dryRun"] = dryRun_;
    report["libraries"] = plan.libraries.size();
    report["skipped"] = plan.skippedAsRecent;
    report["vanished"] = tally.vanished;
    report["bytes"] = tally.bytes;
    if (!dryRun_) report["bytesFreed"] = tally.bytesFreed;
    report["failed"] = tally.failed;
    report["entries"] = entries_;
    return dumpJson(report);
}

std::string CleanReport::summary(const CleaningPlan& plan, const CleaningTally& tally,
                                 std::uint64_t mountsSkipped, std::optional<std::size_t> skipped) const {
    const auto count = [](std::uint64_t n) { return static_cast<std::int64_t>(n); };
    std::string out;
    if (mountsSkipped > 0)
        out +=
            line(translate("CleanCommand", "Mount points not entered: %1 (--cross-file-systems enters them)"),
                 count(mountsSkipped));
    out += line(translate("CleanCommand", "Libraries: %1"), count(plan.libraries.size()));
    if (skipped)
        out += line(translate("CleanCommand", "%1 libraries skipped as recently modified"), count(*skipped));
    if (tally.vanished > 0)
        out += line(translate("CleanCommand", "Libraries gone since the scan (removed by someone else): %1"),
                    count(tally.vanished));
    const std::int64_t bytes = tally.bytes;
    if (dryRun_) {
        out += line(translate("CleanCommand", "Entries to remove: %1"), count(tally.removed));
        // Folders that could not be read were not searched: the list may be short.
        if (tally.failed > 0)
            out += line(translate("CleanCommand", "Entries failed: %1"), count(tally.failed));
        return out + line(translate("CleanCommand", "Bytes to reclaim: %1 (%2)"), bytes, formatSize(bytes));
    }
    return out + line(translate("CleanCommand", "Entries removed: %1"), count(tally.removed)) +
           line(translate("CleanCommand", "Entries failed: %1"), count(tally.failed)) +
           line(translate("CleanCommand", "Bytes reclaimed: %1 (%2)"), bytes, formatSize(bytes)) +
           // Less than the bytes reclaimed for sparse files and files with other links.
           line(translate("CleanCommand", "Disk space freed: %1 (%2)"), tally.bytesFreed,
                formatSize(tally.bytesFreed));
}

} // namespace velmora::cli

#include "cli/clean_report.h"

#include "cli/json_fields.h"
#include "i18n/translation.h"
#include "library/format_size.h"

#include <nlohmann/json.hpp>

namespace velmora::cli {

namespace {

const char* statusKey(DeletionStatus status) {
    switch (status) {
    case DeletionStatus::Deleted:
        return "deleted";
    case DeletionStatus::Failed:
    case DeletionStatus::Unreadable: // a folder that could not be searched: a failure too
        return "failed";
    case DeletionStatus::WouldDelete:
        return "would-delete";
    }
    return "failed";
}

// One line of the summary: a looked-up text whose %1 is `value` and %2 (when present) `extra`.
std::string line(const QString& text, std::int64_t value, const std::string& extra = {}) {
    QString filled = text.arg(value);
    if (!extra.empty()) filled = filled.arg(QString::fromStdString(extra));
    return filled.toStdString() + "\n";
}

bool isFailure(DeletionStatus status) {
    return status == DeletionStatus::Failed || status == DeletionStatus::Unreadable;
}

} // namespace

void CleanReport::add(const DeletionEntry& entry) {
    const bool failed = isFailure(entry.status);
    Entry copy{entry.path, failed ? DeletionStatus::Failed : entry.status, entry.bytes,
               failed ? entry.errorText() : std::string()};
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(copy));
}

void CleanReport::addLibrary(const std::vector<DeletionReport>& reports) {
    for (const DeletionReport& report : reports) {
        mountsSkipped_ += report.mountsSkipped;
        bytesOutsideEntries_ += report.bytesRemovedUnlisted;
    }
}

std::uint64_t CleanReport::failed() const {
    std::lock_guard lock(mutex_);
    std::uint64_t count = 0;
    for (const Entry& entry : entries_)
        count += entry.status == DeletionStatus::Failed;
    return count;
}

std::string CleanReport::json() const {
    std::lock_guard lock(mutex_);
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    std::int64_t bytes = bytesOutsideEntries_.load();
    std::uint64_t failed = 0;
    for (const Entry& entry : entries_) {
        nlohmann::ordered_json object;
        putPath(object, entry.path);
        object["bytes"] = entry.bytes;
        object["status"] = statusKey(entry.status);
        if (entry.status == DeletionStatus::Failed) object["error"] = entry.error;
        entries.push_back(std::move(object));
        bytes += entry.bytes;
        failed += entry.status == DeletionStatus::Failed;
    }
    nlohmann::ordered_json report;
    report["dryRun"] = dryRun_;
    report["libraries"] = libraries_;
    report["skipped"] = skippedAsRecent_.value_or(0);
    report["bytes"] = bytes;
    report["failed"] = failed;
    report["entries"] = std::move(entries);
    return dumpJson(report);
}

std::string CleanReport::summary() const {
    std::lock_guard lock(mutex_);
    std::int64_t bytes = bytesOutsideEntries_.load();
    std::uint64_t done = 0;
    std::uint64_t failed = 0;
    for (const Entry& entry : entries_) {
        bytes += entry.bytes;
        if (entry.status == DeletionStatus::Failed)
            ++failed;
        else
            ++done;
    }
    const auto count = [](std::uint64_t n) { return static_cast<std::int64_t>(n); };
    std::string out;
    if (const std::uint64_t mounts = mountsSkipped_.load())
        out += line(translate("CleanCommand", "Mount points not entered: %1 (--cross-file-systems enters them)"),
                    count(mounts));
    out += line(translate("CleanCommand", "Libraries: %1"), count(libraries_));
    if (skippedAsRecent_)
        out += line(translate("CleanCommand", "%1 libraries skipped as recently modified"),
                    count(*skippedAsRecent_));
    if (dryRun_) {
        out += line(translate("CleanCommand", "Entries to remove: %1"), count(done));
        // Folders that could not be read were not searched: the list may be short.
        if (failed > 0) out += line(translate("CleanCommand", "Entries failed: %1"), count(failed));
        return out + line(translate("CleanCommand", "Bytes to reclaim: %1 (%2)"), bytes, formatSize(bytes));
    }
    return out + line(translate("CleanCommand", "Entries removed: %1"), count(done)) +
           line(translate("CleanCommand", "Entries failed: %1"), count(failed)) +
           line(translate("CleanCommand", "Bytes reclaimed: %1 (%2)"), bytes, formatSize(bytes));
}

} // namespace velmora::cli

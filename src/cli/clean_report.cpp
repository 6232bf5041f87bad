#include "cli/clean_report.h"

#include "cli/json_fields.h"
#include "discovery/format_size.h"

#include <nlohmann/json.hpp>

namespace velmora::cli {

namespace {

const char* statusKey(DeletionStatus status) {
    switch (status) {
    case DeletionStatus::Deleted:
        return "deleted";
    case DeletionStatus::Failed:
        return "failed";
    case DeletionStatus::WouldDelete:
        return "would-delete";
    }
    return "failed";
}

std::string sizeLine(const char* label, std::int64_t bytes) {
    return std::string(label) + ": " + std::to_string(bytes) + " (" + formatSize(bytes) + ")\n";
}

} // namespace

void CleanReport::add(const DeletionEntry& entry) {
    Entry copy{std::string(entry.path), entry.status, entry.bytes, std::string(entry.error)};
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(copy));
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
    std::int64_t bytes = 0;
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
    std::int64_t bytes = 0;
    std::uint64_t done = 0;
    std::uint64_t failed = 0;
    for (const Entry& entry : entries_) {
        bytes += entry.bytes;
        if (entry.status == DeletionStatus::Failed)
            ++failed;
        else
            ++done;
    }
    std::string out = "Libraries: " + std::to_string(libraries_) + "\n";
    if (skippedAsRecent_)
        out += std::to_string(*skippedAsRecent_) + " libraries skipped as recently modified\n";
    if (dryRun_)
        return out + "Entries to remove: " + std::to_string(done) + "\n" +
               sizeLine("Bytes to reclaim", bytes);
    return out + "Entries removed: " + std::to_string(done) + "\nEntries failed: " + std::to_string(failed) +
           "\n" + sizeLine("Bytes reclaimed", bytes);
}

} // namespace velmora::cli

#include "cleaning/cleaning_tally.h"

namespace velmora {

namespace {

// The failures of `count` that remain once the folders already counted are left out; the
// new ones join `seen`.
template <typename Folders>
std::uint64_t newFailures(std::uint64_t count, const Folders& folders, std::set<std::string>& seen) {
    for (const std::string& folder : folders)
        if (!seen.insert(folder).second && count > 0) --count;
    return count;
}

} // namespace

void CleaningTally::add(const DeletionReport& report, const std::string& libraryPath) {
    removed += report.removed;
    anythingRemoved = anythingRemoved || report.anythingRemoved();
    const std::uint64_t added = newFailures(report.failed, report.unreadableFolders, unreadableFolders);
    if (added == 0) return;
    failed += added;
    if (!firstFailedPath.empty()) return;
    // A report's failures name their paths; the library's own path stands in otherwise.
    firstFailedPath = report.firstFailedPath.empty() ? libraryPath : report.firstFailedPath;
    firstFailureDescription = report.firstFailureDescription;
}

void CleaningTally::add(const CleaningTally& other) {
    removed += other.removed;
    failed += newFailures(other.failed, other.unreadableFolders, unreadableFolders);
    anythingRemoved = anythingRemoved || other.anythingRemoved;
    if (!firstFailedPath.empty() || other.firstFailedPath.empty()) return;
    firstFailedPath = other.firstFailedPath;
    firstFailureDescription = other.firstFailureDescription;
}

} // namespace velmora

#include "cleaning/cleaning_tally.h"

namespace velmora {

void CleaningTally::add(const DeletionReport& report, const std::string& libraryPath) {
    removed += report.removed;
    anythingRemoved = anythingRemoved || report.anythingRemoved();
    if (report.failed == 0) return;
    failed += report.failed;
    if (!firstFailedPath.empty()) return;
    // A report's failures name their paths; the library's own path stands in otherwise.
    firstFailedPath = report.firstFailedPath.empty() ? libraryPath : report.firstFailedPath;
    firstFailureDescription = report.firstFailureDescription;
}

void CleaningTally::add(const CleaningTally& other) {
    removed += other.removed;
    failed += other.failed;
    anythingRemoved = anythingRemoved || other.anythingRemoved;
    if (!firstFailedPath.empty() || other.firstFailedPath.empty()) return;
    firstFailedPath = other.firstFailedPath;
    firstFailureDescription = other.firstFailureDescription;
}

} // namespace velmora

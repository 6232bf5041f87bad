#include "cleaning/cleaning_tally.h"

namespace velmora {

void CleaningTally::add(const DeletionReport& report, const std::string& libraryPath) {
    removed += report.removed;
    anythingRemoved = anythingRemoved || report.anythingRemoved();
    const std::uint64_t failures = report.walked ? report.failed : 1;
    if (failures == 0) return;
    failed += failures;
    if (!firstFailedPath.empty()) return;
    firstFailedPath = report.walked ? report.firstFailedPath : libraryPath;
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

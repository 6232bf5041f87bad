#include "cleaning/cleaning_tally.h"

namespace velmora {

void CleaningTally::add(const DeletionEntry& entry, std::size_t step) {
    bytes += entry.bytes;
    bytesFreed += entry.bytesFreed;
    if (!entry.failed()) {
        ++removed;
        return;
    }
    ++failed;
    if (step >= firstFailureStep_ || entry.failures.empty()) return;
    firstFailureStep_ = step;
    firstFailedPath = entry.failures.front().path;
    firstFailureDescription = entry.failures.front().description;
}

void CleaningTally::add(const DeletionReport& report) {
    bytes += report.bytesUnlisted;
    bytesFreed += report.bytesFreedUnlisted;
    mountsSkipped += report.mountsSkipped;
    anythingRemoved = anythingRemoved || report.anythingRemoved;
}

} // namespace velmora

#include "cleaning/cleaning_tally.h"

#include "platform/byte_sum.h"

namespace velmora {

void CleaningTally::add(const DeletionEntry& entry, std::size_t step) {
    bytes = addBytes(bytes, entry.bytes);
    bytesFreed = addBytes(bytesFreed, entry.bytesFreed);
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
    bytes = addBytes(bytes, report.bytesUnlisted);
    bytesFreed = addBytes(bytesFreed, report.bytesFreedUnlisted);
    mountsSkipped += report.mountsSkipped;
    anythingRemoved = anythingRemoved || report.anythingRemoved;
}

} // namespace velmora

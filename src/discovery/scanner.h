#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "library/fcp_bundle.h"

namespace velmora {

// Counters a running scan keeps up to date; a UI reads them on a timer.
struct ScanProgress {
    std::atomic<std::uint64_t> entriesRead{0};
    std::atomic<std::uint64_t> librariesFound{0};
};

struct ScanOptions {
    ScanProgress* progress = nullptr; // optional live counters
    unsigned threads = 0;             // 0: the default for this machine; 1: single-threaded
};

// Every library (entry whose name ends in ".fcpbundle") below `location`, measured, in walk
// order, each with a new id. Reads every entry once. Never fails: what cannot be read counts
// as absent or 0 bytes; a location that cannot be walked gives an empty list.
[[nodiscard]] std::vector<FCPBundle> scanBundles(const std::string& location, const ScanOptions& options = {});

} // namespace velmora

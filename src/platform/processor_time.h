#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

// The time every processor of the machine has spent working and idle since it started, in
// the kernel's ticks. Two readings tell how much of the processors' time in between was
// left unused, by this process and all others.
struct ProcessorTimes {
    std::uint64_t busy = 0;
    std::uint64_t idle = 0; // idle, or waiting for a disk with nothing else to run
};

// The machine's processor times now; nothing where the platform does not tell.
[[nodiscard]] std::optional<ProcessorTimes> readProcessorTimes();

// The times in the aggregate "cpu" line of Linux's /proc/stat text; nothing when it is not
// there or unreadable.
[[nodiscard]] std::optional<ProcessorTimes> processorTimesFromProcStat(std::string_view text);

// The ticks the processors spent working and idle between two readings; nothing when the
// counters went back.
[[nodiscard]] std::optional<ProcessorTimes> ticksBetween(const ProcessorTimes& before, const ProcessorTimes& after);

} // namespace velmora

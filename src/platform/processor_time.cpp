#include "platform/processor_time.h"

#include <array>
#include <charconv>

namespace velmora {

std::optional<ProcessorTimes> processorTimesFromProcStat(std::string_view text) {
    // "cpu  user nice system idle iowait irq softirq steal guest guest_nice": guest time is
    // counted in user time already, so the first eight fields cover all of it.
    constexpr std::string_view kPrefix = "cpu ";
    if (text.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    const char* pos = text.data() + kPrefix.size();
    const char* const end = text.data() + std::min(text.size(), text.find('\n'));
    std::array<std::uint64_t, 8> fields{};
    for (std::uint64_t& field : fields) {
        while (pos < end && *pos == ' ')
            ++pos;
        auto [next, error] = std::from_chars(pos, end, field);
        if (error != std::errc{}) return std::nullopt;
        pos = next;
    }
    const auto [user, nice, system, idle, iowait, irq, softirq, steal] = fields;
    return ProcessorTimes{user + nice + system + irq + softirq + steal, idle + iowait};
}

std::optional<ProcessorTimes> ticksBetween(const ProcessorTimes& before, const ProcessorTimes& after) {
    if (after.busy < before.busy || after.idle < before.idle) return std::nullopt;
    return ProcessorTimes{after.busy - before.busy, after.idle - before.idle};
}

} // namespace velmora

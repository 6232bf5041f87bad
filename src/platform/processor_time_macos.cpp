#include "platform/processor_time.h"

namespace velmora {

// Not read here: callers then judge by what they measure themselves.
std::optional<ProcessorTimes> readProcessorTimes() {
    return std::nullopt;
}

} // namespace velmora

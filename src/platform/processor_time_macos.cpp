#include "platform/processor_time.h"

namespace velmora {

// Not read here: callers then treat the processors as having time to spare.
std::optional<ProcessorTimes> readProcessorTimes() {
    return std::nullopt;
}

} // namespace velmora

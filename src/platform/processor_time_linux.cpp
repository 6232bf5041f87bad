#include "platform/processor_time.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

namespace velmora {

std::optional<ProcessorTimes> readProcessorTimes() {
    UniqueFd stat(::open("/proc/stat", O_RDONLY | O_CLOEXEC));
    if (!stat) return std::nullopt;
    // The aggregate line comes first and is far shorter than this.
    char text[512];
    const ssize_t n = ::read(stat.get(), text, sizeof text);
    if (n <= 0) return std::nullopt;
    return processorTimesFromProcStat(std::string_view(text, static_cast<std::size_t>(n)));
}

} // namespace velmora

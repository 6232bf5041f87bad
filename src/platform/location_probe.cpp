#include "platform/location_probe.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <fcntl.h>

namespace velmora {

LocationProblem probeLocation(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    if (fd) return LocationProblem::none;
    switch (errno) {
    case ENOENT:
        return LocationProblem::missing;
    case ENOTDIR:
        return LocationProblem::notDirectory;
    default:
        return LocationProblem::unreadable;
    }
}

} // namespace velmora

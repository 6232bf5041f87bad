#include "discovery/measure.h"

#include "platform/dir_walker.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace velmora {
namespace {

// The start is resolved like a path (a link there is followed); the walk below it never is.
constexpr int kStartFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;

} // namespace

std::int64_t directorySizeAt(int dirFd, const char* relative) {
    UniqueFd fd(::openat(dirFd, relative, kStartFlags));
    return fd ? regularFileBytesBelow(fd.get()) : 0;
}

} // namespace velmora

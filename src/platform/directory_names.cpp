#include "platform/directory_names.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <dirent.h>
#include <unistd.h>

namespace velmora {

namespace {

// This thread's listing buffer, kept for its later listings.
char* listingBuffer() {
    thread_local std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kListingBufferSize);
    return buffer.get();
}

// Reads on from where the directory's reading stands, appending to `out`, until its end, or
// with `untilShortRead` until a read that fills at most a quarter of the buffer: one that a
// listing's last part gives (the end then costs no read of its own). 0, or the errno.
int readNames(int fd, std::vector<DirectoryChild>& out, bool untilShortRead, bool& endSeen) {
    char* buffer = listingBuffer();
    endSeen = false;
    for (;;) {
        ssize_t n = ::getdents64(fd, buffer, kListingBufferSize);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) {
            endSeen = true;
            return 0;
        }
        for (ssize_t offset = 0; offset < n;) {
            auto* entry = reinterpret_cast<struct dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            out.push_back(DirectoryChild{name, entry->d_type});
        }
        if (untilShortRead && static_cast<std::size_t>(n) <= kListingBufferSize / 4) return 0;
    }
}

} // namespace

int readDirectoryNames(int fd, std::vector<DirectoryChild>& out) {
    out.clear();
    if (::lseek(fd, 0, SEEK_SET) < 0) return errno;
    bool endSeen = false;
    return readNames(fd, out, false, endSeen);
}

int readDirectoryNamesUntilShortRead(int fd, std::vector<DirectoryChild>& out, bool& endSeen) {
    out.clear();
    endSeen = false;
    if (::lseek(fd, 0, SEEK_SET) < 0) return errno;
    return readNames(fd, out, true, endSeen);
}

int readRemainingDirectoryNames(int fd, std::vector<DirectoryChild>& out) {
    out.clear();
    bool endSeen = false;
    return readNames(fd, out, false, endSeen);
}

std::string describeErrno(int error) {
    const char* text = ::strerrordesc_np(error);
    return text ? std::string(text) : "Unknown error " + std::to_string(error);
}

} // namespace velmora

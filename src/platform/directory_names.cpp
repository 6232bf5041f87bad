#include "platform/directory_names.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace velmora {

int readDirectoryNames(int fd, std::vector<DirectoryChild>& out) {
    out.clear();
    if (::lseek(fd, 0, SEEK_SET) < 0) return errno;
    alignas(8) std::array<char, 32768> buffer;
    for (;;) {
        ssize_t n = ::getdents64(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        for (ssize_t offset = 0; offset < n;) {
            auto* entry = reinterpret_cast<struct dirent64*>(buffer.data() + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            out.push_back(DirectoryChild{name, entry->d_type});
        }
    }
}

std::string describeErrno(int error) {
    const char* text = ::strerrordesc_np(error);
    return text ? std::string(text) : "Unknown error " + std::to_string(error);
}

} // namespace velmora

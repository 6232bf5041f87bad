#include "platform/home_directory.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace velmora {

std::string homeDirectoryFrom(const char* passwordHome, const char* environmentHome) {
    // An empty field would turn every user directory into a path below "" or "/": treat it
    // as absent and fall back.
    if (passwordHome != nullptr && *passwordHome != '\0') return passwordHome;
    if (environmentHome != nullptr && *environmentHome != '\0') return environmentHome;
    return "/";
}

std::string userHomeDirectory() {
    // getpwuid_r: the scans and the window may ask from different threads.
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    for (;;) {
        int rc = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0) found = nullptr;
        break;
    }
    return homeDirectoryFrom(found != nullptr ? found->pw_dir : nullptr, std::getenv("HOME"));
}

} // namespace velmora

#include "platform/storage_kind.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <sys/mount.h>

namespace velmora {

namespace {

// f_fstypename of shares and user-space file systems.
constexpr std::array<std::string_view, 8> kNetworkNames{"nfs",  "smbfs",   "afpfs",   "webdav",
                                                        "cifs", "macfuse", "osxfuse", "fusefs"};

StorageKind kindOf(const struct statfs& st) {
    std::string_view name(st.f_fstypename);
    return std::find(kNetworkNames.begin(), kNetworkNames.end(), name) != kNetworkNames.end()
               ? StorageKind::Network
               : StorageKind::Local;
}

} // namespace

StorageKind storageKindOf(const std::string& path) {
    struct statfs st {};
    return ::statfs(path.c_str(), &st) == 0 ? kindOf(st) : StorageKind::Local;
}

StorageKind storageKindOf(int fd) {
    struct statfs st {};
    return ::fstatfs(fd, &st) == 0 ? kindOf(st) : StorageKind::Local;
}

} // namespace velmora

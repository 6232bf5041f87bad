#include "platform/storage_kind.h"

#include <sys/vfs.h>

namespace velmora {

StorageKind storageKindOf(const std::string& path) {
    struct statfs st {};
    if (::statfs(path.c_str(), &st) != 0) return StorageKind::Local;
    return storageKindOfLinuxType(static_cast<std::uint64_t>(st.f_type));
}

StorageKind storageKindOf(int fd) {
    struct statfs st {};
    if (::fstatfs(fd, &st) != 0) return StorageKind::Local;
    return storageKindOfLinuxType(static_cast<std::uint64_t>(st.f_type));
}

} // namespace velmora

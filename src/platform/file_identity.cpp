#include "platform/file_identity.h"

#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#ifndef STATX_MNT_ID
#define STATX_MNT_ID 0x1000U
#endif
#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x2000
#endif

namespace velmora {

namespace {

// Older C libraries declare the mount id as padding; the kernel puts it at this offset.
constexpr std::size_t kMountIdOffset = 0x90;
static_assert(sizeof(struct statx) >= kMountIdOffset + sizeof(std::uint64_t));

std::optional<FileIdentity> identify(int dirFd, const char* name, int flags) {
    struct statx st {};
    if (::statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_TYPE | STATX_INO | STATX_MNT_ID, &st) != 0)
        return std::nullopt;
    FileIdentity id;
    id.device = makedev(st.stx_dev_major, st.stx_dev_minor);
    id.inode = st.stx_ino;
    id.mode = st.stx_mode;
    if (st.stx_mask & STATX_MNT_ID) {
        std::memcpy(&id.mountId, reinterpret_cast<const char*>(&st) + kMountIdOffset, sizeof id.mountId);
        id.hasMountId = true;
    }
    id.mountRoot =
        (st.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && (st.stx_attributes & STATX_ATTR_MOUNT_ROOT);
    return id;
}

} // namespace

std::optional<FileIdentity> identifyAt(int dirFd, const char* name) {
    return identify(dirFd, name, 0);
}

std::optional<FileIdentity> identifyFd(int fd) {
    return identify(fd, "", AT_EMPTY_PATH);
}

bool onOtherMount(const FileIdentity& parent, const FileIdentity& child) {
    if (child.mountRoot) return true;
    if (parent.hasMountId && child.hasMountId) return parent.mountId != child.mountId;
    return parent.device != child.device;
}

} // namespace velmora

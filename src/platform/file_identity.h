#pragma once

#include <cstdint>
#include <optional>
#include <sys/types.h>

namespace velmora {

// What identifies a directory entry across calls: device and inode, plus the mount it lies
// on (the kernel's mount id where it reports one; a bind mount of the same file system has
// the same device, so the device alone cannot tell mounts apart).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t mountId = 0;
    bool hasMountId = false;
    bool mountRoot = false; // the entry is the root of a mount
    mode_t mode = 0;

    [[nodiscard]] bool sameFile(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
};

// The identity of `name` in the directory open at `dirFd`, links not followed and nothing
// automounted; nothing (errno set) when it cannot be read.
[[nodiscard]] std::optional<FileIdentity> identifyAt(int dirFd, const char* name);
// The identity of what `fd` has open.
[[nodiscard]] std::optional<FileIdentity> identifyFd(int fd);

// Whether `child` lies on another mount than `parent`: a mount root always does; otherwise
// the mount ids decide where both are known, the devices where not.
[[nodiscard]] bool onOtherMount(const FileIdentity& parent, const FileIdentity& child);

} // namespace velmora

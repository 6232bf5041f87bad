#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// How the storage behind a file system answers metadata requests. A walk of local storage
// is bound by the processor; one of a share by round trips to the server, so it is only as
// fast as the number of requests it keeps waiting at once.
enum class StorageKind { Local, Network };

// Requests a cleaning keeps waiting at once on a share: enough to hide a round trip of about a
// millisecond almost entirely. (A scan finds its own number; see discovery/worker_growth.h.)
inline constexpr unsigned kNetworkWalkers = 64;

// The kind of the file system holding `path` (resolved like any path). Local when the
// platform cannot tell: the setting that never hurts a local disk.
[[nodiscard]] StorageKind storageKindOf(const std::string& path);
// The same for the file system of the file or directory open at `fd`.
[[nodiscard]] StorageKind storageKindOf(int fd);

// The kind of a file system known by its Linux statfs(2) f_type: network shares (NFS, SMB
// and CIFS, Ceph, AFS, 9P, cluster file systems) and FUSE, whose servers are mostly remote
// (sshfs, cloud drives, Gluster) and which answer each request from another process anyway.
[[nodiscard]] StorageKind storageKindOfLinuxType(std::uint64_t fType);

} // namespace velmora

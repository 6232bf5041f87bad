#include "platform/storage_kind.h"

#include <algorithm>
#include <array>

namespace velmora {

namespace {

// f_type values (linux/magic.h and the file systems' own sources) of storage that answers
// over a network or from a user-space server.
constexpr std::array<std::uint64_t, 18> kNetworkTypes{
    0x6969,     // NFS
    0x517B,     // SMB (smbfs)
    0xFF534D42, // CIFS
    0xFE534D42, // SMB2/3 (cifs.ko)
    0x65735546, // FUSE
    0x00C36400, // Ceph
    0x5346414F, // AFS (OpenAFS)
    0x6B414653, // AFS (kAFS)
    0x01021997, // 9P (v9fs)
    0x73757245, // Coda
    0x564C,     // NCP
    0x0BD00BD0, // Lustre
    0x47504653, // GPFS
    0x01161970, // GFS2
    0x7461636F, // OCFS2
    0x13661366, // OrangeFS
    0x19830326, // FhGFS / BeeGFS
    0xAAD7AAEA, // PanFS
};

} // namespace

StorageKind storageKindOfLinuxType(std::uint64_t fType) {
    // f_type is a signed word on some architectures: compare its low 32 bits.
    const auto type = fType & 0xFFFFFFFFu;
    return std::find(kNetworkTypes.begin(), kNetworkTypes.end(), type) != kNetworkTypes.end()
               ? StorageKind::Network
               : StorageKind::Local;
}

} // namespace velmora

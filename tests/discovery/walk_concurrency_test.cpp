#include "discovery/walk_concurrency.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using testing::TempDir;

TEST(WalkConcurrency, StorageKindFromTheFileSystemType) {
    const struct {
        std::uint64_t type;
        StorageKind kind;
        const char* name;
    } cases[] = {
        {0x6969, StorageKind::Network, "NFS"},
        {0xFF534D42, StorageKind::Network, "CIFS"},
        {0xFFFFFFFFFF534D42, StorageKind::Network, "CIFS from a sign-extended f_type"},
        {0xFE534D42, StorageKind::Network, "SMB2"},
        {0x517B, StorageKind::Network, "SMB"},
        {0x65735546, StorageKind::Network, "FUSE"},
        {0x00C36400, StorageKind::Network, "Ceph"},
        {0x01021997, StorageKind::Network, "9P"},
        {0xEF53, StorageKind::Local, "ext4"},
        {0x01021994, StorageKind::Local, "tmpfs (one off 9P)"},
        {0x58465342, StorageKind::Local, "XFS"},
        {0x9123683E, StorageKind::Local, "Btrfs"},
        {0x794C7630, StorageKind::Local, "overlay"},
        {0x4D44, StorageKind::Local, "FAT"},
        {0, StorageKind::Local, "unknown"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(storageKindOfLinuxType(c.type), c.kind) << c.name;
}

TEST(WalkConcurrency, ThreadsAndJobsByStorageKindAndCores) {
    const struct {
        StorageKind kind;
        unsigned cores;
        unsigned scanThreads;
        unsigned cleaningJobs;
    } cases[] = {
        {StorageKind::Local, 0, 8, 1},     {StorageKind::Local, 1, 8, 1},
        {StorageKind::Local, 2, 8, 2},     {StorageKind::Local, 8, 16, 8},
        {StorageKind::Local, 64, 32, 64},  {StorageKind::Network, 1, 64, 64},
        {StorageKind::Network, 2, 64, 64}, {StorageKind::Network, 128, 64, 64},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(scanThreadsFor(c.kind, c.cores), c.scanThreads) << c.cores << " cores";
        EXPECT_EQ(cleaningJobsFor(c.kind, c.cores), c.cleaningJobs) << c.cores << " cores";
        // Each library one request after the other on a local disk; many at once on a share.
        EXPECT_EQ(cleaningThreadsFor(c.kind), c.kind == StorageKind::Network ? 64u : 1u);
    }
}

TEST(WalkConcurrency, TheTestMachinesOwnFoldersAreLocal) {
    TempDir tmp;
    EXPECT_EQ(storageKindOf(tmp.path()), StorageKind::Local);
    // A path that cannot be asked about gets the setting that never hurts a local disk.
    EXPECT_EQ(storageKindOf(tmp / "missing"), StorageKind::Local);
    EXPECT_EQ(defaultScanThreads(tmp / "missing"), defaultScanThreads(tmp.path()));
}

} // namespace
} // namespace velmora

#include "discovery/walk_concurrency.h"
#include "discovery/worker_growth.h"
#include "platform/processor_time.h"
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
        unsigned scanStart;
        unsigned scanMaximum;
        unsigned cleaningJobs;
    } cases[] = {
        {StorageKind::Local, 0, 8, 8, 1},     {StorageKind::Local, 1, 8, 8, 1},
        {StorageKind::Local, 2, 8, 8, 2},     {StorageKind::Local, 8, 16, 16, 8},
        {StorageKind::Local, 64, 32, 32, 64}, {StorageKind::Network, 1, 8, 64, 64},
        {StorageKind::Network, 2, 8, 64, 64}, {StorageKind::Network, 128, 32, 64, 64},
    };
    for (const auto& c : cases) {
        const ScanThreads scan = scanThreadsFor(c.kind, c.cores);
        EXPECT_EQ(scan.start, c.scanStart) << c.cores << " cores";
        EXPECT_EQ(scan.maximum, c.scanMaximum) << c.cores << " cores";
        EXPECT_EQ(cleaningJobsFor(c.kind, c.cores), c.cleaningJobs) << c.cores << " cores";
        // Each library one request after the other on a local disk; many at once on a share.
        EXPECT_EQ(cleaningThreadsFor(c.kind), c.kind == StorageKind::Network ? 64u : 1u);
    }
}

TEST(WalkConcurrency, WorkersGrowWhileTheProcessorsHaveTimeToSpare) {
    const struct {
        unsigned current;
        unsigned maximum;
        std::optional<double> idleShare;
        bool workWaiting;
        unsigned next;
        const char* why;
    } cases[] = {
        {8, 64, 0.5, true, 16, "idle processors, work waiting: doubles"},
        {8, 64, 0.2, true, 16, "one tick in five idle is enough"},
        {8, 64, 0.1, true, 8, "busy processors: more threads only cost"},
        {8, 64, 0.9, false, 8, "no work waiting: nothing for more workers to do"},
        {48, 64, 0.9, true, 64, "never beyond the maximum"},
        {64, 64, 1.0, true, 64, "at the maximum"},
        {8, 64, std::nullopt, true, 64, "processor time unknown: the maximum at once"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(workersAfter(c.current, c.maximum, {c.idleShare, c.workWaiting}), c.next) << c.why;
}

TEST(WalkConcurrency, IdleShareFromTheProcessorTimes) {
    const std::optional<ProcessorTimes> first =
        processorTimesFromProcStat("cpu  100 5 30 400 20 1 2 3 50 0\ncpu0 1 2 3 4 5 6 7 8 9 10\n");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->busy, 141u); // user nice system irq softirq steal; guest is in user
    EXPECT_EQ(first->idle, 420u); // idle and waiting for a disk
    EXPECT_EQ(idleShareBetween(*first, {first->busy + 30, first->idle + 10}), 0.25);
    EXPECT_FALSE(idleShareBetween(*first, *first)) << "no tick passed";
    EXPECT_FALSE(idleShareBetween(*first, {first->busy - 1, first->idle + 10})) << "counters went back";
    EXPECT_FALSE(processorTimesFromProcStat("cpu0 1 2 3 4 5 6 7 8\n")) << "no aggregate line";
    EXPECT_FALSE(processorTimesFromProcStat("cpu  1 2 3\n")) << "cut short";
#ifdef __linux__
    const std::optional<ProcessorTimes> now = readProcessorTimes();
    ASSERT_TRUE(now);
    EXPECT_GT(now->busy + now->idle, first->busy + first->idle);
#endif
}

TEST(WalkConcurrency, TheTestMachinesOwnFoldersAreLocal) {
    TempDir tmp;
    EXPECT_EQ(storageKindOf(tmp.path()), StorageKind::Local);
    // A path that cannot be asked about gets the setting that never hurts a local disk.
    EXPECT_EQ(storageKindOf(tmp / "missing"), StorageKind::Local);
    EXPECT_EQ(defaultScanThreads(tmp / "missing").start, defaultScanThreads(tmp.path()).start);
    EXPECT_EQ(defaultScanThreads(tmp.path()).maximum, defaultScanThreads(tmp.path()).start);
}

} // namespace
} // namespace velmora

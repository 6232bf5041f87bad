#include "discovery/walk_concurrency.h"
#include "discovery/worker_growth.h"
#include "platform/processor_time.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <vector>

namespace velmora {
namespace {

using testing::TempDir;

TEST(WalkConcurrency, StorageKindFromTheFileSystemType) {
    using Types = std::initializer_list<std::uint64_t>;
    // NFS, CIFS (also from a sign-extended f_type), SMB2, SMB, FUSE, Ceph, 9P; then ext4, tmpfs
    // (one off 9P), XFS and an unknown type.
    for (std::uint64_t type : Types{0x6969, 0xFF534D42, 0xFFFFFFFFFF534D42, 0xFE534D42, 0x517B, 0x65735546,
                                    0x00C36400, 0x01021997})
        EXPECT_EQ(storageKindOfLinuxType(type), StorageKind::Network) << std::hex << type;
    for (std::uint64_t type : Types{0xEF53, 0x01021994, 0x58465342, 0})
        EXPECT_EQ(storageKindOfLinuxType(type), StorageKind::Local) << std::hex << type;
    // A path that cannot be asked about gets the setting that never hurts a local disk.
    TempDir tmp;
    EXPECT_EQ(storageKindOf(tmp.path()), StorageKind::Local);
    EXPECT_EQ(storageKindOf(tmp / "missing"), StorageKind::Local);
}

TEST(WalkConcurrency, ThreadsByStorageKindAndCores) {
    const struct {
        StorageKind kind;
        unsigned cores;
        unsigned scanStart;
        unsigned scanMaximum;
    } cases[] = {
        {StorageKind::Local, 0, 8, 8},    {StorageKind::Local, 1, 8, 8},
        {StorageKind::Local, 2, 8, 8},    {StorageKind::Local, 8, 16, 16},
        {StorageKind::Local, 64, 32, 32}, {StorageKind::Network, 1, 8, 64},
        {StorageKind::Network, 2, 8, 64}, {StorageKind::Network, 128, 32, 64},
    };
    for (const auto& c : cases) {
        const ScanThreads scan = scanThreadsFor(c.kind, c.cores);
        EXPECT_EQ(scan.start, c.scanStart) << c.cores << " cores";
        EXPECT_EQ(scan.maximum, c.scanMaximum) << c.cores << " cores";
    }
}

TEST(WalkConcurrency, WorkersGrowWhileTheProcessorsHaveTimeToSpareOrGrowingPays) {
    const WorkerGrowthSample idle{0.5, true, 1000}, busy{0.0, true, 1000}, oneTickIdle{0.2, true, 1000},
        nearlyBusy{0.1, true, 1000}, nothingWaiting{0.9, false, 1000}, unknown{std::nullopt, true, 1000},
        paid{0.0, true, 1300}, notPaid{0.0, true, 1250};
    const struct {
        unsigned start, maximum;
        std::vector<WorkerGrowthSample> samples;
        std::vector<unsigned> workers; // after each sample
    } cases[] = {
        // Idle processors and work waiting: doubles every interval.
        {8, 64, {idle, oneTickIdle, idle, idle}, {16, 32, 64, 64}},
        // No work waiting: nothing for more workers to do.
        {8, 64, {nothingWaiting, nothingWaiting}, {8, 8}},
        // Never beyond the maximum.
        {48, 64, {idle}, {64}},
        // Processor time unknown: the maximum at once.
        {8, 64, {unknown}, {64}},
        // Busy processors: one doubling on trial after the start-up interval; it did not pay.
        {8, 64, {busy, nearlyBusy, notPaid, paid, busy, busy}, {8, 16, 16, 16, 16, 16}},
        // Each doubling that paid is followed by another; idle time still grows after one did not.
        {8, 128, {busy, busy, paid, {0.0, true, 1690}, notPaid, idle}, {8, 16, 32, 64, 64, 128}},
        // A doubling judged against the start-up interval is tried again.
        {8, 64, {idle, busy, notPaid, paid, busy}, {16, 32, 32, 32, 32}},
        // A doubling on idle time is judged like a trial.
        {8, 128, {busy, idle, paid, notPaid, busy}, {8, 16, 32, 32, 32}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        WorkerGrowth growth(cases[i].start, cases[i].maximum);
        std::vector<unsigned> workers;
        for (const WorkerGrowthSample& sample : cases[i].samples)
            workers.push_back(growth.next(sample));
        EXPECT_EQ(workers, cases[i].workers) << "case " << i;
        EXPECT_EQ(growth.workers(), cases[i].workers.back()) << "case " << i;
    }
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

} // namespace
} // namespace velmora

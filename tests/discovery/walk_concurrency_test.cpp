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
        {StorageKind::Local, 0, 8, 8},     {StorageKind::Local, 1, 8, 8},
        {StorageKind::Local, 2, 8, 8},     {StorageKind::Local, 8, 16, 16},
        {StorageKind::Local, 64, 32, 32},   {StorageKind::Network, 1, 32, 256},
        {StorageKind::Network, 2, 32, 256}, {StorageKind::Network, 128, 32, 256},
    };
    for (const auto& c : cases) {
        const ScanThreads scan = scanThreadsFor(c.kind, c.cores);
        EXPECT_EQ(scan.start, c.scanStart) << c.cores << " cores";
        EXPECT_EQ(scan.maximum, c.scanMaximum) << c.cores << " cores";
    }
}

// An interval of 10 ms in which the share answered `answers` requests, each taking on average
// `waitRatio` times the fastest answer of the scan (1 ms), with work left waiting.
WorkerGrowthSample interval(std::optional<double> idle, std::uint64_t answers, double waitRatio = 3.0,
                            std::chrono::milliseconds length = std::chrono::milliseconds(10)) {
    using std::chrono::microseconds;
    return {
        idle, true, length, answers, microseconds(static_cast<int>(1000 * waitRatio)), microseconds(1000)};
}

TEST(WalkConcurrency, WorkersGrowWhileMoreOfThemMakeTheShareAnswerMore) {
    const WorkerGrowthSample idle = interval(0.5, 1000), busy = interval(0.0, 1000),
                             oneTickIdle = interval(0.2, 1000), nearlyBusy = interval(0.1, 1000),
                             unknown = interval(std::nullopt, 1000), paid = interval(0.0, 1300),
                             notPaid = interval(0.0, 1250), noWait = interval(0.0, 1000, 1.25),
                             fewNoWait = interval(0.0, 7, 1.0),
                             paidInTwiceTheTime = interval(0.0, 1300, 3.0, std::chrono::milliseconds(20));
    WorkerGrowthSample nothingWaiting = interval(0.9, 1000, 1.0);
    nothingWaiting.workWaiting = false;
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
        // Answers that wait for nothing: doubles on busy processors, from the first interval.
        {8, 256, {noWait, noWait, noWait, busy}, {16, 32, 64, 64}},
        // Too few answers to say how long they take.
        {8, 64, {fewNoWait}, {8}},
        // Busy processors: one doubling on trial after the start-up interval; it did not pay.
        {8, 64, {busy, nearlyBusy, notPaid, paid, busy, busy}, {8, 16, 16, 16, 16, 16}},
        // The processors' times unknown: the same, by the answers alone.
        {8, 64, {unknown, unknown, notPaid, paid}, {8, 16, 16, 16}},
        // Each doubling that paid is followed by another; idle time or answers that wait for
        // nothing still grow after one did not.
        {8,
         256,
         {busy, busy, paid, interval(0.0, 1690), notPaid, idle, noWait, paid},
         {8, 16, 32, 64, 64, 128, 256, 256}},
        // Answers per second, not per interval: as many more in twice the time did not pay.
        {8, 64, {busy, busy, paidInTwiceTheTime, paid}, {8, 16, 16, 16}},
        // Workers grown on idle time or on answers that wait for nothing are not judged, nor
        // tried again: only those signs grow them further.
        {8, 64, {idle, paid, busy, noWait, paid}, {16, 16, 16, 32, 32}},
        {8, 64, {busy, busy, noWait, paid}, {8, 16, 32, 32}},
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

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
// `waitRatio` times the fastest answer of the scan (1 ms), with `waiting` directories queued
// at its end and the processors' ticks unknown.
WorkerGrowthSample interval(std::uint64_t answers, double waitRatio, std::uint64_t waiting = 1000) {
    using std::chrono::microseconds;
    return {std::nullopt, waiting, std::chrono::milliseconds(10), answers,
            microseconds(static_cast<std::int64_t>(1000 * waitRatio * static_cast<double>(answers))),
            microseconds(1000)};
}

// The same with answers that waited (so only their rate or the ticks can grow the workers),
// and `idle` of `ticks` processor ticks idle.
WorkerGrowthSample ticks(std::uint64_t idle, std::uint64_t ticks) {
    WorkerGrowthSample sample = interval(100, 3.0);
    sample.ticks = ProcessorTimes{ticks - idle, idle};
    return sample;
}

TEST(WalkConcurrency, WorkersGrowWhileMoreOfThemMakeTheShareAnswerMore) {
    // 32 workers: twice the requests in flight that the rate needs at the fastest answer is
    // 32 at 160 answers in 10 ms.
    const WorkerGrowthSample noWait = interval(20, 1.2, 300), fewWaiting = interval(20, 1.0, 40),
                             manyAnswers = interval(100, 1.2, 100), tooFew = interval(7, 1.0),
                             waited = interval(20, 1.3, 100),
                             enough = interval(160, 3.0), notEnough = interval(150, 3.0),
                             fast = interval(250, 3.0), slow = interval(90, 3.0),
                             nothingWaiting = interval(1000, 1.0, 0);
    const struct {
        unsigned start, maximum;
        std::vector<WorkerGrowthSample> samples;
        std::vector<unsigned> workers; // after each sample
    } cases[] = {
        // Answers that waited for nothing, fewer than the workers: a worker for every directory
        // waiting, up to four times as many, at least twice; as many answers as workers or
        // more: twice as many. Answers that waited, or too few: no more. Nor with fewer
        // directories waiting than workers.
        {32, 256, {noWait, noWait}, {128, 256}},
        {32, 256, {fewWaiting}, {72}},
        {24, 256, {fewWaiting, fewWaiting}, {64, 64}},
        {8, 256, {manyAnswers, manyAnswers}, {16, 32}},
        {32, 256, {waited, tooFew}, {32, 32}},
        // Never beyond the maximum.
        {48, 64, {noWait}, {64}},
        // By the rate: two intervals at least, and everything since the last doubling counts,
        // not the last interval alone; counted afresh after a doubling.
        {32, 256, {enough, enough, enough, enough}, {32, 64, 64, 64}},
        {32, 256, {notEnough, notEnough, notEnough}, {32, 32, 32}},
        {32, 256, {fast, slow}, {32, 64}},
        {32, 256, {slow, slow, fast}, {32, 32, 32}},
        // An interval without work waiting counts for nothing, however it went.
        {32, 256, {nothingWaiting, slow, slow, fast}, {32, 32, 32, 32}},
        // Idle processors: a fifth of at least 8 ticks since the last doubling.
        {32, 256, {ticks(1, 4), ticks(1, 4), ticks(1, 4)}, {32, 64, 64}},
        {32, 256, {ticks(1, 6), ticks(1, 6), ticks(9, 10)}, {32, 32, 64}},
        {32, 256, {ticks(4, 4)}, {32}},
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

TEST(WalkConcurrency, ProcessorTicksFromProcStat) {
    const std::optional<ProcessorTimes> first =
        processorTimesFromProcStat("cpu  100 5 30 400 20 1 2 3 50 0\ncpu0 1 2 3 4 5 6 7 8 9 10\n");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->busy, 141u); // user nice system irq softirq steal; guest is in user
    EXPECT_EQ(first->idle, 420u); // idle and waiting for a disk
    const std::optional<ProcessorTimes> between = ticksBetween(*first, {first->busy + 30, first->idle + 10});
    ASSERT_TRUE(between);
    EXPECT_EQ(between->busy, 30u);
    EXPECT_EQ(between->idle, 10u);
    EXPECT_FALSE(ticksBetween(*first, {first->busy - 1, first->idle + 10})) << "counters went back";
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

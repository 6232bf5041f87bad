#pragma once

#include "cleaning/cleaning_plan.h"
#include "cleaning/cleaning_tally.h"
#include "cleaning/deletion_entry.h"
#include "platform/cancellation.h"
#include "platform/concurrent_group.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace velmora {

// What a run tells while it goes, from any of its threads, one call at a time.
struct CleaningEvents {
    // Each finished entry: the folders the scan could not read first, then the entries of the
    // steps as they finish (in a dry run, step by step in the plan's order).
    DeletionEntrySink onEntry;
    // A step has ended, its entries told: `done` of `total` steps. A step that a stop kept
    // from starting never ends.
    std::function<void(std::size_t done, std::size_t total)> onStepDone;
};

// Where a run's steps go: a concurrent group running at most `width` of them at once.
using CleaningGroupFactory = std::function<std::unique_ptr<ConcurrentGroup>(unsigned width)>;

struct CleaningRunOptions {
    // Tell what would be removed, with its bytes, and remove nothing.
    bool dryRun = false;
    // The records list their cleanable entries for the plan's categories (the scan was asked
    // for them): a dry run tells those instead of walking the libraries again.
    bool listedByScan = false;
    bool crossFileSystems = false;
    unsigned jobs = 0; // steps at once; 0: by the location's storage (see cleaningShapeFor)
    // Checked before each step and each removal call: once requested, the calls under way
    // finish and nothing else starts.
    const CancellationToken* cancel = nullptr;
    CleaningGroupFactory makeGroup; // empty: threads of the run's own
};

// Runs the plan against the location open at `locationFd`, which the scan behind the plan
// walked: each step cleans its library beneath it (cleanLibrary), several side by side as
// the location's storage and the descriptors left allow. Returns once every step that
// started has ended; the tally counts every entry told.
[[nodiscard]] CleaningTally runCleaning(int locationFd, const CleaningPlan& plan,
                                        const CleaningRunOptions& options, const CleaningEvents& events);

class StepRunner;

// A real cleaning of the libraries of a scan that is still running: each library starts as
// the scan meets it, so the removals need not wait for the end of the scan (on a share,
// where every folder the scan reads costs round trips, they go on side by side). For a plan
// that would give every library found one step of `categories`: no age rule, and a scan
// that leaves the inside of those categories' entries unread (ScanOptions::skipInside), so
// that it finds no library a step of another one removes whole.
class CleaningAsFound {
  public:
    // The run may hold `descriptors` at once, the scan the rest.
    CleaningAsFound(int locationFd, CategoryMask categories, const CleaningRunOptions& options,
                    const CleaningEvents& events, std::size_t descriptors);
    ~CleaningAsFound(); // waits for every step that started
    CleaningAsFound(const CleaningAsFound&) = delete;
    CleaningAsFound& operator=(const CleaningAsFound&) = delete;

    // From any thread: starts the cleaning of a library the scan has met.
    void add(const FCPBundle& library);
    // The scan has ended and `plan` is made of what it found: tells the folders it could not
    // read (except those a step meets again), waits for every step, gives the tally.
    [[nodiscard]] CleaningTally finish(const CleaningPlan& plan);

  private:
    const CategoryMask categories_;
    std::mutex mutex_;
    std::deque<FCPBundle> found_;        // what the steps clean, kept until they have ended
    std::unique_ptr<StepRunner> runner_; // last: ends first, waiting for the steps
};

} // namespace velmora

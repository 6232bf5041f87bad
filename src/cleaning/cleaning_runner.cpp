#include "cleaning/cleaning_runner.h"

#include "cleaning/clean_library.h"
#include "cleaning/cleaning_concurrency.h"
#include "platform/descriptor_budget.h"
#include "platform/directory_names.h"
#include "platform/storage_kind.h"
#include "platform/thread_group.h"
#include "platform/tree_workers.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

namespace velmora {

namespace {

// Everything the steps tell goes through here, one call at a time: into the tally, once for
// a folder however many walks meet it, and on to the caller's events.
class RunLedger {
  public:
    // `total`: the run's steps, when known before they are added.
    RunLedger(bool dryRun, const CleaningEvents& events, std::size_t total)
        : total_(total), dryRun_(dryRun), events_(events) {}

    // A step more: its number.
    std::size_t addStep() {
        std::lock_guard lock(mutex_);
        held_.emplace_back();
        ended_.push_back(false);
        return steps_++;
    }

    // The folders the scan could not read, except those a step meets again.
    void tellScanned(const CleaningPlan& plan, bool walks) {
        LibraryPaths walked;
        if (walks)
            for (const CleaningStep& step : plan.steps)
                walked[plan.libraries[step.library].path] |= step.categories;
        auto metAgain = [](const CategoryPosition& below, CategoryMask categories) {
            return below.reachedBy(categories);
        };
        for (const UnreadableFolder& folder : plan.unreadable) {
            if (heldByAnyOf(folder.path, walked, true, metAgain)) continue;
            std::lock_guard lock(mutex_);
            tell({std::nullopt,
                  folder.path,
                  DeletionStatus::Unreadable,
                  0,
                  {{folder.path, folder.error, describeErrno(folder.error)}}},
                 0);
        }
    }

    void entry(std::size_t step, const DeletionEntry& entry) {
        std::lock_guard lock(mutex_);
        // A dry run keeps a step's entries until every step before it has told its own.
        if (dryRun_ && step != current_)
            held_[step].push_back(entry);
        else
            tell(entry, step + 1);
    }

    // The step numbered `step`, of the library numbered `library`, has ended.
    void stepEnded(std::size_t step, std::size_t library, const DeletionReport& report) {
        std::lock_guard lock(mutex_);
        tally_.add(report);
        // Each of a library's steps finds it gone: it counts once.
        if (report.vanished && vanished_.insert(library).second) ++tally_.vanished;
        ended_[step] = true;
        while (current_ < steps_ && ended_[current_])
            if (++current_ < steps_) tellHeld(current_);
        ++done_;
        if (events_.onStepDone) events_.onStepDone(done_, std::max(total_, steps_));
    }

    // What steps a stop cut short held back, in order; the tally.
    CleaningTally finish() {
        std::lock_guard lock(mutex_);
        for (std::size_t step = current_; step < steps_; ++step)
            tellHeld(step);
        return tally_;
    }

  private:
    void tell(const DeletionEntry& entry, std::size_t order) {
        if (entry.status == DeletionStatus::Unreadable && !toldUnreadable_.insert(entry.path).second) return;
        tally_.add(entry, order);
        if (events_.onEntry) events_.onEntry(entry);
    }

    void tellHeld(std::size_t step) {
        for (const DeletionEntry& entry : held_[step])
            tell(entry, step + 1);
        held_[step].clear();
    }

    const std::size_t total_;
    std::size_t steps_ = 0; // added so far
    const bool dryRun_;
    const CleaningEvents& events_;
    std::mutex mutex_;
    CleaningTally tally_;
    std::set<std::string> toldUnreadable_;
    std::set<std::size_t> vanished_; // the libraries found gone
    std::vector<std::vector<DeletionEntry>> held_;
    std::vector<bool> ended_;
    std::size_t current_ = 0; // the first step that has not ended
    std::size_t done_ = 0;
};

} // namespace

// The steps of one run on its concurrent group, each queued as it is added, and the threads
// their matched entries are removed with.
class StepRunner {
  public:
    // `knownSteps`: how many steps the run has, when known before the first one starts.
    StepRunner(int locationFd, const CleaningRunOptions& options, const CleaningEvents& events,
               std::size_t descriptors, std::optional<std::size_t> knownSteps)
        : locationFd_(locationFd), options_(options), ledger_(options.dryRun, events, knownSteps.value_or(0)),
          shape_(cleaningShapeFor(storageKindOf(locationFd), std::thread::hardware_concurrency(), descriptors,
                                  options.jobs)),
          group_(options.makeGroup ? options.makeGroup(shape_.jobs) : std::make_unique<ThreadGroup>(shape_.jobs)) {}

    RunLedger& ledger() { return ledger_; }

    // Queues a step: `library`, which outlives the run, cleaned of `categories`, or its listed
    // entries told. `number` tells the run's libraries apart, so that one found gone counts
    // once however many steps it has.
    void start(const FCPBundle& library, std::size_t number, CategoryMask categories, bool listing) {
        const std::size_t step = ledger_.addStep();
        group_->async([this, step, &library, number, categories, listing] {
            if (cancelled(options_.cancel)) return; // after a stop no step starts
            const DeletionEntrySink onEntry = [this, step](const DeletionEntry& entry) { ledger_.entry(step, entry); };
            DeletionReport report;
            if (listing)
                listCleanable(library, categories, onEntry);
            else
                report = cleanLibrary(locationFd_, library, categories, deletionOptions(onEntry));
            ledger_.stepEnded(step, number, report);
        });
    }

    // Waits for every step that started; the tally.
    CleaningTally finish() {
        group_->wait();
        return ledger_.finish();
    }

  private:
    DeletionOptions deletionOptions(DeletionEntrySink onEntry) {
        DeletionOptions deletion;
        deletion.dryRun = options_.dryRun;
        deletion.maxOpenDescriptors = shape_.maxOpenDescriptors;
        deletion.workers = workers();
        deletion.crossFileSystems = options_.crossFileSystems;
        deletion.cancel = options_.cancel;
        deletion.onEntry = std::move(onEntry);
        return deletion;
    }

    // The run's removal threads, started with its first step that needs them; none where each
    // step removes alone.
    TreeWorkers* workers() {
        std::call_once(workersStarted_, [this] {
            if (shape_.threads >= 2)
                workers_ = std::make_unique<TreeWorkers>(shape_.threads, shape_.threadDescriptors, options_.cancel);
        });
        return workers_.get();
    }

    const int locationFd_;
    const CleaningRunOptions& options_;
    RunLedger ledger_;
    const CleaningShape shape_;
    std::once_flag workersStarted_;
    std::unique_ptr<TreeWorkers> workers_;
    std::unique_ptr<ConcurrentGroup> group_; // last: ended first, while the rest is still there
};

CleaningTally runCleaning(int locationFd, const CleaningPlan& plan, const CleaningRunOptions& options,
                          const CleaningEvents& events) {
    const bool listing = options.dryRun && options.listedByScan;
    StepRunner runner(locationFd, options, events, descriptorsAvailable(), plan.steps.size());
    runner.ledger().tellScanned(plan, !listing);
    for (const CleaningStep& step : plan.steps)
        runner.start(plan.libraries[step.library], step.library, step.categories, listing);
    return runner.finish();
}

CleaningAsFound::CleaningAsFound(int locationFd, CategoryMask categories, const CleaningRunOptions& options,
                                 const CleaningEvents& events, std::size_t descriptors)
    : categories_(categories),
      runner_(std::make_unique<StepRunner>(locationFd, options, events, descriptors, std::nullopt)) {}

CleaningAsFound::~CleaningAsFound() = default;

void CleaningAsFound::add(const FCPBundle& library) {
    std::unique_lock lock(mutex_);
    const FCPBundle& kept = found_.emplace_back(library); // a deque keeps its elements in place
    const std::size_t number = found_.size() - 1;
    lock.unlock();
    runner_->start(kept, number, categories_, false);
}

CleaningTally CleaningAsFound::finish(const CleaningPlan& plan) {
    runner_->ledger().tellScanned(plan, true);
    return runner_->finish();
}

} // namespace velmora

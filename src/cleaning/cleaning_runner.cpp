#include "cleaning/cleaning_runner.h"

#include "cleaning/clean_library.h"
#include "cleaning/cleaning_concurrency.h"
#include "platform/descriptor_budget.h"
#include "platform/directory_names.h"
#include "platform/storage_kind.h"
#include "platform/thread_group.h"

#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace velmora {

namespace {

// Everything the steps tell goes through here, one call at a time: into the tally, once for
// a folder however many walks meet it, and on to the caller's events.
class RunLedger {
  public:
    RunLedger(const CleaningPlan& plan, bool dryRun, const CleaningEvents& events)
        : steps_(plan.steps.size()), dryRun_(dryRun), events_(events), held_(steps_), ended_(steps_) {}

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
        if (events_.onStepDone) events_.onStepDone(done_, steps_);
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

    const std::size_t steps_;
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

CleaningTally runCleaning(int locationFd, const CleaningPlan& plan, const CleaningRunOptions& options,
                          const CleaningEvents& events) {
    const bool listing = options.dryRun && options.listedByScan;
    RunLedger ledger(plan, options.dryRun, events);
    ledger.tellScanned(plan, !listing);

    const CleaningShape shape =
        cleaningShapeFor(storageKindOf(locationFd), std::thread::hardware_concurrency(),
                         descriptorsAvailable(), plan.steps.size(), options.jobs);
    DeletionOptions deletion;
    deletion.dryRun = options.dryRun;
    deletion.maxOpenDescriptors = shape.maxOpenDescriptors;
    deletion.threads = shape.threads;
    deletion.crossFileSystems = options.crossFileSystems;
    deletion.cancel = options.cancel;

    std::unique_ptr<ConcurrentGroup> group =
        options.makeGroup ? options.makeGroup(shape.jobs) : std::make_unique<ThreadGroup>(shape.jobs);
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        group->async([&, i] {
            if (cancelled(options.cancel)) return; // after a stop no step starts
            const CleaningStep& step = plan.steps[i];
            const FCPBundle& library = plan.libraries[step.library];
            const DeletionEntrySink onEntry = [&ledger, i](const DeletionEntry& entry) {
                ledger.entry(i, entry);
            };
            DeletionReport report;
            if (listing) {
                listCleanable(library, step.categories, onEntry);
            } else {
                DeletionOptions own = deletion;
                own.onEntry = onEntry;
                report = cleanLibrary(locationFd, library, step.categories, own);
            }
            ledger.stepEnded(i, step.library, report);
        });
    }
    group->wait();
    return ledger.finish();
}

} // namespace velmora

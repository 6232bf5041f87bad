#pragma once

#include "ui/dispatch.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velmora::testing {

// A Dispatch whose queues only fill up: the test decides when and in which order work runs,
// on its own thread, without sleeps. A concurrent group runs its items inline, in queueing
// order, when its wait() is called, so each item's post to main lands in order.
// Every call is also written to `trace()`: "main" (a post to main), "background",
// "group <label>" (a new group), "async" (an item queued on a group), "wait".
class StepDispatch : public Dispatch {
  public:
    void postToMain(Work work) override;
    void runInBackground(Work work) override;
    [[nodiscard]] std::unique_ptr<ConcurrentGroup> makeConcurrentGroup(const std::string& label,
                                                                       unsigned width) override;

    [[nodiscard]] std::size_t pendingMain() const;
    [[nodiscard]] std::size_t pendingBackground() const;

    // Runs the oldest queued item; false when there was none.
    bool runMain();
    bool runBackground();
    // Runs the newest background item instead (to finish runs out of their starting order).
    bool runNewestBackground();
    // Runs main items until none is queued, new ones included; returns how many ran.
    std::size_t drainMain();
    // Runs everything, background and main, until both queues are empty.
    void drainAll();

    // Called on the test's thread before each item of a group runs, with the item's number
    // (from 0), e.g. to stop a run between two of its items.
    std::function<void(std::size_t item)> beforeGroupItem;

    [[nodiscard]] std::vector<std::string> trace() const;
    void clearTrace();

  private:
    bool popAndRun(std::deque<Work>& queue, bool newest);
    void record(std::string event);

    mutable std::mutex mutex;
    std::deque<Work> mainQueue;
    std::deque<Work> backgroundQueue;
    std::vector<std::string> events;
};

} // namespace velmora::testing

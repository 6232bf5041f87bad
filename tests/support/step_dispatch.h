#pragma once

#include "ui/dispatch.h"

#include <deque>
#include <functional>
#include <mutex>

namespace velmora::testing {

// A Dispatch whose queues only fill up: the test runs each item in the order it chooses. A
// group runs its items inline, in queueing order, at its wait().
class StepDispatch : public Dispatch {
  public:
    void postToMain(Work work) override { push(mainQueue, std::move(work)); }
    void runInBackground(Work work) override { push(backgroundQueue, std::move(work)); }
    std::unique_ptr<ConcurrentGroup> makeConcurrentGroup(const std::string&, unsigned) override {
        ++calls;
        return std::make_unique<InlineGroup>(beforeGroupItem);
    }

    // Run the oldest queued item (the newest background one, to finish runs out of order).
    bool runMain() { return popAndRun(mainQueue, false); }
    bool runBackground() { return popAndRun(backgroundQueue, false); }
    bool runNewestBackground() { return popAndRun(backgroundQueue, true); }
    void drainMain() {
        while (runMain()) {
        }
    }
    void drainAll() {
        while (runBackground() || runMain()) {
        }
    }

    // Called before each item of a group runs, with its number from 0 (to stop between items).
    std::function<void(std::size_t item)> beforeGroupItem;
    int calls = 0; // posts, background items and groups made

  private:
    struct InlineGroup : ConcurrentGroup {
        explicit InlineGroup(std::function<void(std::size_t)> before) : before(std::move(before)) {}
        void async(Work work) override { items.push_back(std::move(work)); }
        void wait() override {
            for (std::size_t ran = 0; !items.empty(); ++ran) {
                Work work = std::move(items.front());
                items.pop_front();
                if (before) before(ran);
                work();
            }
        }
        std::function<void(std::size_t)> before;
        std::deque<Work> items;
    };

    void push(std::deque<Work>& queue, Work work) {
        const std::lock_guard lock(mutex);
        ++calls;
        queue.push_back(std::move(work));
    }
    bool popAndRun(std::deque<Work>& queue, bool newest) {
        Work work;
        {
            const std::lock_guard lock(mutex);
            if (queue.empty()) return false;
            work = std::move(newest ? queue.back() : queue.front());
            newest ? queue.pop_back() : queue.pop_front();
        }
        work(); // outside the lock: the work posts further items
        return true;
    }

    std::mutex mutex;
    std::deque<Work> mainQueue, backgroundQueue;
};

} // namespace velmora::testing

#include "support/step_dispatch.h"

namespace velmora::testing {

namespace {

class InlineGroup : public Dispatch::ConcurrentGroup {
  public:
    InlineGroup(std::function<void(std::string)> record, std::function<void(std::size_t)> beforeItem)
        : record(std::move(record)), beforeItem(std::move(beforeItem)) {}

    void async(Dispatch::Work work) override {
        record("async");
        items.push_back(std::move(work));
    }

    void wait() override {
        record("wait");
        while (!items.empty()) {
            Dispatch::Work work = std::move(items.front());
            items.pop_front();
            if (beforeItem) beforeItem(ran++);
            work();
        }
    }

  private:
    std::function<void(std::string)> record;
    std::function<void(std::size_t)> beforeItem;
    std::deque<Dispatch::Work> items;
    std::size_t ran = 0;
};

} // namespace

void StepDispatch::postToMain(Work work) {
    std::lock_guard lock(mutex);
    events.emplace_back("main");
    mainQueue.push_back(std::move(work));
}

void StepDispatch::runInBackground(Work work) {
    std::lock_guard lock(mutex);
    events.emplace_back("background");
    backgroundQueue.push_back(std::move(work));
}

std::unique_ptr<Dispatch::ConcurrentGroup> StepDispatch::makeConcurrentGroup(const std::string& label,
                                                                             unsigned /*width*/) {
    record("group " + label);
    return std::make_unique<InlineGroup>([this](std::string event) { record(std::move(event)); },
                                         beforeGroupItem);
}

std::size_t StepDispatch::pendingMain() const {
    std::lock_guard lock(mutex);
    return mainQueue.size();
}

std::size_t StepDispatch::pendingBackground() const {
    std::lock_guard lock(mutex);
    return backgroundQueue.size();
}

bool StepDispatch::popAndRun(std::deque<Work>& queue, bool newest) {
    Work work;
    {
        std::lock_guard lock(mutex);
        if (queue.empty()) return false;
        if (newest) {
            work = std::move(queue.back());
            queue.pop_back();
        } else {
            work = std::move(queue.front());
            queue.pop_front();
        }
    }
    // Run outside the lock: the work posts further items.
    work();
    return true;
}

bool StepDispatch::runMain() {
    return popAndRun(mainQueue, false);
}
bool StepDispatch::runBackground() {
    return popAndRun(backgroundQueue, false);
}
bool StepDispatch::runNewestBackground() {
    return popAndRun(backgroundQueue, true);
}

std::size_t StepDispatch::drainMain() {
    std::size_t ran = 0;
    while (runMain())
        ++ran;
    return ran;
}

void StepDispatch::drainAll() {
    while (runBackground() || runMain()) {
    }
}

std::vector<std::string> StepDispatch::trace() const {
    std::lock_guard lock(mutex);
    return events;
}

void StepDispatch::clearTrace() {
    std::lock_guard lock(mutex);
    events.clear();
}

void StepDispatch::record(std::string event) {
    std::lock_guard lock(mutex);
    events.push_back(std::move(event));
}

} // namespace velmora::testing

#pragma once

#include "platform/concurrent_group.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora {

// A concurrent group for programs without an event loop: items start in the order they were
// queued, at most `width` at once, on up to `width - 1` threads started as items arrive and
// on the thread that waits, which takes items too: a group of width 1 runs everything there.
class ThreadGroup : public ConcurrentGroup {
  public:
    explicit ThreadGroup(unsigned width);
    ~ThreadGroup() override; // waits for every item queued, then ends the threads
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;

    void async(Work work) override;
    void wait() override;

  private:
    void serve();
    // Runs the first queued item; the lock is held before and after, not during.
    void runFirst(std::unique_lock<std::mutex>& lock);

    const std::size_t width_;
    std::mutex mutex_;
    std::condition_variable changed_; // an item was queued or finished, or the threads end
    std::deque<Work> queue_;
    std::size_t running_ = 0;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

} // namespace velmora

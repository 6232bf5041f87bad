#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora {

// Threads that run posted tasks, newest first (a walk that posts what it finds goes deep
// before wide, so few directories stay open), with a budget of descriptors the tasks share
// and a count of jobs in flight to wait on.
class BoundedTaskPool {
  public:
    // Starts as many of `threads` as the system gives; see threads().
    BoundedTaskPool(unsigned threads, std::size_t descriptorCap);
    ~BoundedTaskPool(); // waits for every job, then ends the threads
    BoundedTaskPool(const BoundedTaskPool&) = delete;
    BoundedTaskPool& operator=(const BoundedTaskPool&) = delete;

    // The threads that started. With none, posted tasks never run: the owner must not post.
    [[nodiscard]] std::size_t threads() const { return threads_.size(); }

    void post(std::function<void()> task);

    // One descriptor of the budget: taken if one is free, or once one comes free; given back.
    [[nodiscard]] bool tryReserve();
    void reserveWaiting();
    void release();

    void jobStarted();
    // A job is done and gives back the descriptor it held.
    void jobEnded();
    // Waits until every started job has ended.
    void waitForJobs();

  private:
    void serve();

    const std::size_t cap_;
    std::mutex mutex_;
    std::condition_variable work_;  // a task is queued, or the threads end
    std::condition_variable freed_; // a descriptor came free, or a job ended
    std::deque<std::function<void()>> tasks_;
    std::size_t open_ = 0; // descriptors held, under mutex_
    std::size_t jobs_ = 0; // jobs started and not ended
    bool stopping_ = false;
    std::vector<std::thread> threads_; // last: started once everything above exists
};

} // namespace velmora

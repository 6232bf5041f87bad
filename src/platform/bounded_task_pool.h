#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora {

// Threads that run posted tasks, the heaviest first and, among equally heavy ones, the newest
// first (a walk that posts what it finds goes deep before wide, so few directories stay
// open), with a budget of descriptors the tasks share and a count of jobs in flight to wait on.
class BoundedTaskPool {
  public:
    // Starts as many of `threads` as the system gives; see threads().
    BoundedTaskPool(unsigned threads, std::size_t descriptorCap);
    ~BoundedTaskPool(); // waits for every job, then ends the threads
    BoundedTaskPool(const BoundedTaskPool&) = delete;
    BoundedTaskPool& operator=(const BoundedTaskPool&) = delete;

    // The threads that started. With none, posted tasks never run: the owner must not post.
    [[nodiscard]] std::size_t threads() const { return threads_.size(); }

    // Queues a task; those of more `weight` run first.
    void post(std::function<void()> task, std::size_t weight = 0);

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
    struct Task {
        std::size_t weight;
        std::uint64_t order; // later posts are larger
        std::function<void()> run;
    };
    static bool runsLater(const Task& a, const Task& b) {
        return a.weight != b.weight ? a.weight < b.weight : a.order < b.order;
    }
    std::vector<Task> tasks_; // a heap: the next to run on top
    std::uint64_t posted_ = 0;
    std::size_t open_ = 0; // descriptors held, under mutex_
    std::size_t jobs_ = 0; // jobs started and not ended
    bool stopping_ = false;
    std::vector<std::thread> threads_; // last: started once everything above exists
};

} // namespace velmora

#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace velmora {

// One queue of tasks per worker of a pool that shares its work: a worker takes its own
// newest task (depth first, so what it has open stays small) or, when its queue is empty,
// steals the oldest task of another (the biggest piece of work left). Counts the tasks
// queued or being worked on, so the workers know when the whole job is done: whenever none
// is left, however many workers run. Workers may join while the job runs (up to `capacity`):
// a new one takes its first task from the others' queues.
template <typename Task> class WorkSharingQueues {
  public:
    explicit WorkSharingQueues(unsigned capacity) : queues_(capacity), workers_(capacity) {}

    // Workers whose queues the others look into: 0 to workers() - 1.
    [[nodiscard]] unsigned workers() const { return workers_.load(std::memory_order_acquire); }
    [[nodiscard]] unsigned capacity() const { return static_cast<unsigned>(queues_.size()); }

    // Makes room for workers 0 to `n` - 1, before any of those beyond the current ones starts
    // (so each pushes only to a queue the others see). Lowered only to withdraw workers that
    // never started: their queues are empty.
    void setWorkers(unsigned n) { workers_.store(std::min(n, capacity()), std::memory_order_release); }

    // Tasks waiting in a queue, not yet taken.
    [[nodiscard]] std::int64_t queued() const { return queued_.load(std::memory_order_relaxed); }

    // Queues a task on worker `self`'s queue and wakes a waiting worker.
    void push(unsigned self, Task task) {
        outstanding_.fetch_add(1);
        {
            std::lock_guard lock(queues_[self].mutex);
            queues_[self].tasks.push_back(std::move(task));
        }
        queued_.fetch_add(1);
        if (sleepers_.load() > 0) {
            std::lock_guard lock(idleMutex_);
            idle_.notify_one();
        }
    }

    // The next task for worker `self`, or nothing when every queue is empty.
    [[nodiscard]] std::optional<Task> take(unsigned self) {
        const unsigned n = workers();
        for (unsigned k = 0; k < n; ++k) {
            Queue& queue = queues_[(self + k) % n];
            std::lock_guard lock(queue.mutex);
            if (queue.tasks.empty()) continue;
            Task task;
            if (k == 0) {
                task = std::move(queue.tasks.back());
                queue.tasks.pop_back();
            } else {
                task = std::move(queue.tasks.front());
                queue.tasks.pop_front();
            }
            queued_.fetch_sub(1);
            return task;
        }
        return std::nullopt;
    }

    // Waits until a task is queued somewhere or the whole job is done; false when done.
    [[nodiscard]] bool waitForWork() {
        std::unique_lock lock(idleMutex_);
        sleepers_.fetch_add(1);
        idle_.wait(lock, [this] { return queued_.load() > 0 || outstanding_.load() == 0; });
        sleepers_.fetch_sub(1);
        return outstanding_.load() != 0;
    }

    // A taken task is done (after pushing whatever it found); the last one wakes every worker.
    void finish() {
        if (outstanding_.fetch_sub(1) == 1) {
            std::lock_guard lock(idleMutex_);
            idle_.notify_all();
        }
    }

  private:
    struct alignas(64) Queue {
        std::mutex mutex;
        std::deque<Task> tasks;
    };

    std::vector<Queue> queues_;
    std::atomic<unsigned> workers_;
    std::atomic<std::int64_t> outstanding_{0}; // tasks queued or being worked on
    std::atomic<std::int64_t> queued_{0};      // tasks waiting in a queue
    std::atomic<int> sleepers_{0};
    std::mutex idleMutex_;
    std::condition_variable idle_;
};

} // namespace velmora

#include "platform/bounded_task_pool.h"

#include "platform/optional_thread.h"

#include <algorithm>

namespace velmora {

BoundedTaskPool::BoundedTaskPool(unsigned threads, std::size_t descriptorCap) : cap_(descriptorCap) {
    // A thread the system refuses (a process or thread limit) means fewer threads.
    for (unsigned i = 0; i < threads; ++i) {
        std::thread thread = threadIfGiven([this] { serve(); });
        if (!thread.joinable()) break;
        threads_.push_back(std::move(thread));
    }
}

BoundedTaskPool::~BoundedTaskPool() {
    waitForJobs();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void BoundedTaskPool::serve() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            std::pop_heap(tasks_.begin(), tasks_.end(), runsLater);
            task = std::move(tasks_.back().run);
            tasks_.pop_back();
        }
        task();
    }
}

void BoundedTaskPool::post(std::function<void()> task, std::size_t weight) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back({weight, posted_++, std::move(task)});
        std::push_heap(tasks_.begin(), tasks_.end(), runsLater);
    }
    work_.notify_one();
}

bool BoundedTaskPool::tryReserve() {
    std::lock_guard lock(mutex_);
    if (open_ >= cap_) return false;
    ++open_;
    return true;
}

void BoundedTaskPool::reserveWaiting() {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [this] { return open_ < cap_; });
    ++open_;
}

void BoundedTaskPool::release() {
    {
        std::lock_guard lock(mutex_);
        --open_;
    }
    freed_.notify_all();
}

void BoundedTaskPool::jobStarted() {
    std::lock_guard lock(mutex_);
    ++jobs_;
}

void BoundedTaskPool::jobEnded() {
    {
        std::lock_guard lock(mutex_);
        --open_;
        --jobs_;
    }
    freed_.notify_all();
}

void BoundedTaskPool::waitForJobs() {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [this] { return jobs_ == 0; });
}

} // namespace velmora

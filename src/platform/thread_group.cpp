#include "platform/thread_group.h"

#include "platform/optional_thread.h"

#include <algorithm>

namespace velmora {

ThreadGroup::ThreadGroup(unsigned width) : width_(std::max(1u, width)) {}

ThreadGroup::~ThreadGroup() {
    wait();
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void ThreadGroup::async(ConcurrentGroup::Work work) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(work));
    // A thread more only while every thread has an item of its own; the waiting one is the last.
    // A thread the system refuses (a process or thread limit) means fewer threads: the
    // waiting one still runs every item.
    if (threads_.size() + 1 < width_ && threads_.size() < queue_.size() + running_)
        if (std::thread thread = threadIfGiven([this] { serve(); }); thread.joinable())
            threads_.push_back(std::move(thread));
    changed_.notify_all();
}

void ThreadGroup::wait() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!queue_.empty() && running_ < width_)
            runFirst(lock);
        else if (queue_.empty() && running_ == 0)
            return;
        else
            changed_.wait(lock);
    }
}

void ThreadGroup::serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return ending_ || (!queue_.empty() && running_ < width_); });
        if (ending_ && queue_.empty()) return;
        runFirst(lock);
    }
}

void ThreadGroup::runFirst(std::unique_lock<std::mutex>& lock) {
    ConcurrentGroup::Work work = std::move(queue_.front());
    queue_.pop_front();
    ++running_;
    lock.unlock();
    work();
    lock.lock();
    --running_;
    changed_.notify_all();
}

} // namespace velmora

#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <pthread.h>

namespace velmora {

// Threads numbered 0 to count - 1, each started on a stack of its own carved out of one
// mapping made up front, with a guard page below it. Starting one maps nothing: where many
// threads start while others run, each new stack's mapping waits for the address space's
// lock behind the page faults of all the others, and a hundred threads took a tenth of a
// second to start. Without the mapping (an address space limit), threads get stacks of
// their own as usual.
class ThreadStacks {
  public:
    explicit ThreadStacks(unsigned count);
    ~ThreadStacks();
    ThreadStacks(const ThreadStacks&) = delete;
    ThreadStacks& operator=(const ThreadStacks&) = delete;

    // Starts thread `index` running `work`; false when the system gives no more threads (a
    // process or thread limit). Each index at most once; any thread may start one.
    bool start(unsigned index, std::function<void()> work);

    // Waits for the threads started, in the order of their numbers: a thread started by
    // another must have a higher number than the one that started it, so that its handle is
    // in place by the time the one before it has ended.
    void joinAll();

  private:
    struct Slot {
        pthread_t thread{};
        bool started = false;
    };
    const unsigned count_;
    std::unique_ptr<Slot[]> slots_;
    char* mapping_ = nullptr;
    std::size_t stackSize_ = 0; // each stack, after its guard page
    std::size_t pageSize_ = 0;
};

} // namespace velmora

#include "platform/thread_stacks.h"

#include <sys/mman.h>
#include <unistd.h>

namespace velmora {

namespace {

void* runWork(void* work) {
    const std::unique_ptr<std::function<void()>> own(static_cast<std::function<void()>*>(work));
    (*own)();
    return nullptr;
}

} // namespace

ThreadStacks::ThreadStacks(unsigned count) : count_(count), slots_(std::make_unique<Slot[]>(count)) {
    pthread_attr_t defaults;
    if (count == 0 || ::pthread_attr_init(&defaults) != 0) return;
    std::size_t stackSize = 0;
    const int sized = ::pthread_attr_getstacksize(&defaults, &stackSize);
    ::pthread_attr_destroy(&defaults);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (sized != 0 || stackSize == 0 || page <= 0) return;
    pageSize_ = static_cast<std::size_t>(page);
    stackSize_ = (stackSize + pageSize_ - 1) / pageSize_ * pageSize_;
    // Reserved, not committed: a stack gets pages only as its thread uses them.
    int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
#ifdef MAP_STACK
    flags |= MAP_STACK;
#endif
    const std::size_t total = std::size_t{count} * (pageSize_ + stackSize_);
    void* mapping = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (mapping == MAP_FAILED) return;
    mapping_ = static_cast<char*>(mapping);
    for (unsigned i = 0; i < count; ++i) {
        if (::mprotect(mapping_ + std::size_t{i} * (pageSize_ + stackSize_), pageSize_, PROT_NONE) != 0) {
            ::munmap(mapping_, total);
            mapping_ = nullptr;
            return;
        }
    }
}

ThreadStacks::~ThreadStacks() {
    joinAll();
    if (mapping_ != nullptr) ::munmap(mapping_, std::size_t{count_} * (pageSize_ + stackSize_));
}

bool ThreadStacks::start(unsigned index, std::function<void()> work) {
    if (index >= count_) return false;
    pthread_attr_t attributes;
    if (::pthread_attr_init(&attributes) != 0) return false;
    if (mapping_ != nullptr) {
        char* stack = mapping_ + std::size_t{index} * (pageSize_ + stackSize_) + pageSize_;
        ::pthread_attr_setstack(&attributes, stack, stackSize_);
    }
    auto* own = new std::function<void()>(std::move(work));
    pthread_t thread{};
    const int error = ::pthread_create(&thread, &attributes, runWork, own);
    ::pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete own;
        return false;
    }
    slots_[index] = {thread, true};
    return true;
}

void ThreadStacks::joinAll() {
    for (unsigned i = 0; i < count_; ++i) {
        if (!slots_[i].started) continue;
        ::pthread_join(slots_[i].thread, nullptr);
        slots_[i].started = false;
    }
}

} // namespace velmora

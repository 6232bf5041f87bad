#pragma once

#include <functional>

namespace velmora {

// A group of work items that run side by side: wait() blocks the calling thread until every
// item queued so far has finished. The window gives one running on its thread pools, a
// program without an event loop its own threads (ThreadGroup), tests one they run by hand.
class ConcurrentGroup {
  public:
    using Work = std::function<void()>;

    virtual ~ConcurrentGroup() = default;
    virtual void async(Work work) = 0;
    virtual void wait() = 0;
};

} // namespace velmora

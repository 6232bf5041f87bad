#pragma once

#include "platform/concurrent_group.h"

#include <functional>
#include <memory>
#include <string>

namespace velmora {

// The queues the runs use. The app's implementation runs on the Qt event loop and thread
// pools; tests use one whose queues they drain step by step.
class Dispatch {
  public:
    using Work = std::function<void()>;

    // A concurrent queue with one group: items run in parallel; wait() blocks the calling
    // (background) thread until every item queued so far has finished.
    using ConcurrentGroup = velmora::ConcurrentGroup;

    virtual ~Dispatch() = default;
    // Runs `work` on the main thread, in posting order.
    virtual void postToMain(Work work) = 0;
    // Runs `work` on a background thread.
    virtual void runInBackground(Work work) = 0;
    // A new concurrent queue with its group, labelled for diagnostics, running at most
    // `width` items at once (0: the dispatcher's own choice).
    [[nodiscard]] virtual std::unique_ptr<ConcurrentGroup> makeConcurrentGroup(const std::string& label,
                                                                               unsigned width) = 0;
};

} // namespace velmora

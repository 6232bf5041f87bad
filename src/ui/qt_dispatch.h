#pragma once

#include "ui/dispatch.h"

#include <QObject>
#include <QThreadPool>
#include <memory>

namespace velmora {

// The app's queues. Main: the Qt event loop of the thread that made this object, in posting
// order. Background: a thread pool of its own, so long scans never starve Qt's global pool.
// Each concurrent group: a fresh pool bounded to its width, or max(2, ideal thread count).
// Make it on the main thread; destroying it waits for the background work to end.
class QtDispatch : public Dispatch {
  public:
    QtDispatch();
    ~QtDispatch() override;
    QtDispatch(const QtDispatch&) = delete;
    QtDispatch& operator=(const QtDispatch&) = delete;

    void postToMain(Work work) override;
    void runInBackground(Work work) override;
    [[nodiscard]] std::unique_ptr<ConcurrentGroup> makeConcurrentGroup(const std::string& label,
                                                                       unsigned width) override;

    // Threads a concurrent group may use at once.
    [[nodiscard]] static int groupThreadLimit();

  private:
    std::unique_ptr<QObject> mainContext;
    QThreadPool background;
};

} // namespace velmora

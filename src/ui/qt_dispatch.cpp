#include "ui/qt_dispatch.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>

namespace velmora {

namespace {

class PoolGroup : public Dispatch::ConcurrentGroup {
  public:
    PoolGroup(const std::string& label, unsigned width) {
        pool.setObjectName(QString::fromStdString(label));
        pool.setMaxThreadCount(width == 0 ? QtDispatch::groupThreadLimit()
                                          : std::max(2, static_cast<int>(width)));
    }
    ~PoolGroup() override { pool.waitForDone(); }

    void async(Dispatch::Work work) override { pool.start(std::move(work)); }
    void wait() override { pool.waitForDone(); }

  private:
    QThreadPool pool;
};

} // namespace

QtDispatch::QtDispatch() : mainContext(std::make_unique<QObject>()) {
    // Retrievals, category runs and whole-location runs each hold one thread (a whole-location
    // run blocks its thread on its group), so allow several at once.
    background.setMaxThreadCount(std::max(8, QThread::idealThreadCount() * 2));
}

QtDispatch::~QtDispatch() {
    // Work still running may post to main; those posts die with the context object.
    background.waitForDone();
}

void QtDispatch::postToMain(Work work) {
    QMetaObject::invokeMethod(mainContext.get(), std::move(work), Qt::QueuedConnection);
}

void QtDispatch::runInBackground(Work work) {
    background.start(std::move(work));
}

std::unique_ptr<Dispatch::ConcurrentGroup> QtDispatch::makeConcurrentGroup(const std::string& label,
                                                                           unsigned width) {
    return std::make_unique<PoolGroup>(label, width);
}

int QtDispatch::groupThreadLimit() {
    return std::max(2, QThread::idealThreadCount());
}

} // namespace velmora

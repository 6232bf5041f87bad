#include "window_helpers.h"

#include "support/temp_tree.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

namespace velmora::window_testing {

std::optional<QString> ScriptedChooser::chooseDirectory() {
    std::optional<QString> answer = answers.empty() ? std::nullopt : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
}

void HoldingDispatch::postToMain(Work work) {
    std::unique_lock lock(mutex);
    if (holding && QThread::currentThread() != QCoreApplication::instance()->thread())
        return held.push_back(std::move(work));
    lock.unlock();
    QtDispatch::postToMain(std::move(work));
}

// Released work is posted in its order, and posts go directly again.
void HoldingDispatch::hold(bool keep) {
    std::vector<Work> released;
    {
        const std::lock_guard lock(mutex);
        holding = keep;
        if (!keep) released.swap(held);
    }
    for (Work& work : released)
        QtDispatch::postToMain(std::move(work));
}

bool HoldingDispatch::holdsWork() {
    const std::lock_guard lock(mutex);
    return !held.empty();
}

WindowUnderTest::WindowUnderTest() : mainWindow(std::make_unique<MainWindow>(view)) {
    if (!QTest::qWaitForWindowExposed(window())) return;
    window()->requestActivate(); // key presses go to the active window only
    (void)QTest::qWaitForWindowActive(window());
}

QQuickItem* WindowUnderTest::item(const QString& name) const {
    return findChildItem(window()->contentItem(), name);
}

QObject* WindowUnderTest::object(const QString& name) const {
    QQuickItem* found = item(name);
    return found != nullptr ? found : window()->findChild<QObject*>(name);
}

void WindowUnderTest::click(const QString& name) const {
    QVERIFY2(item(name) != nullptr, qPrintable(name));
    clickItem(window(), item(name));
}

QQuickItem* findChildItem(QQuickItem* root, const QString& name) {
    if (root == nullptr || root->objectName() == name) return root;
    for (QQuickItem* child : root->childItems())
        if (QQuickItem* found = findChildItem(child, name)) return found;
    return nullptr;
}

QPoint centreOf(QQuickItem* item) {
    // A grab lays out and draws the scene at once, whatever the platform's frame timing.
    QCoreApplication::processEvents();
    (void)item->window()->grabWindow();
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

void clickItem(QQuickWindow* window, QQuickItem* item, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(window, Qt::LeftButton, modifiers, centreOf(item));
}

QString textOf(QQuickItem* item, const QString& child) {
    if (item != nullptr && !child.isEmpty()) item = findChildItem(item, child);
    return item == nullptr ? QStringLiteral("<missing item>") : item->property("text").toString();
}

void chooseLocation(WindowUnderTest& app, const QString& location, int rows) {
    app.chooser.answers.push_back(location);
    app.click("chooseOtherDirectoryButton");
    QCOMPARE(app.view.selectedPath(), location);
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving() && app.view.fcpBundlesModel()->count() == rows, 60000);
}

std::string buildLibrary(const std::string& location, const LibraryShape& shape) {
    const std::string library = location + "/" + shape.relativePath;
    const std::string event = library + "/Event 1";
    testing::makeDirs(event);
    testing::writeFile(library + "/CurrentVersion.flexolibrary", 4096);
    testing::writeFile(event + "/CurrentVersion.fcpevent", 2048);
    const std::pair<const char*, std::int64_t> files[] = {
        {"Original Media/clip.mov", shape.originalBytes},
        {"Render Files/High Quality Media/render.mov", shape.renderBytes},
        {"Transcoded Media/Proxy Media/clip.mov", shape.proxyBytes},
        {"Transcoded Media/High Quality Media/clip.mov", shape.optimizedBytes},
        {"Analysis Files/Shots/clip.plist", shape.analysisBytes},
    };
    for (const auto& [relative, bytes] : files) {
        if (bytes <= 0) continue;
        const std::string path = event + "/" + relative;
        testing::makeDirs(path.substr(0, path.rfind('/')));
        testing::writeFile(path, bytes);
    }
    return event;
}

} // namespace velmora::window_testing

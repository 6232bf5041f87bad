#pragma once

#include "support/temp_tree.h"
#include "support/tree_listing.h"
#include "ui/content_view.h"
#include "ui/main_window.h"
#include "ui/qt_dispatch.h"

#include <QCoreApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QThread>
#include <deque>
#include <mutex>
#include <utility>

namespace velmora::window_testing {

// Answers the chooser's calls from a queue of prepared answers; an empty queue cancels.
struct ScriptedChooser : DirectoryChooser {
    std::deque<std::optional<QString>> answers;
    std::optional<QString> chooseDirectory() override {
        std::optional<QString> answer = answers.empty() ? std::nullopt : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }
};

// Records the desktop calls instead of making them; with `failing` set, each call fails.
struct RecordingDesktop : DesktopServices {
    QStringList revealed, opened;
    bool failing = false;
    void revealInFileManager(const QString& path, DesktopFailure failed) override {
        if (revealed << path; failing) failed();
    }
    void openWithDefaultApplication(const QString& path, DesktopFailure failed) override {
        if (opened << path; failing) failed();
    }
};

// The app's queues; hold(true) keeps what background threads post to main until hold(false),
// which posts it in its order.
class HoldingDispatch : public QtDispatch {
  public:
    void postToMain(Work work) override {
        const std::lock_guard lock(mutex);
        if (holding && QThread::currentThread() != QCoreApplication::instance()->thread())
            return held.push_back(std::move(work));
        QtDispatch::postToMain(std::move(work));
    }
    void hold(bool keep) {
        // Released under the lock, so nothing posted meanwhile overtakes what was held.
        const std::lock_guard lock(mutex);
        holding = keep;
        for (Work& work : std::exchange(held, {}))
            QtDispatch::postToMain(std::move(work));
    }
    [[nodiscard]] bool holdsWork() {
        const std::lock_guard lock(mutex);
        return !held.empty();
    }

  private:
    std::mutex mutex;
    bool holding = false;
    std::vector<Work> held;
};

// The first item below `root` (itself included) named `name`, or nullptr.
inline QQuickItem* findChildItem(QQuickItem* root, const QString& name) {
    if (root == nullptr || root->objectName() == name) return root;
    for (QQuickItem* child : root->childItems())
        if (QQuickItem* found = findChildItem(child, name)) return found;
    return nullptr;
}
// The item's centre in window coordinates; a grab lays out and draws the scene at once.
inline QPoint centreOf(QQuickItem* item) {
    QCoreApplication::processEvents();
    (void)item->window()->grabWindow();
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}
inline void clickItem(QQuickWindow* window, QQuickItem* item,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(window, Qt::LeftButton, modifiers, centreOf(item));
}
// Whether the item and all its ancestors are visible.
inline bool isShown(QQuickItem* item) {
    for (QQuickItem* at = item; at != nullptr; at = at->parentItem())
        if (!at->isVisible()) return false;
    return item != nullptr;
}
// The item's "text" property; the text of its child named `child` when one is given.
inline QString textOf(QQuickItem* item, const QString& child = {}) {
    if (item != nullptr && !child.isEmpty()) item = findChildItem(item, child);
    return item == nullptr ? QStringLiteral("<missing item>") : item->property("text").toString();
}

// The app's window on the real queues, with a scripted chooser and a recording desktop.
struct WindowUnderTest {
    HoldingDispatch dispatch;
    ScriptedChooser chooser;
    RecordingDesktop desktop;
    ContentView view{dispatch, chooser, desktop};
    std::unique_ptr<MainWindow> mainWindow = std::make_unique<MainWindow>(view);

    WindowUnderTest() {
        if (!QTest::qWaitForWindowExposed(window())) return;
        window()->requestActivate(); // key presses go to the active window only
        (void)QTest::qWaitForWindowActive(window());
    }
    ~WindowUnderTest() { mainWindow.reset(); }
    [[nodiscard]] QQuickWindow* window() const { return mainWindow->window(); }
    // The first item (or, for a popup, object) named `name`; a library's row while it is drawn.
    [[nodiscard]] QQuickItem* item(const QString& name) const {
        return findChildItem(window()->contentItem(), name);
    }
    [[nodiscard]] QObject* object(const QString& name) const {
        QQuickItem* found = item(name);
        return found != nullptr ? found : window()->findChild<QObject*>(name);
    }
    [[nodiscard]] QQuickItem* row(const QString& displayName) const {
        return item("libraryRow:" + displayName);
    }
    void click(const QString& name) const { // a real left click at the item's centre
        QVERIFY2(item(name) != nullptr, qPrintable(name));
        clickItem(window(), item(name));
    }
};

// Chooses `location` through "选择其他FCPX工程目录" and waits until its list shows `rows` rows.
inline void chooseLocation(WindowUnderTest& app, const QString& location, int rows) {
    app.chooser.answers.push_back(location);
    app.click("chooseOtherDirectoryButton");
    QCOMPARE(app.view.selectedPath(), location);
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving() && app.view.fcpBundlesModel()->count() == rows, 60000);
}

// A library of one event folder with the given bytes in each category folder.
struct LibraryShape {
    std::string relativePath; // below the location, ending in ".fcpbundle"
    std::int64_t renderBytes = 0, proxyBytes = 0, optimizedBytes = 0, analysisBytes = 0, originalBytes = 0;
};
// Builds it below `location`; returns the path of its event folder.
inline std::string buildLibrary(const std::string& location, const LibraryShape& shape) {
    const std::string library = location + "/" + shape.relativePath, event = library + "/Event 1";
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
inline bool exists(const std::string& path) {
    return testing::entryExists(path);
}
inline QString q(const std::string& text) {
    return QString::fromStdString(text);
}
constexpr std::int64_t GiB = 1073741824;

} // namespace velmora::window_testing

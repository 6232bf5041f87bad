#pragma once

#include "support/tree_listing.h"
#include "ui/content_view.h"
#include "ui/main_window.h"
#include "ui/qt_dispatch.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <deque>
#include <mutex>

namespace velmora::window_testing {

// Answers the chooser's calls from a queue of prepared answers; an empty queue cancels.
struct ScriptedChooser : DirectoryChooser {
    std::deque<std::optional<QString>> answers;
    [[nodiscard]] std::optional<QString> chooseDirectory() override;
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

// The app's queues; hold(true) keeps what background threads post to main until hold(false).
class HoldingDispatch : public QtDispatch {
  public:
    void postToMain(Work work) override;
    void hold(bool keep);
    [[nodiscard]] bool holdsWork();

  private:
    std::mutex mutex;
    bool holding = false;
    std::vector<Work> held;
};

// The app's window on the real queues, with a scripted chooser and a recording desktop.
struct WindowUnderTest {
    HoldingDispatch dispatch;
    ScriptedChooser chooser;
    RecordingDesktop desktop;
    ContentView view{dispatch, chooser, desktop};
    std::unique_ptr<MainWindow> mainWindow;

    WindowUnderTest();
    ~WindowUnderTest() { mainWindow.reset(); }
    [[nodiscard]] QQuickWindow* window() const { return mainWindow->window(); }
    // The first item (or, for a popup, object) named `name`; a library's row while it is drawn.
    [[nodiscard]] QQuickItem* item(const QString& name) const;
    [[nodiscard]] QObject* object(const QString& name) const;
    [[nodiscard]] QQuickItem* row(const QString& displayName) const {
        return item("libraryRow:" + displayName);
    }
    void click(const QString& name) const; // a real left click at the item's centre
};

// The first item below `root` (itself included) named `name`, or nullptr.
[[nodiscard]] QQuickItem* findChildItem(QQuickItem* root, const QString& name);
// The item's centre in window coordinates, once the window is laid out and drawn.
[[nodiscard]] QPoint centreOf(QQuickItem* item);
void clickItem(QQuickWindow* window, QQuickItem* item, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Whether the item and all its ancestors are visible.
inline bool isShown(QQuickItem* item) {
    for (QQuickItem* at = item; at != nullptr; at = at->parentItem())
        if (!at->isVisible()) return false;
    return item != nullptr;
}
// The item's "text" property; the text of its child named `child` when one is given.
[[nodiscard]] QString textOf(QQuickItem* item, const QString& child = {});
// Chooses `location` through "选择其他FCPX工程目录" and waits until its list shows `rows` rows.
void chooseLocation(WindowUnderTest& app, const QString& location, int rows);

// A library of one event folder with the given bytes in each category folder.
struct LibraryShape {
    std::string relativePath; // below the location, ending in ".fcpbundle"
    std::int64_t renderBytes = 0, proxyBytes = 0, optimizedBytes = 0;
    std::int64_t analysisBytes = 0;
    std::int64_t originalBytes = 0;
};
// Builds it below `location`; returns the path of its event folder.
std::string buildLibrary(const std::string& location, const LibraryShape& shape);
inline bool exists(const std::string& path) {
    return testing::entryExists(path);
}
inline QString q(const std::string& text) {
    return QString::fromStdString(text);
}
constexpr std::int64_t GiB = 1073741824;

} // namespace velmora::window_testing

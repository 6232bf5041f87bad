#pragma once

#include "support/tree_listing.h"
#include "ui/content_view.h"
#include "ui/desktop_services.h"
#include "ui/directory_chooser.h"
#include "ui/main_window.h"
#include "ui/qt_dispatch.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velmora::window_testing {

// Answers the chooser's calls from a queue of prepared answers; an empty queue cancels.
class ScriptedChooser : public DirectoryChooser {
  public:
    std::deque<std::optional<QString>> answers;
    int calls = 0;
    [[nodiscard]] std::optional<QString> chooseDirectory() override;
};

// Records the desktop calls instead of making them; with `failing` set, each call fails.
class RecordingDesktop : public DesktopServices {
  public:
    QStringList revealed;
    QStringList opened;
    bool failing = false;
    void revealInFileManager(const QString& path, DesktopFailure onFailure) override;
    void openWithDefaultApplication(const QString& path, DesktopFailure onFailure) override;
};

// The app's queues, with a switch that keeps what background threads post to the main thread
// until it is released: a test can look at the window between a run's end and its publishing.
class HoldingDispatch : public QtDispatch {
  public:
    void postToMain(Work work) override;
    void hold();
    // Posts what was held, in order, and posts directly again.
    void release();
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
    // The first item of the scene (or, for a popup, the first object) named `name`.
    [[nodiscard]] QQuickItem* item(const QString& name) const;
    [[nodiscard]] QObject* object(const QString& name) const;
    // The row of the library named `displayName`, or nullptr while it is not drawn.
    [[nodiscard]] QQuickItem* row(const QString& displayName) const;
    // A real left click at the centre of the item named `name`.
    void click(const QString& name) const;
};

// Every item below `root` (itself included) whose objectName is `name`.
[[nodiscard]] std::vector<QQuickItem*> findItems(QQuickItem* root, const QString& name);
[[nodiscard]] QQuickItem* findChildItem(QQuickItem* root, const QString& name);
// The item's centre in window coordinates.
[[nodiscard]] QPoint centreOf(QQuickItem* item);
// Lays out and draws the window now, so every position is up to date.
void waitForFrame(QQuickWindow* window);
// A real left click on the window at the item's centre, once the layout is up to date.
void clickItem(QQuickWindow* window, QQuickItem* item);
// True when the item and all its ancestors are visible.
[[nodiscard]] bool isShown(QQuickItem* item);
// The item's "text" property; the text of its child named `child` when one is given.
[[nodiscard]] QString textOf(QQuickItem* item, const QString& child = {});

// Chooses `location` through "选择其他FCPX工程目录" and waits until its list shows
// `expectedRows` rows.
void chooseLocation(WindowUnderTest& app, const QString& location, int expectedRows);
// Saves a grab of the window as NAME.png in VELMORA_TEST_OUTPUT (else the temporary folder);
// returns its path, or "" when it could not be saved.
QString grabToPng(QQuickWindow* window, const QString& name);

// A library of one event folder with the given bytes in each category folder.
struct LibrarySpec {
    std::string relativePath; // below the location, ending in ".fcpbundle"
    std::int64_t renderBytes = 0;
    std::int64_t proxyBytes = 0;
    std::int64_t optimizedBytes = 0;
    std::int64_t analysisFilesBytes = 0; // "Analysis Files" (measured)
    std::int64_t analysisCacheBytes = 0; // "Analysis Cache" (deleted by the analysis cleaning)
    std::int64_t originalBytes = 0;
};
// Builds it below `location`; returns the path of its event folder.
std::string buildLibrary(const std::string& location, const LibrarySpec& spec);
inline bool exists(const std::string& path) {
    return testing::entryExists(path);
}
inline QString q(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr std::int64_t GiB = 1073741824;

} // namespace velmora::window_testing

#pragma once

#include "support/tree_listing.h"
#include "ui/content_view.h"
#include "ui/desktop_services.h"
#include "ui/directory_chooser.h"
#include "ui/main_window.h"
#include "ui/qt_dispatch.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QString>
#include <QStringList>
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
    void revealInFileManager(const QString& path, DesktopFailure onFailure) override {
        revealed << path;
        if (failing) onFailure();
    }
    void openWithDefaultApplication(const QString& path, DesktopFailure onFailure) override {
        opened << path;
        if (failing) onFailure();
    }
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
    ~WindowUnderTest();
    [[nodiscard]] QQuickWindow* window() const { return mainWindow->window(); }
};

// The first item of the window's scene whose objectName is `name`, or nullptr.
[[nodiscard]] QQuickItem* findItem(QQuickWindow* window, const QString& name);
// Every item of the window's scene whose objectName is `name`.
[[nodiscard]] std::vector<QQuickItem*> findItems(QQuickWindow* window, const QString& name);
// The first item below `root` (itself included) whose objectName is `name`, or nullptr.
[[nodiscard]] QQuickItem* findChildItem(QQuickItem* root, const QString& name);
// The first QObject of the window (popups included) whose objectName is `name`.
[[nodiscard]] QObject* findObject(QQuickWindow* window, const QString& name);

// The item's centre in window coordinates.
[[nodiscard]] QPoint centreOf(QQuickItem* item);
// Lays out and draws the window now, so every position is up to date.
void waitForFrame(QQuickWindow* window);
// A real left click on the window at the item's centre, once the layout is up to date.
void clickItem(QQuickWindow* window, QQuickItem* item);
// True when the item and all its ancestors are visible.
[[nodiscard]] bool isShown(QQuickItem* item);
// The item's "text" property.
[[nodiscard]] QString textOf(QQuickItem* item);

// Chooses `location` through "选择其他FCPX工程目录" (the first chooser call of `app`) and
// waits until its list shows `expectedRows` rows.
void chooseLocation(WindowUnderTest& app, const QString& location, int expectedRows);

// Where tests keep their PNG grabs (VELMORA_TEST_OUTPUT, else the temporary folder).
[[nodiscard]] QString outputDirectory();
// Saves a grab of the window as NAME.png in the output folder; returns its path or "".
QString grabToPng(QQuickWindow* window, const QString& name);

// A library as the tests lay it out: sizes of the files inside each category folder of
// one event folder, plus one original media file.
struct LibrarySpec {
    std::string relativePath; // below the location, ending in ".fcpbundle"
    std::int64_t renderBytes = 0;
    std::int64_t proxyBytes = 0;
    std::int64_t optimizedBytes = 0;
    std::int64_t analysisFilesBytes = 0; // "Analysis Files" (measured)
    std::int64_t analysisCacheBytes = 0; // "Analysis Cache" (deleted by the analysis cleaning)
    std::int64_t originalBytes = 0;
};
void buildLibrary(const std::string& location, const LibrarySpec& spec);
inline bool exists(const std::string& path) {
    return testing::entryExists(path);
}

constexpr std::int64_t GiB = 1073741824;

} // namespace velmora::window_testing

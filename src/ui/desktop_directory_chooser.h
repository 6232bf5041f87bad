#pragma once

#include "ui/directory_chooser.h"

#include <QPointer>
#include <QQuickWindow>

class QQmlEngine;

namespace velmora {

// The app's directory chooser: the desktop's own through the file-chooser portal where the
// session has one, else a modal dialog of the window's own with a path field. Either is run
// to its end in a nested event loop, so the caller gets the answer directly. Each opens where
// the one before it ended.
class DesktopDirectoryChooser : public DirectoryChooser {
  public:
    // The dialog needs the engine and the window it sits over; both exist only after the
    // view that uses this chooser was made, hence a separate step.
    void attach(QQmlEngine& engine, QQuickWindow* window);

    // Whether the portal is asked first (tests of the window's own dialog turn it off).
    bool usePortal = true;

    [[nodiscard]] std::optional<QString> chooseDirectory() override;

  private:
    [[nodiscard]] std::optional<QString> runOwnDialog();

    QQmlEngine* engine = nullptr;
    QPointer<QQuickWindow> window;
    bool running = false;
    // Where the last chooser of this session ended (the folder chosen, or the one shown when
    // it was cancelled); the next one opens there. Empty before the first.
    QString lastFolder;
};

} // namespace velmora

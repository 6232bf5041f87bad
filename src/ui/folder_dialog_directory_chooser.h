#pragma once

#include "ui/directory_chooser.h"

#include <QPointer>
#include <QQuickWindow>

class QQmlEngine;

namespace velmora {

// The app's directory chooser: a modal folder dialog over the main window, run to its end
// in a nested event loop so the caller gets the answer directly.
class FolderDialogDirectoryChooser : public DirectoryChooser {
  public:
    // The dialog needs the engine and the window it sits over; both exist only after the
    // view that uses this chooser was made, hence a separate step.
    void attach(QQmlEngine& engine, QQuickWindow* window);

    [[nodiscard]] std::optional<QString> chooseDirectory() override;

  private:
    QQmlEngine* engine = nullptr;
    QPointer<QQuickWindow> window;
    bool running = false;
};

} // namespace velmora

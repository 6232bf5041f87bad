#pragma once

#include <QString>
#include <functional>

namespace velmora {

// Called on the main thread when the desktop could not do what it was asked.
using DesktopFailure = std::function<void()>;

// Desktop calls that never block the window; a failure the system reports (no file manager,
// no application for the path) comes back through `onFailure`, possibly later.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Shows the item selected in the desktop's file manager.
    virtual void revealInFileManager(const QString& path, DesktopFailure onFailure) = 0;
    // Opens the path with the desktop's default application.
    virtual void openWithDefaultApplication(const QString& path, DesktopFailure onFailure) = 0;
};

} // namespace velmora

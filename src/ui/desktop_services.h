#pragma once

#include <QString>

namespace velmora {

// Fire-and-forget desktop calls: never block the window, never report an error.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Shows the item selected in the desktop's file manager.
    virtual void revealInFileManager(const QString& path) = 0;
    // Opens the path with the desktop's default application.
    virtual void openWithDefaultApplication(const QString& path) = 0;
};

} // namespace velmora

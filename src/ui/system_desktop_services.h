#pragma once

#include "ui/desktop_services.h"

namespace velmora {

// The desktop calls of the running system: the file manager and the default application.
// One implementation per OS, chosen in the build.
class SystemDesktopServices : public DesktopServices {
  public:
    void revealInFileManager(const QString& path, DesktopFailure onFailure) override;
    void openWithDefaultApplication(const QString& path, DesktopFailure onFailure) override;
};

} // namespace velmora

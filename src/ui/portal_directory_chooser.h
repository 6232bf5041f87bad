#pragma once

#include <QString>
#include <optional>

class QWindow;

namespace velmora {

// The desktop's own directory chooser through the freedesktop FileChooser portal on the
// session bus (what GNOME, KDE and other desktops answer with their file dialog).
class PortalDirectoryChooser {
  public:
    enum class Outcome { chosen, cancelled, unavailable };
    struct Answer {
        Outcome outcome = Outcome::unavailable;
        QString path; // set when chosen
    };

    // Asks for one directory, titled `title`, over `window`, opening in `startFolder` where
    // one is given, and waits for the answer while the window takes no input. `unavailable`
    // when no portal answers the call, so the caller can fall back to a chooser of its own.
    [[nodiscard]] static Answer chooseDirectory(QWindow* window, const QString& title,
                                                const QString& acceptLabel, const QString& startFolder = {});
};

} // namespace velmora

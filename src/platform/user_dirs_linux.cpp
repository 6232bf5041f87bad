#include "platform/translatable_text.h"
#include "platform/user_dirs.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velmora {

const char* videosFolderLabel() {
    return QT_TRANSLATE_NOOP("Locations", "视频");
}

StandardFolders standardFolders(const std::string& home) {
    // Only an absolute XDG_CONFIG_HOME counts; otherwise the default below the home.
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::string config =
        configHome != nullptr && configHome[0] == '/' ? std::string(configHome) : home + "/.config";
    std::ifstream file(config + "/user-dirs.dirs", std::ios::binary);
    std::ostringstream text;
    if (file) text << file.rdbuf();
    return xdgUserDirsFrom(text.str(), home);
}

} // namespace velmora

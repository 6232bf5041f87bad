#include "platform/translatable_text.h"
#include "platform/user_dirs.h"

namespace velmora {

const char* videosFolderLabel() {
    return QT_TRANSLATE_NOOP("Locations", "影片");
}

StandardFolders standardFolders(const std::string& home) {
    return {home + "/Desktop", home + "/Downloads", home + "/Movies", home + "/Documents",
            home + "/Pictures"};
}

} // namespace velmora

#include "platform/user_dirs.h"

namespace velmora {

StandardFolders standardFolders(const std::string& home) {
    return {home + "/Desktop", home + "/Downloads", home + "/Movies", home + "/Documents",
            home + "/Pictures"};
}

} // namespace velmora

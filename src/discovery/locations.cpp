#include "discovery/locations.h"

#include "platform/home_directory.h"
#include "platform/location_probe.h"
#include "platform/path.h"
#include "platform/text.h"
#include "platform/translatable_text.h"
#include "platform/user_dirs.h"
#include "platform/volumes.h"

#include <array>
#include <string_view>

namespace velmora {

namespace {

// The labels of the home and of its five standard folders, in list order; translatable
// source texts, looked up by the window under locationTextContext. The videos folder goes by
// the name its desktop gives it.
std::array<std::string_view, 6> userDirLabels() {
    return {QT_TRANSLATE_NOOP("Locations", "主目录"), QT_TRANSLATE_NOOP("Locations", "桌面"),
            QT_TRANSLATE_NOOP("Locations", "下载"),   videosFolderLabel(),
            QT_TRANSLATE_NOOP("Locations", "文稿"),   QT_TRANSLATE_NOOP("Locations", "图片")};
}

} // namespace

std::vector<std::string> loadDrives(const std::string& systemRoot) {
    std::vector<std::string> drives;
    auto volumes = mountedVolumes(systemRoot);
    if (!volumes) return drives;
    for (auto& volume : *volumes)
        // Only a volume positively known as not internal is offered; unknown means skipped.
        if (volume.isInternal.has_value() && !*volume.isInternal) drives.push_back(std::move(volume.path));
    return drives;
}

std::string homeDirectory() {
    return userHomeDirectory();
}

std::vector<std::string> userDirsFor(const std::string& home, const StandardFolders& folders) {
    std::vector<std::string> dirs{home};
    dirs.insert(dirs.end(), folders.begin(), folders.end());
    return dirs;
}

std::vector<std::string> userDirsFor(const std::string& home) {
    return userDirsFor(home, standardFolders(home));
}

std::vector<std::string> loadUserDirs() {
    const std::string home = homeDirectory();
    std::vector<std::string> dirs = userDirsFor(home);
    // A folder that is not there is no place to look: only the home is offered regardless.
    // One that cannot be read is offered, and its empty list says why.
    std::erase_if(dirs, [&home](const std::string& dir) {
        const LocationProblem problem = probeLocation(dir);
        return dir != home &&
               (problem == LocationProblem::missing || problem == LocationProblem::notDirectory);
    });
    return dirs;
}

std::string locationLabelFor(const std::string& path, const std::vector<std::string>& userDirs) {
    const auto labels = userDirLabels();
    for (std::size_t i = 0; i < userDirs.size() && i < labels.size(); ++i)
        if (canonicallyEqual(path, userDirs[i])) return std::string(labels[i]);
    return path;
}

std::string locationLabelFor(const std::string& path, const std::string& home) {
    return locationLabelFor(path, userDirsFor(home));
}

std::string locationLabel(const std::string& path) {
    return locationLabelFor(path, homeDirectory());
}

std::string driveLabel(const std::string& path) {
    return lastPathComponent(path);
}

} // namespace velmora

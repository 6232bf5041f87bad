#include "discovery/locations.h"

#include "platform/home_directory.h"
#include "platform/path.h"
#include "platform/text.h"
#include "platform/translatable_text.h"
#include "platform/volumes.h"

#include <array>
#include <string_view>

namespace velmora {

namespace {

struct UserDirRow {
    std::string_view suffix;
    std::string_view label;
};

constexpr std::array<UserDirRow, 6> kUserDirs{{
    {"", QT_TRANSLATE_NOOP("Locations", "主目录")},
    {"/Desktop", QT_TRANSLATE_NOOP("Locations", "桌面")},
    {"/Downloads", QT_TRANSLATE_NOOP("Locations", "下载")},
    {"/Movies", QT_TRANSLATE_NOOP("Locations", "影片")},
    {"/Documents", QT_TRANSLATE_NOOP("Locations", "文稿")},
    {"/Pictures", QT_TRANSLATE_NOOP("Locations", "图片")},
}};

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

std::vector<std::string> userDirsFor(const std::string& home) {
    std::vector<std::string> dirs;
    dirs.reserve(kUserDirs.size());
    for (const auto& row : kUserDirs)
        dirs.push_back(home + std::string(row.suffix));
    return dirs;
}

std::vector<std::string> loadUserDirs() {
    return userDirsFor(homeDirectory());
}

std::string locationLabelFor(const std::string& path, const std::string& home) {
    for (const auto& row : kUserDirs)
        if (canonicallyEqual(path, home + std::string(row.suffix))) return std::string(row.label);
    return path;
}

std::string locationLabel(const std::string& path) {
    return locationLabelFor(path, homeDirectory());
}

std::string driveLabel(const std::string& path) {
    return lastPathComponent(path);
}

} // namespace velmora

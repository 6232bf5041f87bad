#pragma once

#include "platform/user_dirs.h"

#include <string>
#include <vector>

namespace velmora {

// Mount points of the volumes positively known to be external (removable, USB, SD,
// FireWire, Thunderbolt, network shares), in mount order. `systemRoot` lets tests point the
// rule at fake /proc and /sys trees.
[[nodiscard]] std::vector<std::string> loadDrives(const std::string& systemRoot = "/");

// The current user's home: the password entry of the real user, else the platform's home.
[[nodiscard]] std::string homeDirectory();

// The home, then those of its desktop, downloads, movies, documents and pictures folders that
// are there, as the platform names them (on Linux the XDG user directories, on macOS
// home + "/Desktop" ...).
[[nodiscard]] std::vector<std::string> loadUserDirs();
// All six, whether they are there or not: what the labels are given by.
[[nodiscard]] std::vector<std::string> userDirsFor(const std::string& home);
// The same list from given folders.
[[nodiscard]] std::vector<std::string> userDirsFor(const std::string& home, const StandardFolders& folders);

// The translation context of the user directories' labels; the window looks them up under it.
inline constexpr const char* locationTextContext = "Locations";

// The label of a user directory ("主目录", "桌面", ...), else the path unchanged. A label is a
// translatable source text; a path is never one. Paths compare as text under canonical
// equivalence, without normalisation.
[[nodiscard]] std::string locationLabel(const std::string& path);
[[nodiscard]] std::string locationLabelFor(const std::string& path, const std::string& home);
[[nodiscard]] std::string locationLabelFor(const std::string& path, const std::vector<std::string>& userDirs);

// The label of a drive row: the last path component ("/" for "/").
[[nodiscard]] std::string driveLabel(const std::string& path);

} // namespace velmora

#pragma once

#include <array>
#include <string>
#include <string_view>

namespace velmora {

// The five standard folders of a home, in the order desktop, downloads, movies, documents,
// pictures.
using StandardFolders = std::array<std::string, 5>;

// The platform's standard folders of `home`. Linux: the XDG user directories from
// $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config/user-dirs.dirs), read as xdg-user-dir
// reads them, each unset one under its English default name. macOS: the fixed folder names.
[[nodiscard]] StandardFolders standardFolders(const std::string& home);

// What the desktop calls the movies folder, as a translatable source text (context
// "Locations"): on Linux the videos folder ("视频", Videos), on macOS the movies folder ("影片").
[[nodiscard]] const char* videosFolderLabel();

// The XDG rule over a given user-dirs.dirs text (empty when the file is absent). Each line
// XDG_<NAME>_DIR="$HOME/<path>" or XDG_<NAME>_DIR="/<path>" sets one folder; backslash
// escapes the next character, trailing slashes are dropped; anything else is ignored.
[[nodiscard]] StandardFolders xdgUserDirsFrom(std::string_view fileText, const std::string& home);

} // namespace velmora

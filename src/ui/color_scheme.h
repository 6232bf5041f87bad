#pragma once

#include <QPalette>
#include <optional>

namespace velmora {

// The window draws with the desktop's palette and is dark when that palette is. Where the
// platform offers no dark palette (a virtual display, a screenshot), VELMORA_COLOR_SCHEME=dark
// (or light) gives the application one.
enum class ColorScheme { light, dark };

// A complete palette of the scheme, as a desktop would give it.
[[nodiscard]] QPalette paletteFor(ColorScheme scheme);
// The scheme VELMORA_COLOR_SCHEME names ("dark" or "light"); none when unset or unknown.
[[nodiscard]] std::optional<ColorScheme> colorSchemeFromEnvironment();
// Makes the scheme the environment names the application's palette; call after the
// QGuiApplication is made. Without one the desktop's palette stays.
void applyColorSchemeFromEnvironment();

} // namespace velmora

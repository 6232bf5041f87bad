#include "ui/color_scheme.h"

#include <QByteArray>
#include <QColor>
#include <QGuiApplication>

namespace velmora {

QPalette paletteFor(ColorScheme scheme) {
    const bool dark = scheme == ColorScheme::dark;
    // The light or the dark of two colours, given as 0xRRGGBB.
    const auto pick = [dark](QRgb light, QRgb darkColour) {
        return QColor::fromRgb(dark ? darkColour : light);
    };
    const QColor window = pick(0xECECEC, 0x2B2B2B), base = pick(0xFFFFFF, 0x1E1E1E),
                 text = pick(0x000000, 0xE8E8E8);
    const QColor accent = pick(0x0062CC, 0x4DA3FF);
    QPalette palette(text, window, window.lighter(130), window.darker(200), window.darker(140), text, base);
    palette.setColor(QPalette::AlternateBase, dark ? base.lighter(115) : window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, pick(0x6E6E73, 0x9A9A9A));
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, pick(0xFFFFFF, 0x000000));
    palette.setColor(QPalette::Link, accent);
    return palette;
}

std::optional<ColorScheme> colorSchemeFromEnvironment() {
    const QByteArray name = qgetenv("VELMORA_COLOR_SCHEME").trimmed().toLower();
    if (name == "dark") return ColorScheme::dark;
    if (name == "light") return ColorScheme::light;
    return std::nullopt;
}

void applyColorSchemeFromEnvironment() {
    if (const auto scheme = colorSchemeFromEnvironment()) QGuiApplication::setPalette(paletteFor(*scheme));
}

} // namespace velmora

#include "ui/color_scheme.h"

#include <QByteArray>
#include <QColor>
#include <QGuiApplication>

namespace velmora {

QPalette paletteFor(ColorScheme scheme) {
    const bool dark = scheme == ColorScheme::dark;
    const QColor window(QRgb(dark ? 0x2B2B2B : 0xECECEC));
    const QColor base(QRgb(dark ? 0x1E1E1E : 0xFFFFFF));
    const QColor text(QRgb(dark ? 0xE8E8E8 : 0x000000));
    QPalette palette(text, window, window.lighter(130), window.darker(200), window.darker(140), text, base);
    palette.setColor(QPalette::AlternateBase, dark ? base.lighter(115) : window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dark ? QColor(QRgb(0x9A9A9A)) : QColor(QRgb(0x6E6E73)));
    palette.setColor(QPalette::Highlight, dark ? QColor(QRgb(0x4DA3FF)) : QColor(QRgb(0x0062CC)));
    palette.setColor(QPalette::HighlightedText, dark ? QColor(QRgb(0x000000)) : QColor(QRgb(0xFFFFFF)));
    palette.setColor(QPalette::Link, dark ? QColor(QRgb(0x4DA3FF)) : QColor(QRgb(0x0062CC)));
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

pragma Singleton
import QtQuick

// The colours and measures the panels share, each written once. The surfaces and texts are
// the desktop's palette, so the window is light or dark as the desktop is and follows a change
// of it at once; the accents come in a light and a dark set, each readable on its surfaces.
QtObject {
    readonly property SystemPalette system: SystemPalette {
        colorGroup: SystemPalette.Active
    }
    // A palette whose window colour is darker than mid-grey is a dark one.
    readonly property bool dark: 0.2126 * system.window.r + 0.7152 * system.window.g + 0.0722 * system.window.b < 0.5

    // Each accent has at least 4.5:1 contrast on the list's surface in its own set.
    readonly property color systemBlue: dark ? "#4DA3FF" : "#0062CC"
    readonly property color systemGreen: dark ? "#30D158" : "#1E7B34"
    readonly property color systemPurple: dark ? "#C77DFF" : "#8E3CBF"
    readonly property color systemOrange: dark ? "#FF9F0A" : "#B35C00"
    // Render files, proxy media, optimized media, analysis files: the order of the model's
    // category texts and bar fractions.
    readonly property var categoryColors: [systemBlue, systemGreen, systemPurple, systemOrange]
    // Behind the chosen location, the selected library and the active sort key.
    readonly property color selectionTint: Qt.rgba(systemBlue.r, systemBlue.g, systemBlue.b, dark ? 0.22 : 0.16)

    readonly property color windowBackground: system.window
    readonly property color listBackground: system.base
    readonly property color text: system.text
    // The text colour over the surface at a given strength: quieter text, borders, fills.
    function ink(strength) {
        return Qt.tint(listBackground, Qt.rgba(text.r, text.g, text.b, strength));
    }
    readonly property color secondaryText: ink(0.62)
    readonly property color listBorder: ink(dark ? 0.24 : 0.19)
    readonly property color separator: ink(0.1)
    // The empty part of a size or progress bar.
    readonly property color barTrack: ink(dark ? 0.2 : 0.15)
    // A quiet fill under a hovered or waiting flat button, and under a pressed one.
    readonly property color subtleFill: Qt.rgba(text.r, text.g, text.b, 0.07)
    readonly property color pressedFill: Qt.rgba(text.r, text.g, text.b, 0.14)
    readonly property color dialogShadow: Qt.rgba(0, 0, 0, dark ? 0.4 : 0.12)
    // The face, outline and shadow of both button styles; on a dark window a lighter face
    // keeps the buttons apart from it. White text stays readable on either.
    readonly property color buttonFace: dark ? "#3A5A85" : "#2C3E58"
    // The face of a button that removes data, and the colour of error texts and symbols.
    readonly property color destructiveFace: "#C62828"
    readonly property color errorText: dark ? "#FF7B72" : "#C62828"

    // On Linux one font for Latin and Chinese alike, so mixed labels such as
    // "选择其他FCPX工程目录" keep one weight and one baseline.
    readonly property string fontFamily: Qt.platform.os === "linux" ? "WenQuanYi Micro Hei" : Qt.application.font.family
    readonly property int padding: 16
    readonly property int spacing: 8
    readonly property int headlineSize: 13
    // The location column's fixed width and the narrowest the library list may get.
    readonly property int locationColumnWidth: 250
    readonly property int libraryListMinimumWidth: 500
    // The list's width and the window's height when the screen leaves room for them.
    readonly property int libraryListPreferredWidth: 620
    readonly property int naturalHeight: 575
    // Below the two columns' width the locations go above the libraries; narrower than this
    // the window does not get.
    readonly property int narrowMinimumWidth: 480
}

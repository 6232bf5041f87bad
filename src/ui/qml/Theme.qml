pragma Singleton
import QtQuick

// The colours and measures the panels share, each written once.
QtObject {
    readonly property color systemBlue: "#007AFF"
    readonly property color systemGreen: "#28A745"
    readonly property color systemPurple: "#AF52DE"
    readonly property color systemOrange: "#F08A00"
    // Render files, proxy media, optimized media, analysis files: the order of the model's
    // category texts and bar fractions.
    readonly property var categoryColors: [systemBlue, systemGreen, systemPurple, systemOrange]
    // Behind the chosen location, the selected library and the active sort key.
    readonly property color selectionTint: Qt.rgba(systemBlue.r, systemBlue.g, systemBlue.b, 0.16)
    // A quiet fill under a hovered or waiting flat button.
    readonly property color subtleFill: Qt.rgba(0, 0, 0, 0.06)
    // The face, outline and shadow of both button styles.
    readonly property color buttonFace: "#2C3E58"
    // The face of a button that removes data: red, and white text on it stays readable.
    readonly property color destructiveFace: "#C62828"
    // The empty part of a size or progress bar.
    readonly property color barTrack: "#D8D8DC"
    readonly property color dialogShadow: Qt.rgba(0, 0, 0, 0.12)
    readonly property color secondaryText: "#6E6E73"
    readonly property color windowBackground: "#ECECEC"
    readonly property color listBackground: "#FFFFFF"
    readonly property color listBorder: "#D0D0D0"
    readonly property color separator: "#E4E4E4"
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

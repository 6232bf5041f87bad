pragma Singleton
import QtQuick

// The desktop's standard colours and measures that the panels share.
QtObject {
    readonly property color systemBlue: "#007AFF"
    readonly property color systemGreen: "#28A745"
    readonly property color systemPurple: "#AF52DE"
    readonly property color systemOrange: "#F08A00"
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
}

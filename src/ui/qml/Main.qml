import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Window
import Velmora

// The one window: locations on the left, libraries and their actions on the right.
ApplicationWindow {
    id: window
    objectName: "mainWindow"
    title: "Velmora"
    visible: true
    color: Theme.windowBackground
    font.family: Theme.fontFamily
    // The controls draw with the theme's colours, which follow the desktop's palette.
    palette.window: Theme.windowBackground
    palette.windowText: Theme.text
    palette.base: Theme.listBackground
    palette.text: Theme.text
    palette.buttonText: Theme.text
    palette.button: Theme.subtleFill
    palette.mid: Theme.listBorder
    palette.dark: Theme.secondaryText
    palette.highlight: Theme.systemBlue
    palette.placeholderText: Theme.secondaryText
    palette.toolTipBase: Theme.listBackground
    palette.toolTipText: Theme.text
    font.pixelSize: 13

    // The first size is the layout's natural one, within the screen; afterwards the window
    // keeps whatever size it has, so the progress section showing up takes room from the lists
    // instead of resizing it. Narrower than the two columns need (a laptop at twice the scale,
    // a small screen), the locations move above the libraries; what does not fit in height
    // scrolls, and nothing ever scrolls sideways.
    width: initialWidth
    height: initialHeight
    readonly property int layoutMinimumWidth: Theme.locationColumnWidth + Theme.libraryListMinimumWidth + 3 * Theme.padding + 2
    readonly property int layoutMinimumHeight: 420
    readonly property int screenWidth: Screen.desktopAvailableWidth > 0 ? Screen.desktopAvailableWidth : layoutMinimumWidth
    readonly property int screenHeight: Screen.desktopAvailableHeight > 0 ? Screen.desktopAvailableHeight : layoutMinimumHeight
    readonly property bool narrow: width < layoutMinimumWidth
    minimumWidth: Math.min(Theme.narrowMinimumWidth, screenWidth)
    minimumHeight: Math.min(layoutMinimumHeight, screenHeight)
    readonly property int initialWidth: Math.min(Theme.locationColumnWidth + Theme.libraryListPreferredWidth + 3 * Theme.padding + 2, screenWidth)
    readonly property int initialHeight: Math.min(Theme.naturalHeight, screenHeight)
    Component.onCompleted: {
        width = initialWidth;
        height = initialHeight;
    }

    Flickable {
        id: scroller
        objectName: "bodyScroller"
        anchors.fill: parent
        contentWidth: width
        contentHeight: Math.max(height, body.implicitHeight + 2 * Theme.padding)
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        interactive: contentHeight > height
        // Shown for as long as something lies below, so the user sees there is more.
        ScrollBar.vertical: ScrollBar {
            objectName: "bodyScrollBar"
            visible: size < 1.0
            policy: ScrollBar.AlwaysOn
        }

        GridLayout {
            id: body
            objectName: "body"
            x: Theme.padding
            y: Theme.padding
            width: scroller.contentWidth - 2 * Theme.padding
            height: scroller.contentHeight - 2 * Theme.padding
            columns: window.narrow ? 1 : 2
            rowSpacing: Theme.padding
            columnSpacing: Theme.padding

            LocationPanel {
                objectName: "locationPanel"
                compact: window.narrow
                Layout.alignment: Qt.AlignTop
                Layout.fillWidth: window.narrow
                Layout.fillHeight: !window.narrow
            }

            ColumnLayout {
                objectName: "libraryColumn"
                Layout.alignment: Qt.AlignTop
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: Theme.spacing

                LibraryList {
                    compact: window.narrow
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                }
                ActionPanel {
                    Layout.fillWidth: true
                    onCleanAllRequested: confirmClean.ask()
                }
                ProgressSection {
                    visible: ContentView.isCleaning
                    Layout.fillWidth: true
                }
            }

            // The locations are read each time the content comes on screen.
            Component.onCompleted: ContentView.loadLocations()
        }
    }

    MessageAlert {}
    ConfirmCleanDialog {
        id: confirmClean
    }

    StopOnCloseDialog {
        id: stopOnClose
    }
    // Closing during a cleaning asks first; once the user chose to stop, the window stays
    // until the run has ended and then quits.
    onClosing: close => {
        if (!ContentView.isCleaning)
            return;
        close.accepted = false;
        if (!stopOnClose.quitWhenStopped)
            stopOnClose.open();
    }
}

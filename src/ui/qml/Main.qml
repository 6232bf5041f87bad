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
    font.pixelSize: 13

    // The first size follows the content; afterwards the window keeps whatever size it has,
    // so the progress section showing up takes room from the lists instead of resizing it.
    // On a screen smaller than the layout needs (a laptop at twice the scale) the window
    // fits the screen and its content scrolls.
    width: initialWidth
    height: initialHeight
    readonly property int layoutMinimumWidth: Theme.locationColumnWidth + Theme.libraryListMinimumWidth + 3 * Theme.padding + 2
    readonly property int layoutMinimumHeight: 420
    readonly property int screenWidth: Screen.desktopAvailableWidth > 0 ? Screen.desktopAvailableWidth : layoutMinimumWidth
    readonly property int screenHeight: Screen.desktopAvailableHeight > 0 ? Screen.desktopAvailableHeight : layoutMinimumHeight
    minimumWidth: Math.min(layoutMinimumWidth, screenWidth)
    minimumHeight: Math.min(layoutMinimumHeight, screenHeight)
    readonly property int initialWidth: Math.min(body.implicitWidth + 2 * Theme.padding, screenWidth)
    readonly property int initialHeight: Math.min(body.implicitHeight + 2 * Theme.padding, screenHeight)
    Component.onCompleted: {
        width = initialWidth;
        height = initialHeight;
    }

    Flickable {
        id: scroller
        objectName: "bodyScroller"
        anchors.fill: parent
        contentWidth: Math.max(width, window.layoutMinimumWidth)
        contentHeight: Math.max(height, window.layoutMinimumHeight)
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        interactive: contentWidth > width || contentHeight > height
        // Shown for as long as something lies outside, so the user sees there is more.
        ScrollBar.horizontal: ScrollBar {
            visible: size < 1.0
            policy: ScrollBar.AlwaysOn
        }
        ScrollBar.vertical: ScrollBar {
            visible: size < 1.0
            policy: ScrollBar.AlwaysOn
        }

        RowLayout {
            id: body
            objectName: "body"
            x: Theme.padding
            y: Theme.padding
            width: scroller.contentWidth - 2 * Theme.padding
            height: scroller.contentHeight - 2 * Theme.padding
            spacing: Theme.padding

            LocationPanel {
                objectName: "locationPanel"
                Layout.alignment: Qt.AlignVCenter
                Layout.fillHeight: true
            }

            ColumnLayout {
                objectName: "libraryColumn"
                Layout.alignment: Qt.AlignVCenter
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: Theme.spacing

                LibraryList {
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                }
                ActionPanel {
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

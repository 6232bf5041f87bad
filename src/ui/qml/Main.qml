import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

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
    width: initialWidth
    height: initialHeight
    minimumWidth: 250 + 500 + 3 * Theme.padding + 2
    minimumHeight: 420
    readonly property int initialWidth: body.implicitWidth + 2 * Theme.padding
    readonly property int initialHeight: body.implicitHeight + 2 * Theme.padding
    Component.onCompleted: {
        width = initialWidth;
        height = initialHeight;
    }

    RowLayout {
        id: body
        objectName: "body"
        anchors.fill: parent
        anchors.margins: Theme.padding
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
            ActionPanel {}
            ProgressSection {
                visible: contentView.isCleaning
                Layout.fillWidth: true
            }
        }

        // The locations are read each time the content comes on screen.
        Component.onCompleted: contentView.loadLocations()
    }

    MessageAlert {}

    StopOnCloseDialog {
        id: stopOnClose
    }
    // Closing during a cleaning asks first; once the user chose to stop, the window stays
    // until the run has ended and then quits.
    onClosing: close => {
        if (!contentView.isCleaning)
            return;
        close.accepted = false;
        if (!stopOnClose.quitWhenStopped)
            stopOnClose.open();
    }
}

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

    width: body.implicitWidth + 2 * Theme.padding
    height: body.implicitHeight + 2 * Theme.padding
    minimumWidth: body.Layout.minimumWidth + 2 * Theme.padding
    minimumHeight: 420

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
}

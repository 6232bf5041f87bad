import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// What the running cleaning is doing, and how far the disk-wide run has come.
ColumnLayout {
    objectName: "progressSection"
    spacing: Theme.spacing

    RowLayout {
        Layout.alignment: Qt.AlignHCenter
        Layout.maximumWidth: parent.width
        spacing: Theme.spacing
        Label {
            objectName: "progressText"
            text: ContentView.progressText
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        // The removal under way finishes, no other starts; the run then ends with its alert.
        FancyButtonStyle {
            objectName: "stopCleaningButton"
            text: qsTr("停止清理")
            enabled: ContentView.canStopCleaning
            onClicked: ContentView.stopCleaning()
        }
    }
    ProgressBar {
        id: bar
        objectName: "progressBar"
        from: 0
        to: 1
        value: ContentView.progressValue
        Layout.fillWidth: true
        Layout.margins: Theme.spacing

        background: Rectangle {
            implicitWidth: 200
            implicitHeight: 6
            radius: 3
            color: Theme.barTrack
        }
        contentItem: Item {
            implicitHeight: 6
            Rectangle {
                objectName: "progressFill"
                width: bar.visualPosition * parent.width
                height: parent.height
                radius: 3
                color: Theme.systemBlue
            }
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

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
            text: contentView.progressText
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        // The removal under way finishes, no other starts; the run then ends with its alert.
        FancyButtonStyle {
            objectName: "stopCleaningButton"
            text: qsTr("停止清理")
            enabled: contentView.canStopCleaning
            onClicked: contentView.stopCleaning()
        }
    }
    ProgressBar {
        id: bar
        objectName: "progressBar"
        from: 0
        to: 1
        value: contentView.progressValue
        Layout.fillWidth: true
        Layout.margins: Theme.spacing

        background: Rectangle {
            implicitWidth: 200
            implicitHeight: 6
            radius: 3
            color: "#D8D8DC"
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

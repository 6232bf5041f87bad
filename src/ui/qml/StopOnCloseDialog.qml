import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// Asked when the window is closed while a cleaning runs: stop it and quit, or go on cleaning.
// Stopping lets the removal under way finish; the program quits once the run has ended.
Dialog {
    id: dialog
    objectName: "stopOnCloseDialog"

    // Set once the user chose to stop: the window quits when no cleaning is left.
    property bool quitWhenStopped: false

    title: qsTr("提示")
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    anchors.centerIn: parent
    width: Math.min(Math.max(320, message.implicitWidth + leftPadding + rightPadding), 520)
    padding: 20
    topPadding: 4

    background: Item {
        Rectangle {
            y: 3
            width: parent.width
            height: parent.height
            radius: 10
            color: Qt.rgba(0, 0, 0, 0.12)
        }
        Rectangle {
            anchors.fill: parent
            radius: 10
            color: Theme.listBackground
            border.color: Theme.listBorder
        }
    }

    header: Label {
        text: dialog.title
        font.bold: true
        font.pixelSize: 14
        horizontalAlignment: Text.AlignHCenter
        topPadding: 18
        bottomPadding: 8
    }

    Label {
        id: message
        objectName: "stopOnCloseMessage"
        text: qsTr("清理仍在进行。要停止清理并退出吗？")
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        width: parent.width
    }

    footer: DialogButtonBox {
        alignment: Qt.AlignHCenter
        background: null
        padding: 16
        topPadding: 0
        spacing: 12
        FancyButtonStyle {
            id: continueButton
            objectName: "continueCleaningButton"
            text: qsTr("继续清理")
            DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()
        }
        FancyButtonStyle {
            objectName: "stopAndQuitButton"
            text: qsTr("停止并退出")
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
        }
    }

    // Going on is the default: an accidental Return does not cut a run short.
    onOpened: continueButton.forceActiveFocus()
    onAccepted: {
        quitWhenStopped = true;
        contentView.stopCleaning();
        if (!contentView.isCleaning)
            Qt.quit();
    }

    Connections {
        target: contentView
        function onIsCleaningChanged() {
            if (dialog.quitWhenStopped && !contentView.isCleaning)
                Qt.quit();
        }
    }
}

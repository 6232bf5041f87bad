import QtQuick
import QtQuick.Controls.Basic
import Velmora

// Asked when the window is closed while a cleaning runs: stop it and quit, or go on cleaning.
// Stopping lets the removal under way finish; the program quits once the run has ended.
AlertDialog {
    id: dialog
    objectName: "stopOnCloseDialog"

    // Set once the user chose to stop: the window quits when no cleaning is left.
    property bool quitWhenStopped: false

    kind: "warning"
    titleName: "stopOnCloseTitle"
    title: qsTr("正在清理")
    width: widthFor(message, 320, 520)

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
        ContentView.stopCleaning();
        if (!ContentView.isCleaning)
            Qt.quit();
    }

    Connections {
        target: ContentView
        function onIsCleaningChanged() {
            if (dialog.quitWhenStopped && !ContentView.isCleaning)
                Qt.quit();
        }
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// Asks before "一键清理硬盘" deletes across every library of the location. Cancel is the
// default: Return, Enter and Escape all leave everything as it is.
AlertDialog {
    id: confirm
    objectName: "confirmCleanDialog"
    titleName: "confirmTitle"

    kind: "warning"
    title: qsTr("一键清理硬盘")
    width: widthFor(message, 340, 560)

    Label {
        id: message
        objectName: "confirmMessage"
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        width: parent.width
    }

    footer: RowLayout {
        spacing: 12
        Item { Layout.fillWidth: true }
        FancyButtonStyle {
            id: cancelButton
            objectName: "confirmCancelButton"
            text: qsTr("取消")
            Layout.bottomMargin: 16
            onClicked: confirm.reject()
        }
        FancyButtonStyle {
            objectName: "confirmCleanButton"
            text: qsTr("清理")
            faceColor: Theme.destructiveFace
            Layout.bottomMargin: 16
            onClicked: confirm.accept()
        }
        Item { Layout.fillWidth: true }
    }

    // Opens with the figures of the list on screen at this moment.
    function ask() {
        message.text = ContentView.cleanAllConfirmationText();
        open();
    }
    // The default (cancel) takes the focus as the keyboard would, so its ring shows, on every
    // opening (it may still hold the focus from the last one, under another reason).
    onOpened: {
        cancelButton.forceActiveFocus(Qt.TabFocusReason);
        cancelButton.focusReason = Qt.TabFocusReason;
    }
    onAccepted: ContentView.cleanAllLibraries()
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// Asks before "一键清理硬盘" deletes across every library of the location. Cancel is the
// default: Return, Enter and Escape all leave everything as it is.
Dialog {
    id: confirm
    objectName: "confirmCleanDialog"

    title: qsTr("一键清理硬盘")
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    anchors.centerIn: parent
    width: Math.min(Math.max(340, message.implicitWidth + leftPadding + rightPadding), 560)
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
        objectName: "confirmTitle"
        text: confirm.title
        font.bold: true
        font.pixelSize: 14
        horizontalAlignment: Text.AlignHCenter
        topPadding: 18
        bottomPadding: 8
    }

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
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()
            onClicked: confirm.reject()
        }
        FancyButtonStyle {
            objectName: "confirmCleanButton"
            text: qsTr("清理")
            Layout.bottomMargin: 16
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()
            onClicked: confirm.accept()
        }
        Item { Layout.fillWidth: true }
    }

    // Opens with the figures of the list on screen at this moment.
    function ask() {
        message.text = contentView.cleanAllConfirmationText();
        open();
    }
    onOpened: cancelButton.forceActiveFocus()
    onAccepted: contentView.cleanAllLibraries()
}

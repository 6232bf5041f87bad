import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The modal alert that closes every cleaning run. Any way of dismissing it clears showAlert.
Dialog {
    id: alert
    objectName: "messageAlert"

    title: qsTr("提示")
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    anchors.centerIn: parent
    width: Math.min(Math.max(300, message.implicitWidth + leftPadding + rightPadding), 520)

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
        objectName: "alertTitle"
        text: alert.title
        font.bold: true
        font.pixelSize: 14
        horizontalAlignment: Text.AlignHCenter
        topPadding: 18
        bottomPadding: 8
    }

    Label {
        id: message
        objectName: "alertMessage"
        text: contentView.alertMessage
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        horizontalAlignment: Text.AlignHCenter
        width: parent.width
    }

    footer: DialogButtonBox {
        alignment: Qt.AlignHCenter
        background: null
        padding: 16
        topPadding: 0
        FancyButtonStyle {
            id: okButton
            objectName: "alertOkButton"
            text: qsTr("确定")
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
            // The default button: Return and Enter choose it.
            Keys.onReturnPressed: clicked()
            Keys.onEnterPressed: clicked()
        }
    }

    Connections {
        target: contentView
        function onShowAlertChanged() {
            if (contentView.showAlert)
                alert.open();
            else
                alert.close();
        }
    }
    onOpened: okButton.forceActiveFocus()
    onClosed: {
        if (contentView.showAlert)
            contentView.showAlert = false;
    }
}

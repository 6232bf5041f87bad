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

    Label {
        id: message
        objectName: "alertMessage"
        text: contentView.alertMessage
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        width: parent.width
    }

    footer: DialogButtonBox {
        alignment: Qt.AlignRight
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

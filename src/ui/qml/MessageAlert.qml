import QtQuick
import QtQuick.Controls.Basic
import Velmora

// The modal alert that closes every cleaning run. Any way of dismissing it clears showAlert.
AlertDialog {
    id: alert
    objectName: "messageAlert"
    titleName: "alertTitle"

    // A run's end is a notice; what could not be done is an error, and says so.
    kind: ContentView.alertIsError ? "error" : "info"
    title: ContentView.alertIsError ? qsTr("错误") : qsTr("提示")
    width: widthFor(message, 300, 520)

    Label {
        id: message
        objectName: "alertMessage"
        text: ContentView.alertMessage
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
        }
    }

    Connections {
        target: ContentView
        function onShowAlertChanged() {
            if (ContentView.showAlert)
                alert.open();
            else
                alert.close();
        }
    }
    onOpened: okButton.forceActiveFocus()
    onClosed: {
        if (ContentView.showAlert)
            ContentView.showAlert = false;
    }
}

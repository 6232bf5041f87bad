import QtQuick
import QtQuick.Controls.Basic

// The frame the window's alerts share: modal and centred, a rounded card with a soft shadow
// under its kind's symbol and a bold title; Escape closes it.
Dialog {
    id: dialog

    // The title's objectName, for the tests that read it; its symbol is named after it.
    property alias titleName: titleLabel.objectName
    // What the alert tells: "info" (a run's end), "warning" (a question before something
    // that cannot be undone) or "error" (something could not be done).
    property string kind: "info"

    // A width that fits `content` on one line, kept between `least` and `most`.
    function widthFor(content, least, most) {
        return Math.min(Math.max(least, content.implicitWidth + leftPadding + rightPadding), most);
    }

    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    anchors.centerIn: parent
    padding: 20
    topPadding: 4

    background: Item {
        Rectangle {
            y: 3
            width: parent.width
            height: parent.height
            radius: 10
            color: Theme.dialogShadow
        }
        Rectangle {
            anchors.fill: parent
            radius: 10
            color: Theme.listBackground
            border.color: Theme.listBorder
        }
    }

    header: Column {
        topPadding: 18
        bottomPadding: 8
        spacing: 8
        // The kind's symbol above the title; screen readers skip it, the title says the same.
        Image {
            objectName: dialog.titleName + "Icon"
            anchors.horizontalCenter: parent.horizontalCenter
            source: "qrc:/qt/qml/Velmora/icons/alert_" + dialog.kind + ".svg"
            sourceSize.width: 32
            sourceSize.height: 32
            Accessible.ignored: true
        }
        Label {
            id: titleLabel
            width: parent.width
            text: dialog.title
            font.bold: true
            font.pixelSize: 14
            horizontalAlignment: Text.AlignHCenter
        }
    }
}

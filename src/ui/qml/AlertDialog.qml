import QtQuick
import QtQuick.Controls.Basic

// The frame the window's alerts share: modal and centred, a rounded card with a soft shadow
// under a bold title; Escape closes it.
Dialog {
    id: dialog

    // The title's objectName, for the tests that read it.
    property alias titleName: titleLabel.objectName

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

    header: Label {
        id: titleLabel
        text: dialog.title
        font.bold: true
        font.pixelSize: 14
        horizontalAlignment: Text.AlignHCenter
        topPadding: 18
        bottomPadding: 8
    }
}

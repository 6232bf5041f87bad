import QtQuick
import QtQuick.Controls.Basic

// A text button: white semibold label on the dark face.
StyledButton {
    id: control

    // Room at each end so a long label never meets the rounded corners.
    readonly property int labelInset: 12

    implicitWidth: Math.max(110, implicitContentWidth + 2 * labelInset)
    implicitHeight: Math.max(28, implicitContentHeight)
    wideShadow: true

    font.pixelSize: 14
    font.weight: Font.DemiBold

    contentItem: Item {
        objectName: "fancyLabelClip"
        implicitWidth: label.implicitWidth
        implicitHeight: label.implicitHeight
        clip: true

        Text {
            id: label
            objectName: "fancyLabel"
            anchors.centerIn: parent
            text: control.text
            font: control.font
            color: "white"
            renderType: Text.QtRendering
        }
    }
}

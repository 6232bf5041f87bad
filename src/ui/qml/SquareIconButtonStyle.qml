import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A 28 x 28 button showing one white symbol on the dark face. A symbol larger than the
// square is cut off at its edge instead of growing the button.
StyledButton {
    id: control

    property url symbol
    property int symbolSize: 18

    implicitWidth: 28
    implicitHeight: 28
    width: 28
    height: 28
    Layout.preferredWidth: 28
    Layout.preferredHeight: 28
    Layout.minimumWidth: 28
    Layout.minimumHeight: 28
    Layout.maximumWidth: 28
    Layout.maximumHeight: 28
    faceRadius: 7
    outlineWidth: 1.2

    font.pixelSize: 15
    font.bold: true

    ToolTip.delay: 600
    ToolTip.visible: hovered && ToolTip.text.length > 0
    // Screen readers announce the tooltip, as the button shows no text.
    Accessible.name: ToolTip.text

    contentItem: Item {
        clip: true
        Image {
            objectName: "symbol"
            anchors.centerIn: parent
            source: control.symbol
            sourceSize.width: control.symbolSize
            sourceSize.height: control.symbolSize
            width: control.symbolSize
            height: control.symbolSize
            fillMode: Image.PreserveAspectFit
            smooth: true
        }
    }
}

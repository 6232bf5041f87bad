import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A 28 x 28 button showing one white symbol on the dark rounded fill. A symbol larger than
// the square is cut off at its edge instead of growing the button.
Button {
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
    padding: 0
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    // The press action of screen readers and test robots runs the button like a click.
    Accessible.onPressAction: control.clicked()

    font.pixelSize: 15
    font.bold: true

    ToolTip.delay: 600
    ToolTip.visible: hovered && ToolTip.text.length > 0
    // Screen readers announce the tooltip, as the button shows no text.
    Accessible.name: ToolTip.text

    scale: control.down ? 0.97 : 1.0
    Behavior on scale {
        NumberAnimation { duration: 120; easing.type: Easing.OutQuad }
    }

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

    background: Item {
        implicitWidth: 28
        implicitHeight: 28

        Rectangle {
            objectName: "shadow"
            y: 1
            width: parent.width
            height: parent.height
            radius: 7
            color: Qt.rgba(ButtonBaseColor.value.r, ButtonBaseColor.value.g, ButtonBaseColor.value.b, 0.1)
        }
        Rectangle {
            objectName: "fill"
            anchors.fill: parent
            radius: 7
            antialiasing: true
            color: ButtonBaseColor.value
            opacity: control.down ? 0.7 : 1.0
            Behavior on opacity {
                NumberAnimation { duration: 120; easing.type: Easing.OutQuad }
            }
        }
        Rectangle {
            objectName: "outline"
            anchors.fill: parent
            radius: 7
            antialiasing: true
            color: "transparent"
            border.width: 1.2
            border.color: ButtonBaseColor.value
        }
        // Shows which button the keyboard is on.
        Rectangle {
            objectName: "focusRing"
            visible: control.visualFocus
            anchors.fill: parent
            anchors.margins: -3
            radius: 7 + 3
            color: "transparent"
            border.width: 2
            border.color: Theme.systemBlue
        }
    }
}

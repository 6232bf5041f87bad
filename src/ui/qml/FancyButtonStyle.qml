import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A text button: dark rounded fill, white semibold label, outline and a soft drop shadow.
// Pressing dims the fill and shrinks the whole button slightly; the shrink is drawn only
// and leaves the layout alone.
Button {
    id: control

    // Room at each end so a long label never meets the rounded corners.
    readonly property int labelInset: 12

    implicitWidth: Math.max(110, implicitContentWidth + 2 * labelInset)
    implicitHeight: Math.max(28, implicitContentHeight)
    padding: 0
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    // The press action of screen readers and test robots runs the button like a click.
    Accessible.onPressAction: control.clicked()

    font.pixelSize: 14
    font.weight: Font.DemiBold

    scale: control.down ? 0.97 : 1.0
    Behavior on scale {
        NumberAnimation { duration: 120; easing.type: Easing.OutQuad }
    }

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

    background: Item {
        implicitWidth: 110
        implicitHeight: 28

        // Drawn as plain translucent shapes so every scene graph backend shows it.
        Rectangle {
            objectName: "shadow"
            x: -0.5
            y: 1.5
            width: parent.width + 1
            height: parent.height + 1
            radius: 6.5
            color: Qt.rgba(ButtonBaseColor.value.r, ButtonBaseColor.value.g, ButtonBaseColor.value.b, 0.05)
        }
        Rectangle {
            y: 1
            width: parent.width
            height: parent.height
            radius: 6
            color: Qt.rgba(ButtonBaseColor.value.r, ButtonBaseColor.value.g, ButtonBaseColor.value.b, 0.1)
        }
        Rectangle {
            objectName: "fill"
            anchors.fill: parent
            radius: 6
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
            radius: 6
            antialiasing: true
            color: "transparent"
            border.width: 1.5
            border.color: ButtonBaseColor.value
        }
        // Shows which button the keyboard is on.
        Rectangle {
            objectName: "focusRing"
            visible: control.visualFocus
            anchors.fill: parent
            anchors.margins: -3
            radius: 6 + 3
            color: "transparent"
            border.width: 2
            border.color: Theme.systemBlue
        }
    }
}

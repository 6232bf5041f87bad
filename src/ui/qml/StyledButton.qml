import QtQuick
import QtQuick.Controls.Basic

// What both button styles share: a dark rounded face with an outline and a soft shadow, a
// ring while the keyboard is on it, and the pressed look: the face dims and the whole button
// shrinks slightly; the shrink is drawn only and leaves the layout alone.
Button {
    id: control

    property real faceRadius: 6
    property real outlineWidth: 1.5
    // A second, fainter shadow reaching a little past the face, for the wider text buttons.
    property bool wideShadow: false
    // The face's colour: the theme's, or its destructive one for an action that removes data.
    property color faceColor: Theme.buttonFace

    padding: 0
    hoverEnabled: true
    focusPolicy: Qt.TabFocus
    // The press action of screen readers and test robots runs the button like a click.
    Accessible.onPressAction: control.clicked()
    // Return and Enter press the button the keyboard is on, as Space does, so a dialog's
    // default button (the one given the focus) is what Return chooses.
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    // A disabled button fades, so it reads as out of reach, not as pressed.
    opacity: enabled ? 1.0 : 0.45
    scale: control.down ? 0.97 : 1.0
    Behavior on scale {
        NumberAnimation { duration: 120; easing.type: Easing.OutQuad }
    }

    // Drawn as plain translucent shapes so every scene graph backend shows the shadow.
    background: Item {
        Rectangle {
            visible: control.wideShadow
            x: -0.5
            y: 1.5
            width: parent.width + 1
            height: parent.height + 1
            radius: control.faceRadius + 0.5
            color: Qt.rgba(control.faceColor.r, control.faceColor.g, control.faceColor.b, 0.05)
        }
        Rectangle {
            objectName: "shadow"
            y: 1
            width: parent.width
            height: parent.height
            radius: control.faceRadius
            color: Qt.rgba(control.faceColor.r, control.faceColor.g, control.faceColor.b, 0.1)
        }
        Rectangle {
            objectName: "fill"
            anchors.fill: parent
            radius: control.faceRadius
            antialiasing: true
            color: control.faceColor
            opacity: control.down ? 0.7 : 1.0
            Behavior on opacity {
                NumberAnimation { duration: 120; easing.type: Easing.OutQuad }
            }
        }
        Rectangle {
            objectName: "outline"
            anchors.fill: parent
            radius: control.faceRadius
            antialiasing: true
            color: "transparent"
            border.width: control.outlineWidth
            border.color: control.faceColor
        }
        Rectangle {
            objectName: "focusRing"
            visible: control.visualFocus
            anchors.fill: parent
            anchors.margins: -3
            radius: control.faceRadius + 3
            color: "transparent"
            border.width: 2
            border.color: Theme.systemBlue
        }
    }
}

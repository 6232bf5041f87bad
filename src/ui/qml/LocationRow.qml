import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Controls.impl
import QtQuick.Layouts
import Velmora

// One location: its kind's symbol and its label across the whole row; the chosen location is
// tinted.
AbstractButton {
    id: row

    required property string path
    required property string label
    // "drive", "home" or "folder".
    property string kind: "folder"
    // The keyboard is on this row (the location list has the focus).
    property bool keyCurrent: false
    // Reading selectedPath here makes the binding follow every change of the choice.
    readonly property bool isChosen: ContentView.selectedPath.length > 0 && ContentView.isSelectedPath(path)

    objectName: "locationRow:" + path
    topPadding: 2
    bottomPadding: 2
    leftPadding: 8
    rightPadding: 8
    focusPolicy: Qt.NoFocus
    // Screen readers and test robots see a named button whose press chooses the location.
    text: label
    Accessible.name: label
    Accessible.description: path
    Accessible.onPressAction: row.clicked()

    contentItem: RowLayout {
        spacing: 6
        // Drawn in the text's quieter colour, so it follows the palette like the label.
        IconImage {
            objectName: "locationIcon"
            source: "qrc:/qt/qml/Velmora/icons/" + row.kind + ".svg"
            sourceSize.width: 16
            sourceSize.height: 16
            color: Theme.secondaryText
            Layout.preferredWidth: 16
            Layout.preferredHeight: 16
        }
        Text {
            objectName: "locationLabel"
            text: row.label
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            font: row.font
            color: Theme.text
            Layout.fillWidth: true
            verticalAlignment: Text.AlignVCenter
        }
    }

    background: Rectangle {
        objectName: "locationHighlight"
        implicitHeight: 24
        color: row.isChosen ? Theme.selectionTint : "transparent"
        Rectangle {
            objectName: "locationFocusRing"
            visible: row.keyCurrent
            anchors.fill: parent
            anchors.margins: 1
            radius: 3
            color: "transparent"
            border.width: 2
            border.color: Theme.systemBlue
        }
    }

    onClicked: ContentView.selectLocation(path)
}

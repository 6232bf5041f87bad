import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// One location: its label across the whole row; the chosen location is tinted blue.
AbstractButton {
    id: row

    required property string path
    required property string label
    readonly property bool isChosen: {
        contentView.selectedPath; // re-evaluate whenever the chosen location changes
        return contentView.isSelectedPath(path);
    }

    objectName: "locationRow:" + path
    topPadding: 2
    bottomPadding: 2
    leftPadding: 8
    rightPadding: 8
    focusPolicy: Qt.NoFocus

    contentItem: RowLayout {
        Text {
            objectName: "locationLabel"
            text: row.label
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            font: row.font
            color: "black"
            Layout.fillWidth: true
            verticalAlignment: Text.AlignVCenter
        }
    }

    background: Rectangle {
        objectName: "locationHighlight"
        implicitHeight: 24
        color: row.isChosen ? Qt.rgba(0, 122 / 255, 1, 0.2) : "transparent"
    }

    onClicked: contentView.selectLocation(path)
}

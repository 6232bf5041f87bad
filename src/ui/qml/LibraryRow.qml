import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// One library: name and total size, reveal and open buttons, and the four category sizes.
Control {
    id: row

    required property string bundleId
    required property string displayName
    required property string path
    required property string titleText
    required property string cacheSizeText
    required property string proxySizeText
    required property string optimizedSizeText
    required property string analysisSizeText
    required property var sizeBar
    required property string sizeBarDescription
    readonly property bool isSelected: bundleId.length > 0 && bundleId === contentView.selectedBundleID

    objectName: "libraryRow:" + displayName
    width: ListView.view ? ListView.view.width : implicitWidth
    topPadding: 2 + 4
    bottomPadding: 2 + 4
    leftPadding: 10
    rightPadding: 10
    focusPolicy: Qt.NoFocus

    contentItem: ColumnLayout {
        spacing: 4

        RowLayout {
            spacing: Theme.spacing
            Label {
                objectName: "libraryTitle"
                text: row.titleText
                textFormat: Text.PlainText
                font.pixelSize: 14
                font.bold: true
                elide: Text.ElideMiddle
                Layout.fillWidth: true
            }
            SquareIconButtonStyle {
                objectName: "revealButton"
                symbol: "qrc:/qt/qml/Velmora/icons/folder.svg"
                ToolTip.text: qsTr("在访达中显示")
                onClicked: contentView.revealInFinder(row.bundleId)
            }
            SquareIconButtonStyle {
                objectName: "openButton"
                symbol: "qrc:/qt/qml/Velmora/icons/arrow_up_right_square.svg"
                ToolTip.text: qsTr("打开资源库")
                onClicked: contentView.openLibrary(row.bundleId)
            }
        }

        // Left to right like a row; wraps instead of running out of a narrow list.
        Flow {
            objectName: "sizeLine"
            Layout.fillWidth: true
            spacing: Theme.spacing
            Label {
                objectName: "cacheSizeText"
                text: row.cacheSizeText
                color: Theme.systemBlue
                font.pixelSize: 12
            }
            Label {
                objectName: "proxySizeText"
                text: row.proxySizeText
                color: Theme.systemGreen
                font.pixelSize: 12
            }
            Label {
                objectName: "optimizedSizeText"
                text: row.optimizedSizeText
                color: Theme.systemPurple
                font.pixelSize: 12
            }
            Label {
                objectName: "analysisSizeText"
                text: row.analysisSizeText
                color: Theme.systemOrange
                font.pixelSize: 12
            }
        }

        // Where this library's space is, scaled to the largest library of the list.
        SizeBar {
            objectName: "sizeBar"
            fractions: row.sizeBar
            description: row.sizeBarDescription
            Layout.fillWidth: true
        }
    }

    background: Rectangle {
        color: row.isSelected ? Qt.rgba(0, 122 / 255, 1, 0.16) : "transparent"
        Rectangle {
            visible: row.isSelected
            width: 3
            height: parent.height
            color: Theme.systemBlue
        }
        Rectangle {
            anchors.bottom: parent.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: 10
            anchors.rightMargin: 10
            height: 1
            color: Theme.separator
        }
    }

    // Below the content, so the two buttons take their own clicks. Ctrl-click on the
    // selected row clears the selection, as in other desktop lists.
    MouseArea {
        objectName: "rowSelectArea"
        anchors.fill: parent
        z: -1
        onClicked: mouse => {
            // The list takes the keyboard, so up and down go on from this row.
            if (row.ListView.view)
                row.ListView.view.forceActiveFocus();
            if (row.isSelected && (mouse.modifiers & Qt.ControlModifier))
                contentView.selectedBundleID = "";
            else
                contentView.selectedBundleID = row.bundleId;
        }
    }
}

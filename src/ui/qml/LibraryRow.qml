import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// One library: name and total size, reveal and open buttons, and the four category sizes.
// An item delegate so that screen readers and test robots see a list item.
ItemDelegate {
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
    required property string sharedNameFolder
    readonly property bool isSelected: bundleId.length > 0 && bundleId === ContentView.selectedBundleID

    objectName: "libraryRow:" + displayName
    width: ListView.view ? ListView.view.width : implicitWidth
    topPadding: 2 + 4
    bottomPadding: 2 + 4
    leftPadding: 10
    rightPadding: 10
    focusPolicy: Qt.NoFocus

    // A list item for screen readers and test robots, named by its title (the text is not
    // drawn: the content below shows it); its toggle action selects it, as a click does.
    text: titleText
    Accessible.role: Accessible.ListItem
    Accessible.name: titleText + (sharedNameFolder.length > 0 ? " " + sharedNameFolder : "")
    Accessible.description: [cacheSizeText, proxySizeText, optimizedSizeText, analysisSizeText].join(" ")
    Accessible.selectable: true
    Accessible.selected: isSelected
    Accessible.focusable: true
    Accessible.focused: isSelected && ListView.view !== null && ListView.view.activeFocus
    Accessible.onToggleAction: choose(Qt.NoModifier)
    // The full name and where the library is, for a name cut short or shared by two libraries.
    hoverEnabled: true
    ToolTip.delay: 800
    ToolTip.visible: hovered
    ToolTip.text: displayName + "\n" + path

    // A click selects the row and gives the list the keyboard, so up and down go on from
    // here; Ctrl-click on the selected row clears the selection, as in other desktop lists.
    function choose(modifiers) {
        if (ListView.view)
            ListView.view.forceActiveFocus();
        if (isSelected && (modifiers & Qt.ControlModifier))
            ContentView.selectedBundleID = "";
        else
            ContentView.selectedBundleID = bundleId;
    }

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
                // Named after the desktop's file viewer: Finder on macOS, a file manager elsewhere.
                ToolTip.text: Qt.platform.os === "osx" ? qsTr("在访达中显示") : qsTr("在文件管理器中显示")
                // Reached with Ctrl+R on the selected row instead of one Tab stop per row.
                focusPolicy: Qt.NoFocus
                onClicked: ContentView.revealInFinder(row.bundleId)
            }
            SquareIconButtonStyle {
                objectName: "openButton"
                symbol: "qrc:/qt/qml/Velmora/icons/arrow_up_right_square.svg"
                ToolTip.text: qsTr("打开资源库")
                // Reached with Ctrl+Return on the selected row.
                focusPolicy: Qt.NoFocus
                onClicked: ContentView.openLibrary(row.bundleId)
            }
        }

        // Where the library is, when another one of the list has its name; cut at the
        // start, so the folders nearest the library stay readable.
        Label {
            objectName: "sharedNameFolder"
            visible: row.sharedNameFolder.length > 0
            text: row.sharedNameFolder
            textFormat: Text.PlainText
            color: Theme.secondaryText
            font.pixelSize: 12
            elide: Text.ElideLeft
            Layout.fillWidth: true
        }

        // Left to right like a row; wraps instead of running out of a narrow list.
        Flow {
            objectName: "sizeLine"
            Layout.fillWidth: true
            spacing: Theme.spacing
            Label {
                objectName: "cacheSizeText"
                text: row.cacheSizeText
                color: Theme.categoryColors[0]
                font.pixelSize: 12
            }
            Label {
                objectName: "proxySizeText"
                text: row.proxySizeText
                color: Theme.categoryColors[1]
                font.pixelSize: 12
            }
            Label {
                objectName: "optimizedSizeText"
                text: row.optimizedSizeText
                color: Theme.categoryColors[2]
                font.pixelSize: 12
            }
            Label {
                objectName: "analysisSizeText"
                text: row.analysisSizeText
                color: Theme.categoryColors[3]
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
        color: row.isSelected ? Theme.selectionTint : "transparent"
        Rectangle {
            visible: row.isSelected
            width: 3
            height: parent.height
            color: Theme.systemBlue
        }
        // The keyboard's place: the selected row while the list has the focus.
        Rectangle {
            objectName: "rowFocusRing"
            visible: row.isSelected && row.ListView.view !== null && row.ListView.view.activeFocus
            anchors.fill: parent
            anchors.margins: 1
            radius: 3
            color: "transparent"
            border.width: 2
            border.color: Theme.systemBlue
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

    // The one click handler. The row's buttons take their own clicks before it sees them.
    TapHandler {
        onTapped: row.choose(point.modifiers)
    }
}

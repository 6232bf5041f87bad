import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The left column: where to look for libraries.
ColumnLayout {
    id: panel
    spacing: Theme.spacing

    // Above the libraries in a narrow window: the list takes the width and a few rows' height.
    property bool compact: false

    RowLayout {
        spacing: 8
        Label {
            objectName: "locationHeader"
            text: qsTr("选择资源库所在硬盘或目录")
            font.pixelSize: Theme.headlineSize
            font.bold: true
        }
        SquareIconButtonStyle {
            objectName: "refreshButton"
            symbol: "qrc:/qt/qml/Velmora/icons/arrow_clockwise.svg"
            symbolSize: 17
            ToolTip.text: qsTr("刷新外置硬盘和用户目录列表")
            onClicked: ContentView.loadLocations()
        }
    }

    Rectangle {
        objectName: "locationList"
        Layout.preferredWidth: Theme.locationColumnWidth
        Layout.minimumWidth: Theme.locationColumnWidth
        Layout.maximumWidth: panel.compact ? Number.POSITIVE_INFINITY : Theme.locationColumnWidth
        Layout.fillWidth: panel.compact
        Layout.fillHeight: !panel.compact
        implicitHeight: panel.compact ? 150 : 240
        color: Theme.listBackground
        border.color: Theme.listBorder
        radius: 6

        Flickable {
            id: locationList
            objectName: "locationListView"
            anchors.fill: parent
            anchors.margins: 1
            clip: true
            contentWidth: width
            contentHeight: sections.implicitHeight
            boundsBehavior: Flickable.StopAtBounds

            // The keyboard's row over both sections (drives first): Tab enters the list on
            // the chosen location, the arrows, Home, End and the page keys move the ring,
            // Return or Space chooses the row.
            activeFocusOnTab: true
            property int keyIndex: -1
            readonly property var paths: ContentView.drives.concat(ContentView.userDirs)
            function chosenIndex() {
                for (let i = 0; i < paths.length; ++i) {
                    if (ContentView.isSelectedPath(paths[i]))
                        return i;
                }
                return -1;
            }
            function moveTo(index) {
                if (paths.length === 0)
                    return;
                keyIndex = Math.max(0, Math.min(paths.length - 1, index));
                const row = findRow(keyIndex);
                if (row) {
                    const y = row.mapToItem(sections, 0, 0).y;
                    if (y < contentY)
                        contentY = y;
                    else if (y + row.height > contentY + height)
                        contentY = y + row.height - height;
                }
            }
            function findRow(index) {
                const repeater = index < ContentView.drives.length ? driveRows : userDirRows;
                return repeater.itemAt(index < ContentView.drives.length ? index : index - ContentView.drives.length);
            }
            onActiveFocusChanged: {
                if (activeFocus)
                    moveTo(chosenIndex() >= 0 ? chosenIndex() : Math.max(0, keyIndex));
            }
            Keys.onPressed: event => {
                const page = Math.max(1, Math.floor(height / 28));
                if (event.key === Qt.Key_Up)
                    moveTo(keyIndex - 1);
                else if (event.key === Qt.Key_Down)
                    moveTo(keyIndex + 1);
                else if (event.key === Qt.Key_Home)
                    moveTo(0);
                else if (event.key === Qt.Key_End)
                    moveTo(paths.length - 1);
                else if (event.key === Qt.Key_PageUp)
                    moveTo(keyIndex - page);
                else if (event.key === Qt.Key_PageDown)
                    moveTo(keyIndex + page);
                else if ((event.key === Qt.Key_Return || event.key === Qt.Key_Enter || event.key === Qt.Key_Space) &&
                         keyIndex >= 0 && keyIndex < paths.length)
                    ContentView.selectLocation(paths[keyIndex]);
                else
                    return;
                event.accepted = true;
            }
            Accessible.role: Accessible.List
            Accessible.name: qsTr("选择资源库所在硬盘或目录")
            ScrollBar.vertical: ScrollBar {
                // Hidden, and so out of the way of clicks, while everything fits.
                visible: size < 1.0
            }

            Column {
                id: sections
                width: locationList.width
                topPadding: 6
                bottomPadding: 6

                Label {
                    objectName: "drivesHeader"
                    text: qsTr("外接硬盘")
                    color: Theme.secondaryText
                    leftPadding: 8
                    topPadding: 2
                    bottomPadding: 4
                }
                Label {
                    objectName: "noDrivesText"
                    visible: ContentView.drives.length === 0
                    text: qsTr("没有连接外接硬盘")
                    color: Theme.secondaryText
                    font.pixelSize: 12
                    leftPadding: 8
                    bottomPadding: 2
                }
                Repeater {
                    id: driveRows
                    objectName: "driveRows"
                    model: ContentView.drives
                    delegate: LocationRow {
                        required property string modelData
                        required property int index
                        width: sections.width
                        path: modelData
                        label: ContentView.driveLabel(modelData)
                        kind: "drive"
                        keyCurrent: locationList.activeFocus && locationList.keyIndex === index
                    }
                }
                Label {
                    objectName: "userDirsHeader"
                    text: qsTr("用户目录")
                    color: Theme.secondaryText
                    leftPadding: 8
                    topPadding: 10
                    bottomPadding: 4
                }
                Repeater {
                    id: userDirRows
                    objectName: "userDirRows"
                    model: ContentView.userDirs
                    delegate: LocationRow {
                        required property string modelData
                        required property int index
                        width: sections.width
                        path: modelData
                        label: ContentView.locationLabel(modelData)
                        // The home leads the user folders.
                        kind: index === 0 ? "home" : "folder"
                        keyCurrent: locationList.activeFocus &&
                                    locationList.keyIndex === ContentView.drives.length + index
                    }
                }
            }
        }
    }

    ColumnLayout {
        objectName: "retrievingIndicator"
        visible: ContentView.isRetrieving
        Layout.topMargin: 5
        Layout.maximumWidth: Theme.locationColumnWidth
        spacing: 2

        RowLayout {
            // Drawn from the first frame on (no fade-in), so it shows however short the scan.
            BusyIndicator {
                objectName: "retrievingSpinner"
                running: ContentView.isRetrieving
                padding: 0
                Layout.preferredWidth: 20
                Layout.preferredHeight: 20
                contentItem: Image {
                    source: "qrc:/qt/qml/Velmora/icons/spinner.svg"
                    sourceSize.width: 20
                    sourceSize.height: 20
                    RotationAnimator on rotation {
                        from: 0
                        to: 360
                        duration: 900
                        loops: Animation.Infinite
                        running: ContentView.isRetrieving
                    }
                }
            }
            Label {
                text: qsTr("正在检索 FCPX 资源库...")
                color: Theme.secondaryText
                Layout.fillWidth: true
            }
            // Ends the search; the list keeps what it showed before.
            Button {
                id: stopSearch
                objectName: "stopRetrievalButton"
                text: qsTr("停止")
                enabled: ContentView.canStopRetrieval
                flat: true
                padding: 2
                leftPadding: 8
                rightPadding: 8
                font.pixelSize: 12
                background: Rectangle {
                    radius: 4
                    color: stopSearch.down || stopSearch.hovered ? Theme.pressedFill : Theme.subtleFill
                }
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                Accessible.onPressAction: clicked()
                onClicked: ContentView.stopRetrieval()
            }
        }
        Label {
            objectName: "retrievalProgress"
            visible: text.length > 0
            text: ContentView.retrievalProgressText
            textFormat: Text.PlainText
            color: Theme.secondaryText
            font.pixelSize: 12
            elide: Text.ElideRight
            Layout.leftMargin: 26
            Layout.maximumWidth: Theme.locationColumnWidth - 26
        }
    }

    RowLayout {
        spacing: 12
        Layout.topMargin: panel.compact ? 0 : 32
        FancyButtonStyle {
            objectName: "chooseOtherDirectoryButton"
            text: qsTr("选择其他FCPX工程目录")
            onClicked: ContentView.chooseOtherDirectory()
        }
    }
}

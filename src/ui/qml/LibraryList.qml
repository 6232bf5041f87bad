import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The libraries found under the chosen location, one selectable row each, in the order and
// with the filter chosen above the list.
ColumnLayout {
    spacing: Theme.spacing

    RowLayout {
        spacing: Theme.spacing
        Layout.fillWidth: true
        Label {
            objectName: "libraryHeader"
            text: qsTr("FCPX 资源库")
            font.pixelSize: Theme.headlineSize
            font.bold: true
            Layout.preferredHeight: 28
            verticalAlignment: Text.AlignVCenter
        }
        Label {
            objectName: "libraryFilterCount"
            visible: text.length > 0
            text: contentView.shownBundles.countText
            color: Theme.secondaryText
        }
        Item {
            Layout.fillWidth: true
        }
        TextField {
            id: filterField
            objectName: "libraryFilter"
            placeholderText: qsTr("按名称或路径筛选")
            selectByMouse: true
            Layout.preferredWidth: 220
            Accessible.name: qsTr("按名称或路径筛选")
            onTextChanged: contentView.shownBundles.filterText = text
            Keys.onEscapePressed: text = ""
        }
    }

    // Which location the list shows, with its totals: the number of libraries, their whole
    // size and what cleaning them would free, the four kinds and a bar of them.
    ColumnLayout {
        objectName: "totalsLine"
        visible: contentView.locationSummary.length > 0
        spacing: 4
        Layout.fillWidth: true

        Label {
            objectName: "locationSummary"
            text: contentView.locationSummary
            textFormat: Text.PlainText
            color: Theme.secondaryText
            elide: Text.ElideMiddle
            Layout.fillWidth: true
        }
        Flow {
            visible: contentView.fcpBundles.count > 0
            Layout.fillWidth: true
            spacing: Theme.spacing
            Repeater {
                model: contentView.fcpBundles.totalsCategoryTexts
                delegate: Label {
                    required property int index
                    required property string modelData
                    objectName: "totalsCategoryText" + index
                    text: modelData
                    color: [Theme.systemBlue, Theme.systemGreen, Theme.systemPurple, Theme.systemOrange][index]
                    font.pixelSize: 12
                }
            }
        }
        SizeBar {
            objectName: "totalsBar"
            visible: contentView.fcpBundles.count > 0
            fractions: contentView.fcpBundles.totalsBar
            description: contentView.fcpBundles.totalsBarDescription
            Layout.fillWidth: true
        }
    }

    // One click sorts by a key (sizes largest first); a second click on it reverses the order.
    RowLayout {
        objectName: "sortBar"
        spacing: 4
        Label {
            text: qsTr("排序：")
            color: Theme.secondaryText
        }
        Repeater {
            model: [qsTr("扫描顺序"), qsTr("名称"), qsTr("总大小"), qsTr("可清理大小")]
            delegate: Button {
                id: sortButton
                required property int index
                required property string modelData
                readonly property bool active: contentView.shownBundles.sortKey === index
                readonly property string direction: !active || index === 0 ? ""
                    : (contentView.shownBundles.descending ? " ↓" : " ↑")
                objectName: "sortButton" + index
                text: modelData + direction
                checkable: false
                flat: true
                focusPolicy: Qt.TabFocus
                padding: 4
                leftPadding: 8
                rightPadding: 8
                font.pixelSize: 12
                font.bold: active
                Accessible.name: modelData
                Accessible.description: !active ? "" : (index === 0 ? qsTr("当前顺序")
                    : (contentView.shownBundles.descending ? qsTr("降序") : qsTr("升序")))
                background: Rectangle {
                    radius: 4
                    color: sortButton.active ? Qt.rgba(0, 122 / 255, 1, 0.16)
                         : (sortButton.hovered ? Qt.rgba(0, 0, 0, 0.06) : "transparent")
                }
                onClicked: contentView.shownBundles.sortBy(index)
            }
        }
    }

    Rectangle {
        objectName: "libraryList"
        Layout.minimumWidth: 500
        Layout.fillWidth: true
        Layout.fillHeight: true
        // Wide enough for a row's four size texts on one line in the longer languages too.
        implicitWidth: 620
        implicitHeight: 380
        color: Theme.listBackground
        border.color: Theme.listBorder
        radius: 6

        ListView {
            id: libraryView
            objectName: "libraryListView"
            anchors.fill: parent
            anchors.margins: 1
            clip: true
            model: contentView.shownBundles
            boundsBehavior: Flickable.StopAtBounds
            keyNavigationEnabled: false
            activeFocusOnTab: true
            ScrollBar.vertical: ScrollBar {
                objectName: "libraryScrollBar"
                // Always drawn while the list is longer than the view; hidden, and so out of
                // the way of clicks, while everything fits.
                policy: size < 1.0 ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
                visible: size < 1.0
            }

            delegate: LibraryRow {}

            // An empty list says why: no libraries there, or a location that cannot be read.
            Label {
                objectName: "emptyListText"
                visible: libraryView.count === 0 && text.length > 0
                text: contentView.emptyListText
                textFormat: Text.PlainText
                color: Theme.secondaryText
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                anchors.centerIn: parent
                width: parent.width - 40
            }

            // The height of a row, for paging and the wheel (the view's own average: rows
            // differ only when a narrow list wraps their size line).
            readonly property real rowHeight: count > 0 && contentHeight > 0 ? contentHeight / count : 56
            readonly property int rowsPerPage: Math.max(1, Math.floor(height / rowHeight) - 1)

            // The keyboard moves the selection itself, so the focus ring (drawn on the
            // selected row while the list has the focus) and the selection never differ.
            // Moves the selection to the shown row `to` (clamped), and the view with it.
            function selectRow(to) {
                if (count === 0)
                    return;
                const next = Math.max(0, Math.min(count - 1, to));
                positionViewAtIndex(next, ListView.Contain);
                contentView.selectedBundleID = model.idAt(next);
            }
            function selectStep(step) {
                const current = model.rowOf(contentView.selectedBundleID);
                selectRow(current < 0 ? 0 : current + step);
            }
            Keys.onUpPressed: selectStep(-1)
            Keys.onDownPressed: selectStep(1)
            Keys.onPressed: event => {
                const ctrl = (event.modifiers & Qt.ControlModifier) !== 0;
                const selected = model.rowOf(contentView.selectedBundleID) >= 0;
                if (event.key === Qt.Key_PageUp)
                    selectStep(-rowsPerPage);
                else if (event.key === Qt.Key_PageDown)
                    selectStep(rowsPerPage);
                else if (event.key === Qt.Key_Home)
                    selectRow(0);
                else if (event.key === Qt.Key_End)
                    selectRow(count - 1);
                // The row's two buttons by key, on the selected row: Ctrl+R shows it in the
                // file manager, Ctrl+Return opens it.
                else if (ctrl && event.key === Qt.Key_R && selected)
                    contentView.revealInFinder(contentView.selectedBundleID);
                else if (ctrl && (event.key === Qt.Key_Return || event.key === Qt.Key_Enter) && selected)
                    contentView.openLibrary(contentView.selectedBundleID);
                else
                    return;
                event.accepted = true;
            }
            Accessible.role: Accessible.List
            Accessible.name: qsTr("FCPX 资源库")
        }

        // Three rows a notch of the wheel, whatever the platform's flick speed; a touchpad's
        // pixel steps move by their pixels. Clicks go through to the rows.
        MouseArea {
            objectName: "libraryWheelArea"
            anchors.fill: libraryView
            acceptedButtons: Qt.NoButton
            onWheel: wheel => {
                const step = wheel.pixelDelta.y !== 0 ? wheel.pixelDelta.y
                    : wheel.angleDelta.y / 120 * 3 * libraryView.rowHeight;
                const top = libraryView.originY;
                const bottom = libraryView.originY + Math.max(0, libraryView.contentHeight - libraryView.height);
                libraryView.contentY = Math.max(top, Math.min(bottom, libraryView.contentY - step));
            }
        }
    }
}

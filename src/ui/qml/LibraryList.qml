import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The libraries found under the chosen location, one selectable row each, in the order and
// with the filter chosen above the list.
ColumnLayout {
    id: column
    spacing: Theme.spacing

    // In a narrow window the list gives up its minimum width and some height.
    property bool compact: false

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
            text: ContentView.shownBundles.countText
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
            Layout.minimumWidth: 120
            Accessible.name: qsTr("按名称或路径筛选")
            onTextChanged: ContentView.shownBundles.filterText = text
            Keys.onEscapePressed: text = ""
        }
    }

    // Which location the list shows, with its totals: the number of libraries, their whole
    // size and what cleaning them would free, the four kinds and a bar of them.
    ColumnLayout {
        objectName: "totalsLine"
        visible: ContentView.locationSummary.length > 0
        spacing: 4
        Layout.fillWidth: true

        Label {
            objectName: "locationSummary"
            text: ContentView.locationSummary
            textFormat: Text.PlainText
            color: Theme.secondaryText
            elide: Text.ElideMiddle
            Layout.fillWidth: true
        }
        Flow {
            visible: ContentView.fcpBundles.count > 0
            Layout.fillWidth: true
            spacing: Theme.spacing
            Repeater {
                model: ContentView.fcpBundles.totalsCategoryTexts
                delegate: Label {
                    required property int index
                    required property string modelData
                    objectName: "totalsCategoryText" + index
                    text: modelData
                    color: Theme.categoryColors[index]
                    font.pixelSize: 12
                }
            }
        }
        SizeBar {
            objectName: "totalsBar"
            visible: ContentView.fcpBundles.count > 0
            fractions: ContentView.fcpBundles.totalsBar
            description: ContentView.fcpBundles.totalsBarDescription
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
            model: ContentView.shownBundles.sortKeys
            delegate: Button {
                id: sortButton
                required property int index
                required property var modelData // {key, label}
                readonly property bool active: ContentView.shownBundles.sortKey === modelData.key
                // The scanner's order has no direction to show.
                readonly property bool directed: active && modelData.key !== BundleSortFilterModel.ScanOrder
                readonly property bool descending: ContentView.shownBundles.descending
                objectName: "sortButton" + index
                text: modelData.label + (!directed ? "" : (descending ? " ↓" : " ↑"))
                checkable: false
                flat: true
                focusPolicy: Qt.TabFocus
                padding: 4
                leftPadding: 8
                rightPadding: 8
                font.pixelSize: 12
                font.bold: active
                Accessible.name: modelData.label
                Accessible.description: !active ? "" : (!directed ? qsTr("当前顺序")
                    : (descending ? qsTr("降序") : qsTr("升序")))
                background: Rectangle {
                    radius: 4
                    color: sortButton.active ? Theme.selectionTint
                         : (sortButton.hovered ? Theme.subtleFill : "transparent")
                }
                // Return and Enter press it as Space does, as on every button of the window,
                // and so does a screen reader's press action.
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                Accessible.onPressAction: clicked()
                onClicked: ContentView.shownBundles.sortBy(modelData.key)
            }
        }
    }

    Rectangle {
        objectName: "libraryList"
        Layout.minimumWidth: column.compact ? 0 : Theme.libraryListMinimumWidth
        Layout.minimumHeight: 160
        Layout.fillWidth: true
        Layout.fillHeight: true
        // Wide enough for a row's four size texts on one line in the longer languages too.
        implicitWidth: Theme.libraryListPreferredWidth
        implicitHeight: 240
        color: Theme.listBackground
        border.color: Theme.listBorder
        radius: 6

        // With the keyboard on the list and no row selected (whose ring would show), the list
        // itself shows that it has the focus.
        Rectangle {
            objectName: "libraryFocusFrame"
            visible: libraryView.activeFocus && ContentView.shownBundles.rowOf(ContentView.selectedBundleID) < 0
            anchors.fill: parent
            anchors.margins: -3
            radius: 9
            color: "transparent"
            border.width: 2
            border.color: Theme.systemBlue
        }

        ListView {
            id: libraryView
            objectName: "libraryListView"
            anchors.fill: parent
            anchors.margins: 1
            clip: true
            model: ContentView.shownBundles
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
            // Screen readers take the rows in the order they are shown.
            ScreenOrder {
                container: libraryView.contentItem
            }

            // After a change of order the selected library stays in view, or, with none, the
            // list starts at its first row: never a half row at some middle position.
            Connections {
                target: ContentView.shownBundles
                function onSortChanged() {
                    Qt.callLater(() => {
                        const selected = libraryView.model.rowOf(ContentView.selectedBundleID);
                        if (selected >= 0)
                            libraryView.positionViewAtIndex(selected, ListView.Contain);
                        else
                            libraryView.positionViewAtBeginning();
                    });
                }
            }

            // An empty list says why: no libraries there, or a location that cannot be read.
            Label {
                objectName: "emptyListText"
                visible: libraryView.count === 0 && text.length > 0
                text: ContentView.emptyListText
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
                ContentView.selectedBundleID = model.idAt(next);
            }
            function selectStep(step) {
                const current = model.rowOf(ContentView.selectedBundleID);
                selectRow(current < 0 ? 0 : current + step);
            }
            Keys.onUpPressed: selectStep(-1)
            Keys.onDownPressed: selectStep(1)
            Keys.onPressed: event => {
                const ctrl = (event.modifiers & Qt.ControlModifier) !== 0;
                const selected = model.rowOf(ContentView.selectedBundleID) >= 0;
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
                    ContentView.revealInFinder(ContentView.selectedBundleID);
                else if (ctrl && (event.key === Qt.Key_Return || event.key === Qt.Key_Enter) && selected)
                    ContentView.openLibrary(ContentView.selectedBundleID);
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

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The libraries found under the chosen location, one selectable row each.
ColumnLayout {
    spacing: Theme.spacing

    Label {
        objectName: "libraryHeader"
        text: qsTr("FCPX 资源库")
        font.pixelSize: Theme.headlineSize
        font.bold: true
        Layout.preferredHeight: 28
        verticalAlignment: Text.AlignVCenter
    }

    // Which location the list shows, how many libraries it holds and what they could free.
    Label {
        objectName: "locationSummary"
        visible: text.length > 0
        text: contentView.locationSummary
        textFormat: Text.PlainText
        color: Theme.secondaryText
        elide: Text.ElideMiddle
        Layout.fillWidth: true
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
            model: contentView.fcpBundles
            boundsBehavior: Flickable.StopAtBounds
            keyNavigationEnabled: false
            activeFocusOnTab: true
            ScrollBar.vertical: ScrollBar {
                // Hidden, and so out of the way of clicks, while everything fits.
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

            // The keyboard moves the selection itself, so the focus ring (drawn on the
            // selected row while the list has the focus) and the selection never differ.
            function selectedIndex() {
                for (let i = 0; i < count; ++i) {
                    const item = itemAtIndex(i);
                    if (item && item.isSelected)
                        return i;
                }
                return -1;
            }
            function selectAt(index) {
                if (count === 0)
                    return;
                const next = Math.max(0, Math.min(count - 1, index));
                positionViewAtIndex(next, ListView.Contain);
                const item = itemAtIndex(next);
                if (item)
                    contentView.selectedBundleID = item.bundleId;
            }
            function selectStep(step) {
                const current = selectedIndex();
                selectAt(current < 0 ? 0 : current + step);
            }
            // Rows that fit in the list's height, for Page Up and Page Down.
            function pageRows() {
                const first = itemAtIndex(0);
                return first ? Math.max(1, Math.floor(height / first.height)) : 1;
            }
            Keys.onPressed: event => {
                const ctrl = (event.modifiers & Qt.ControlModifier) !== 0;
                if (event.key === Qt.Key_Up)
                    selectStep(-1);
                else if (event.key === Qt.Key_Down)
                    selectStep(1);
                else if (event.key === Qt.Key_Home)
                    selectAt(0);
                else if (event.key === Qt.Key_End)
                    selectAt(count - 1);
                else if (event.key === Qt.Key_PageUp)
                    selectStep(-pageRows());
                else if (event.key === Qt.Key_PageDown)
                    selectStep(pageRows());
                // The row's two buttons by key, on the selected row: Ctrl+R shows it in the
                // file manager, Ctrl+Return opens it.
                else if (ctrl && event.key === Qt.Key_R && selectedIndex() >= 0)
                    contentView.revealInFinder(selectedIndex());
                else if (ctrl && (event.key === Qt.Key_Return || event.key === Qt.Key_Enter) && selectedIndex() >= 0)
                    contentView.openLibrary(selectedIndex());
                else
                    return;
                event.accepted = true;
            }
            Accessible.role: Accessible.List
            Accessible.name: qsTr("FCPX 资源库")
        }
    }
}

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

            // Up and down move the selection through the rows.
            function selectStep(step) {
                if (count === 0)
                    return;
                let current = -1;
                for (let i = 0; i < count; ++i) {
                    const item = itemAtIndex(i);
                    if (item && item.isSelected) {
                        current = i;
                        break;
                    }
                }
                const next = Math.max(0, Math.min(count - 1, current < 0 ? 0 : current + step));
                positionViewAtIndex(next, ListView.Contain);
                const item = itemAtIndex(next);
                if (item)
                    contentView.selectedBundleID = item.bundleId;
            }
            Keys.onUpPressed: selectStep(-1)
            Keys.onDownPressed: selectStep(1)
        }
    }
}

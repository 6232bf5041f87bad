import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The window's own directory chooser, for sessions without a desktop chooser: the folder
// shown in the path field is what "选择" returns. Double-click or Return goes into a
// folder, a single click picks it, typing a path and Return goes there.
Dialog {
    id: dialog
    objectName: "directoryDialog"

    // The DirectoryBrowser behind the list.
    required property DirectoryBrowser browser
    // Set when the user chose; empty when the dialog was cancelled.
    property string chosenPath: ""

    title: qsTr("选择目录")
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    anchors.centerIn: parent
    width: Math.min(parent.width - 32, 600)
    height: Math.min(parent.height - 32, 460)
    padding: 16
    topPadding: 4

    background: Rectangle {
        radius: 10
        color: Theme.windowBackground
        border.color: Theme.listBorder
    }

    header: Label {
        text: dialog.title
        font.bold: true
        font.pixelSize: 14
        horizontalAlignment: Text.AlignHCenter
        topPadding: 14
        bottomPadding: 8
    }

    // Goes to what the field says; false (and a note under the field) when it is no folder.
    function goToField() {
        const ok = browser.go(pathField.text);
        pathError.visible = !ok;
        return ok;
    }
    // Chooses the folder the field names, if it is one.
    function chooseField() {
        if (goToField()) {
            chosenPath = browser.folder;
            accept();
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.spacing

        RowLayout {
            spacing: Theme.spacing
            Layout.fillWidth: true
            FancyButtonStyle {
                objectName: "directoryUpButton"
                text: qsTr("上一级")
                implicitWidth: 80
                onClicked: {
                    dialog.browser.goUp();
                    pathError.visible = false;
                }
            }
            TextField {
                id: pathField
                objectName: "directoryPathField"
                Layout.fillWidth: true
                text: dialog.browser.folder
                selectByMouse: true
                placeholderText: qsTr("输入路径后按回车")
                Accessible.name: qsTr("路径")
                // Return on a folder chooses it; on anything else the note says why.
                onAccepted: dialog.chooseField()
                KeyNavigation.down: folderList
            }
        }
        Label {
            id: pathError
            objectName: "directoryPathError"
            visible: false
            text: qsTr("%1 不是可以打开的目录。").arg(pathField.text)
            textFormat: Text.PlainText
            color: Theme.errorText
            elide: Text.ElideMiddle
            Layout.fillWidth: true
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: Theme.listBackground
            border.color: Theme.listBorder
            radius: 6

            ListView {
                id: folderList
                objectName: "directoryListView"
                anchors.fill: parent
                anchors.margins: 1
                clip: true
                model: dialog.browser.subfolders
                currentIndex: -1
                activeFocusOnTab: true
                boundsBehavior: Flickable.StopAtBounds
                highlightMoveDuration: 0
                Accessible.role: Accessible.List
                Accessible.name: dialog.browser.folder
                ScrollBar.vertical: ScrollBar {
                    visible: size < 1.0
                }

                // Picking a folder puts its path in the field; nothing else changes.
                function pick(index) {
                    currentIndex = index;
                    if (index >= 0)
                        pathField.text = dialog.browser.pathOf(model[index]);
                }
                Keys.onReturnPressed: {
                    if (currentIndex >= 0)
                        dialog.browser.go(dialog.browser.pathOf(model[currentIndex]));
                }
                Keys.onUpPressed: pick(Math.max(0, currentIndex - 1))
                Keys.onDownPressed: pick(Math.min(count - 1, currentIndex + 1))
                Keys.onPressed: event => {
                    if (event.key === Qt.Key_Backspace) {
                        dialog.browser.goUp();
                        event.accepted = true;
                    }
                }

                delegate: ItemDelegate {
                    required property int index
                    required property string modelData
                    objectName: "directoryEntry:" + modelData
                    width: ListView.view.width
                    text: modelData
                    highlighted: ListView.isCurrentItem
                    focusPolicy: Qt.NoFocus
                    icon.source: "qrc:/qt/qml/Velmora/icons/folder.svg"
                    icon.color: Theme.systemBlue
                    Accessible.role: Accessible.ListItem
                    Accessible.name: modelData
                    Accessible.selectable: true
                    Accessible.selected: highlighted
                    onClicked: folderList.pick(index)
                    onDoubleClicked: dialog.browser.go(dialog.browser.pathOf(modelData))
                }
            }
        }
    }

    footer: RowLayout {
        spacing: 12
        Item {
            Layout.fillWidth: true
        }
        FancyButtonStyle {
            objectName: "directoryCancelButton"
            text: qsTr("取消")
            Layout.bottomMargin: 16
            onClicked: dialog.reject()
        }
        FancyButtonStyle {
            objectName: "directoryChooseButton"
            text: qsTr("选择")
            Layout.bottomMargin: 16
            Layout.rightMargin: 16
            onClicked: dialog.chooseField()
        }
    }

    Connections {
        target: dialog.browser
        function onFolderChanged() {
            pathField.text = dialog.browser.folder;
            folderList.currentIndex = -1;
        }
    }
    onOpened: pathField.forceActiveFocus()
}

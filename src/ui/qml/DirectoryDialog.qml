import QtQuick
import QtQuick.Dialogs

// The chooser behind "选择其他FCPX工程目录": one directory, never files.
FolderDialog {
    objectName: "directoryDialog"
    title: qsTr("选择目录")
    modality: Qt.ApplicationModal
    // The rest of the window speaks Chinese; the dialog's own buttons should too.
    acceptLabel: qsTr("选择")
    rejectLabel: qsTr("取消")
}

import QtQuick
import QtQuick.Dialogs

// The chooser behind "选择其他FCPX工程目录": one directory, never files.
FolderDialog {
    objectName: "directoryDialog"
    title: qsTr("选择目录")
    modality: Qt.ApplicationModal
    // The dialog's own buttons speak the window's language, not only the toolkit's.
    acceptLabel: qsTr("选择")
    rejectLabel: qsTr("取消")
}

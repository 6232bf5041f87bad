import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// What the running cleaning is doing, and how far it has come: the bar starts empty with each
// run and fills with its steps; a run whose steps are not counted yet (the whole-location
// run's search) or not counted at all (one library) shows a moving bar instead.
ColumnLayout {
    objectName: "progressSection"
    spacing: Theme.spacing

    // The text takes the width of the row and centres itself in it, so its room never depends
    // on the width it had before its first text arrived; the stop button keeps the right end.
    RowLayout {
        Layout.fillWidth: true
        spacing: Theme.spacing
        Label {
            objectName: "progressText"
            text: ContentView.progressText
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        // The removal under way finishes, no other starts; the run then ends with its alert.
        FancyButtonStyle {
            objectName: "stopCleaningButton"
            text: qsTr("停止清理")
            enabled: ContentView.canStopCleaning
            onClicked: ContentView.stopCleaning()
        }
    }
    ProgressBar {
        id: bar
        objectName: "progressBar"
        from: 0
        to: 1
        value: ContentView.progressValue
        indeterminate: ContentView.totalTasks <= 0
        Layout.fillWidth: true
        Layout.margins: Theme.spacing

        background: Rectangle {
            implicitWidth: 200
            implicitHeight: 6
            radius: 3
            color: Theme.barTrack
        }
        contentItem: Item {
            implicitHeight: 6
            clip: true
            Rectangle {
                objectName: "progressFill"
                visible: !bar.indeterminate
                width: bar.visualPosition * parent.width
                height: parent.height
                radius: 3
                color: Theme.systemBlue
            }
            // A third of the track sweeping across while the run's size is unknown.
            Rectangle {
                id: sweep
                objectName: "progressSweep"
                visible: bar.indeterminate
                width: parent.width / 3
                height: parent.height
                radius: 3
                color: Theme.systemBlue
                XAnimator on x {
                    from: -sweep.width
                    to: sweep.parent.width
                    duration: 1200
                    loops: Animation.Infinite
                    running: bar.indeterminate && bar.visible
                }
            }
        }
    }
}

import QtQuick

// A thin stacked bar: the whole as a grey run, the four kinds of regenerable data over it in
// their category colours. `fractions` is [whole, render, proxy, optimized, analysis], each a share
// of the full width, computed by the model.
Item {
    id: bar

    property var fractions: [0, 0, 0, 0, 0]
    property string description

    implicitHeight: 4
    Accessible.role: Accessible.Graphic
    Accessible.name: description

    Rectangle {
        objectName: "sizeBarWhole"
        width: bar.width * bar.fractions[0]
        height: bar.height
        radius: height / 2
        color: Theme.barTrack
        clip: true

        Row {
            height: parent.height
            Repeater {
                model: Theme.categoryColors
                delegate: Rectangle {
                    required property int index
                    required property color modelData
                    objectName: "sizeBarPart" + index
                    width: bar.width * bar.fractions[index + 1]
                    height: parent.height
                    color: modelData
                }
            }
        }
    }
}

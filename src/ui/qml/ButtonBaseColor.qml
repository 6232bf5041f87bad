pragma Singleton
import QtQuick

// The one colour both button styles draw with.
QtObject {
    readonly property color value: "#2C3E58"
}

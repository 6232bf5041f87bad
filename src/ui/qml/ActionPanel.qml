import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The six cleaning buttons, in two rows of three (fewer per row in a narrow window). The five
// that act on the selected library are disabled while none is selected, with a hint that
// says so; the whole-location one while the chosen location lists no library.
ColumnLayout {
    id: panel
    objectName: "actionPanel"
    spacing: 12
    Layout.topMargin: 8

    // Three buttons a row while three fit side by side, else as many as fit.
    readonly property real widestButton: Math.max(renderButton.implicitWidth, proxyButton.implicitWidth,
        optimizedButton.implicitWidth, analysisButton.implicitWidth, libraryButton.implicitWidth,
        diskButton.implicitWidth)
    readonly property int columns: width <= 0 ? 3 : Math.max(1, Math.min(3, Math.floor((width + 12) / (widestButton + 12))))

    // "一键清理硬盘" asks first.
    signal cleanAllRequested()

    GridLayout {
        columns: panel.columns
        rowSpacing: 12
        columnSpacing: 12
        FancyButtonStyle {
            id: renderButton
            objectName: "cleanRenderButton"
            text: qsTr("清理渲染缓存")
            enabled: ContentView.canCleanSelected
            Accessible.description: ContentView.cleanHint
            onClicked: ContentView.cleanCategory("render")
        }
        FancyButtonStyle {
            id: proxyButton
            objectName: "cleanProxyButton"
            text: qsTr("清理代理媒体")
            enabled: ContentView.canCleanSelected
            Accessible.description: ContentView.cleanHint
            onClicked: ContentView.cleanCategory("proxy")
        }
        FancyButtonStyle {
            id: optimizedButton
            objectName: "cleanOptimizedButton"
            text: qsTr("清理优化媒体")
            enabled: ContentView.canCleanSelected
            Accessible.description: ContentView.cleanHint
            onClicked: ContentView.cleanCategory("optimized")
        }
        FancyButtonStyle {
            id: analysisButton
            objectName: "cleanAnalysisButton"
            text: qsTr("清理分析缓存")
            enabled: ContentView.canCleanSelected
            Accessible.description: ContentView.cleanHint
            onClicked: ContentView.cleanCategory("analysis")
        }
        FancyButtonStyle {
            id: libraryButton
            objectName: "cleanLibraryButton"
            text: qsTr("一键清理资源库")
            enabled: ContentView.canCleanSelected
            Accessible.description: ContentView.cleanHint
            onClicked: ContentView.cleanSelectedLibrary()
        }
        FancyButtonStyle {
            id: diskButton
            objectName: "cleanDiskButton"
            text: qsTr("一键清理硬盘")
            enabled: ContentView.canCleanLocation
            onClicked: panel.cleanAllRequested()
        }
    }
    Label {
        objectName: "cleanHint"
        // Keeps its line when empty, so the list does not jump as the selection comes and goes.
        // It spans the panel, so the panel takes the column's width, from which the number of
        // buttons a row follows (the buttons alone would hold it to their own width).
        Layout.fillWidth: true
        text: ContentView.cleanHint
        color: Theme.secondaryText
        font.pixelSize: 12
    }
}

import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Velmora

// The six cleaning buttons, in two rows of three. None is ever disabled.
ColumnLayout {
    id: panel
    objectName: "actionPanel"
    spacing: 12
    Layout.topMargin: 8

    // "一键清理硬盘" asks first; without a chosen location it does nothing, as before.
    signal cleanAllRequested()

    RowLayout {
        spacing: 12
        FancyButtonStyle {
            objectName: "cleanRenderButton"
            text: qsTr("清理渲染缓存")
            onClicked: ContentView.cleanCategory("render")
        }
        FancyButtonStyle {
            objectName: "cleanProxyButton"
            text: qsTr("清理代理媒体")
            onClicked: ContentView.cleanCategory("proxy")
        }
        FancyButtonStyle {
            objectName: "cleanOptimizedButton"
            text: qsTr("清理优化媒体")
            onClicked: ContentView.cleanCategory("optimized")
        }
    }
    RowLayout {
        spacing: 12
        FancyButtonStyle {
            objectName: "cleanAnalysisButton"
            text: qsTr("清理分析缓存")
            onClicked: ContentView.cleanCategory("analysis")
        }
        FancyButtonStyle {
            objectName: "cleanLibraryButton"
            text: qsTr("一键清理资源库")
            onClicked: ContentView.cleanSelectedLibrary()
        }
        FancyButtonStyle {
            objectName: "cleanDiskButton"
            text: qsTr("一键清理硬盘")
            onClicked: {
                if (ContentView.selectedPath.length > 0)
                    panel.cleanAllRequested();
            }
        }
    }
}

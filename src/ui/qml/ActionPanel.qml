import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

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
            onClicked: contentView.cleanCategory("render")
        }
        FancyButtonStyle {
            objectName: "cleanProxyButton"
            text: qsTr("清理代理媒体")
            onClicked: contentView.cleanCategory("proxy")
        }
        FancyButtonStyle {
            objectName: "cleanOptimizedButton"
            text: qsTr("清理优化媒体")
            onClicked: contentView.cleanCategory("optimized")
        }
    }
    RowLayout {
        spacing: 12
        FancyButtonStyle {
            objectName: "cleanAnalysisButton"
            text: qsTr("清理分析缓存")
            onClicked: contentView.cleanCategory("analysis")
        }
        FancyButtonStyle {
            objectName: "cleanLibraryButton"
            text: qsTr("一键清理资源库")
            onClicked: contentView.cleanSelectedLibrary()
        }
        FancyButtonStyle {
            objectName: "cleanDiskButton"
            text: qsTr("一键清理硬盘")
            onClicked: {
                if (contentView.selectedPath.length > 0)
                    panel.cleanAllRequested();
            }
        }
    }
}

import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// Mirrors the selected model along one axis.
PageFrame {
    id: page
    objectName: "flipPage"
    title: qsTr("Flip")
    width: 230
    property TransformController transformTool
    property PanelState panel

    Row {
        spacing: 8
        Button { objectName: "flipX"; text: "X"; width: 60; onClicked: page.transformTool.flip(1) }
        Button { objectName: "flipY"; text: "Y"; width: 60; onClicked: page.transformTool.flip(2) }
        Button {
            objectName: "flipZ"
            text: "Z"
            width: 60
            enabled: page.panel.flipZEnabled
            onClicked: page.transformTool.flip(3)
        }
    }
}

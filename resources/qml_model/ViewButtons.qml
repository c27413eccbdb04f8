import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// Zoom and camera presets, over the top right of the 3D view.
Row {
    id: buttons
    property SceneCamera camera
    spacing: 2

    Repeater {
        model: [
            { name: "zoomPlus", tip: qsTr("Zoom in"), icon: "zoom_in" },
            { name: "zoomMinus", tip: qsTr("Zoom out"), icon: "zoom_out" },
            { name: "viewLeft", tip: qsTr("Left"), icon: "view_left" },
            { name: "viewTop", tip: qsTr("Top"), icon: "view_top" },
            { name: "viewHome", tip: qsTr("Home"), icon: "view_home" },
            { name: "viewFront", tip: qsTr("Front"), icon: "view_front" },
            { name: "viewRight", tip: qsTr("Right"), icon: "view_right" }
        ]
        delegate: IconButton {
            objectName: modelData.name
            tooltip: modelData.tip
            icon: "qrc:/images/" + modelData.icon + ".svg"
            width: 40
            height: 40
            iconSize: 24
            baseColor: "#F0F0F2"
            hoverColor: "#D8D8DE"
            onClicked: {
                switch (modelData.name) {
                // "+" makes the picture grow.
                case "zoomPlus": buttons.camera.zoomOut(); break
                case "zoomMinus": buttons.camera.zoomIn(); break
                case "viewLeft": buttons.camera.resetViewLeft(); break
                case "viewTop": buttons.camera.resetViewTop(); break
                case "viewHome": buttons.camera.resetViewPrj(); break
                case "viewFront": buttons.camera.resetViewFront(); break
                case "viewRight": buttons.camera.resetViewRight(); break
                }
            }
        }
    }
}

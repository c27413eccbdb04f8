import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// Sizes and volume of the selected model.
PageFrame {
    id: page
    objectName: "infoPage"
    title: qsTr("Info")
    property SceneObjects scene

    Grid {
        columns: 3
        columnSpacing: 10
        rowSpacing: 8
        Label { text: "X" }
        Label { objectName: "infoX"; text: page.scene.selectedSizeMm.x.toFixed(2); font.bold: true }
        Label { text: "mm"; color: "#606068" }
        Label { text: "Y" }
        Label { objectName: "infoY"; text: page.scene.selectedSizeMm.y.toFixed(2); font.bold: true }
        Label { text: "mm"; color: "#606068" }
        Label { text: "Z" }
        Label { objectName: "infoZ"; text: page.scene.selectedSizeMm.z.toFixed(2); font.bold: true }
        Label { text: "mm"; color: "#606068" }
        Label { text: qsTr("Volume") }
        Label {
            objectName: "infoVolume"
            text: page.scene.selectedVolumeMl.toFixed(2)
            font.bold: true
        }
        Label { text: "mL"; color: "#606068" }
    }
}

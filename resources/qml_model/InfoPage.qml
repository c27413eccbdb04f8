import QtQuick 2.9
import QtQuick.Controls 1.4

// Sizes and volume of the selected model.
PageFrame {
    id: page
    objectName: "infoPage"
    title: qsTr("Info")
    property var workspace
    property var info: ["0.00", "0.00", "0.00", "0.00"]

    function refresh() {
        info = workspace.getSelectedModelInfo()
    }
    onVisibleChanged: if (visible) refresh()
    // Made when first opened: it opens visible.
    Component.onCompleted: if (visible) refresh()

    Connections {
        target: page.workspace
        function onModelSelectionChanged(index) { if (page.visible) page.refresh() }
        function onQuorModelDataChanged() { if (page.visible) page.refresh() }
    }

    Grid {
        columns: 3
        columnSpacing: 10
        rowSpacing: 8
        Label { text: "X" }
        Label { objectName: "infoX"; text: page.info[0]; font.bold: true }
        Label { text: "mm"; color: "#606068" }
        Label { text: "Y" }
        Label { objectName: "infoY"; text: page.info[1]; font.bold: true }
        Label { text: "mm"; color: "#606068" }
        Label { text: "Z" }
        Label { objectName: "infoZ"; text: page.info[2]; font.bold: true }
        Label { text: "mm"; color: "#606068" }
        Label { text: qsTr("Volume") }
        Label { objectName: "infoVolume"; text: page.info[3]; font.bold: true }
        Label { text: "mL"; color: "#606068" }
    }
}

import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// The information bar along the bottom: the job settings, the volume and the layer count.
Rectangle {
    id: bar
    property SceneObjects scene
    property LayerPreview preview
    property IslandController islands
    signal configRequested()
    height: 34
    color: "#E8E8EC"
    border.color: "#C8C8D0"

    Row {
        id: infoRow
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8
        Label { text: qsTr("Slice Config"); anchors.verticalCenter: parent.verticalCenter }
        Button {
            objectName: "sliceConfigButton"
            // The printer model and the layer thickness, "H310, 0.05mm".
            text: quor3dConfig.sliceDescription
            activeFocusOnPress: false
            onClicked: bar.configRequested()
        }
        Item { width: 16; height: 1 }
        Label { text: qsTr("Volume"); anchors.verticalCenter: parent.verticalCenter }
        Label {
            objectName: "volumeLabel"
            text: bar.scene.totalVolumeMl.toFixed(2) + " mL"
            font.bold: true
            anchors.verticalCenter: parent.verticalCenter
        }
        Item { width: 16; height: 1 }
        Label { text: qsTr("Layers"); anchors.verticalCenter: parent.verticalCenter }
        Label {
            objectName: "layersLabel"
            text: bar.preview.sceneLayerCount
            font.bold: true
            anchors.verticalCenter: parent.verticalCenter
        }
        Item { width: 16; height: 1 }
        // Only an answer about the scene as it is now is a number: after an edit the old one
        // is withdrawn until the new one arrives.
        Label {
            objectName: "islandsLabel"
            readonly property bool current: bar.islands.state === IslandController.Current
            text: qsTr("Islands %1").arg(current ? bar.islands.count
                       : bar.islands.state === IslandController.Failed ? "!"
                       : bar.islands.state === IslandController.Stopped ? "–" : "…")
            color: (current && bar.islands.count > 0) || !current && bar.islands.error !== ""
                   ? "#D01818" : "black"
            font.bold: true
            anchors.verticalCenter: parent.verticalCenter
        }
        // Plain rectangles: a styled progress bar animates, and an idle window draws nothing.
        Rectangle {
            objectName: "islandsProgress"
            visible: bar.islands.running
            width: 48
            height: 6
            color: "#C8C8D0"
            anchors.verticalCenter: parent.verticalCenter
            Rectangle {
                width: parent.width * bar.islands.progress
                height: parent.height
                color: "#3090E0"
            }
        }
        Label {
            objectName: "islandsError"
            visible: text !== ""
            text: bar.islands.error
            color: "#D01818"
            width: Math.min(implicitWidth, 260)
            elide: Text.ElideRight
            anchors.verticalCenter: parent.verticalCenter
        }
    }

    Text {
        objectName: "noticeLabel"
        anchors.left: infoRow.right
        anchors.leftMargin: 24
        anchors.right: parent.right
        anchors.rightMargin: 12
        // A narrow window cuts the tips from the left and keeps the links whole.
        horizontalAlignment: Text.AlignRight
        clip: true
        anchors.verticalCenter: parent.verticalCenter
        textFormat: Text.RichText
        text: quor3dApp.noticeText()
        onLinkActivated: quor3dApp.openLink(link)
        MouseArea { // the hand over links
            anchors.fill: parent
            acceptedButtons: Qt.NoButton
            cursorShape: parent.hoveredLink ? Qt.PointingHandCursor : Qt.ArrowCursor
        }
    }
}

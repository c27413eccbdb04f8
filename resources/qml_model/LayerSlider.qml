import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// The layer preview: a vertical slider over the layers, enabled by "show 3D slice".
Column {
    id: layers
    property LayerPreview preview
    property PanelState panel
    property IslandController islands
    property alias slider: slider
    property alias showSlice: showSlice
    spacing: 8

    Item {
        width: 60
        height: 360
        // Behind the slider, wider than its groove: the handle covers the tick it stands on.
        IslandTicks {
            objectName: "islandTicks"
            anchors.horizontalCenter: parent.horizontalCenter
            width: 26
            height: parent.height
            controller: layers.islands
            // Before the preview is entered the slider has no range yet: the analysis's layers.
            lastLayer: slider.maximumValue > 0 ? slider.maximumValue : layers.islands.layerCount - 1
            insetPx: 10
        }
        Slider {
            id: slider
            objectName: "layerSlider"
            anchors.horizontalCenter: parent.horizontalCenter
            height: parent.height
            orientation: Qt.Vertical
            minimumValue: 0
            // The layers counted when the preview was entered.
            maximumValue: Math.max(0, layers.preview.layerCount - 1)
            stepSize: 1
            activeFocusOnPress: false
            enabled: layers.panel.showSliceEnabled && showSlice.checked
            // Whenever it is switched on or off it starts again from the bottom.
            onEnabledChanged: value = minimumValue
            onValueChanged: {
                if (enabled && showSlice.checked)
                    layers.preview.setCurrentLayer(value)
            }
        }
        Rectangle {
            objectName: "layerTip"
            visible: slider.enabled
            color: "#404048"
            radius: 3
            width: tipText.width + 10
            height: tipText.height + 6
            anchors.right: slider.left
            anchors.rightMargin: 2
            y: (slider.height - 20) * (1 - (slider.value - slider.minimumValue)
                                        / Math.max(1, slider.maximumValue - slider.minimumValue))
            Label {
                id: tipText
                anchors.centerIn: parent
                text: slider.value.toFixed(0)
                color: "white"
            }
        }
    }
    CheckBox {
        id: showSlice
        objectName: "showSliceBox"
        text: qsTr("show 3D slice")
        enabled: layers.panel.showSliceEnabled
        activeFocusOnPress: false
        // The workspace decides whether the preview is on.
        onClicked: checked = layers.preview.setShowSliceEnable(checked)
    }
}

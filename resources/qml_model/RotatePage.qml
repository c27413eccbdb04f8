import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// Turns the selected model about its centre, or to its lowest height.
PageFrame {
    id: page
    objectName: "rotatePage"
    title: qsTr("Rotate")
    width: 380
    property var workspace
    property var panel
    property bool resetting: false

    function refresh() {
        workspace.startNewTransform(DoItem.DO_T_ROTATE)
        setFields(0, 0, 0)
    }
    function setFields(x, y, z) {
        resetting = true
        fieldX.value = x
        fieldY.value = y
        fieldZ.value = z
        resetting = false
    }
    function apply() {
        if (!resetting)
            workspace.setSelectedModelRotate(fieldX.value, fieldY.value, fieldZ.value)
    }
    // The model already lies as the search left it: the fields only show the angles.
    function showLowest(result) {
        setFields(Number(result[0]), Number(result[1]), fieldZ.value)
    }
    onVisibleChanged: if (visible) refresh()
    // Made when first opened: it opens visible.
    Component.onCompleted: if (visible) refresh()

    Connections {
        target: page.workspace
        function onModelSelectionChanged(index) { if (page.visible) page.refresh() }
    }

    Column {
        spacing: 8
        Row {
            spacing: 6
            NumberField {
                id: fieldX
                objectName: "rotateX"
                label: "X"; unit: "°"; labelWidth: 14
                minimumValue: -180; maximumValue: 180; stepSize: 1; decimals: 2
                enabled: page.panel.rotateXYEnabled
                box.onValueChanged: page.apply()
            }
            TurnButtons { field: fieldX; name: "rotateX" }
        }
        Row {
            spacing: 6
            NumberField {
                id: fieldY
                objectName: "rotateY"
                label: "Y"; unit: "°"; labelWidth: 14
                minimumValue: -180; maximumValue: 180; stepSize: 1; decimals: 2
                enabled: page.panel.rotateXYEnabled
                box.onValueChanged: page.apply()
            }
            TurnButtons { field: fieldY; name: "rotateY" }
        }
        Row {
            spacing: 6
            NumberField {
                id: fieldZ
                objectName: "rotateZ"
                label: "Z"; unit: "°"; labelWidth: 14
                minimumValue: -180; maximumValue: 180; stepSize: 1; decimals: 2
                // With supports the model may turn about z only while upright.
                enabled: {
                    page.panel.haveSupports
                    return page.panel.rotateZEnabled(fieldX.value, fieldY.value)
                }
                box.onValueChanged: page.apply()
            }
            TurnButtons { field: fieldZ; name: "rotateZ" }
        }
        Row {
            spacing: 8
            Button {
                objectName: "rotateCurrentToLowest"
                text: qsTr("Rotate current to lowest")
                enabled: page.panel.rotateToLowestEnabled
                onClicked: {
                    if (page.workspace.isSelectedModel())
                        page.showLowest(page.workspace.rotateSelectedToLowest())
                }
            }
            Button {
                objectName: "rotateAllToLowest"
                text: qsTr("Rotate all to lowest")
                enabled: page.panel.rotateToLowestEnabled
                onClicked: page.showLowest(page.workspace.rotateAllToLowest())
            }
        }
        Button {
            objectName: "rotateReset"
            text: qsTr("Reset")
            onClicked: {
                page.setFields(0, 0, 0)
                page.apply()
            }
        }
    }
}

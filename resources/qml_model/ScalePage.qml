import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// Scales the selected model; with "Scale All" the three factors stay equal.
PageFrame {
    id: page
    objectName: "scalePage"
    title: qsTr("Scale")
    property var workspace
    property bool resetting: false

    function refresh() {
        workspace.startNewTransform(DoItem.DO_T_SCALE)
        scaleAll.checked = true
        setFields(1, 1, 1)
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
            workspace.setSelectedModelScale(fieldX.value, fieldY.value, fieldZ.value)
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
        NumberField {
            id: fieldX
            objectName: "scaleX"
            label: "X"
            minimumValue: -100; maximumValue: 100; stepSize: 0.1; decimals: 3
            box.onValueChanged: {
                if (scaleAll.checked && !page.resetting) {
                    page.setFields(value, value, value)
                }
                page.apply()
            }
        }
        NumberField {
            id: fieldY
            objectName: "scaleY"
            label: "Y"
            minimumValue: -100; maximumValue: 100; stepSize: 0.1; decimals: 3
            enabled: !scaleAll.checked
            box.onValueChanged: page.apply()
        }
        NumberField {
            id: fieldZ
            objectName: "scaleZ"
            label: "Z"
            minimumValue: -100; maximumValue: 100; stepSize: 0.1; decimals: 3
            enabled: !scaleAll.checked
            box.onValueChanged: page.apply()
        }
        Row {
            spacing: 12
            CheckBox {
                id: scaleAll
                objectName: "scaleAll"
                text: qsTr("Scale All")
                checked: true
                onClicked: {
                    if (checked) {
                        page.setFields(fieldX.value, fieldX.value, fieldX.value)
                        page.apply()
                    }
                }
            }
            Button {
                objectName: "scaleReset"
                text: qsTr("Reset")
                onClicked: {
                    page.setFields(1, 1, 1)
                    page.apply()
                }
            }
        }
    }
}

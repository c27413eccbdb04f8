import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// Moves the selected model by the typed offsets, as one undo step per selection.
PageFrame {
    id: page
    objectName: "movePage"
    title: qsTr("Move")
    property var workspace
    property var panel
    property bool resetting: false

    function refresh() {
        workspace.startNewTransform(DoItem.DO_T_TRANSLATE)
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
            workspace.setSelectedModelTranslate(fieldX.value, fieldY.value, fieldZ.value)
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
            objectName: "moveX"
            label: "X"; unit: "mm"
            minimumValue: -1000; maximumValue: 1000; stepSize: 1; decimals: 3
            box.onValueChanged: page.apply()
        }
        NumberField {
            id: fieldY
            objectName: "moveY"
            label: "Y"; unit: "mm"
            minimumValue: -1000; maximumValue: 1000; stepSize: 1; decimals: 3
            box.onValueChanged: page.apply()
        }
        NumberField {
            id: fieldZ
            objectName: "moveZ"
            label: "Z"; unit: "mm"
            minimumValue: -1000; maximumValue: 1000; stepSize: 1; decimals: 3
            enabled: page.panel.moveZEnabled
            box.onValueChanged: page.apply()
        }
        Row {
            spacing: 8
            Button {
                objectName: "dockToBottom"
                text: qsTr("Dock to bottom")
                enabled: page.panel.moveZEnabled
                onClicked: fieldZ.value = page.workspace.moveToBottom()
            }
            Button {
                objectName: "moveReset"
                text: qsTr("Reset")
                onClicked: {
                    page.setFields(0, 0, 0)
                    page.apply()
                }
            }
        }
    }
}

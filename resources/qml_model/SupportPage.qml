import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// Supports for the selected model (or all models): a base, automatic pillars, pillars placed
// by clicking, and the pillar sizes.
PageFrame {
    id: page
    objectName: "supportPage"
    title: qsTr("Support")
    width: 330
    property SupportController supports
    property JobController jobs
    property PanelState panel
    property bool loaded: false

    // The size fields start from the current parameters.
    Component.onCompleted: {
        headTop.value = supportConfig.headTopRadius()
        headBottom.value = supportConfig.headBottomRadius()
        headHeight.value = supportConfig.headHeight()
        loaded = true
    }

    // Leaving the page leaves manual adding.
    onVisibleChanged: {
        if (!visible && manual.checked) {
            manual.checked = false
            supports.setManualAddingSupport(false)
        }
    }
    Connections {
        target: page.supports
        // Escape and Ctrl+C in the view leave manual adding too.
        function onManualAddingSupportChanged() { manual.checked = page.supports.manualAddingSupport }
    }

    Column {
        spacing: 8
        NumberField {
            id: thickness
            objectName: "baseThickness"
            label: qsTr("Thickness:"); unit: "mm"; labelWidth: 80
            minimumValue: settingRanges["base"].min; maximumValue: settingRanges["base"].max; stepSize: 0.5; decimals: 1
            value: 1
        }
        Button {
            objectName: "addSupportBase"
            text: qsTr("Add+Update Support")
            enabled: page.panel.supportBaseEnabled
            onClicked: page.supports.addSupportBase(thickness.value)
        }
        Button {
            objectName: "addSupportAuto"
            text: qsTr("Add support auto smart")
            enabled: page.panel.autoSupportEnabled
            onClicked: page.jobs.addSupportAuto(thickness.value)
        }
        CheckBox {
            id: manual
            objectName: "addSupportManually"
            text: qsTr("Add support manually")
            enabled: page.panel.manualSupportEnabled
            onClicked: page.supports.setManualAddingSupport(checked)
        }
        Button {
            objectName: "removeAllSupports"
            text: qsTr("Remove all supports")
            enabled: page.panel.removeSupportsEnabled && !manual.checked
            onClicked: page.supports.removeAllSupportsOfSelectedModel()
        }
        Label { text: qsTr("Radius:"); font.bold: true }
        NumberField {
            id: headTop
            objectName: "headTop"
            label: qsTr("Head top:"); unit: "mm"; labelWidth: 90
            minimumValue: 0.2; maximumValue: 3; stepSize: 0.1; decimals: 1
            box.onValueChanged: {
                if (!page.loaded)
                    return
                supportConfig.setHeadTopRadius(value)
                // The head always widens downwards.
                headBottom.value = value + 0.1
            }
        }
        NumberField {
            id: headBottom
            objectName: "headBottom"
            label: qsTr("Head bottom:"); unit: "mm"; labelWidth: 90
            minimumValue: 0.3; maximumValue: 3; stepSize: 0.2; decimals: 1
            box.onValueChanged: if (page.loaded) supportConfig.setHeadBottomRadius(value)
        }
        Label { text: qsTr("Height:"); font.bold: true }
        NumberField {
            id: headHeight
            objectName: "headHeight"
            label: qsTr("Head:"); unit: "mm"; labelWidth: 90
            minimumValue: 0.2; maximumValue: 10; stepSize: 0.2; decimals: 1
            box.onValueChanged: if (page.loaded) supportConfig.setHeadHeight(value)
        }
    }
}

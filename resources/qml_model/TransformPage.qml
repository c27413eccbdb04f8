import QtQuick 2.9
import QtQuick.Controls 1.4
import QtQml 2.15
import Quor3D 1.0

// The page of one kind of step on the selected model (move, scale or rotate): three fields
// bound to the open step's x, y and z, the page's own buttons, and Reset. While it shows, the
// step it edits is open; every new selection opens the next one.
PageFrame {
    id: page
    objectName: name + "Page"
    property TransformController transformTool
    property PanelState panel
    // DoItem's type of the step, and the prefix of the fields' object names.
    property int kind: DoItem.DO_T_TRANSLATE
    property string name: "move"
    property string unit: ""
    property real minimumValue: -1000
    property real maximumValue: 1000
    property real stepSize: 1
    property int decimals: 3
    // "+ 90°" and "- 90°" beside each field.
    property bool turnButtons: false
    property var axisEnabled: [true, true, true]
    // X sets all three (scale all).
    property bool uniform: false
    // The page's own buttons, between the fields and Reset.
    default property alias actions: actionRow.data
    readonly property bool active: visible && transformTool.mode === kind
    readonly property var values: [transformTool.x, transformTool.y, transformTool.z]

    onVisibleChanged: visible ? transformTool.begin(kind) : transformTool.end(kind)
    // Made when first opened: it opens visible.
    Component.onCompleted: if (visible) transformTool.begin(kind)

    // A value the person typed, for the axis (0, 1, 2) of the open step.
    function write(axis, value) {
        if (!active)
            return
        if (uniform && axis === 0)
            transformTool.setValues(value, value, value)
        else if (axis === 0)
            transformTool.x = value
        else if (axis === 1)
            transformTool.y = value
        else
            transformTool.z = value
    }

    Column {
        spacing: 8
        Repeater {
            model: ["X", "Y", "Z"]
            delegate: Row {
                spacing: 6
                NumberField {
                    id: field
                    objectName: page.name + modelData
                    label: modelData
                    unit: page.unit
                    labelWidth: page.turnButtons ? 14 : 40
                    minimumValue: page.minimumValue
                    maximumValue: page.maximumValue
                    stepSize: page.stepSize
                    decimals: page.decimals
                    enabled: page.axisEnabled[index]
                    box.onValueChanged: page.write(index, value)
                    Binding {
                        target: field
                        property: "value"
                        value: page.values[index]
                        when: page.active
                        // A page left alone keeps the values it showed.
                        restoreMode: Binding.RestoreNone
                    }
                }
                TurnButtons {
                    visible: page.turnButtons
                    field: field
                    name: field.objectName
                }
            }
        }
        Flow {
            id: actionRow
            width: page.width - 24
            spacing: 8
        }
        Button {
            objectName: page.name + "Reset"
            text: qsTr("Reset")
            onClicked: page.transformTool.reset()
        }
    }
}

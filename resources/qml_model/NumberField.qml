import QtQuick 2.9
import QtQuick.Controls 1.4

// A labelled number field with its unit.
Row {
    id: field
    property alias label: caption.text
    property alias unit: unitLabel.text
    property alias box: spin
    property alias value: spin.value
    property alias minimumValue: spin.minimumValue
    property alias maximumValue: spin.maximumValue
    property alias stepSize: spin.stepSize
    property alias decimals: spin.decimals
    property int labelWidth: 40
    spacing: 6

    Label {
        id: caption
        width: field.labelWidth
        anchors.verticalCenter: parent.verticalCenter
    }
    SpinBox {
        id: spin
        objectName: field.objectName + "Box"
        width: 110
        enabled: field.enabled
    }
    Label {
        id: unitLabel
        anchors.verticalCenter: parent.verticalCenter
        color: "#606068"
    }
}

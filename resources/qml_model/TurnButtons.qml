import QtQuick 2.9
import QtQuick.Controls 1.4

// "+ 90°" and "- 90°" beside a rotation field.
Row {
    id: buttons
    property NumberField field
    property string name
    spacing: 4
    Button {
        objectName: buttons.name + "Plus90"
        text: "+ 90°"
        width: 54
        enabled: buttons.field.enabled
        onClicked: buttons.field.value = buttons.field.value + 90
    }
    Button {
        objectName: buttons.name + "Minus90"
        text: "- 90°"
        width: 54
        enabled: buttons.field.enabled
        onClicked: buttons.field.value = buttons.field.value - 90
    }
}

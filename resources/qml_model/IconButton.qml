import QtQuick 2.9
import QtQuick.Controls 1.4
import QtQuick.Controls.Styles 1.4

// A square button that shows an icon; its text is its tool tip.
Button {
    id: control
    property string icon: ""
    property color hoverColor: "#55555F"
    property color checkedColor: "#00A0EA"
    property color baseColor: "transparent"
    property int iconSize: 32
    implicitWidth: 60
    implicitHeight: 60
    activeFocusOnPress: false

    style: ButtonStyle {
        background: Rectangle {
            color: control.checked ? control.checkedColor
                                   : (control.hovered && control.enabled ? control.hoverColor
                                                                         : control.baseColor)
            radius: 3
        }
        label: Item {
            Image {
                anchors.centerIn: parent
                source: control.icon
                sourceSize.width: control.iconSize
                sourceSize.height: control.iconSize
                width: control.iconSize
                height: control.iconSize
                // The current page's button is disabled but shows as current, at full strength.
                opacity: control.enabled || control.checked ? 1.0 : 0.3
            }
        }
    }
}

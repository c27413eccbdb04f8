import QtQuick 2.9
import QtQuick.Controls 1.4

// The drop-down menu under the title bar's menu button. Any press outside it closes it.
Item {
    id: menu
    property alias open: catcher.visible
    // The entry's id, whatever its translated text.
    signal chosen(string action)
    anchors.fill: parent
    z: 1000

    MouseArea {
        id: catcher
        objectName: "menuCatcher"
        anchors.fill: parent
        visible: false
        acceptedButtons: Qt.AllButtons
        onPressed: menu.open = false
        onWheel: menu.open = false

        Rectangle {
            id: box
            objectName: "dropDownMenu"
            width: 150
            height: entries.height + 8
            anchors.right: parent.right
            anchors.rightMargin: 6
            y: 2 // just under the title bar
            color: "white"
            border.color: "#B8B8C0"
            radius: 3

            MouseArea { // presses on the menu stay in it
                anchors.fill: parent
            }

            Column {
                id: entries
                y: 4
                width: parent.width
                Repeater {
                    model: [
                        { action: "open", text: qsTr("Open"), name: "menuOpen" },
                        { action: "save", text: qsTr("&Save"), name: "menuSave" },
                        { action: "saveAs", text: qsTr("Save &As..."), name: "menuSaveAs" },
                        { action: "slice", text: qsTr("Slice..."), name: "menuSlice" },
                        { action: "exit", text: qsTr("Exit"), name: "menuExit" }
                    ]
                    delegate: Rectangle {
                        objectName: modelData.name
                        width: entries.width
                        height: 30
                        color: hover.containsMouse ? "#E4F4FC" : "transparent"
                        Label {
                            anchors.left: parent.left
                            anchors.leftMargin: 12
                            anchors.verticalCenter: parent.verticalCenter
                            textFormat: Text.StyledText
                            // The mnemonic letter is underlined, as in any menu.
                            text: modelData.text.replace(/&(.)/, "<u>$1</u>")
                        }
                        MouseArea {
                            id: hover
                            anchors.fill: parent
                            hoverEnabled: true
                            onClicked: {
                                menu.open = false
                                menu.chosen(modelData.action)
                            }
                        }
                    }
                }
            }
        }
    }
}

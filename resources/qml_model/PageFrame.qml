import QtQuick 2.9
import QtQuick.Controls 1.4

// The floating frame of a model page, beside the tool button that opens it.
Rectangle {
    id: frame
    property string title: ""
    default property alias content: body.data
    width: 300
    height: header.height + body.childrenRect.height + 24
    color: "#F7F7F9"
    border.color: "#B8B8C0"
    radius: 4
    visible: false

    // Presses on the frame stay here instead of reaching the 3D view below.
    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.AllButtons
        onWheel: wheel.accepted = true
    }

    Rectangle {
        id: header
        width: parent.width
        height: 30
        radius: 4
        color: "#404048"
        Rectangle { // square lower corners
            anchors.bottom: parent.bottom
            width: parent.width
            height: 4
            color: parent.color
        }
        Label {
            anchors.verticalCenter: parent.verticalCenter
            anchors.left: parent.left
            anchors.leftMargin: 12
            text: frame.title
            color: "white"
            font.bold: true
        }
    }

    Item {
        id: body
        anchors.top: header.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: 12
        height: childrenRect.height
    }
}

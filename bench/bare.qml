import QtQuick 2.9
import QtQuick.Window 2.3
import Quor3D 1.0

// The smallest window the program could show: the 3D view only (start-up makes the workspace).
Window {
    visible: true
    width: 1280
    height: 800
    color: "transparent"

    Quor3DScene {
        objectName: "Quor3DScene"
        anchors.fill: parent
    }
}

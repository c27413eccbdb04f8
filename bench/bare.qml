import QtQuick 2.9
import QtQuick.Window 2.3
import Quor3D 1.0

// The smallest window the program could show: the workspace and the 3D view only.
Window {
    visible: true
    width: 1280
    height: 800
    color: "transparent"

    QuorModel {
        id: quor3dModel
    }

    Quor3DScene {
        objectName: "Quor3DScene"
        anchors.fill: parent
    }
}

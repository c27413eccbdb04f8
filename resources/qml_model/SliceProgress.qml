import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// The progress of a slicing job or of automatic supports, across the bottom of the view.
Rectangle {
    id: progress
    property PanelState panel
    objectName: "sliceProgress"
    height: 80
    color: "#F0404048"
    visible: panel.progressVisible

    MouseArea { // the view below is not to be touched through it
        anchors.fill: parent
        acceptedButtons: Qt.AllButtons
    }

    ProgressBar {
        id: bar
        objectName: "progressBar"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 14
        minimumValue: 0
        maximumValue: 1
        value: progress.panel.progressValue
    }
    Label {
        objectName: "progressPrompt"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: bar.bottom
        anchors.topMargin: 10
        text: progress.panel.progressPrompt
        color: "white"
        font.pointSize: 11
    }
}

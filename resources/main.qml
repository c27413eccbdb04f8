import QtQuick 2.9
import QtQuick.Controls 1.4
import QtQuick.Layouts 1.3
import QtQuick.Window 2.3
import QtQuick.Dialogs 1.2
import QtQuick.Controls.Styles 1.4
import Qt.labs.settings 1.0
import Quor3D 1.0

ApplicationWindow {
    id: mainWindow
    visible: true
    width: 1280
    height: 800
    minimumWidth: 1024
    minimumHeight: 800
    // The 3D view draws under everything; an opaque window background would hide it.
    color: "transparent"
    title: quor3dConfig.appName() + " v" + quor3dApp.version() + " " + quor3dApp.bitInfo()

    QuorModel {
        id: quor3dModel
        onShowAlert: {
            alertDialog.text = msg
            alertDialog.open()
        }
    }

    DoItem {}

    Quor3DScene {
        id: scene3d
        objectName: "Quor3DScene"
        anchors.fill: parent
        focus: true

        MouseArea {
            id: viewMouse
            objectName: "viewMouseArea"
            anchors.fill: parent
            acceptedButtons: Qt.LeftButton | Qt.RightButton
            cursorShape: quor3dModel.manualAddingSupport ? Qt.CrossCursor : Qt.ArrowCursor
            onPressed: scene3d.mousePressed(mouse.button, mouse.x, mouse.y)
            onPositionChanged: scene3d.mouseMoved(mouse.buttons, mouse.x, mouse.y)
            onReleased: scene3d.mouseReleased(mouse.button, mouse.x, mouse.y, mouse.modifiers)
            onWheel: scene3d.wheel(wheel.angleDelta.x, wheel.angleDelta.y)
        }

        Keys.onPressed: {
            var action = scene3d.keyPressed(event.key, event.modifiers)
            if (action === "confirmDelete")
                confirmDeleteDialog.open()
            event.accepted = action !== "" || event.key === Qt.Key_Delete
        }
    }

    MessageDialog {
        id: alertDialog
        objectName: "alertDialog"
        title: quor3dConfig.appName()
        icon: StandardIcon.Warning
    }

    MessageDialog {
        id: confirmDeleteDialog
        objectName: "confirmDeleteDialog"
        title: quor3dConfig.appName()
        icon: StandardIcon.Question
        text: qsTr("Are you sure you want to delete the currently selected model and all its support?")
        standardButtons: StandardButton.Ok | StandardButton.Cancel
        onAccepted: quor3dModel.deleteSelectedModel()
    }

    Settings {
        property alias width: mainWindow.width
        property alias height: mainWindow.height
    }
}

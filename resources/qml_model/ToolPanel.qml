import QtQuick 2.9
import QtQuick.Controls 1.4

// The left tool panel and the pages its buttons open beside it.
Rectangle {
    id: tools
    property var workspace
    property var panel
    property Item scene
    property string currentPage: ""
    signal sliceRequested()
    width: 64
    height: column.height + 16
    color: "#404048"
    radius: 4

    function toggle(name) {
        currentPage = currentPage === name ? "" : name
    }
    // A button that becomes disabled hides its page and hands the keys back to the view.
    function disabled(name) {
        if (currentPage === name)
            currentPage = ""
        scene.forceActiveFocus()
    }

    Column {
        id: column
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 8
        spacing: 2

        IconButton {
            id: infoButton
            objectName: "infoButton"
            tooltip: qsTr("Info")
            icon: "qrc:/images/info.svg"
            enabled: tools.panel.infoEnabled
            checked: tools.currentPage === "info"
            onClicked: tools.toggle("info")
            onEnabledChanged: if (!enabled) tools.disabled("info")
        }
        IconButton {
            id: moveButton
            objectName: "moveButton"
            tooltip: qsTr("Move")
            icon: "qrc:/images/move.svg"
            enabled: tools.panel.moveEnabled
            checked: tools.currentPage === "move"
            onClicked: tools.toggle("move")
            onEnabledChanged: if (!enabled) tools.disabled("move")
        }
        IconButton {
            id: scaleButton
            objectName: "scaleButton"
            tooltip: qsTr("Scale")
            icon: "qrc:/images/scale.svg"
            enabled: tools.panel.scaleEnabled
            checked: tools.currentPage === "scale"
            onClicked: tools.toggle("scale")
            onEnabledChanged: if (!enabled) tools.disabled("scale")
        }
        IconButton {
            id: rotateButton
            objectName: "rotateButton"
            tooltip: qsTr("Rotate")
            icon: "qrc:/images/rotate.svg"
            enabled: tools.panel.rotateEnabled
            checked: tools.currentPage === "rotate"
            onClicked: tools.toggle("rotate")
            onEnabledChanged: if (!enabled) tools.disabled("rotate")
        }
        IconButton {
            id: flipButton
            objectName: "flipButton"
            tooltip: qsTr("Flip")
            icon: "qrc:/images/flip.svg"
            enabled: tools.panel.flipEnabled
            checked: tools.currentPage === "flip"
            onClicked: tools.toggle("flip")
            onEnabledChanged: if (!enabled) tools.disabled("flip")
        }
        IconButton {
            objectName: "copyButton"
            tooltip: qsTr("Copy")
            icon: "qrc:/images/copy.svg"
            enabled: tools.panel.copyEnabled
            onClicked: tools.workspace.copyModel(tools.workspace.getSelectedModelIndex())
            onEnabledChanged: if (!enabled) tools.disabled("")
        }
        Rectangle {
            width: 48
            height: 1
            color: "#6A6A74"
            anchors.horizontalCenter: parent.horizontalCenter
        }
        IconButton {
            id: supportButton
            objectName: "supportButton"
            tooltip: qsTr("Support")
            icon: "qrc:/images/support.svg"
            enabled: tools.panel.supportEnabled
            checked: tools.currentPage === "support"
            onClicked: tools.toggle("support")
            onEnabledChanged: if (!enabled) tools.disabled("support")
        }
        IconButton {
            objectName: "layoutButton"
            tooltip: qsTr("Layout")
            icon: "qrc:/images/layout.svg"
            enabled: tools.panel.layoutEnabled
            onClicked: tools.workspace.autoLayoutModel()
            onEnabledChanged: if (!enabled) tools.disabled("")
        }
        IconButton {
            objectName: "sliceButton"
            tooltip: qsTr("Slice")
            icon: "qrc:/images/slice.svg"
            enabled: tools.panel.sliceEnabled
            onClicked: tools.sliceRequested()
            onEnabledChanged: if (!enabled) tools.disabled("")
        }
    }

    // The pages float to the right of the button that opens them. Each is made the first time
    // it opens, so that start-up does not pay for pages nobody has opened yet.
    property var opened: ({})
    onCurrentPageChanged: {
        if (currentPage !== "" && !opened[currentPage]) {
            var seen = opened
            seen[currentPage] = true
            opened = seen
        }
    }

    Loader {
        x: tools.width + 8
        y: infoButton.y
        active: tools.opened["info"] === true
        sourceComponent: Component {
            InfoPage {
                workspace: tools.workspace
                visible: tools.currentPage === "info"
            }
        }
    }
    Loader {
        x: tools.width + 8
        y: moveButton.y
        active: tools.opened["move"] === true
        sourceComponent: Component {
            MovePage {
                workspace: tools.workspace
                panel: tools.panel
                visible: tools.currentPage === "move"
            }
        }
    }
    Loader {
        x: tools.width + 8
        y: scaleButton.y
        active: tools.opened["scale"] === true
        sourceComponent: Component {
            ScalePage {
                workspace: tools.workspace
                visible: tools.currentPage === "scale"
            }
        }
    }
    Loader {
        x: tools.width + 8
        y: rotateButton.y
        active: tools.opened["rotate"] === true
        sourceComponent: Component {
            RotatePage {
                workspace: tools.workspace
                panel: tools.panel
                visible: tools.currentPage === "rotate"
            }
        }
    }
    Loader {
        x: tools.width + 8
        y: flipButton.y
        active: tools.opened["flip"] === true
        sourceComponent: Component {
            FlipPage {
                workspace: tools.workspace
                panel: tools.panel
                visible: tools.currentPage === "flip"
            }
        }
    }
    Loader {
        id: supportLoader
        x: tools.width + 8
        y: item ? Math.min(supportButton.y, tools.height - item.height) : supportButton.y
        active: tools.opened["support"] === true
        sourceComponent: Component {
            SupportPage {
                workspace: tools.workspace
                panel: tools.panel
                visible: tools.currentPage === "support"
            }
        }
    }
}

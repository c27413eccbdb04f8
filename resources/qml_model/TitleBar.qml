import QtQuick 2.9
import QtQuick.Controls 1.4
import QtQuick.Window 2.3

// The frameless window's title bar: logo, title, the two page buttons, the menu and the window
// buttons. Dragging it moves the window; a double click maximises or restores it.
Rectangle {
    id: bar
    property var frame
    property bool onPrintPage: false
    signal slicePageRequested()
    signal printPageRequested()
    signal menuRequested()
    height: 56 * dpiRatio
    color: "#303038"

    MouseArea {
        id: dragArea
        objectName: "titleDragArea"
        anchors.fill: parent
        onPressed: bar.frame.startMove(mapToGlobal(mouse.x, mouse.y))
        onPositionChanged: bar.frame.moveTo(mapToGlobal(mouse.x, mouse.y))
        onDoubleClicked: bar.frame.toggleMaximized()
    }

    Row {
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        spacing: 10
        Image {
            source: "qrc:/images/logo.svg"
            width: 40 * dpiRatio
            height: 40 * dpiRatio
            sourceSize.width: width
            sourceSize.height: height
        }
        Label {
            objectName: "windowTitle"
            anchors.verticalCenter: parent.verticalCenter
            text: bar.Window.window ? bar.Window.window.title : ""
            color: "white"
            font.pointSize: 11
        }
    }

    Row {
        anchors.centerIn: parent
        spacing: 6
        // Exactly one page button is enabled; the other shows the current page.
        IconButton {
            objectName: "slicePageButton"
            tooltip: qsTr("Slice")
            icon: "qrc:/images/slice_page.svg"
            iconSize: 28
            width: 72
            height: 44 * dpiRatio
            enabled: bar.onPrintPage
            checked: !bar.onPrintPage
            onClicked: bar.slicePageRequested()
        }
        IconButton {
            objectName: "printPageButton"
            tooltip: qsTr("Print")
            icon: "qrc:/images/print_page.svg"
            iconSize: 28
            width: 72
            height: 44 * dpiRatio
            enabled: !bar.onPrintPage
            checked: bar.onPrintPage
            onClicked: bar.printPageRequested()
        }
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: 6
        anchors.verticalCenter: parent.verticalCenter
        spacing: 2
        IconButton {
            objectName: "menuButton"
            tooltip: qsTr("Menu")
            icon: "qrc:/images/menu.svg"
            iconSize: 22; width: 44; height: 40
            onClicked: bar.menuRequested()
        }
        IconButton {
            objectName: "minimizeButton"
            tooltip: qsTr("Minimize")
            icon: "qrc:/images/minimize.svg"
            iconSize: 22; width: 44; height: 40
            onClicked: bar.Window.window.showMinimized()
        }
        IconButton {
            objectName: "maximizeButton"
            tooltip: bar.frame.maximized ? qsTr("Restore") : qsTr("Maximize")
            icon: bar.frame.maximized ? "qrc:/images/restore.svg" : "qrc:/images/maximize2.svg"
            iconSize: 22; width: 44; height: 40
            onClicked: bar.frame.toggleMaximized()
        }
        IconButton {
            objectName: "closeButton"
            tooltip: qsTr("Close")
            icon: "qrc:/images/close.svg"
            iconSize: 22; width: 44; height: 40
            hoverColor: "#C83C3C"
            onClicked: Qt.quit()
        }
    }
}

import QtQuick 2.9
import QtQuick.Controls 1.4
import QtQuick.Layouts 1.3
import QtQuick.Window 2.3
import QtQuick.Dialogs 1.2
import QtQuick.Controls.Styles 1.4
import Qt.labs.settings 1.0
import Quor3D 1.0
import "qml_model"

ApplicationWindow {
    id: mainWindow
    objectName: "mainWindow"
    // Shown once its restored size has been checked against the screens.
    visible: false
    flags: Qt.Window | Qt.FramelessWindowHint
    width: 1280
    height: 800
    minimumWidth: 1024
    minimumHeight: 800
    color: "whitesmoke"
    // The 3D view draws under everything: the window paints no background of its own over it
    // (a transparent window colour would ask for a window with an alpha channel instead).
    style: ApplicationWindowStyle {
        background: Item {}
    }
    // The open project first, as desktops show it in their task lists.
    title: (quor3dApp.prjName !== "" ? quor3dApp.prjName + " \u2014 " : "") + quor3dConfig.appName()
           + " v" + quor3dApp.version() + " " + quor3dApp.bitInfo()

    WindowFrame {
        id: frame
        window: mainWindow
    }

    Settings {
        property alias width: mainWindow.width
        property alias height: mainWindow.height
    }

    toolBar: TitleBar {
        id: titleBar
        width: mainWindow.width
        frame: frame
        onPrintPage: pages.depth > 1
        onMenuRequested: dropDown.open = !dropDown.open
        onPrintPageRequested: pages.push("qrc:/print.qml")
        onSlicePageRequested: pages.pop(modelPage)
    }

    StackView {
        id: pages
        objectName: "pageStack"
        anchors.fill: parent
        initialItem: modelPage
        delegate: StackViewDelegate {} // pages switch at once
    }

    // The modelling page: the workspace, the 3D view and everything over it.
    Item {
        id: modelPage
        objectName: "modelPage"

        Connections {
            target: sceneObjects
            function onShowAlert(msg) {
                var alert = mainWindow.dialog(alertLoader)
                alert.text = msg
                alert.open()
            }
        }

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
                cursorShape: supportTools.manualAddingSupport ? Qt.CrossCursor : Qt.ArrowCursor
                onPressed: scene3d.mousePressed(mouse.button, mouse.x, mouse.y)
                onPositionChanged: scene3d.mouseMoved(mouse.buttons, mouse.x, mouse.y)
                onReleased: scene3d.mouseReleased(mouse.button, mouse.x, mouse.y, mouse.modifiers)
                onWheel: scene3d.wheel(wheel.angleDelta.x, wheel.angleDelta.y)
            }

            Keys.onPressed: {
                var action = scene3d.keyPressed(event.key, event.modifiers)
                if (action === "confirmDelete") {
                    mainWindow.dialog(confirmLoader).open()
                } else if (action === "layerUp" || action === "layerDown") {
                    // The arrows step the layer slider, when it is in use.
                    var slider = layerSlider.slider
                    if (slider.enabled)
                        slider.value = Math.max(slider.minimumValue, Math.min(slider.maximumValue,
                                       slider.value + (action === "layerUp" ? 1 : -1)))
                } else if (action === "islandNext" || action === "islandPrevious") {
                    var layers = layerSlider.slider
                    var island = action === "islandNext"
                            ? islandCheck.nextIslandLayer(layers.value)
                            : islandCheck.previousIslandLayer(layers.value)
                    if (layers.enabled && island >= 0 && island <= layers.maximumValue)
                        layers.value = island
                }
                event.accepted = action !== "" || event.key === Qt.Key_Delete
            }
        }

        Label {
            objectName: "hint"
            anchors.centerIn: parent
            text: qsTr("Drag your model file and drop it here or Open")
            font.pointSize: 14
            color: "deepskyblue"
            visible: panelState.hintVisible
        }

        ToolPanel {
            id: toolPanel
            objectName: "toolPanel"
            x: 8
            y: 8
            scene: sceneObjects
            transformTool: selectionTransform
            supports: supportTools
            jobs: backgroundJobs
            panel: panelState
            view: scene3d
            onSliceRequested: mainWindow.requestSlice()
        }

        ViewButtons {
            objectName: "viewButtons"
            anchors.top: parent.top
            anchors.right: parent.right
            anchors.margins: 8
            camera: scene3d.camera
        }

        LayerSlider {
            id: layerSlider
            objectName: "layerControls"
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            preview: layerPreview
            panel: panelState
            islands: islandCheck
        }

        SliceProgress {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: bottomBar.top
            panel: panelState
        }

        BottomBar {
            id: bottomBar
            objectName: "bottomBar"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            scene: sceneObjects
            preview: layerPreview
            islands: islandCheck
            onConfigRequested: mainWindow.openSliceConfig()
        }

        Connections {
            target: panelState
            function onSliceCompleted(layers, costTime) {
                quor3dApp.openRadomQueryLink()
                var done = mainWindow.dialog(completionLoader)
                done.text = qsTr("Slice completed！")
                done.informativeText = qsTr("Total: ") + layers + qsTr(" layers")
                        + "\n" + qsTr("Time : ") + costTime
                done.open()
            }
        }
    }

    DropDownMenu {
        id: dropDown
        onChosen: {
            if (action === "open")
                mainWindow.openFileDialog("Open")
            else if (action === "save")
                mainWindow.save()
            else if (action === "saveAs")
                mainWindow.openFileDialog("SaveAs")
            else if (action === "slice")
                mainWindow.requestSlice()
            else if (action === "exit")
                Qt.quit()
        }
    }

    Shortcut { sequence: StandardKey.Open; onActivated: mainWindow.openFileDialog("Open") }
    Shortcut { sequence: StandardKey.Save; onActivated: mainWindow.save() }
    // Not every desktop binds a Save As key: Ctrl+Shift+S then.
    Shortcut {
        sequences: [StandardKey.SaveAs, "Ctrl+Shift+S"]
        onActivated: mainWindow.openFileDialog("SaveAs")
    }
    Shortcut { sequence: StandardKey.Quit; onActivated: Qt.quit() }

    function save() {
        if (quor3dApp.prjFile === "")
            openFileDialog("Save")
        else
            quor3dApp.savePrj()
    }
    // Objects that reach outside the printer's volume are sliced only when the person says so,
    // before an archive is chosen.
    function requestSlice() {
        var outside = backgroundJobs.outsideVolumeText()
        if (outside === "") {
            openFileDialog("Slice")
            return
        }
        var ask = dialog(outsideLoader)
        ask.text = outside
        ask.open()
    }
    function openFileDialog(mode) {
        dialog(fileLoader).openIn(mode)
    }
    // The dialogs are made the first time they are needed: start-up does not pay for them.
    function dialog(loader) {
        loader.active = true
        return loader.item
    }
    function openSliceConfig() {
        dialog(sliceConfigLoader).open()
    }

    // One file dialog for opening, saving and choosing the job archive, made afresh for each
    // opening: Qt's widget dialog keeps the name last typed or clicked, and would offer a model's
    // name for the job archive.
    Loader {
        id: fileLoader
        active: false
        // Unless it was opened again meanwhile.
        function release() {
            if (item && !item.visible)
                active = false
        }
        sourceComponent: Component {
            FileDialog {
                id: fileDialog
                objectName: "fileDialog"
                property string mode: "Open"
                title: qsTr("Please choose a file")
                selectMultiple: mode === "Open"
                selectExisting: mode === "Open"
                // Models are STL and OBJ files; the program's projects open beside them.
                nameFilters: mode === "Slice" ? [qsTr("Job archives (*.cws)")]
                           : mode === "Open" ? [qsTr("All model files (*.stl *.obj *") + quor3dConfig.jobType() + ")",
                                                qsTr("Models (*.stl *.obj)"),
                                                quor3dConfig.appName() + qsTr(" projects (*") + quor3dConfig.jobType() + ")"]
                           : [quor3dConfig.appName() + qsTr(" projects (*") + quor3dConfig.jobType() + ")"]

                function openIn(newMode) {
                    mode = newMode
                    open()
                    // Qt's widget dialog is made by open(): a folder set before is not its own.
                    folder = fileDialogChoices.startFolder(newMode)
                }
                onAccepted: {
                    var files = fileDialogChoices.chosen(mode, fileUrls)
                    if (mode === "Open") {
                        quor3dApp.openFiles(files)
                    } else if (mode === "Save" || mode === "SaveAs") {
                        quor3dApp.prjFile = files[0]
                        quor3dApp.savePrj()
                    } else if (mode === "Slice") {
                        panelState.showProgress("slice")
                        quor3dApp.setCwsFile(files[0])
                    }
                    Qt.callLater(fileLoader.release)
                }
                onRejected: Qt.callLater(fileLoader.release)
            }
        }
    }

    // The slice settings dialog; the bottom bar's figures follow what it saved.
    Loader {
        id: sliceConfigLoader
        active: false
        sourceComponent: Component {
            SliceConfigDialog {}
        }
    }

    Loader {
        id: alertLoader
        active: false
        sourceComponent: Component {
            MessageDialog {
                objectName: "alertDialog"
                title: quor3dConfig.appName()
                icon: StandardIcon.Warning
            }
        }
    }

    Loader {
        id: confirmLoader
        active: false
        sourceComponent: Component {
            MessageDialog {
                objectName: "confirmDeleteDialog"
                title: quor3dConfig.appName()
                icon: StandardIcon.Question
                text: qsTr("Are you sure you want to delete the currently selected model and all its support?")
                standardButtons: StandardButton.Ok | StandardButton.Cancel
                onAccepted: sceneObjects.deleteSelectedModel()
            }
        }
    }

    Loader {
        id: outsideLoader
        active: false
        sourceComponent: Component {
            Dialog {
                id: outsideDialog
                objectName: "outsideVolumeDialog"
                property alias text: outsideText.text
                title: qsTr("Outside the build volume")
                // The window grows with the text, which is set before each opening.
                width: 480
                height: outsideColumn.implicitHeight + 32
                contentItem: Rectangle {
                    implicitWidth: 480
                    implicitHeight: outsideColumn.implicitHeight + 32
                    color: "white"
                    Column {
                        id: outsideColumn
                        x: 16
                        y: 16
                        width: parent.width - 32
                        spacing: 16
                        Label {
                            id: outsideText
                            width: parent.width
                            wrapMode: Text.WordWrap
                        }
                        Row {
                            anchors.right: parent.right
                            spacing: 8
                            Button {
                                objectName: "outsideCancel"
                                text: qsTr("Cancel")
                                onClicked: outsideDialog.close()
                            }
                            Button {
                                objectName: "outsideSliceAnyway"
                                text: qsTr("Slice anyway")
                                onClicked: {
                                    outsideDialog.close()
                                    mainWindow.openFileDialog("Slice")
                                }
                            }
                        }
                    }
                }
            }
        }
    }

    Loader {
        id: completionLoader
        active: false
        sourceComponent: Component {
            MessageDialog {
                objectName: "completionDialog"
                title: quor3dConfig.appName()
                icon: StandardIcon.Information
            }
        }
    }

    // One-pixel borders and corners resize the frameless window.
    Item {
        parent: mainWindow.contentItem.parent
        anchors.fill: parent
        z: 2000
    Repeater {
        model: [
            { edges: Qt.LeftEdge, name: "borderLeft" },
            { edges: Qt.RightEdge, name: "borderRight" },
            { edges: Qt.TopEdge, name: "borderTop" },
            { edges: Qt.BottomEdge, name: "borderBottom" },
            { edges: Qt.LeftEdge | Qt.TopEdge, name: "cornerTopLeft" },
            { edges: Qt.RightEdge | Qt.TopEdge, name: "cornerTopRight" },
            { edges: Qt.LeftEdge | Qt.BottomEdge, name: "cornerBottomLeft" },
            { edges: Qt.RightEdge | Qt.BottomEdge, name: "cornerBottomRight" }
        ]
        delegate: MouseArea {
            objectName: modelData.name
            visible: !frame.maximized
            property bool atLeft: (modelData.edges & Qt.LeftEdge) !== 0
            property bool atRight: (modelData.edges & Qt.RightEdge) !== 0
            property bool atTop: (modelData.edges & Qt.TopEdge) !== 0
            property bool atBottom: (modelData.edges & Qt.BottomEdge) !== 0
            property int grip: (atLeft || atRight) && (atTop || atBottom) ? 4 : 1
            x: atRight ? mainWindow.width - width : 0
            y: atBottom ? mainWindow.height - height : 0
            width: atLeft || atRight ? grip : mainWindow.width
            height: atTop || atBottom ? grip : mainWindow.height
            cursorShape: (atLeft && atTop) || (atRight && atBottom) ? Qt.SizeFDiagCursor
                       : (atRight && atTop) || (atLeft && atBottom) ? Qt.SizeBDiagCursor
                       : atLeft || atRight ? Qt.SizeHorCursor : Qt.SizeVerCursor
            onPressed: frame.startResize(modelData.edges, mapToGlobal(mouse.x, mouse.y))
            onPositionChanged: frame.resizeTo(mapToGlobal(mouse.x, mouse.y))
        }
    }
    }
}

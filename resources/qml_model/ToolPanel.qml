import QtQuick 2.9
import QtQuick.Controls 1.4
import Quor3D 1.0

// The left tool panel and the pages its buttons open beside it.
Rectangle {
    id: tools
    property SceneObjects scene
    property TransformController transformTool
    property SupportController supports
    property JobController jobs
    property PanelState panel
    // The 3D view, which gets the keys back when a button is disabled.
    property Item view
    property string currentPage: ""
    signal sliceRequested()
    width: 64
    height: column.height + 16
    color: "#404048"
    radius: 4

    // Each button opens a page or does its action; panel.<name>Enabled enables it. The text is
    // its tool tip, the icon images/<name>.svg. A line parts the model tools from the others.
    readonly property var buttons: [
        { name: "info", tip: qsTr("Info"), page: true },
        { name: "move", tip: qsTr("Move"), page: true },
        { name: "scale", tip: qsTr("Scale"), page: true },
        { name: "rotate", tip: qsTr("Rotate"), page: true },
        { name: "flip", tip: qsTr("Flip"), page: true },
        { name: "copy", tip: qsTr("Copy"), page: false },
        { separator: true },
        { name: "support", tip: qsTr("Support"), page: true },
        { name: "layout", tip: qsTr("Layout"), page: false },
        { name: "slice", tip: qsTr("Slice"), page: false }
    ]

    function toggle(name) {
        currentPage = currentPage === name ? "" : name
    }
    // A button that becomes disabled hides its page and hands the keys back to the view.
    function disabled(name) {
        if (currentPage === name)
            currentPage = ""
        view.forceActiveFocus()
    }
    function act(name) {
        if (name === "copy")
            scene.copyModel(scene.selectedIndex)
        else if (name === "layout")
            transformTool.autoLayoutModel()
        else if (name === "slice")
            sliceRequested()
    }
    // Where a page floats: beside its button.
    function buttonY(name) {
        for (var i = 0; i < buttons.length; ++i)
            if (buttons[i].name === name)
                return buttonRow.itemAt(i) ? buttonRow.itemAt(i).y : 0
        return 0
    }

    Column {
        id: column
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 8
        spacing: 2

        Repeater {
            id: buttonRow
            model: tools.buttons
            delegate: Loader {
                sourceComponent: modelData.separator ? separator : button
                Component {
                    id: separator
                    Item {
                        width: 60
                        height: 1
                        Rectangle {
                            width: 48
                            height: 1
                            color: "#6A6A74"
                            anchors.horizontalCenter: parent.horizontalCenter
                        }
                    }
                }
                Component {
                    id: button
                    IconButton {
                        objectName: modelData.name + "Button"
                        tooltip: modelData.tip
                        icon: "qrc:/images/" + modelData.name + ".svg"
                        enabled: tools.panel[modelData.name + "Enabled"]
                        checked: modelData.page && tools.currentPage === modelData.name
                        onClicked: modelData.page ? tools.toggle(modelData.name)
                                                  : tools.act(modelData.name)
                        onEnabledChanged: if (!enabled) tools.disabled(modelData.page ? modelData.name : "")
                    }
                }
            }
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
        y: tools.buttonY("info")
        active: tools.opened["info"] === true
        sourceComponent: Component {
            InfoPage {
                scene: tools.scene
                visible: tools.currentPage === "info"
            }
        }
    }
    Loader {
        x: tools.width + 8
        y: tools.buttonY("move")
        active: tools.opened["move"] === true
        sourceComponent: Component {
            TransformPage {
                title: qsTr("Move")
                name: "move"
                kind: DoItem.DO_T_TRANSLATE
                unit: "mm"
                transformTool: tools.transformTool
                panel: tools.panel
                axisEnabled: [true, true, tools.panel.moveZEnabled]
                visible: tools.currentPage === "move"
                Button {
                    objectName: "dockToBottom"
                    text: qsTr("Dock to bottom")
                    enabled: tools.panel.moveZEnabled
                    onClicked: tools.transformTool.dockToBottom()
                }
            }
        }
    }
    Loader {
        x: tools.width + 8
        y: tools.buttonY("scale")
        active: tools.opened["scale"] === true
        sourceComponent: Component {
            TransformPage {
                id: scalePage
                title: qsTr("Scale")
                name: "scale"
                kind: DoItem.DO_T_SCALE
                minimumValue: -100
                maximumValue: 100
                stepSize: 0.1
                transformTool: tools.transformTool
                panel: tools.panel
                // With "Scale All" the three factors stay equal: Y and Z follow X.
                uniform: scaleAll.checked
                axisEnabled: [true, !scaleAll.checked, !scaleAll.checked]
                visible: tools.currentPage === "scale"
                Connections {
                    target: tools.transformTool
                    function onBegun(type) {
                        if (type === DoItem.DO_T_SCALE)
                            scaleAll.checked = true
                    }
                }
                CheckBox {
                    id: scaleAll
                    objectName: "scaleAll"
                    text: qsTr("Scale All")
                    checked: true
                    onClicked: {
                        if (checked) {
                            var x = tools.transformTool.x
                            tools.transformTool.setValues(x, x, x)
                        }
                    }
                }
            }
        }
    }
    Loader {
        x: tools.width + 8
        y: tools.buttonY("rotate")
        active: tools.opened["rotate"] === true
        sourceComponent: Component {
            TransformPage {
                title: qsTr("Rotate")
                name: "rotate"
                kind: DoItem.DO_T_ROTATE
                width: 380
                unit: "°"
                minimumValue: -180
                maximumValue: 180
                decimals: 2
                turnButtons: true
                transformTool: tools.transformTool
                panel: tools.panel
                // With supports the model may turn about z only while upright.
                axisEnabled: [tools.panel.rotateXYEnabled, tools.panel.rotateXYEnabled,
                              tools.panel.rotateZEnabled(tools.transformTool.x,
                                                         tools.transformTool.y)
                              || !tools.panel.haveSupports]
                visible: tools.currentPage === "rotate"
                Button {
                    objectName: "rotateCurrentToLowest"
                    text: qsTr("Rotate current to lowest")
                    enabled: tools.panel.rotateToLowestEnabled
                    onClicked: tools.transformTool.rotateSelectedToLowest()
                }
                Button {
                    objectName: "rotateAllToLowest"
                    text: qsTr("Rotate all to lowest")
                    enabled: tools.panel.rotateToLowestEnabled
                    onClicked: tools.transformTool.rotateAllToLowest()
                }
            }
        }
    }
    Loader {
        x: tools.width + 8
        y: tools.buttonY("flip")
        active: tools.opened["flip"] === true
        sourceComponent: Component {
            FlipPage {
                transformTool: tools.transformTool
                panel: tools.panel
                visible: tools.currentPage === "flip"
            }
        }
    }
    Loader {
        id: supportLoader
        x: tools.width + 8
        y: item ? Math.min(tools.buttonY("support"), tools.height - item.height)
                : tools.buttonY("support")
        active: tools.opened["support"] === true
        sourceComponent: Component {
            SupportPage {
                supports: tools.supports
                jobs: tools.jobs
                panel: tools.panel
                visible: tools.currentPage === "support"
            }
        }
    }
}

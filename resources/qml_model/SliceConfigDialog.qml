import QtQuick 2.9
import QtQuick.Controls 1.4
import QtQuick.Dialogs 1.2
import QtQuick.Layouts 1.3

// The job settings: printer model, resin, layer thickness, exposures, anti-aliasing and, in a
// drawer, the lift motion. Every value comes from and goes to quor3dConfig.
Dialog {
    id: root
    objectName: "sliceConfigDialog"
    title: qsTr("Slice config")
    modality: Qt.ApplicationModal
    standardButtons: StandardButton.Ok | StandardButton.Cancel | StandardButton.RestoreDefaults

    property bool advancedOpen: false
    // Re-reading values makes the chosen model and resin current in the configuration;
    // Cancel puts back the ones it had when the dialog opened.
    property int openedModelIndex: 0
    property int openedResinIndex: 0
    // Set while fields are filled in from code, so that only the person's changes re-read.
    property bool filling: false

    // After OK: every value stored, saved and copied into the job settings, so that what is
    // computed from them (the layer count) can be read again.
    signal settingsSaved()

    function loadAdvanced() {
        liftHeightField.value = quor3dConfig.liftHeight
        liftUpSpeedField.value = quor3dConfig.liftUpSpeed
        liftDownSpeedField.value = quor3dConfig.liftDownSpeed
        waitAfterStopField.value = quor3dConfig.waitSecAfterStop
    }

    function loadFields() {
        filling = true
        openedModelIndex = quor3dConfig.modelIndex()
        openedResinIndex = quor3dConfig.resinIndex()
        modelBox.model = quor3dConfig.getAllModelsModel()
        modelBox.currentIndex = quor3dConfig.modelIndex()
        resinBox.model = quor3dConfig.getAllResinTypesModel(quor3dConfig.modelIndex())
        resinBox.currentIndex = quor3dConfig.resinIndex()
        thicknessField.value = quor3dConfig.thicknessUM() / 1000
        bottomLayersField.value = quor3dConfig.bottomLayerNum()
        bottomExposureField.value = quor3dConfig.bottomExpoMS() / 1000
        exposureField.value = quor3dConfig.normalExpoMS() / 1000
        antiAliasCheck.checked = quor3dConfig.useAntialise()
        antiAliasFactorField.value = quor3dConfig.antiAliseValue()
        loadAdvanced()
        filling = false
    }

    // The recommended values for a model, resin and thickness (0: the model's first row).
    function reRead(modelIndex, resinIndex, thicknessUM) {
        var values = quor3dConfig.getConfig(modelIndex, resinIndex, thicknessUM)
        filling = true
        thicknessField.value = values[1] / 1000
        bottomLayersField.value = values[2]
        bottomExposureField.value = values[3] / 1000
        exposureField.value = values[4] / 1000
        liftHeightField.value = 4.0
        liftUpSpeedField.value = 100
        liftDownSpeedField.value = 100
        waitAfterStopField.value = 2.0
        filling = false
    }

    // The window grows for the drawer by itself; closing the drawer shrinks it again: to the
    // fields' height plus what the dialog's frame adds around them (margins and buttons).
    function fitHeight() {
        var area = content.parent
        var frame = area ? area.parent : null
        if (!frame)
            return
        var wanted = Math.ceil(content.implicitHeight + frame.height - area.height)
        if (height > wanted)
            height = wanted
    }
    onAdvancedOpenChanged: Qt.callLater(fitHeight)

    onVisibleChanged: {
        if (visible)
            loadFields()
    }

    onAccepted: {
        quor3dConfig.setModelIndex(modelBox.currentIndex)
        quor3dConfig.setResinIndex(resinBox.currentIndex)
        quor3dConfig.setThicknessMM(thicknessField.value)
        quor3dConfig.setBottomLayerNum(bottomLayersField.value)
        quor3dConfig.setBottomExpoSec(bottomExposureField.value)
        quor3dConfig.setNormalExpoSec(exposureField.value)
        quor3dConfig.useAntialise(antiAliasCheck.checked)
        quor3dConfig.antiAliseValue(antiAliasFactorField.value)
        quor3dConfig.save()
        quor3dConfig.liftHeight = liftHeightField.value
        quor3dConfig.liftUpSpeed = liftUpSpeedField.value
        quor3dConfig.liftDownSpeed = liftDownSpeedField.value
        quor3dConfig.waitSecAfterStop = waitAfterStopField.value
        // The lift values reach the file now, not only when the program ends.
        quor3dConfig.save()
        settingsSaved()
    }

    onRejected: {
        loadAdvanced()
        if (quor3dConfig.modelIndex() !== openedModelIndex
                || quor3dConfig.resinIndex() !== openedResinIndex)
            quor3dConfig.getConfig(openedModelIndex, openedResinIndex)
    }

    onReset: {
        reRead(modelBox.currentIndex, resinBox.currentIndex, 0)
        antiAliasCheck.checked = false
        antiAliasFactorField.value = 2
    }

    ColumnLayout {
        id: content
        anchors.left: parent.left
        anchors.right: parent.right
        spacing: 10

        GridLayout {
            columns: 3
            columnSpacing: 12
            rowSpacing: 8
            Layout.fillWidth: true

            Label { text: qsTr("Printer Model") }
            ComboBox {
                id: modelBox
                objectName: "printerModelBox"
                Layout.fillWidth: true
                Layout.columnSpan: 2
                onActivated: {
                    // A new printer starts on its first resin and recommended values.
                    root.reRead(index, 0, 0)
                    root.filling = true
                    resinBox.model = quor3dConfig.getAllResinTypesModel(quor3dConfig.modelIndex())
                    resinBox.currentIndex = 0
                    root.filling = false
                }
            }

            Label { text: qsTr("Resin type") }
            ComboBox {
                id: resinBox
                objectName: "resinTypeBox"
                Layout.fillWidth: true
                Layout.columnSpan: 2
                onActivated: root.reRead(modelBox.currentIndex, index, 0)
            }

            Label { text: qsTr("Thickness") }
            SpinBox {
                id: thicknessField
                objectName: "thicknessField"
                Layout.preferredWidth: 110
                minimumValue: settingRanges["thickness"].min
                maximumValue: settingRanges["thickness"].max
                stepSize: 0.005
                decimals: 3
                onValueChanged: {
                    if (root.visible && !root.filling)
                        root.reRead(modelBox.currentIndex, resinBox.currentIndex,
                                    Math.round(value * 1000))
                }
            }
            Label { text: qsTr("mm") }

            Label { text: qsTr("Bottom layers") }
            SpinBox {
                id: bottomLayersField
                objectName: "bottomLayersField"
                Layout.preferredWidth: 110
                minimumValue: settingRanges["bottom-layers"].min
                maximumValue: settingRanges["bottom-layers"].max
                stepSize: 1
            }
            Label { text: qsTr("layers") }

            Label { text: qsTr("Bottom layers exposure time") }
            SpinBox {
                id: bottomExposureField
                objectName: "bottomExposureField"
                Layout.preferredWidth: 110
                minimumValue: settingRanges["bottom-exposure"].min
                maximumValue: settingRanges["bottom-exposure"].max
                stepSize: 0.5
                decimals: 1
            }
            Label { text: qsTr("seconds") }

            Label { text: qsTr("Exposure time") }
            SpinBox {
                id: exposureField
                objectName: "exposureField"
                Layout.preferredWidth: 110
                minimumValue: settingRanges["exposure"].min
                maximumValue: settingRanges["exposure"].max
                stepSize: 0.5
                decimals: 1
            }
            Label { text: qsTr("seconds") }

            CheckBox {
                id: antiAliasCheck
                objectName: "antiAliasCheck"
                text: qsTr("Anti-aliasing")
            }
            SpinBox {
                id: antiAliasFactorField
                objectName: "antiAliasFactorField"
                Layout.preferredWidth: 110
                enabled: antiAliasCheck.checked
                minimumValue: settingRanges["aa-factor"].min
                maximumValue: settingRanges["aa-factor"].max
                stepSize: 0.5
                decimals: 1
            }
            Label {
                objectName: "antiAliasNotice"
                Layout.fillWidth: true
                textFormat: Text.RichText
                text: qsTr("Notice: <br>The larger the value the smoother,<br>but slicing slower")
                color: "#606060"
                font.pointSize: 8
            }

            // The drawer bar: opens and closes the lift motion values below it.
            Rectangle {
                id: drawerBar
                objectName: "advancedDrawer"
                Layout.columnSpan: 3
                Layout.fillWidth: true
                Layout.topMargin: 4
                height: 28
                radius: 3
                color: drawerMouse.containsMouse ? "#e4e8ec" : "#eef0f2"
                border.color: "#c8ccd0"

                Label {
                    anchors.left: parent.left
                    anchors.leftMargin: 10
                    anchors.verticalCenter: parent.verticalCenter
                    text: qsTr("Advanced")
                }
                Image {
                    anchors.right: parent.right
                    anchors.rightMargin: 10
                    anchors.verticalCenter: parent.verticalCenter
                    source: "qrc:/images/chevron_down.svg"
                    sourceSize: Qt.size(16, 16)
                    rotation: root.advancedOpen ? 180 : 0
                }
                MouseArea {
                    id: drawerMouse
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: root.advancedOpen = !root.advancedOpen
                }
            }

            // Hidden rows take no room in the grid.
            Label {
                visible: root.advancedOpen
                text: qsTr("Lift total height(mm)")
            }
            SpinBox {
                id: liftHeightField
                objectName: "liftHeightField"
                visible: root.advancedOpen
                Layout.columnSpan: 2
                Layout.preferredWidth: 110
                minimumValue: settingRanges["lift-height"].min
                maximumValue: settingRanges["lift-height"].max
                stepSize: 1.0
                decimals: 1
            }

            Label {
                visible: root.advancedOpen
                text: qsTr("Lift up speed(mm/min)")
            }
            SpinBox {
                id: liftUpSpeedField
                objectName: "liftUpSpeedField"
                visible: root.advancedOpen
                Layout.columnSpan: 2
                Layout.preferredWidth: 110
                minimumValue: settingRanges["lift-up-speed"].min
                maximumValue: settingRanges["lift-up-speed"].max
                stepSize: 5
            }

            Label {
                visible: root.advancedOpen
                text: qsTr("Lift down speed(mm/min)")
            }
            SpinBox {
                id: liftDownSpeedField
                objectName: "liftDownSpeedField"
                visible: root.advancedOpen
                Layout.columnSpan: 2
                Layout.preferredWidth: 110
                minimumValue: settingRanges["lift-down-speed"].min
                maximumValue: settingRanges["lift-down-speed"].max
                stepSize: 5
            }

            Label {
                visible: root.advancedOpen
                text: qsTr("Wait after stop(seconds)")
            }
            SpinBox {
                id: waitAfterStopField
                objectName: "waitAfterStopField"
                visible: root.advancedOpen
                Layout.columnSpan: 2
                Layout.preferredWidth: 110
                minimumValue: settingRanges["wait"].min
                maximumValue: settingRanges["wait"].max
                stepSize: 0.5
                decimals: 1
            }

            Item {
                visible: root.advancedOpen
                width: 1
                height: 1
            }
            Button {
                objectName: "advancedResetButton"
                visible: root.advancedOpen
                Layout.columnSpan: 2
                text: qsTr("Reset")
                onClicked: root.loadAdvanced()
            }
        }
    }
}

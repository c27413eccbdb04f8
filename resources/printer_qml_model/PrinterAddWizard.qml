import QtQuick 2.9
import QtQuick.Controls 1.4
import QtQuick.Window 2.3

// "Printers add guidelines": adds a printer on a direct cable or on the LAN once its status
// path answers. Closing it, in any way, returns it to its first screen.
Window {
    id: wizard
    objectName: "printerAddWizard"
    title: qsTr("Printers add guidelines")
    width: 560
    height: 300
    minimumWidth: 480
    minimumHeight: 260
    modality: Qt.ApplicationModal
    flags: Qt.Dialog
    color: "white"

    // choice, directConnect, directCheck, directFailed, lanAddress, lanCheck, lanFailed,
    // succeeded
    property string screen: "choice"
    property bool lanRoad: false
    // The printer being checked or added.
    property string address: ""
    // A status request is on its way.
    property bool checking: false
    property string detail: ""

    signal printerAdded(string address)

    function reset() {
        if (checking)
            quor3dApp.cancelPrinterCheck()
        checking = false
        screen = "choice"
        lanRoad = false
        directChoice.checked = true
        lanAddressField.text = ""
        addressProblem.text = ""
        address = ""
        detail = ""
    }

    function go(to) {
        if (checking) {
            quor3dApp.cancelPrinterCheck()
            checking = false
        }
        detail = ""
        screen = to
    }

    function next() {
        if (screen === "choice") {
            lanRoad = lanChoice.checked
            go(lanRoad ? "lanAddress" : "directConnect")
        } else if (screen === "directConnect") {
            go("directCheck")
        } else if (screen === "lanAddress") {
            // Nothing typed goes out, or into the list, before it reads as an address.
            var problem = quor3dApp.printerAddressProblem(lanAddressField.text)
            addressProblem.text = problem
            if (problem !== "")
                return
            address = lanAddressField.text
            go("lanCheck")
        } else if (screen === "directCheck") {
            address = quor3dApp.directCablePrinterAddress()
            checking = true
            quor3dApp.checkDirectCablePrinter()
        } else if (screen === "lanCheck") {
            checking = true
            quor3dApp.checkLanPrinter(address)
        }
    }

    function previous() {
        if (screen === "directConnect" || screen === "lanAddress")
            go("choice")
        else if (screen === "directCheck" || screen === "directFailed")
            go("directConnect")
        else if (screen === "lanCheck" || screen === "lanFailed")
            go("lanAddress")
        else if (screen === "succeeded")
            go(lanRoad ? "lanCheck" : "directCheck")
    }

    onVisibleChanged: {
        if (!visible)
            reset()
    }

    Connections {
        target: quor3dApp
        function onPrinterChecked(address, reachable, detail) {
            if (!wizard.checking || address !== wizard.address)
                return
            wizard.checking = false
            if (reachable) {
                wizard.screen = "succeeded"
            } else {
                wizard.screen = wizard.lanRoad ? "lanFailed" : "directFailed"
                wizard.detail = detail
            }
        }
    }

    Item {
        id: page
        anchors.fill: parent
        anchors.margins: 24
        anchors.bottomMargin: 70

        Column {
            objectName: "wizardScreen_choice"
            visible: wizard.screen === "choice"
            spacing: 14
            ExclusiveGroup { id: roads }
            RadioButton {
                id: directChoice
                objectName: "directCableChoice"
                text: qsTr("Add new machine")
                checked: true
                exclusiveGroup: roads
            }
            RadioButton {
                id: lanChoice
                objectName: "lanChoice"
                text: qsTr("Add a LAN machine")
                exclusiveGroup: roads
            }
        }

        Text {
            objectName: "wizardScreen_directConnect"
            visible: wizard.screen === "directConnect"
            width: parent.width
            wrapMode: Text.WordWrap
            font.pixelSize: 15
            text: qsTr("Please turn on the printer and connect one end of the network cable to the printer seat, one end connecting the computer network port")
        }

        Text {
            objectName: "wizardScreen_directCheck"
            visible: wizard.screen === "directCheck"
            width: parent.width
            wrapMode: Text.WordWrap
            font.pixelSize: 15
            text: qsTr("Checking printer status, please click next")
        }

        Column {
            objectName: "wizardScreen_lanAddress"
            visible: wizard.screen === "lanAddress"
            width: parent.width
            spacing: 10
            Text {
                width: parent.width
                wrapMode: Text.WordWrap
                font.pixelSize: 15
                text: qsTr("Scanning machine in LAN, enter the printer IP to add:")
            }
            TextField {
                id: lanAddressField
                objectName: "lanAddressField"
                width: 260
                placeholderText: qsTr("LAN IP")
                // Long enough for any address with a port, and a little more to say it is not.
                maximumLength: 64
                onTextChanged: addressProblem.text = ""
                onAccepted: wizard.next()
            }
            Text {
                id: addressProblem
                objectName: "lanAddressProblem"
                width: parent.width
                wrapMode: Text.WordWrap
                color: "#c62828"
                font.pixelSize: 13
            }
        }

        Text {
            objectName: "wizardScreen_lanCheck"
            visible: wizard.screen === "lanCheck"
            width: parent.width
            wrapMode: Text.WordWrap
            font.pixelSize: 15
            text: qsTr("Checking machine connection status in LAN, please click next")
        }

        Text {
            objectName: "wizardScreen_succeeded"
            visible: wizard.screen === "succeeded"
            width: parent.width
            wrapMode: Text.WordWrap
            font.pixelSize: 17
            color: "#00A0EA"
            text: qsTr("Add Printer Succeeded")
        }

        Text {
            objectName: "wizardScreen_directFailed"
            visible: wizard.screen === "directFailed"
            width: parent.width
            wrapMode: Text.WordWrap
            font.pixelSize: 15
            color: "#c62828"
            text: qsTr("Connection failed, please check printer and Computer Configuration")
        }

        Text {
            objectName: "wizardScreen_lanFailed"
            visible: wizard.screen === "lanFailed"
            width: parent.width
            wrapMode: Text.WordWrap
            font.pixelSize: 15
            color: "#c62828"
            text: qsTr("Failed to add LAN printer")
        }

        // Under every screen: what is going on, or why the check failed.
        Row {
            anchors.left: parent.left
            anchors.bottom: parent.bottom
            spacing: 8
            visible: wizard.checking || wizard.detail !== "" || wizard.screen === "succeeded"
            BusyIndicator {
                visible: wizard.checking
                running: wizard.checking
                width: 22
                height: 22
            }
            Text {
                objectName: "wizardDetail"
                width: page.width - 40
                wrapMode: Text.WordWrap
                anchors.verticalCenter: parent.verticalCenter
                font.pixelSize: 13
                color: wizard.detail !== "" ? "#c62828" : "#606060"
                text: wizard.checking ? qsTr("Checking %1 ...").arg(wizard.address)
                                      : wizard.screen === "succeeded"
                                        ? qsTr("The printer at %1 answered.").arg(wizard.address)
                                        : wizard.detail
            }
        }
    }

    Rectangle {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: 60
        color: "#f2f3f5"

        Row {
            anchors.right: parent.right
            anchors.rightMargin: 16
            anchors.verticalCenter: parent.verticalCenter
            spacing: 10

            Button {
                objectName: "wizardPreviousButton"
                text: qsTr("Previous")
                visible: wizard.screen !== "choice"
                onClicked: wizard.previous()
            }
            Button {
                objectName: "wizardNextButton"
                text: qsTr("Next")
                visible: wizard.screen === "choice" || wizard.screen === "directConnect"
                         || wizard.screen === "directCheck" || wizard.screen === "lanAddress"
                         || wizard.screen === "lanCheck"
                enabled: !wizard.checking
                onClicked: wizard.next()
            }
            Button {
                objectName: "wizardContinueButton"
                text: qsTr("continue")
                visible: wizard.screen === "directFailed"
                onClicked: wizard.go("directCheck")
            }
            Button {
                objectName: "wizardCompleteButton"
                text: qsTr("Complete")
                visible: wizard.screen === "succeeded"
                onClicked: {
                    var added = wizard.address
                    wizard.close()
                    wizard.printerAdded(added)
                }
            }
            Button {
                objectName: "wizardCancelButton"
                text: qsTr("Cancel")
                onClicked: wizard.close()
            }
        }
    }
}

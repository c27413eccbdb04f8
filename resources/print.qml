import QtQuick 2.9
import QtQuick.Controls 1.4
import QtWebEngine 1.5
import "printer_qml_model"

// The printer page: the user's network printers as a row of buttons, and the chosen printer's
// own web interface below them. Loaded only when pushed, so the web engine starts here.
Item {
    id: printPage
    objectName: "printPage"

    // The address of the chosen printer; empty when none is.
    property string currentPrinter: ""

    // The window's own background: the 3D view of the modelling page lies beneath.
    Rectangle {
        anchors.fill: parent
        color: "whitesmoke"
    }

    ListModel {
        id: printers
    }

    function indexOfPrinter(address) {
        for (var i = 0; i < printers.count; ++i) {
            if (printers.get(i).address === address)
                return i
        }
        return -1
    }

    // A button for the address; the stored list takes it while it holds 9 or fewer entries.
    function addPrinterButton(address) {
        printers.append({ "address": address })
        if (quor3dConfig.getPrinterInstanceList().length <= 9)
            quor3dConfig.addPrinterInstance(address)
    }

    function showPrinter(address, url) {
        currentPrinter = address
        webView.url = url
        webView.visible = true
    }

    function deleteCurrentPrinter() {
        var i = indexOfPrinter(currentPrinter)
        if (i < 0)
            return
        printers.remove(i)
        quor3dConfig.delPrinterInstance(currentPrinter)
        currentPrinter = ""
        if (printers.count === 0) {
            webView.visible = false
            webView.url = "about:blank"
        }
    }

    // Only the web: no local files, resources of the program or other schemes.
    function isWebUrl(url) {
        var text = url.toString()
        return text.indexOf("http://") === 0 || text.indexOf("https://") === 0
                || text === "about:blank"
    }

    Component.onCompleted: {
        var stored = quor3dConfig.getPrinterInstanceList()
        var last = ""
        for (var i = 0; i < stored.length; ++i) {
            var address = stored[i]
            // A hand-edited settings file may hold anything; only addresses get a button.
            if (quor3dApp.printerAddressProblem(address) !== "" || indexOfPrinter(address) >= 0)
                continue
            addPrinterButton(address)
            last = address
        }
        if (last !== "")
            showPrinter(last, "http://" + last)
    }

    Rectangle {
        id: bar
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        height: Math.max(70, printerFlow.height + 20)
        color: "#f2f3f5"

        Row {
            id: actions
            anchors.left: parent.left
            anchors.top: parent.top
            anchors.margins: 10
            spacing: 10

            Button {
                objectName: "addPrinterButton"
                width: 90
                height: 50
                text: qsTr("Add")
                onClicked: {
                    wizard.show()
                    wizard.raise()
                    wizard.requestActivate()
                }
            }
            Button {
                objectName: "deletePrinterButton"
                width: 90
                height: 50
                text: qsTr("Delete")
                enabled: printPage.currentPrinter !== ""
                onClicked: printPage.deleteCurrentPrinter()
            }
        }

        Flow {
            id: printerFlow
            objectName: "printerFlow"
            anchors.left: actions.right
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 10
            anchors.leftMargin: 24
            spacing: 10

            Repeater {
                model: printers
                delegate: Rectangle {
                    objectName: "printerButton_" + model.address
                    property string address: model.address
                    property bool selected: address === printPage.currentPrinter
                    width: 140
                    height: 50
                    radius: 4
                    color: selected ? "#00A0EA" : "white"
                    border.color: selected ? "#00A0EA" : "#c8ccd0"

                    Text {
                        anchors.centerIn: parent
                        horizontalAlignment: Text.AlignHCenter
                        text: qsTr("3D Printer") + "\n" + parent.address
                        color: parent.selected ? "white" : "#303030"
                        font.pixelSize: 13
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: printPage.showPrinter(parent.address, "http://" + parent.address)
                    }
                }
            }
        }
    }

    Text {
        objectName: "noPrinterHint"
        anchors.centerIn: webView
        visible: !webView.visible
        text: printers.count === 0 ? qsTr("Add a printer to reach its web page here.")
                                   : qsTr("Choose a printer above to reach its web page.")
        color: "#808080"
        font.pixelSize: 16
    }

    WebEngineView {
        id: webView
        objectName: "printerWebView"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: bar.bottom
        anchors.bottom: parent.bottom
        visible: false

        // The printer's page runs on its own: no channel to the program's objects, no plugins,
        // no local files, no devices.
        settings.pluginsEnabled: false
        settings.localContentCanAccessFileUrls: false
        settings.localContentCanAccessRemoteUrls: false
        settings.javascriptCanAccessClipboard: false

        onNavigationRequested: {
            if (!printPage.isWebUrl(request.url))
                request.action = WebEngineNavigationRequest.IgnoreRequest
        }
        // A link or script asking for a new window opens in this view.
        onNewViewRequested: {
            if (printPage.isWebUrl(request.requestedUrl))
                webView.url = request.requestedUrl
        }
        onFeaturePermissionRequested: grantFeaturePermission(securityOrigin, feature, false)
    }

    PrinterAddWizard {
        id: wizard
        onPrinterAdded: {
            if (printPage.indexOfPrinter(address) < 0)
                printPage.addPrinterButton(address)
            printPage.showPrinter(address, "http://" + address + "/")
        }
    }
}

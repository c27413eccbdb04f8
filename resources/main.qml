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
    color: "whitesmoke"
    title: quor3dConfig.appName() + " v" + quor3dApp.version() + " " + quor3dApp.bitInfo()

    QuorModel {
        id: quor3dModel
    }

    DoItem {}

    Settings {
        property alias width: mainWindow.width
        property alias height: mainWindow.height
    }
}

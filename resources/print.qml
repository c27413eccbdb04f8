import QtQuick 2.9
import QtQuick.Controls 1.4

// The printer page.
Item {
    objectName: "printPage"

    Rectangle {
        anchors.fill: parent
        color: "whitesmoke"
    }
}

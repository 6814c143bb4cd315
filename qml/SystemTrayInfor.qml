import QtQuick 2.12
import QtQuick.Window 2.12

// A frameless, always-on-top picture window that appears above the tray and closes itself.
Window {
    id: systemTrayInfor
    property string picturePath: ""
    readonly property real sr: Math.max(1, screenRate)
    flags: Qt.FramelessWindowHint | Qt.Tool | Qt.WindowStaysOnTopHint
    width: 300 * sr
    height: 200 * sr
    color: "#ffffff"
    visible: false

    function showPicture(path) {
        picturePath = path
        x = Screen.virtualX + Screen.desktopAvailableWidth - width - 16 * sr
        y = Screen.virtualY + Screen.desktopAvailableHeight - height - 16 * sr
        show()
        closeTimer.restart()
    }

    Timer {
        id: closeTimer
        interval: 6000
        onTriggered: systemTrayInfor.hide()
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.color: "#dde2ea"
    }
    Image {
        anchors.fill: parent
        anchors.margins: 8 * systemTrayInfor.sr
        fillMode: Image.PreserveAspectFit
        asynchronous: true
        source: systemTrayInfor.picturePath
    }
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        onContainsMouseChanged: containsMouse ? closeTimer.stop() : closeTimer.restart()
        onClicked: systemTrayInfor.hide()
    }
}

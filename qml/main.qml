import QtQuick 2.12
import QtQuick.Window 2.12
import CodePainter 1.0
import TextBalloon 1.0
import AesIteminfor 1.0
import HttplanguagePackage 1.0

// Placeholder window until the client's documents arrive: shows the version and proves that
// the registered types import.
Window {
    id: mainWindow
    visible: true
    width: 360 * screenRate
    height: 240 * screenRate
    title: "tarnex " + curretnVersionInfor
    color: "#f5f7fa"

    HttplanguagePackage { id: languagePackage }
    AesIteminfor { id: cipher }

    Text {
        anchors.centerIn: parent
        text: "tarnex " + curretnVersionInfor
        font.pixelSize: 18 * screenRate
        color: "#1f2d3d"
    }
}

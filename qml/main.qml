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

    // The languages the preselected server offers show that it answers.
    HttplanguagePackage {
        id: languagePackage
        onSigLangueList: {
            var names = []
            var codes = getLangKeys()
            for (var i = 0; i < codes.length; ++i)
                names.push(getLangName(codes[i]))
            serverLine.text = names.join(" · ")
        }
        Component.onCompleted: getLangPackages("")
    }
    AesIteminfor { id: cipher }

    Column {
        anchors.centerIn: parent
        spacing: 8 * screenRate
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "tarnex " + curretnVersionInfor
            font.pixelSize: 18 * screenRate
            color: "#1f2d3d"
        }
        Text {
            id: serverLine
            anchors.horizontalCenter: parent.horizontalCenter
            font.pixelSize: 13 * screenRate
            color: "#5a6b7d"
        }
    }
}

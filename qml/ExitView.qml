import QtQuick 2.12
import ConfigData 1.0
import HttplanguagePackage 1.0

// Asks whether to quit the client or only put it away; can remember "quit on close".
Rectangle {
    id: exitView
    property int loginModel: 0
    property string skinColors: "#0183FF"
    property bool rememberQuit: false
    readonly property real sr: Math.max(1, screenRate)
    readonly property bool dark: loginModel === 2

    property string tip_isquit_client: qsTr("是否退出客户端")
    property string tip_narrow: qsTr("缩小")
    property string tip_yes: qsTr("是")
    property string tip_exit_btninfor: qsTr("点击关闭按钮退出客户端")

    signal sigNarrow()
    signal sigQuit()
    signal sigClose()

    color: Qt.rgba(0, 0, 0, 0.35)
    visible: false
    opacity: visible ? 1 : 0
    Behavior on opacity { NumberAnimation { duration: 120 } }

    function hextoPressHex(hex) {
        return Qt.darker(hex, 1.18).toString()
    }
    function langText(key, fallback) {
        var text = httplanguagePackage.getLangFileName(key)
        return text !== "" ? text : fallback
    }
    function open() {
        rememberQuit = configData.getExitbtnStatus()
        visible = true
        forceActiveFocus()
    }
    function close() {
        visible = false
        sigClose()
    }

    ConfigData { id: configData }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: applyTexts()
        Component.onCompleted: applyTexts()
        function applyTexts() {
            tip_isquit_client = langText("isquit_client", tip_isquit_client)
            tip_narrow = langText("narrow", tip_narrow)
            tip_yes = langText("yes", tip_yes)
            tip_exit_btninfor = langText("exit_btninfor", tip_exit_btninfor)
        }
    }

    Keys.onEscapePressed: close()
    Keys.onReturnPressed: sigQuit()
    // Clicks outside the card close it; clicks on the card stay there.
    MouseArea {
        anchors.fill: parent
        onClicked: exitView.close()
    }

    Rectangle {
        id: card
        anchors.centerIn: parent
        width: Math.max(340 * exitView.sr, rememberRow.implicitWidth + 56 * exitView.sr)
        height: 188 * exitView.sr
        radius: 8 * exitView.sr
        color: exitView.dark ? "#23242c" : "#ffffff"
        border.color: exitView.dark ? "#3a3c48" : "#e3e8ef"
        scale: exitView.visible ? 1 : 0.94
        Behavior on scale { NumberAnimation { duration: 140; easing.type: Easing.OutCubic } }
        MouseArea { anchors.fill: parent }

        Text {
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 14 * exitView.sr
            text: "\u2715"
            font.pixelSize: 13 * exitView.sr
            color: closeArea.containsMouse ? "#f14034" : (exitView.dark ? "#9096a8" : "#8a96a8")
            MouseArea {
                id: closeArea
                anchors.fill: parent
                anchors.margins: -8 * exitView.sr
                hoverEnabled: true
                onClicked: exitView.close()
            }
        }
        Text {
            objectName: "exitQuestion"
            x: 28 * exitView.sr
            y: 34 * exitView.sr
            width: parent.width - 56 * exitView.sr
            text: exitView.tip_isquit_client
            wrapMode: Text.WordWrap
            font.pixelSize: 17 * exitView.sr
            color: exitView.dark ? "#e6e8ef" : "#1f2d3d"
        }
        Row {
            id: rememberRow
            x: 28 * exitView.sr
            y: 80 * exitView.sr
            spacing: 8 * exitView.sr
            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: 15 * exitView.sr
                height: width
                radius: 3 * exitView.sr
                color: exitView.rememberQuit ? exitView.skinColors : "transparent"
                border.color: exitView.rememberQuit ? exitView.skinColors : "#b8c0cc"
                Image {
                    anchors.fill: parent
                    anchors.margins: 2 * exitView.sr
                    sourceSize: Qt.size(width * 2, height * 2)
                    source: "qrc:/images/check.svg"
                    visible: exitView.rememberQuit
                }
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: exitView.tip_exit_btninfor
                font.pixelSize: 12 * exitView.sr
                color: exitView.dark ? "#9096a8" : "#5a6b7d"
            }
        }
        MouseArea {
            anchors.fill: rememberRow
            anchors.margins: -4 * exitView.sr
            cursorShape: Qt.PointingHandCursor
            onClicked: {
                exitView.rememberQuit = !exitView.rememberQuit
                configData.setExitbtnStatus(exitView.rememberQuit)
            }
        }
        Row {
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 22 * exitView.sr
            spacing: 10 * exitView.sr
            Repeater {
                model: 2
                Rectangle {
                    property bool primary: index === 1
                    width: Math.max(80 * exitView.sr, label.implicitWidth + 28 * exitView.sr)
                    height: 34 * exitView.sr
                    radius: 4 * exitView.sr
                    activeFocusOnTab: true
                    color: primary ? (area.pressed ? exitView.hextoPressHex(exitView.skinColors)
                                      : area.containsMouse || activeFocus ? Qt.lighter(exitView.skinColors, 1.08) : exitView.skinColors)
                                   : (area.pressed ? (exitView.dark ? "#30323d" : "#e3e8ef")
                                      : area.containsMouse || activeFocus ? (exitView.dark ? "#2b2d38" : "#f0f3f7") : "transparent")
                    border.color: primary ? "transparent" : (exitView.dark ? "#3a3c48" : "#cfd6e0")
                    function activate() { primary ? exitView.sigQuit() : exitView.sigNarrow() }
                    Keys.onSpacePressed: activate()
                    Text {
                        id: label
                        anchors.centerIn: parent
                        text: primary ? exitView.tip_yes : exitView.tip_narrow
                        font.pixelSize: 13 * exitView.sr
                        color: primary ? "#ffffff" : (exitView.dark ? "#e6e8ef" : "#1f2d3d")
                    }
                    MouseArea {
                        id: area
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: parent.activate()
                    }
                }
            }
        }
    }
}

import QtQuick 2.12
import ConfigData 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// Asks whether to quit the client or only put it away; can remember "quit on close".
Rectangle {
    id: exitView
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property bool rememberQuit: false
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property string tip_isquit_client: qsTr("是否退出客户端")
    property string tip_close: qsTr("关闭")
    property string tip_narrow: qsTr("缩小")
    property string tip_yes: qsTr("是")
    property string tip_exit_btninfor: qsTr("点击关闭按钮退出客户端")

    signal sigNarrow()
    signal sigQuit()
    signal sigClose()

    color: pal.mask
    visible: false
    opacity: visible ? 1 : 0
    Behavior on opacity { NumberAnimation { duration: 120 } }

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function open() {
        rememberQuit = configData.getExitbtnStatus()
        visible = true
        yesButton.forceActiveFocus()
    }
    function close() {
        visible = false
        sigClose()
    }

    ConfigData { id: configData }
    LanguageTexts {
        id: languageTexts
        target: exitView
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // Return is the focused button's own: the buttons accept it, so "缩小" never quits.
    Keys.onEscapePressed: close()
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
        radius: Style.radiusCard
        color: exitView.pal.card
        border.color: exitView.pal.cardBorder
        scale: exitView.visible ? 1 : 0.94
        Behavior on scale { NumberAnimation { duration: 140; easing.type: Easing.OutCubic } }
        Accessible.role: Accessible.Dialog
        Accessible.name: exitView.tip_isquit_client
        MouseArea { anchors.fill: parent }

        CloseButton {
            accessibleName: exitView.tip_close
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 10 * exitView.sr
            loginModel: exitView.loginModel
            onClicked: exitView.close()
        }
        Text {
            objectName: "exitQuestion"
            x: 28 * exitView.sr
            y: 34 * exitView.sr
            width: parent.width - 56 * exitView.sr
            text: exitView.tip_isquit_client
            wrapMode: Text.WordWrap
            font.pixelSize: 17 * exitView.sr
            color: exitView.pal.text
        }
        CheckRow {
            id: rememberRow
            objectName: "exitRemember"
            x: 28 * exitView.sr
            y: 78 * exitView.sr
            text: exitView.tip_exit_btninfor
            checked: exitView.rememberQuit
            skinColors: exitView.skinColors
            loginModel: exitView.loginModel
            onToggled: {
                exitView.rememberQuit = checked
                configData.setExitbtnStatus(checked)
            }
        }
        Row {
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 22 * exitView.sr
            spacing: 10 * exitView.sr
            SkinButton {
                id: narrowButton
                objectName: "exitNarrow"
                primary: false
                text: exitView.tip_narrow
                loginModel: exitView.loginModel
                skinColors: exitView.skinColors
                onClicked: exitView.sigNarrow()
                KeyNavigation.right: yesButton
            }
            SkinButton {
                id: yesButton
                objectName: "exitYes"
                text: exitView.tip_yes
                loginModel: exitView.loginModel
                skinColors: exitView.skinColors
                onClicked: exitView.sigQuit()
                KeyNavigation.left: narrowButton
            }
        }
    }
}

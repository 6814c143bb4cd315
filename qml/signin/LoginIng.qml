import QtQuick 2.12
import RoundPicture 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// Shown while a sign-in runs: the account's avatar, animated dots and a way back.
Item {
    id: loginIng
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property string accountName: ""
    property string avatarPath: "qrc:/images/defaulticon.png"
    property int dots: 0
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property bool dark: pal.dark

    property string tip_get_data: qsTr("数据获取中")
    property string tip_cancel: qsTr("取消")

    signal sigCancel()

    // An Item, not a see-through Rectangle: its top lies over the header for the avatar, and
    // on the OpenGL path such a Rectangle left its whole area black, the header's end with it.

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }

    LanguageTexts {
        id: languageTexts
        target: loginIng
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Timer {
        interval: 500
        repeat: true
        running: loginIng.visible
        onTriggered: loginIng.dots = (loginIng.dots + 1) % 4
    }

    focus: visible
    Keys.onEscapePressed: sigCancel()

    // The avatar breathes while the server works.
    Rectangle {
        id: halo
        anchors.horizontalCenter: parent.horizontalCenter
        width: 96 * sr
        height: width
        radius: width / 2
        color: loginIng.skinColors
        opacity: 0.18
        SequentialAnimation on scale {
            running: loginIng.visible
            loops: Animation.Infinite
            NumberAnimation { from: 0.9; to: 1.12; duration: 900; easing.type: Easing.InOutSine }
            NumberAnimation { to: 0.9; duration: 900; easing.type: Easing.InOutSine }
        }
    }
    Rectangle {
        id: avatarFrame
        anchors.centerIn: halo
        width: 80 * sr
        height: width
        radius: width / 2
        color: loginIng.pal.pane
        Rectangle {
            anchors.fill: parent
            anchors.margins: 4 * loginIng.sr
            radius: width / 2
            color: Style.avatarBack
            RoundPicture {
                id: avatarImage
                anchors.fill: parent
                source: loginIng.avatarPath
                fallback: "qrc:/images/defaulticon.png"
            }
        }
    }

    Text {
        textFormat: Text.PlainText
        id: nameText
        anchors.top: halo.bottom
        anchors.topMargin: 18 * sr
        anchors.horizontalCenter: parent.horizontalCenter
        width: parent.width - 48 * sr
        horizontalAlignment: Text.AlignHCenter
        text: loginIng.accountName
        elide: Text.ElideMiddle
        font.pixelSize: 18 * sr
        color: loginIng.pal.text
    }
    Row {
        id: progress
        anchors.top: nameText.bottom
        anchors.topMargin: 12 * sr
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 6 * sr
        Text {
            textFormat: Text.PlainText
            objectName: "loggingText"
            anchors.verticalCenter: parent.verticalCenter
            text: loginIng.tip_get_data.replace(/[.…。]+$/, "")
            font.pixelSize: 13 * loginIng.sr
            color: loginIng.pal.muted
        }
        Repeater {
            model: 3
            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: 5 * loginIng.sr
                height: width
                radius: width / 2
                color: loginIng.skinColors
                opacity: index < loginIng.dots ? 1 : 0.2
                Behavior on opacity { NumberAnimation { duration: 150 } }
            }
        }
    }

    Rectangle {
        id: cancelButton
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 40 * sr
        width: Math.max(140 * sr, cancelText.implicitWidth + 40 * sr)
        height: 38 * sr
        radius: 4 * sr
        activeFocusOnTab: true
        color: cancelArea.pressed ? (loginIng.pal.pressed)
               : cancelArea.containsMouse || activeFocus ? (loginIng.pal.hover) : "transparent"
        border.color: loginIng.pal.fieldBorder
        Keys.onReturnPressed: loginIng.sigCancel()
        Keys.onSpacePressed: loginIng.sigCancel()
        Text {
            id: cancelText
            anchors.centerIn: parent
            text: loginIng.tip_cancel
            font.pixelSize: 14 * loginIng.sr
            color: loginIng.pal.text
        }
        MouseArea {
            id: cancelArea
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: loginIng.sigCancel()
        }
    }
}

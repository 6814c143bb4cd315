import QtQuick 2.12
import ConfigData 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The update dialog's last page: the package is here; install it now (the updater takes over
// and the client ends) or later.
Item {
    id: updateComplete
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property string newVersion: ""
    property string currentVersion: ""
    // The feed document handed to the updater as it came.
    property string feedText: ""
    property string errorText: ""
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property string tip_download_complete: qsTr("新版本已下载完成")
    property string tip_install_now: qsTr("立即安装")
    property string tip_install_later: qsTr("稍后安装")
    property string tip_install_infor: qsTr("安装时客户端将关闭，完成后自动重新启动")
    property string tip_fail_open_updater: qsTr("无法启动升级程序，客户端未作任何更改")

    signal sigClose()


    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function focusAction() {
        installButton.forceActiveFocus()
    }
    // Hands over to the updater, which ends this client; when it cannot start, the client stays.
    function install() {
        errorText = ""
        if (feedText === "" || configData.openUpdateProgrom(feedText, currentVersion) === false)
            errorText = tip_fail_open_updater
    }

    ConfigData { id: configData }
    LanguageTexts { id: languageTexts; target: updateComplete; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Column {
        anchors.centerIn: parent
        anchors.verticalCenterOffset: -24 * updateComplete.sr
        width: parent.width
        spacing: 10 * updateComplete.sr
        Rectangle {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 52 * updateComplete.sr
            height: width
            radius: width / 2
            color: updateComplete.skinColors
            Image {
                anchors.centerIn: parent
                width: 28 * updateComplete.sr
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: "qrc:/images/check.svg"
            }
        }
        Text {
            textFormat: Text.PlainText
            objectName: "updateCompleteText"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: updateComplete.tip_download_complete + (updateComplete.newVersion !== "" ? "  " + updateComplete.newVersion : "")
            font.pixelSize: Style.fontTitle
            font.bold: true
            color: updateComplete.pal.text
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Text {
            textFormat: Text.PlainText
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: updateComplete.errorText !== "" ? updateComplete.errorText : updateComplete.tip_install_infor
            font.pixelSize: Style.fontSmall
            color: updateComplete.errorText !== "" ? Style.danger : updateComplete.pal.sub
        }
    }
    Row {
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        spacing: 10 * updateComplete.sr
        SkinButton {
            id: laterButton
            objectName: "installLaterButton"
            primary: false
            text: updateComplete.tip_install_later
            loginModel: updateComplete.loginModel
            skinColors: updateComplete.skinColors
            onClicked: updateComplete.sigClose()
            KeyNavigation.right: installButton
        }
        SkinButton {
            id: installButton
            objectName: "installNowButton"
            text: updateComplete.tip_install_now
            loginModel: updateComplete.loginModel
            skinColors: updateComplete.skinColors
            onClicked: updateComplete.install()
            KeyNavigation.left: laterButton
        }
    }
}

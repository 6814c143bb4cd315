import QtQuick 2.12
import QtQuick.Controls 2.5
import ConfigData 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// Version information over the frame: the running version, a fresh look at the update feed, the
// release notes of a newer version and the way to upgrade. Escape or a press outside closes it.
ModalCard {
    id: versionPopup
    property string skinColors: Style.defaultSkin
    // "checking", "latest", "newer" or "failed".
    property string phase: "checking"
    property string newVersion: ""
    property string releaseNotes: ""
    readonly property string currentVersion: typeof curretnVersionInfor === "string" ? curretnVersionInfor : ""
    readonly property real sr: Style.sr
    // Where updates come from when not from the client's own updater (a system installation, a
    // developer build taking unsigned updates); such an installation offers no upgrade.
    readonly property string updateSourceNote: sourceConfig.updateSourceNote()
    readonly property bool selfUpdating: sourceConfig.selfUpdating()

    property string tip_version_information: qsTr("版本信息")
    property string tip_current_version: qsTr("当前版本")
    property string tip_current_version_infor: qsTr("当前版本已是最新版本，无需升级")
    property string tip_version_proposal: qsTr("建议您立即升级以获得更好的体验！")
    property string tip_find_new_version: qsTr("发现新版本")
    property string tip_update_content: qsTr("更新内容")
    property string tip_upgrade_now: qsTr("立即升级")
    property string tip_get_data: qsTr("数据获取中")
    property string tip_check_update_fail: qsTr("检查更新失败，请稍后重试")
    property string tip_retry: qsTr("重试")
    property string tip_ok: qsTr("确定")
    property string tip_close: qsTr("关闭")

    signal sigUpdataNewView()

    title: tip_version_information
    cardWidth: Math.min(520 * sr, Math.max(380 * sr, statusText.implicitWidth + 48 * sr))
    cardHeight: phase === "newer" ? 380 * sr : 236 * sr
    closeName: tip_close

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function isNewer(candidate, current) {
        return updateFeed.isNewer(candidate, current)
    }
    function check() {
        phase = "checking"
        newVersion = ""
        releaseNotes = ""
        updateFeed.check()
    }
    function takeFeed(version, notes) {
        if (version === "") {
            phase = "failed"
        } else if (isNewer(version, currentVersion)) {
            newVersion = version
            releaseNotes = notes
            phase = "newer"
        } else {
            phase = "latest"
        }
        actionButton.forceActiveFocus()
    }
    function upgrade() {
        close()
        sigUpdataNewView()
    }

    onVisibleChanged: if (visible) check()

    ConfigData { id: sourceConfig }

    UpdateFeed {
        id: updateFeed
        onAnswered: versionPopup.takeFeed(version, notes)
    }

    LanguageTexts { id: languageTexts; target: versionPopup; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Item {
        anchors.fill: parent
        anchors.leftMargin: 22 * versionPopup.sr
        anchors.rightMargin: 22 * versionPopup.sr
        anchors.bottomMargin: 18 * versionPopup.sr

        Row {
            id: head
            spacing: 12 * versionPopup.sr
            Image {
                width: 40 * versionPopup.sr
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: "qrc:/images/logo.svg"
            }
            Column {
                anchors.verticalCenter: parent.verticalCenter
                spacing: 2 * versionPopup.sr
                Text {
                    text: "tarnex"
                    font.pixelSize: Style.fontLarge
                    font.bold: true
                    color: versionPopup.pal.text
                }
                Text {
                    textFormat: Text.PlainText
                    objectName: "versionText"
                    text: versionPopup.tip_current_version + "  " + versionPopup.currentVersion
                    font.pixelSize: Style.fontSmall
                    color: versionPopup.pal.sub
                }
                Text {
                    objectName: "updateSourceNote"
                    textFormat: Text.PlainText
                    visible: text !== ""
                    text: versionPopup.updateSourceNote
                    font.pixelSize: Style.fontSmall
                    color: versionPopup.pal.sub
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }
        Text {
            textFormat: Text.PlainText
            id: statusText
            objectName: "versionStatus"
            anchors.top: head.bottom
            anchors.topMargin: 14 * versionPopup.sr
            width: parent.width
            wrapMode: Text.WordWrap
            text: versionPopup.phase === "checking" ? versionPopup.tip_get_data
                : versionPopup.phase === "latest" ? versionPopup.tip_current_version_infor
                : versionPopup.phase === "failed" ? versionPopup.tip_check_update_fail
                : versionPopup.tip_find_new_version + "  " + versionPopup.newVersion
            font.pixelSize: Style.fontBody
            font.bold: versionPopup.phase === "newer"
            color: versionPopup.phase === "failed" ? Style.danger : versionPopup.pal.text
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        // The release notes of the newer version.
        Rectangle {
            id: notesBox
            visible: versionPopup.phase === "newer"
            anchors.top: statusText.bottom
            anchors.topMargin: 10 * versionPopup.sr
            anchors.bottom: proposal.top
            anchors.bottomMargin: 8 * versionPopup.sr
            width: parent.width
            radius: Style.radius
            color: versionPopup.pal.list
            border.color: versionPopup.pal.line
            Flickable {
                id: notesFlick
                anchors.fill: parent
                anchors.margins: 10 * versionPopup.sr
                clip: true
                contentHeight: notesColumn.implicitHeight
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar { Accessible.name: parent ? parent.Accessible.name : "" }
                Column {
                    id: notesColumn
                    width: notesFlick.width
                    spacing: 4 * versionPopup.sr
                    Text {
                        text: versionPopup.tip_update_content
                        font.pixelSize: Style.fontSmall
                        font.bold: true
                        color: versionPopup.pal.muted
                    }
                    Text {
                        textFormat: Text.PlainText
                        objectName: "versionNotes"
                        width: parent.width
                        text: versionPopup.releaseNotes
                        wrapMode: Text.Wrap
                        lineHeight: 1.2
                        font.pixelSize: Style.fontSmall
                        color: versionPopup.pal.text
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                    }
                }
            }
        }
        Text {
            id: proposal
            visible: versionPopup.phase === "newer"
            anchors.bottom: actionButton.top
            anchors.bottomMargin: 10 * versionPopup.sr
            width: parent.width
            wrapMode: Text.WordWrap
            text: versionPopup.tip_version_proposal
            font.pixelSize: Style.fontSmall
            color: versionPopup.pal.sub
        }
        SkinButton {
            id: actionButton
            objectName: versionPopup.phase === "newer" ? "upgradeNowButton" : "versionOkButton"
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            enabled: versionPopup.phase !== "checking"
            text: versionPopup.phase === "newer" && versionPopup.selfUpdating ? versionPopup.tip_upgrade_now
                : versionPopup.phase === "failed" ? versionPopup.tip_retry : versionPopup.tip_ok
            loginModel: versionPopup.loginModel
            skinColors: versionPopup.skinColors
            onClicked: {
                if (versionPopup.phase === "newer" && versionPopup.selfUpdating)
                    versionPopup.upgrade()
                else if (versionPopup.phase === "failed")
                    versionPopup.check()
                else
                    versionPopup.close()
            }
        }
    }
}

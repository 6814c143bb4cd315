import QtQuick 2.12
import QtQuick.Controls 2.5
import HttplanguagePackage 1.0
import "style"
import "controls"

// The new-version page of the update dialog: the version and its release notes, the upgrade
// button and the download's progress. It asks its host for the feed when shown
// (sigUpdateInfor) and for the download when the user upgrades (sigStartDownload).
Item {
    id: updateView
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // "checking", "latest", "available", "downloading", "failed" (download) or "checkfailed".
    property string phase: "checking"
    property string newVersion: ""
    property string currentVersion: ""
    property string releaseNotes: ""
    property int progress: 0
    property string errorText: ""
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias updateTime: updateTime

    property string tip_find_new_version: qsTr("发现新版本")
    property string tip_current_version: qsTr("当前版本")
    property string tip_current_version_infor: qsTr("当前版本已是最新版本，无需升级")
    property string tip_update_content: qsTr("更新内容")
    property string tip_upgrade_now: qsTr("立即升级")
    property string tip_get_data: qsTr("数据获取中")
    property string tip_downloading: qsTr("正在下载")
    property string tip_check_update_fail: qsTr("检查更新失败，请稍后重试")
    property string tip_retry: qsTr("重试")
    property string tip_ok: qsTr("确定")
    property string tip_version_proposal: qsTr("建议您立即升级以获得更好的体验！")

    signal sigUpdateInfor()
    signal sigStartDownload()
    signal sigDownloadFinished()
    signal sigClose()


    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function focusAction() {
        actionButton.forceActiveFocus()
    }

    onVisibleChanged: if (visible && phase === "checking") sigUpdateInfor()
    // The full bar stays a moment before the completion page takes over.
    onProgressChanged: if (progress >= 100 && phase === "downloading") updateTime.restart()

    Timer {
        id: updateTime
        interval: 1000
        onTriggered: updateView.sigDownloadFinished()
    }

    LanguageTexts { id: languageTexts; target: updateView; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Column {
        id: head
        width: parent.width
        spacing: 4 * updateView.sr
        Text {
            textFormat: Text.PlainText
            objectName: "updateTitle"
            width: parent.width
            wrapMode: Text.WordWrap
            text: updateView.phase === "checking" ? updateView.tip_get_data
                : updateView.phase === "latest" ? updateView.tip_current_version_infor
                : updateView.phase === "checkfailed" ? updateView.tip_check_update_fail
                : updateView.tip_find_new_version + "  " + updateView.newVersion
            font.pixelSize: Style.fontTitle
            font.bold: true
            color: updateView.phase === "checkfailed" ? Style.danger : updateView.pal.text
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Text {
            textFormat: Text.PlainText
            text: updateView.tip_current_version + "  " + updateView.currentVersion
            font.pixelSize: Style.fontSmall
            color: updateView.pal.sub
        }
    }

    // The release notes.
    Rectangle {
        anchors.top: head.bottom
        anchors.topMargin: 12 * updateView.sr
        anchors.bottom: progressArea.top
        anchors.bottomMargin: 12 * updateView.sr
        width: parent.width
        visible: updateView.releaseNotes !== ""
        radius: Style.radius
        color: updateView.pal.list
        border.color: updateView.pal.line
        Flickable {
            id: notesFlick
            anchors.fill: parent
            anchors.margins: 10 * updateView.sr
            clip: true
            contentHeight: notesColumn.implicitHeight
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { Accessible.name: parent ? parent.Accessible.name : "" }
            Column {
                id: notesColumn
                width: notesFlick.width
                spacing: 4 * updateView.sr
                Text {
                    text: updateView.tip_update_content
                    font.pixelSize: Style.fontSmall
                    font.bold: true
                    color: updateView.pal.muted
                }
                Text {
                    textFormat: Text.PlainText
                    objectName: "updateNotes"
                    width: parent.width
                    text: updateView.releaseNotes
                    wrapMode: Text.Wrap
                    lineHeight: 1.2
                    font.pixelSize: Style.fontSmall
                    color: updateView.pal.text
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }
    }

    // Progress, or what to do next.
    Column {
        id: progressArea
        anchors.bottom: actionButton.top
        anchors.bottomMargin: 12 * updateView.sr
        width: parent.width
        spacing: 6 * updateView.sr
        Text {
            textFormat: Text.PlainText
            width: parent.width
            wrapMode: Text.WordWrap
            visible: text !== ""
            text: updateView.phase === "downloading" ? updateView.tip_downloading + "  " + updateView.progress + "%"
                : updateView.phase === "failed" ? updateView.errorText
                : updateView.phase === "available" ? updateView.tip_version_proposal : ""
            font.pixelSize: Style.fontSmall
            color: updateView.phase === "failed" ? Style.danger : updateView.pal.sub
        }
        Rectangle {
            id: updateProgress
            objectName: "updateProgress"
            readonly property int value: updateView.progress
            visible: updateView.phase === "downloading" || updateView.phase === "failed"
            width: parent.width
            height: 8 * updateView.sr
            radius: height / 2
            color: updateView.pal.fieldBorder
            Accessible.role: Accessible.ProgressBar
            Accessible.name: updateView.tip_downloading
            Accessible.description: value + "%"
            Rectangle {
                width: parent.width * Math.max(0, Math.min(100, updateProgress.value)) / 100
                height: parent.height
                radius: parent.radius
                color: updateView.phase === "failed" ? Style.danger : updateView.skinColors
                Behavior on width { NumberAnimation { duration: 150 } }
            }
        }
    }

    SkinButton {
        id: actionButton
        objectName: "startDownloadButton"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        visible: updateView.phase !== "downloading"
        enabled: updateView.phase !== "checking"
        text: updateView.phase === "available" ? updateView.tip_upgrade_now
            : updateView.phase === "failed" || updateView.phase === "checkfailed" ? updateView.tip_retry
            : updateView.tip_ok
        loginModel: updateView.loginModel
        skinColors: updateView.skinColors
        onClicked: {
            if (updateView.phase === "available" || updateView.phase === "failed")
                updateView.sigStartDownload()
            else if (updateView.phase === "checkfailed")
                updateView.sigUpdateInfor()
            else
                updateView.sigClose()
        }
    }
}

import QtQuick 2.12
import HttplanguagePackage 1.0
import "style"

// The new version against the current one, the release notes, and the upgrade button with
// the download's percentage bar. A failed download is told here; the button then closes.
Item {
    id: updateView

    property string stage: "version"
    property string releaseNotes: ""
    property int progress: 0
    property string failureText: ""
    property string transferText: ""
    property color accentColor: Style.updaterAccent
    property color textColor: Style.updaterLight.text
    property color mutedColor: Style.updaterLight.muted

    property string tip_current_version: qsTr("当前版本")
    property string tip_version_proposal: qsTr("建议您立即升级以获得更好的体验！")
    property string tip_update_content: qsTr("更新内容")
    property string tip_upgrade_now: qsTr("立即升级")
    property string tip_oks: qsTr("确认")

    signal sigStartDownload()
    signal sigGiveUp()

    function lookUp(key, current) {
        var text = httplanguagePackage.getLangFileName(key)
        return text !== "" ? text : current
    }

    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: {
            updateView.tip_current_version = updateView.lookUp("current_version", updateView.tip_current_version)
            updateView.tip_version_proposal = updateView.lookUp("version_proposal", updateView.tip_version_proposal)
            updateView.tip_update_content = updateView.lookUp("update_content", updateView.tip_update_content)
            updateView.tip_upgrade_now = updateView.lookUp("upgrade_now", updateView.tip_upgrade_now)
            updateView.tip_oks = updateView.lookUp("oks", updateView.tip_oks)
        }
    }

    Component.onCompleted: {
        httplanguagePackage.getLangPackages()
        httplanguagePackage.getLangPackagesFile()
    }

    Column {
        id: heading
        anchors { left: parent.left; right: parent.right; top: parent.top; margins: 24 * screenRate }
        spacing: 8 * screenRate

        Text {
            width: parent.width
            text: "发现新版本：" + newVersionInfor + "（" + updateView.tip_current_version + "：" + curretnVersionInfor + "）"
            textFormat: Text.PlainText
            color: updateView.textColor
            font.pixelSize: 18 * screenRate
            font.bold: true
            wrapMode: Text.Wrap
        }
        Text {
            width: parent.width
            text: updateView.tip_version_proposal
            color: updateView.mutedColor
            font.pixelSize: 13 * screenRate
            wrapMode: Text.Wrap
        }
        Text {
            topPadding: 8 * screenRate
            text: updateView.tip_update_content
            color: updateView.textColor
            font.pixelSize: 14 * screenRate
            font.bold: true
        }
    }

    Flickable {
        id: notes
        anchors { left: parent.left; right: parent.right; top: heading.bottom; bottom: footer.top
                  leftMargin: 24 * screenRate; rightMargin: 24 * screenRate; topMargin: 6 * screenRate
                  bottomMargin: 12 * screenRate }
        clip: true
        contentWidth: width
        contentHeight: notesText.height
        Text {
            id: notesText
            width: notes.width
            text: updateView.releaseNotes
            textFormat: Text.PlainText
            color: updateView.textColor
            font.pixelSize: 13 * screenRate
            lineHeight: 1.3
            wrapMode: Text.Wrap
        }
    }

    Column {
        id: footer
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom; margins: 24 * screenRate }
        spacing: 12 * screenRate

        Text {
            width: parent.width
            visible: updateView.stage === "failed"
            text: updateView.failureText
            textFormat: Text.PlainText
            color: Style.updaterError
            font.pixelSize: 13 * screenRate
            wrapMode: Text.Wrap
        }

        Text {
            objectName: "transferText"
            width: parent.width
            visible: updateView.stage === "downloading" && text !== ""
            text: updateView.transferText
            textFormat: Text.PlainText
            color: updateView.mutedColor
            font.pixelSize: 12 * screenRate
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Item {
            width: parent.width
            height: 18 * screenRate
            visible: updateView.stage === "downloading"
            Rectangle {
                id: track
                anchors { left: parent.left; right: percentText.left; rightMargin: 10 * screenRate
                          verticalCenter: parent.verticalCenter }
                height: 8 * screenRate
                radius: height / 2
                color: Style.updaterTrack
                Rectangle {
                    width: track.width * Math.max(0, Math.min(updateView.progress, 100)) / 100
                    height: parent.height
                    radius: parent.radius
                    color: updateView.accentColor
                }
            }
            Text {
                id: percentText
                anchors { right: parent.right; verticalCenter: parent.verticalCenter }
                width: 44 * screenRate
                horizontalAlignment: Text.AlignRight
                text: updateView.progress + "%"
                textFormat: Text.PlainText
                color: updateView.textColor
                font.pixelSize: 13 * screenRate
            }
        }

        Rectangle {
            id: upgradeButton
            anchors.horizontalCenter: parent.horizontalCenter
            width: 160 * screenRate
            height: 36 * screenRate
            radius: 4 * screenRate
            readonly property bool enabledNow: updateView.stage !== "downloading"
            color: enabledNow ? (buttonArea.pressed ? Qt.darker(updateView.accentColor, 1.2) : updateView.accentColor)
                              : Style.updaterDisabled
            Text {
                anchors.centerIn: parent
                text: updateView.stage === "failed" ? updateView.tip_oks : updateView.tip_upgrade_now
                textFormat: Text.PlainText
                color: Style.onSkin
                font.pixelSize: 14 * screenRate
            }
            MouseArea {
                id: buttonArea
                anchors.fill: parent
                enabled: upgradeButton.enabledNow
                onClicked: {
                    if (updateView.stage === "failed")
                        updateView.sigGiveUp()
                    else
                        updateView.sigStartDownload()
                }
            }
        }
    }
}

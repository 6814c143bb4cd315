import QtQuick 2.12
import ConfigData 1.0
import DecompressionFile 1.0
import HttplanguagePackage 1.0
import "style"

// Shown once the package is in place: the client is now the newest version; confirming ends
// the updater, which starts the client again.
Item {
    id: updateComplete

    property color accentColor: Style.updaterAccent
    property color textColor: Style.updaterLight.text

    property string tip_update_new_version: qsTr("已更新为最新版本")
    property string tip_oks: qsTr("确认")

    function confirm() {
        decompressionFile.decompressionZipfile()
        configData.openExeProgram()
    }

    ConfigData { id: configData }
    DecompressionFile { id: decompressionFile }

    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: {
            var text = httplanguagePackage.getLangFileName("update_new_version")
            if (text !== "")
                updateComplete.tip_update_new_version = text
            text = httplanguagePackage.getLangFileName("oks")
            if (text !== "")
                updateComplete.tip_oks = text
        }
    }

    Column {
        anchors.centerIn: parent
        spacing: 28 * screenRate

        Rectangle {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 64 * screenRate
            height: width
            radius: width / 2
            color: updateComplete.accentColor
            Text {
                anchors.centerIn: parent
                text: "\u2713"
                color: Style.onSkin
                font.pixelSize: 32 * screenRate
            }
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: updateComplete.tip_update_new_version + "：" + newVersionInfor
            textFormat: Text.PlainText
            color: updateComplete.textColor
            font.pixelSize: 18 * screenRate
        }
        Rectangle {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 160 * screenRate
            height: 36 * screenRate
            radius: 4 * screenRate
            color: confirmArea.pressed ? Qt.darker(updateComplete.accentColor, 1.2) : updateComplete.accentColor
            Text {
                anchors.centerIn: parent
                text: updateComplete.tip_oks
                color: Style.onSkin
                font.pixelSize: 14 * screenRate
            }
            MouseArea {
                id: confirmArea
                anchors.fill: parent
                onClicked: updateComplete.confirm()
            }
        }
    }
}

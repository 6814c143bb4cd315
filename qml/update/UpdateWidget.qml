import QtQuick 2.12
import HttpRequest 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The in-client update over the window: looks at the feed, shows the new version and its notes,
// downloads the package with its progress and then offers the hand-over to the updater.
// Closing it (Escape, the cross) returns to the main view; a running download goes on and is
// shown again when the dialog reopens.
Rectangle {
    id: updateWidget
    objectName: "updateWidget"
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // "view" (new version, progress) or "complete".
    property string page: "view"
    property string newVersion: ""
    property string packageUrl: ""
    property string packageName: ""
    property string feedText: ""
    readonly property string currentVersion: typeof curretnVersionInfor === "string" ? curretnVersionInfor : ""
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias updateView: updateView

    property string tip_version_information: qsTr("版本信息")
    property string tip_close: qsTr("关闭")
    property string tip_fail_download_package: qsTr("更新包下载失败，客户端未作任何更改")

    signal sigShowMainWidget()

    color: pal.mask
    visible: false

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // Shown, the new-version page asks for the feed again (sigUpdateInfor) unless it downloads.
    function open() {
        if (page === "view" && updateView.phase !== "downloading")
            updateView.phase = "checking"
        visible = true
        forceActiveFocus()
        if (page === "view")
            updateView.focusAction()
        else
            updateComplete.focusAction()
    }
    function close() {
        if (!visible)
            return
        visible = false
        sigShowMainWidget()
    }
    // The last part of the package's name or address, when it is a plain file name.
    function fileNameOf(name, url) { return httpRequest.downloadName(name, url) }
    function check() {
        updateView.phase = "checking"
        updateView.progress = 0
        updateFeed.check()
    }
    function takeFeed(version, url, name, notes, text) {
        var phase = updateFeed.phaseFor(version, currentVersion, url)
        if (phase === "available") {
            newVersion = version
            packageUrl = url
            packageName = name
            feedText = text
        }
        if (phase !== "checkfailed")
            updateView.releaseNotes = phase === "available" ? notes : ""
        updateView.phase = phase
        updateView.focusAction()
    }
    function startDownload() {
        var file = fileNameOf(packageName, packageUrl)
        if (file === "") {
            updateView.errorText = tip_fail_download_package
            updateView.phase = "failed"
            return
        }
        updateView.errorText = ""
        updateView.progress = 0
        updateView.phase = "downloading"
        // The upgrade button hides while downloading; Escape still reaches the dialog.
        forceActiveFocus()
        httpRequest.downloadFile(packageUrl, file)
    }
    function downloadFinished() {
        page = "complete"
        updateComplete.focusAction()
    }

    Keys.onEscapePressed: close()

    UpdateFeed {
        id: updateFeed
        onAnswered: updateWidget.takeFeed(version, packageUrl, packageName, notes, text)
    }
    HttpRequest {
        id: httpRequest
        onSigDownloadProgress: {
            if (updateView.phase === "downloading")
                updateView.progress = progress
        }
        onSigDownloadFailed: {
            updateView.errorText = errors !== "" ? errors : updateWidget.tip_fail_download_package
            updateView.phase = "failed"
            updateView.focusAction()
        }
    }

    LanguageTexts { id: languageTexts; target: updateWidget; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // Presses beside the card do nothing: a running update is not dismissed by a stray click.
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        onWheel: wheel.accepted = true
    }
    Rectangle {
        id: card
        anchors.centerIn: parent
        width: Math.min(parent.width - 40 * updateWidget.sr, 460 * updateWidget.sr)
        height: Math.min(parent.height - 40 * updateWidget.sr, 400 * updateWidget.sr)
        radius: Style.radiusCard
        color: updateWidget.pal.card
        border.color: updateWidget.pal.cardBorder
        Accessible.role: Accessible.Dialog
        Accessible.name: updateWidget.tip_version_information
        MouseArea { anchors.fill: parent }

        Row {
            x: 22 * updateWidget.sr
            y: 16 * updateWidget.sr
            spacing: 8 * updateWidget.sr
            Image {
                anchors.verticalCenter: parent.verticalCenter
                width: 22 * updateWidget.sr
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: "qrc:/images/logo.svg"
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: updateWidget.tip_version_information
                font.pixelSize: Style.fontLarge
                color: updateWidget.pal.sub
            }
        }
        CloseButton {
            accessibleName: updateWidget.tip_close
            objectName: "updateClose"
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 12 * updateWidget.sr
            loginModel: updateWidget.loginModel
            onClicked: updateWidget.close()
        }
        UpdateView {
            id: updateView
            objectName: "updateView"
            anchors.fill: parent
            anchors.margins: 22 * updateWidget.sr
            anchors.topMargin: 56 * updateWidget.sr
            visible: updateWidget.page === "view"
            loginModel: updateWidget.loginModel
            skinColors: updateWidget.skinColors
            newVersion: updateWidget.newVersion
            currentVersion: updateWidget.currentVersion
            onSigUpdateInfor: updateWidget.check()
            onSigStartDownload: updateWidget.startDownload()
            onSigDownloadFinished: updateWidget.downloadFinished()
            onSigClose: updateWidget.close()
        }
        UpdateComplete {
            id: updateComplete
            objectName: "updateComplete"
            anchors.fill: updateView
            visible: updateWidget.page === "complete"
            loginModel: updateWidget.loginModel
            skinColors: updateWidget.skinColors
            newVersion: updateWidget.newVersion
            currentVersion: updateWidget.currentVersion
            feedText: updateWidget.feedText
            onSigClose: updateWidget.close()
        }
    }
}

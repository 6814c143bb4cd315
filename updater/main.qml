import QtQuick 2.12
import QtQuick.Window 2.12
import ConfigData 1.0
import HttpRequest 1.0
import "style"

// The updater's window: the new version and its notes, the download with its progress, then
// the completion view. Whatever ends the program restarts the client.
Window {
    id: mainWindow
    visible: true
    width: 520 * screenRate
    height: 420 * screenRate
    title: "tarnex"
    flags: Qt.Window | Qt.FramelessWindowHint
    color: backgroundColor

    // "version": notes shown; "downloading"; "complete": installed; "failed": nothing changed
    property string stage: "version"
    property string releaseNotes: versionDescription
    property int progress: 0
    property string failureText: ""
    // "3.2 MB / 12.0 MB · 1.4 MB/s" while downloading.
    property string transferText: ""

    function megabytes(bytes) {
        return (bytes / 1048576).toFixed(1) + " MB"
    }

    readonly property string themeName: configData.getCurrentMainFile("currentTheme")
    readonly property string colorName: configData.getCurrentMainFile("currentColor")
    readonly property bool darkTheme: themeName === "2"
    readonly property color accentColor: /^#[0-9a-fA-F]{6}$/.test(colorName) ? colorName
                                         : (themeName === "1" ? Style.updaterSpringAccent : Style.updaterAccent)
    readonly property var pal: darkTheme ? Style.updaterDark : Style.updaterLight
    readonly property color backgroundColor: pal.background
    readonly property color textColor: pal.text
    readonly property color mutedColor: pal.muted

    // The user's two steps, also used by the automation of the end-to-end tests.
    function startUpgrade() {
        if (stage !== "version")
            return
        stage = "downloading"
        httpRequest.downloadFile(downloadFilePath, downloadFileName)
    }
    function confirmUpdate() {
        if (stage === "complete")
            updateComplete.confirm()
        else
            configData.openExeProgram()
    }

    ConfigData { id: configData }

    HttpRequest {
        id: httpRequest
        onSigRequestVersion: function(versionInfors) {
            if (versionInfors !== "")
                mainWindow.releaseNotes = versionInfors
        }
        onSigDownloadProgress: function(progress) {
            mainWindow.progress = progress
            if (progress >= 100)
                mainWindow.stage = "complete"
        }
        onSigDownloadBytes: function(received, total, bytesPerSecond) {
            mainWindow.transferText = mainWindow.megabytes(received)
                    + (total > 0 ? " / " + mainWindow.megabytes(total) : "")
                    + " · " + mainWindow.megabytes(bytesPerSecond) + "/s"
        }
        onSigDownloadFailed: function(errors) {
            mainWindow.failureText = errors
            mainWindow.stage = "failed"
        }
    }

    Component.onCompleted: httpRequest.requestVersion()

    // Title bar: the window is frameless, so it is dragged from here.
    Rectangle {
        id: titleBar
        anchors { left: parent.left; right: parent.right; top: parent.top }
        height: 40 * screenRate
        color: mainWindow.accentColor

        MouseArea {
            anchors.fill: parent
            onPressed: mainWindow.startSystemMove()
        }
        Text {
            anchors { left: parent.left; leftMargin: 16 * screenRate; verticalCenter: parent.verticalCenter }
            text: mainWindow.title
            textFormat: Text.PlainText
            color: Style.onSkin
            font.pixelSize: 15 * screenRate
            font.bold: true
        }
        Rectangle {
            id: closeButton
            anchors { right: parent.right; top: parent.top; bottom: parent.bottom }
            width: height
            color: closeArea.containsMouse ? Style.closeHover : "transparent"
            Text {
                anchors.centerIn: parent
                text: "\u2715"
                color: Style.onSkin
                font.pixelSize: 14 * screenRate
            }
            MouseArea {
                id: closeArea
                anchors.fill: parent
                hoverEnabled: true
                onClicked: Qt.quit()
            }
        }
    }

    UpdateView {
        id: updateView
        anchors { left: parent.left; right: parent.right; top: titleBar.bottom; bottom: parent.bottom }
        visible: mainWindow.stage !== "complete"
        stage: mainWindow.stage
        releaseNotes: mainWindow.releaseNotes
        progress: mainWindow.progress
        failureText: mainWindow.failureText
        transferText: mainWindow.transferText
        accentColor: mainWindow.accentColor
        textColor: mainWindow.textColor
        mutedColor: mainWindow.mutedColor
        onSigStartDownload: mainWindow.startUpgrade()
        onSigGiveUp: configData.openExeProgram()
    }

    UpdateComplete {
        id: updateComplete
        anchors { left: parent.left; right: parent.right; top: titleBar.bottom; bottom: parent.bottom }
        visible: mainWindow.stage === "complete"
        accentColor: mainWindow.accentColor
        textColor: mainWindow.textColor
    }
}

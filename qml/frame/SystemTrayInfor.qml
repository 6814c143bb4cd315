import QtQuick 2.12
import QtQuick.Window 2.12
import "style"

// A frameless, always-on-top window that appears above the tray and closes itself: a picture,
// or a notice (a new system reminder) that opens its page when clicked.
Window {
    id: systemTrayInfor
    property string picturePath: ""
    property string noticeTitle: ""
    property string noticeModule: ""
    property string noticeText: ""
    property string noticeTime: ""
    readonly property bool noticeMode: noticeTitle !== ""
    // It pops up over the desktop, not the window: always in the light colours.
    readonly property var pal: Style.standardPalette
    signal sigNoticeClicked()
    readonly property real sr: Math.max(1, screenRate)
    flags: Qt.FramelessWindowHint | Qt.Tool | Qt.WindowStaysOnTopHint
    width: 300 * sr
    height: noticeMode ? Math.max(120 * sr, noticeColumn.implicitHeight + 28 * sr) : 200 * sr
    color: pal.pane
    visible: false

    function showPicture(path) {
        noticeTitle = ""
        picturePath = path
        place()
    }
    function showNotice(title, module, text, time) {
        picturePath = ""
        noticeModule = module
        noticeText = text
        noticeTime = time
        noticeTitle = title
        place()
    }
    function noticeClicked() {
        hide()
        if (noticeMode)
            sigNoticeClicked()
    }
    function place() {
        x = Screen.virtualX + Screen.desktopAvailableWidth - width - 16 * sr
        y = Screen.virtualY + Screen.desktopAvailableHeight - height - 16 * sr
        show()
        closeTimer.restart()
    }

    Timer {
        id: closeTimer
        interval: systemTrayInfor.noticeMode ? 8000 : 6000
        onTriggered: systemTrayInfor.hide()
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.color: systemTrayInfor.pal.popupBorder
    }
    Image {
        anchors.fill: parent
        anchors.margins: 8 * systemTrayInfor.sr
        fillMode: Image.PreserveAspectFit
        asynchronous: true
        visible: !systemTrayInfor.noticeMode
        source: systemTrayInfor.picturePath
    }
    Column {
        id: noticeColumn
        objectName: "trayNotice"
        visible: systemTrayInfor.noticeMode
        x: 16 * systemTrayInfor.sr
        y: 14 * systemTrayInfor.sr
        width: parent.width - 32 * systemTrayInfor.sr
        spacing: 6 * systemTrayInfor.sr
        Accessible.role: Accessible.AlertMessage
        Accessible.name: systemTrayInfor.noticeTitle + " " + systemTrayInfor.noticeText
        Text {
            textFormat: Text.PlainText
            objectName: "trayNoticeTitle"
            width: parent.width
            elide: Text.ElideRight
            text: systemTrayInfor.noticeTitle
            font.pixelSize: 14 * systemTrayInfor.sr
            font.bold: true
            color: systemTrayInfor.pal.text
        }
        Text {
            textFormat: Text.PlainText
            width: parent.width
            visible: text !== ""
            elide: Text.ElideRight
            text: systemTrayInfor.noticeModule
            font.pixelSize: 12 * systemTrayInfor.sr
            color: systemTrayInfor.pal.sub
        }
        Text {
            textFormat: Text.PlainText
            objectName: "trayNoticeText"
            width: parent.width
            wrapMode: Text.Wrap
            maximumLineCount: 3
            elide: Text.ElideRight
            text: systemTrayInfor.noticeText
            font.pixelSize: 13 * systemTrayInfor.sr
            color: systemTrayInfor.pal.text
        }
        Text {
            textFormat: Text.PlainText
            width: parent.width
            visible: text !== ""
            horizontalAlignment: Text.AlignRight
            text: systemTrayInfor.noticeTime
            font.pixelSize: 11 * systemTrayInfor.sr
            color: systemTrayInfor.pal.sub
        }
    }
    MouseArea {
        objectName: "trayNoticeArea"
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: systemTrayInfor.noticeMode ? Qt.PointingHandCursor : Qt.ArrowCursor
        onContainsMouseChanged: containsMouse ? closeTimer.stop() : closeTimer.restart()
        onClicked: systemTrayInfor.noticeClicked()
    }
}

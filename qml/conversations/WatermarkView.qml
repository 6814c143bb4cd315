import QtQuick 2.12
import "style"

// The local user's name and the time, faintly repeated across the conversation, so a picture of
// the screen tells who looked at it and when. It takes no input.
Item {
    id: watermarkView
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property string userName: ""
    property string timeText: Qt.formatDateTime(new Date(), "yyyy-MM-dd hh:mm")
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property real cellWidth: 220 * sr
    readonly property real cellHeight: 120 * sr

    clip: true
    enabled: false
    visible: userName !== ""

    // The minute is enough; the timer only runs while the mark is shown.
    Timer {
        interval: 30000
        repeat: true
        running: watermarkView.visible
        onTriggered: watermarkView.timeText = Qt.formatDateTime(new Date(), "yyyy-MM-dd hh:mm")
    }
    Grid {
        x: -watermarkView.cellWidth / 3
        columns: Math.ceil(watermarkView.width / watermarkView.cellWidth) + 1
        Repeater {
            model: watermarkView.visible ? (Math.ceil(watermarkView.width / watermarkView.cellWidth) + 1)
                                           * (Math.ceil(watermarkView.height / watermarkView.cellHeight) + 1) : 0
            Item {
                width: watermarkView.cellWidth
                height: watermarkView.cellHeight
                Text {
                    textFormat: Text.PlainText
                    anchors.centerIn: parent
                    rotation: -22
                    horizontalAlignment: Text.AlignHCenter
                    text: watermarkView.userName + "\n" + watermarkView.timeText
                    font.pixelSize: Style.fontSmall
                    color: watermarkView.pal.text
                    opacity: watermarkView.pal.dark ? 0.07 : 0.06
                }
            }
        }
    }
}

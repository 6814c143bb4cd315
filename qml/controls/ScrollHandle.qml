import QtQuick 2.12
import "../style"

// A thin vertical scroll bar beside a list: shown while the list holds more than it shows; a
// press or a drag on it moves the list there.
Item {
    id: bar
    property Flickable flickable: null
    readonly property real range: flickable ? Math.max(0, flickable.contentHeight - flickable.height) : 0

    width: 6 * Style.sr
    visible: range > 0
    Accessible.role: Accessible.ScrollBar

    function scrollTo(y) {
        var travel = height - handle.height
        if (travel <= 0)
            return
        var share = Math.max(0, Math.min(1, (y - handle.height / 2) / travel))
        flickable.contentY = flickable.originY + share * range
    }

    Rectangle {
        id: handle
        width: parent.width
        radius: width / 2
        height: bar.flickable ? Math.max(16 * Style.sr, bar.flickable.visibleArea.heightRatio * bar.height) : 0
        y: bar.range > 0 ? (bar.flickable.contentY - bar.flickable.originY) / bar.range * (bar.height - height) : 0
        color: Style.standardPalette.sub
        opacity: area.pressed || area.containsMouse ? 0.8 : 0.45
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onPressed: bar.scrollTo(mouse.y)
        onPositionChanged: if (pressed) bar.scrollTo(mouse.y)
    }
}

import QtQuick 2.12
import "../style"

// A short hint that appears a moment after the pointer rests on what it explains. Placed by the
// document (outside any clipping parent); it never takes the keyboard.
Rectangle {
    id: tip
    property string text: ""
    // Whether the pointer rests on the explained item.
    property bool hovered: false
    property int delay: 500
    property var pal: Style.standardPalette

    // Set when the pointer has rested for the delay; any move away hides the hint again.
    property bool shown: false
    visible: shown && text !== ""
    width: label.implicitWidth + 16 * Style.sr
    height: label.implicitHeight + 10 * Style.sr
    radius: 3 * Style.sr
    color: pal.card
    border.color: pal.popupBorder
    z: 100
    Accessible.role: Accessible.ToolTip
    Accessible.name: text

    onHoveredChanged: {
        shown = false
        if (hovered)
            wait.restart()
        else
            wait.stop()
    }
    Timer {
        id: wait
        interval: tip.delay
        onTriggered: tip.shown = true
    }
    Text {
        id: label
        anchors.centerIn: parent
        textFormat: Text.PlainText
        // Laid out only when shown: a hidden hint costs no shaping (nor a fallback face).
        text: tip.visible ? tip.text : ""
        font.pixelSize: Style.fontSmall
        color: tip.pal.text
    }
}

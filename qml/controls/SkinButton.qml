import QtQuick 2.12
import "../style"

// A button in the skin colour (primary) or outlined; Return, Enter and Space press it.
Rectangle {
    id: button
    property string text: ""
    property string skinColors: Style.defaultSkin
    property int loginModel: 0
    property bool primary: true
    property real fontSize: Style.fontBody
    readonly property var pal: Style.palette(loginModel)
    readonly property bool hovered: area.containsMouse
    signal clicked()

    function activate() {
        if (enabled)
            clicked()
    }

    implicitWidth: Math.max(80 * Style.sr, label.implicitWidth + 28 * Style.sr)
    implicitHeight: Style.buttonHeight
    radius: Style.radius
    activeFocusOnTab: true
    opacity: enabled ? 1 : 0.5
    color: primary ? (area.pressed ? Style.pressed(skinColors)
                                   : area.containsMouse || activeFocus ? Style.hover(skinColors) : skinColors)
                   : (area.pressed ? pal.pressed : area.containsMouse || activeFocus ? pal.hover : "transparent")
    border.width: activeFocus ? Math.max(1, 1.5 * Style.sr) : 1
    border.color: primary ? (activeFocus ? Style.pressed(skinColors) : "transparent")
                          : (activeFocus ? skinColors : pal.fieldBorder)

    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: activate()
    Keys.onReturnPressed: { event.accepted = true; activate() }
    Keys.onEnterPressed: { event.accepted = true; activate() }
    Keys.onSpacePressed: { event.accepted = true; activate() }

    Text {
        textFormat: Text.PlainText
        id: label
        anchors.centerIn: parent
        width: Math.min(implicitWidth, parent.width - 12 * Style.sr)
        elide: Text.ElideRight
        text: button.text
        font.pixelSize: button.fontSize
        color: button.primary ? Style.onColor(button.skinColors) : button.pal.text
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: button.activate()
    }
}

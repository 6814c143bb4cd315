import QtQuick 2.12
import QtQuick.Controls 2.5
import "../style"

// A rounded search field. It asks for a search one second after the last keystroke (at once on
// Return), so a list is not refiltered on every letter; Escape clears it.
TextField {
    id: field
    property string skinColors: Style.defaultSkin
    property int loginModel: 0
    property alias searchInputTimer: searchInputTimer
    readonly property var pal: Style.palette(loginModel)
    signal searchRequested(string text)
    signal cleared()

    implicitHeight: 32 * Style.sr
    leftPadding: 30 * Style.sr
    rightPadding: 10 * Style.sr
    font.pixelSize: Style.fontBody
    color: pal.text
    placeholderTextColor: pal.sub
    selectByMouse: true
    selectionColor: skinColors
    Accessible.role: Accessible.EditableText
    Accessible.name: placeholderText
    background: Rectangle {
        radius: height / 2
        color: field.pal.field
        border.color: field.activeFocus ? field.skinColors : "transparent"
    }

    onTextEdited: searchInputTimer.restart()
    onAccepted: {
        searchInputTimer.stop()
        searchRequested(text.trim())
    }
    Keys.onEscapePressed: {
        if (text === "") {
            event.accepted = false
            return
        }
        text = ""
        searchInputTimer.stop()
        cleared()
        searchRequested("")
    }

    Timer {
        id: searchInputTimer
        interval: 1000
        onTriggered: field.searchRequested(field.text.trim())
    }
    // The magnifier.
    Rectangle {
        x: 11 * Style.sr
        anchors.verticalCenter: parent.verticalCenter
        anchors.verticalCenterOffset: -1 * Style.sr
        width: 11 * Style.sr
        height: width
        radius: width / 2
        color: "transparent"
        border.width: Math.max(1, 1.5 * Style.sr)
        border.color: field.pal.sub
        Rectangle {
            x: parent.width - 2 * Style.sr
            y: parent.height - 2 * Style.sr
            width: 5 * Style.sr
            height: Math.max(1, 1.5 * Style.sr)
            rotation: 45
            transformOrigin: Item.Left
            color: field.pal.sub
        }
    }
}

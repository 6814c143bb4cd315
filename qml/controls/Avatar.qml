import QtQuick 2.12
import RoundPicture 1.0
import "../style"

// A person's or a group's picture, round, with the built-in picture when there is none or it
// does not load; an optional mark shows whether the person is online.
Item {
    id: avatar
    property string source: ""
    property string name: ""
    property bool showOnline: false
    property bool online: false
    property string skinColors: Style.defaultSkin
    // Kept for the documents that still set it: the picture is rounded by itself now.
    property color ringColor: "transparent"
    // The disc behind the picture while it loads (and behind a see-through one).
    property color discColor: Qt.lighter(avatar.skinColors, 1.5)
    readonly property string fallback: "qrc:/images/defaulticon.png"

    implicitWidth: 40 * Style.sr
    implicitHeight: implicitWidth
    Accessible.role: Accessible.Graphic
    Accessible.name: name

    RoundPicture {
        id: disc
        anchors.fill: parent
        color: avatar.discColor
        source: avatar.source
        fallback: avatar.fallback
    }
    Rectangle {
        visible: avatar.showOnline
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        width: Math.max(8, parent.width * 0.26)
        height: width
        radius: width / 2
        color: avatar.online ? Style.online : Style.offline
        border.width: Math.max(1, 1.5 * Style.sr)
        border.color: Style.onSkin
    }
}

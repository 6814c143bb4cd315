import QtQuick 2.12
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
    // The colour behind the avatar: a ring of it rounds the picture's corners without a shader,
    // which the software renderer would not draw.
    property color ringColor: "transparent"
    readonly property string fallback: "qrc:/images/defaulticon.png"

    implicitWidth: 40 * Style.sr
    implicitHeight: implicitWidth
    Accessible.role: Accessible.Graphic
    Accessible.name: name

    Rectangle {
        id: disc
        anchors.fill: parent
        radius: width / 2
        color: Qt.lighter(avatar.skinColors, 1.5)
        clip: true
        Image {
            id: picture
            anchors.fill: parent
            fillMode: Image.PreserveAspectCrop
            sourceSize: Qt.size(width * 2, height * 2)
            asynchronous: true
            source: avatar.source !== "" ? avatar.source : avatar.fallback
            onStatusChanged: if (status === Image.Error && source != avatar.fallback) source = avatar.fallback
        }
        Rectangle {
            anchors.centerIn: parent
            width: parent.width + parent.width * 0.42
            height: width
            radius: width / 2
            color: "transparent"
            border.width: parent.width * 0.21 + 1
            border.color: avatar.ringColor
            visible: avatar.ringColor.a > 0
        }
    }
    Rectangle {
        visible: avatar.showOnline
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        width: Math.max(8, parent.width * 0.26)
        height: width
        radius: width / 2
        color: avatar.online ? Style.online : "#b8c0cc"
        border.width: Math.max(1, 1.5 * Style.sr)
        border.color: "#ffffff"
    }
}

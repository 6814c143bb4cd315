import QtQuick 2.12
import "style"

// The conversation pane: the open conversation with its editor and side bars, or a welcome
// while none is open. (The conversation views are placeholders until they are built.)
Item {
    id: conversationPane
    property int loginModel: 0
    property string skinColors: "#0183FF"
    property string currentId: ""
    property string currentName: ""
    property string currentTypes: ""
    readonly property var pal: Style.palette(loginModel)
    signal sigPictureInfor(string picturePath)
    signal sigSendpersonalInfor(string infora, string inforb, bool jumpm, string types)
    signal sigAddGroupMember(string ids, string names, string types)
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)

    function openConversation(ids, names, types) {
        currentId = ids
        currentName = names
        currentTypes = types
    }
    function closeConversation() {
        currentId = ""
    }

    Rectangle {
        id: chatTitle
        width: parent.width
        height: Style.titleHeight
        color: conversationPane.loginModel === 1 ? "transparent" : conversationPane.pal.pane
        MouseArea {
            anchors.fill: parent
            property point origin
            onPressed: origin = Qt.point(mouse.x, mouse.y)
            onPositionChanged: {
                conversationPane.modifyXposition(mouse.x - origin.x)
                conversationPane.modifyYposition(mouse.y - origin.y)
            }
        }
        Text {
            x: 22 * Style.sr
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width - 140 * Style.sr
            elide: Text.ElideRight
            text: conversationPane.currentName
            font.pixelSize: Style.fontTitle
            color: conversationPane.pal.text
        }
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: conversationPane.pal.line
        }
    }
    // Welcome until a conversation is opened.
    Column {
        visible: conversationPane.currentId === ""
        anchors.centerIn: parent
        anchors.verticalCenterOffset: 20 * Style.sr
        spacing: 14 * Style.sr
        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 96 * Style.sr
            height: width
            sourceSize: Qt.size(width * 2, height * 2)
            source: "qrc:/images/logo.svg"
            opacity: conversationPane.pal.dark ? 0.7 : 0.9
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "tarnex"
            font.pixelSize: 22 * Style.sr
            font.letterSpacing: 2 * Style.sr
            color: conversationPane.pal.text
            opacity: 0.85
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: curretnVersionInfor
            font.pixelSize: Style.fontSmall
            color: conversationPane.pal.sub
        }
    }
}

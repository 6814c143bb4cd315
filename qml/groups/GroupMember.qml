import QtQuick 2.12
import QtQuick.Controls 2.5
import SocketState 1.0
import GroupMemberModel 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The member side bar of a group conversation: who is in the group and who of them is online,
// online people first. It follows the group events and the online set as they change.
Rectangle {
    id: groupMember
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property string groupId: ""
    readonly property int onlineCount: memberModel.onlineCount
    readonly property int memberCount: memberModel.count
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property string tip_group_members: qsTr("群成员")
    property string tip_group_online: qsTr("在线")
    property string tip_add_member: qsTr("添加成员")
    property string tip_group_owner: qsTr("群主")

    signal sigAddGroupMember(string ids, string names, string types)
    signal sigSendpersonalInfor(string infora, string inforb, bool jumpm, string types)

    color: loginModel === 1 ? Style.glass(0.6) : pal.list
    implicitWidth: 180 * sr
    implicitHeight: 480 * sr

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function reload() { memberModel.reload() }

    SocketState { id: socketState }
    // Follows the group's events and who of it is online by itself.
    GroupMemberModel {
        id: memberModel
        source: GroupMemberModel.Group
        order: GroupMemberModel.OnlineFirst
        store: socketState
        groupId: groupMember.groupId
    }
    LanguageTexts { id: languageTexts; target: groupMember; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Rectangle {
        anchors.left: parent.left
        width: 1
        height: parent.height
        color: groupMember.pal.line
    }
    Item {
        id: header
        width: parent.width
        height: 44 * groupMember.sr
        Column {
            anchors.left: parent.left
            anchors.leftMargin: 14 * groupMember.sr
            anchors.right: addButton.left
            anchors.rightMargin: 6 * groupMember.sr
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2 * groupMember.sr
            Text {
                textFormat: Text.PlainText
                width: parent.width
                text: groupMember.tip_group_members + " " + memberModel.count
                elide: Text.ElideRight
                font.pixelSize: Style.fontBody
                color: groupMember.pal.text
            }
            Text {
                textFormat: Text.PlainText
                objectName: "groupOnlineCount"
                width: parent.width
                text: groupMember.tip_group_online + " " + groupMember.onlineCount + "/" + memberModel.count
                elide: Text.ElideRight
                font.pixelSize: Style.fontTiny
                color: groupMember.pal.sub
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
        }
        IconButton {
            id: addButton
            objectName: "groupMemberAdd"
            anchors.right: parent.right
            anchors.rightMargin: 8 * groupMember.sr
            anchors.verticalCenter: parent.verticalCenter
            source: "qrc:/images/addmember.svg"
            tip: groupMember.tip_add_member
            loginModel: groupMember.loginModel
            skinColors: groupMember.skinColors
            enabled: groupMember.groupId !== ""
            onClicked: groupMember.sigAddGroupMember(groupMember.groupId,
                                                     socketState.getGroupInforFromId(groupMember.groupId, "name"), "3")
        }
    }
    ListView {
        id: memberView
        objectName: "groupMemberSideList"
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        clip: true
        model: memberModel
        activeFocusOnTab: true
        keyNavigationEnabled: true
        highlightMoveDuration: 0
        boundsBehavior: Flickable.StopAtBounds
        Accessible.role: Accessible.List
        Accessible.name: groupMember.tip_group_members
        ScrollBar.vertical: ScrollBar { Accessible.name: parent ? parent.Accessible.name : "" }
        Keys.onReturnPressed: if (currentItem) { event.accepted = true; currentItem.show() }
        Keys.onEnterPressed: if (currentItem) { event.accepted = true; currentItem.show() }

        delegate: Rectangle {
            id: row
            objectName: "sideMember_" + model.userId
            function show() { groupMember.sigSendpersonalInfor(model.userId, model.userName, false, "2") }
            width: ListView.view.width
            height: 38 * groupMember.sr
            color: rowArea.containsMouse || (ListView.isCurrentItem && memberView.activeFocus) ? groupMember.pal.hover : "transparent"
            Accessible.role: Accessible.ListItem
            Accessible.name: model.userName
            Accessible.onPressAction: show()
            Avatar {
                id: avatar
                x: 12 * groupMember.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 26 * groupMember.sr
                height: width
                name: model.userName
                skinColors: groupMember.skinColors
                showOnline: true
                online: model.online
                opacity: model.online ? 1 : 0.6
            }
            Text {
                textFormat: Text.PlainText
                anchors.left: avatar.right
                anchors.leftMargin: 8 * groupMember.sr
                anchors.right: parent.right
                anchors.rightMargin: 10 * groupMember.sr
                anchors.verticalCenter: parent.verticalCenter
                text: model.userName + (model.owner ? " · " + groupMember.tip_group_owner : "")
                elide: Text.ElideRight
                font.pixelSize: Style.fontSmall
                color: model.online ? groupMember.pal.text : groupMember.pal.sub
            }
            MouseArea {
                id: rowArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: {
                    memberView.currentIndex = index
                    row.show()
                }
            }
        }
    }
}

import QtQuick 2.12
import QtQuick.Controls 2.5
import SocketState 1.0
import LoadPersonnelinfor 1.0
import GroupMemberModel 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// A group card: name, creation date, creator, the members, and what the user may do with the
// group (talk in it, add and remove members, leave it, delete it as its creator). It follows
// the engine's group events, so changes by any member show at once.
Item {
    id: groupPersonnelinfor
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property string groupId: ""
    property string groupName: ""
    property string creatorId: ""
    property string createTime: ""
    property string selfId: ""
    readonly property bool isCreator: selfId !== "" && creatorId === selfId
    readonly property bool hasGroup: groupId !== "" && groupName !== ""
    readonly property int memberCount: memberModel.count
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property string tip_send_massage: qsTr("发消息")
    property string tip_add_member: qsTr("添加成员")
    property string tip_exit_group: qsTr("退出群组")
    property string tip_group_delete: qsTr("解散群组")
    property string tip_founded_on: qsTr("创建于")
    property string tip_group_owner: qsTr("群主")
    property string tip_group_members: qsTr("群成员")
    property string tip_group_remove_member: qsTr("移除")
    property string tip_no_contents: qsTr("暂无内容")

    signal sigSendChatInformation(string ids, string names, string types)
    signal sigAddMembers(string groupIds)
    // Leaving and deleting are confirmed by the pane that shows the card.
    signal sigAskExit(string groupIds, string names)
    signal sigAskDelete(string groupIds, string names)
    // A member removal was asked of the server (userIds).
    signal sigChangeAsked(string kind, string groupIds, string userIds)

    implicitWidth: 560 * sr
    implicitHeight: 560 * sr

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function open(ids) {
        groupId = ids
        refresh()
    }
    function clear() {
        groupId = ""
        refresh()
    }
    function nameOf(userId) {
        var name = loadPersonnelinfor.getPersonnelInformationValue(userId)
        return name !== "" ? name : userId
    }
    // Reads the group from the engine's table; its members follow it by themselves.
    function refresh() {
        selfId = socketState.getSelfUesrId()
        groupName = groupId === "" ? "" : socketState.getGroupInforFromId(groupId, "name")
        creatorId = groupId === "" ? "" : socketState.getGroupInforFromId(groupId, "creator")
        createTime = groupId === "" ? "" : socketState.getGroupInforFromId(groupId, "create_time").trim()
        memberModel.reload()
        if (memberModel.count > 0)
            detailsTimer.restart()
    }
    function hasMember(userId) { return memberModel.contains(userId) }
    function removeMember(userId) {
        socketState.groupDeleteNewMember(groupId, groupName, memberModel.keysWithout(userId).join(","), userId)
        sigChangeAsked("remove", groupId, userId)
    }

    SocketState {
        id: socketState
        onSigGetGroupInfor: groupPersonnelinfor.refresh()
        onSigGroupInforChange: groupPersonnelinfor.refresh()
        onSigAddGroup: if (groupIds === groupPersonnelinfor.groupId) groupPersonnelinfor.refresh()
        onSigEditGroupCB: if (groupIds === groupPersonnelinfor.groupId) groupPersonnelinfor.refresh()
        onSigEditGroupDelete: if (groupIds === groupPersonnelinfor.groupId) groupPersonnelinfor.refresh()
    }
    LoadPersonnelinfor { id: loadPersonnelinfor }
    // The creator first, then by name.
    GroupMemberModel {
        id: memberModel
        source: GroupMemberModel.Group
        order: GroupMemberModel.OwnerFirst
        store: socketState
        groupId: groupPersonnelinfor.groupId
    }
    // Departments come from the user cache; the members missing from it are fetched in one
    // request after the card is drawn.
    Timer {
        id: detailsTimer
        interval: 30
        onTriggered: memberModel.fetchDetails()
    }
    LanguageTexts { id: languageTexts; target: groupPersonnelinfor; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Text {
        anchors.centerIn: parent
        visible: !groupPersonnelinfor.hasGroup
        text: groupPersonnelinfor.tip_no_contents
        font.pixelSize: Style.fontSmall
        color: groupPersonnelinfor.pal.sub
    }

    Item {
        id: content
        visible: groupPersonnelinfor.hasGroup
        anchors.horizontalCenter: parent.horizontalCenter
        width: Math.min(parent.width - 48 * groupPersonnelinfor.sr, 560 * groupPersonnelinfor.sr)
        anchors.top: parent.top
        anchors.topMargin: 28 * groupPersonnelinfor.sr
        anchors.bottom: parent.bottom

        Rectangle {
            id: picture
            width: 72 * groupPersonnelinfor.sr
            height: width
            radius: width / 2
            color: groupPersonnelinfor.skinColors
            Accessible.role: Accessible.Graphic
            Accessible.name: groupPersonnelinfor.groupName
            Image {
                anchors.centerIn: parent
                width: parent.width * 0.58
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: "qrc:/images/group.svg"
            }
        }
        Column {
            id: facts
            anchors.left: picture.right
            anchors.leftMargin: 18 * groupPersonnelinfor.sr
            anchors.right: parent.right
            anchors.verticalCenter: picture.verticalCenter
            spacing: 6 * groupPersonnelinfor.sr
            Text {
                textFormat: Text.PlainText
                objectName: "groupCardName"
                width: parent.width
                text: groupPersonnelinfor.groupName
                elide: Text.ElideRight
                font.pixelSize: Style.fontHeading
                font.bold: true
                color: groupPersonnelinfor.pal.text
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Text {
                textFormat: Text.PlainText
                objectName: "groupCardFacts"
                width: parent.width
                wrapMode: Text.Wrap
                text: groupPersonnelinfor.tip_founded_on + " " + groupPersonnelinfor.createTime
                      + "   " + groupPersonnelinfor.tip_group_owner + " "
                      + (groupPersonnelinfor.creatorId !== "" ? groupPersonnelinfor.nameOf(groupPersonnelinfor.creatorId) : "")
                font.pixelSize: Style.fontSmall
                color: groupPersonnelinfor.pal.sub
            }
        }

        Flow {
            id: actions
            anchors.top: picture.bottom
            anchors.topMargin: 22 * groupPersonnelinfor.sr
            width: parent.width
            spacing: 10 * groupPersonnelinfor.sr
            SkinButton {
                objectName: "groupSendMessage"
                text: groupPersonnelinfor.tip_send_massage
                loginModel: groupPersonnelinfor.loginModel
                skinColors: groupPersonnelinfor.skinColors
                onClicked: groupPersonnelinfor.sigSendChatInformation(groupPersonnelinfor.groupId, groupPersonnelinfor.groupName, "3")
            }
            SkinButton {
                objectName: "groupAddMembers"
                text: groupPersonnelinfor.tip_add_member
                primary: false
                loginModel: groupPersonnelinfor.loginModel
                skinColors: groupPersonnelinfor.skinColors
                onClicked: groupPersonnelinfor.sigAddMembers(groupPersonnelinfor.groupId)
            }
            SkinButton {
                objectName: "groupExit"
                text: groupPersonnelinfor.tip_exit_group
                primary: false
                loginModel: groupPersonnelinfor.loginModel
                skinColors: groupPersonnelinfor.skinColors
                onClicked: groupPersonnelinfor.sigAskExit(groupPersonnelinfor.groupId, groupPersonnelinfor.groupName)
            }
            SkinButton {
                objectName: "groupDelete"
                visible: groupPersonnelinfor.isCreator
                text: groupPersonnelinfor.tip_group_delete
                primary: false
                loginModel: groupPersonnelinfor.loginModel
                skinColors: Style.danger
                onClicked: groupPersonnelinfor.sigAskDelete(groupPersonnelinfor.groupId, groupPersonnelinfor.groupName)
            }
        }

        Rectangle {
            id: rule
            anchors.top: actions.bottom
            anchors.topMargin: 22 * groupPersonnelinfor.sr
            width: parent.width
            height: 1
            color: groupPersonnelinfor.pal.line
        }
        Text {
            textFormat: Text.PlainText
            id: membersTitle
            objectName: "groupMemberCount"
            anchors.top: rule.bottom
            anchors.topMargin: 14 * groupPersonnelinfor.sr
            width: parent.width
            elide: Text.ElideRight
            text: groupPersonnelinfor.tip_group_members + " (" + memberModel.count + ")"
            font.pixelSize: Style.fontLarge
            color: groupPersonnelinfor.pal.text
        }
        ListView {
            id: memberView
            objectName: "groupMemberList"
            anchors.top: membersTitle.bottom
            anchors.topMargin: 8 * groupPersonnelinfor.sr
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 12 * groupPersonnelinfor.sr
            width: parent.width
            clip: true
            model: memberModel
            activeFocusOnTab: true
            keyNavigationEnabled: true
            highlightMoveDuration: 0
            boundsBehavior: Flickable.StopAtBounds
            Accessible.role: Accessible.List
            Accessible.name: membersTitle.text
            ScrollBar.vertical: ScrollBar { Accessible.name: parent ? parent.Accessible.name : "" }
            // Delete takes the chosen member out, for the creator.
            Keys.onDeletePressed: {
                if (currentItem && currentItem.removable) {
                    event.accepted = true
                    groupPersonnelinfor.removeMember(currentItem.userId)
                }
            }

            delegate: Rectangle {
                id: memberRow
                objectName: "member_" + model.userId
                readonly property string userId: model.userId
                readonly property bool removable: groupPersonnelinfor.isCreator && model.userId !== groupPersonnelinfor.selfId
                width: ListView.view.width
                height: 48 * groupPersonnelinfor.sr
                radius: Style.radius
                color: memberArea.containsMouse || (ListView.isCurrentItem && memberView.activeFocus) ? groupPersonnelinfor.pal.hover : "transparent"
                Accessible.role: Accessible.ListItem
                Accessible.name: model.userName

                Avatar {
                    id: memberAvatar
                    x: 8 * groupPersonnelinfor.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 34 * groupPersonnelinfor.sr
                    height: width
                    name: model.userName
                    skinColors: groupPersonnelinfor.skinColors
                }
                Text {
                    textFormat: Text.PlainText
                    id: memberName
                    anchors.left: memberAvatar.right
                    anchors.leftMargin: 12 * groupPersonnelinfor.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: Math.min(implicitWidth, parent.width * 0.4)
                    text: model.userName
                    elide: Text.ElideRight
                    font.pixelSize: Style.fontBody
                    color: groupPersonnelinfor.pal.text
                }
                Rectangle {
                    id: ownerTag
                    visible: model.userId === groupPersonnelinfor.creatorId
                    anchors.left: memberName.right
                    anchors.leftMargin: 8 * groupPersonnelinfor.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: ownerText.implicitWidth + 10 * groupPersonnelinfor.sr
                    height: ownerText.implicitHeight + 4 * groupPersonnelinfor.sr
                    radius: Style.radiusSmall
                    color: "transparent"
                    border.color: groupPersonnelinfor.skinColors
                    Text {
                        id: ownerText
                        anchors.centerIn: parent
                        text: groupPersonnelinfor.tip_group_owner
                        font.pixelSize: Style.fontTiny
                        color: groupPersonnelinfor.skinColors
                    }
                }
                Text {
                    textFormat: Text.PlainText
                    anchors.left: ownerTag.visible ? ownerTag.right : memberName.right
                    anchors.leftMargin: 14 * groupPersonnelinfor.sr
                    anchors.right: removeButton.left
                    anchors.rightMargin: 8 * groupPersonnelinfor.sr
                    anchors.verticalCenter: parent.verticalCenter
                    horizontalAlignment: Text.AlignRight
                    text: model.department
                    elide: Text.ElideRight
                    font.pixelSize: Style.fontSmall
                    color: groupPersonnelinfor.pal.sub
                }
                MouseArea {
                    id: memberArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: memberView.currentIndex = index
                }
                CloseButton {
                    id: removeButton
                    objectName: "removeMember_" + model.userId
                    visible: memberRow.removable
                    width: visible ? implicitWidth : 0
                    anchors.right: parent.right
                    anchors.rightMargin: 8 * groupPersonnelinfor.sr
                    anchors.verticalCenter: parent.verticalCenter
                    loginModel: groupPersonnelinfor.loginModel
                    accessibleName: groupPersonnelinfor.tip_group_remove_member + " " + model.userName
                    onClicked: groupPersonnelinfor.removeMember(model.userId)
                }
            }
        }
    }
}

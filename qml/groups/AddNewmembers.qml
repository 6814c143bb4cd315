import QtQuick 2.12
import SocketState 1.0
import GroupMemberModel 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// Adding colleagues to an existing group: everyone not yet in it can be picked. Every member
// sees the change when the server reports it ("edit groupCB" / "edit groupAdd").
Item {
    id: addNewmembers
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property string groupId: ""
    property string groupName: ""
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property bool opened: dialog.visible
    // The overlay exists on screen only while its dialog is open.
    property bool showing: false
    readonly property alias picker: picker

    property string tip_add_member: qsTr("添加成员")
    property string tip_cancel: qsTr("取消")
    property string tip_ok: qsTr("确定")
    property string tip_group_choose_people: qsTr("请至少选择一位成员")

    signal sigAddMembers(string groupIds, string addList)
    signal sigClosed()

    visible: showing
    implicitWidth: 640 * sr
    implicitHeight: 520 * sr

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function open(groupIds) {
        groupId = groupIds
        groupName = socketState.getGroupInforFromId(groupIds, "name")
        members.reload()
        picker.load(members.keysWith([socketState.getSelfUesrId()]))
        showing = true
        dialog.open()
        picker.focusFirst()
    }
    function close() { dialog.close() }
    function confirm() {
        var added = picker.pickedIds()
        if (added.length === 0) {
            hint.visible = true
            return
        }
        // The group may have changed while the dialog was open: its members as they are now.
        socketState.groupAddNewMember(groupId, groupName, members.keysWith(added).join(","), added.join(","))
        sigAddMembers(groupId, added.join(","))
        dialog.close()
    }

    SocketState {
        id: socketState
        // A group that is gone cannot take members.
        onSigEditGroupDelete: if (dialog.visible && groupIds === addNewmembers.groupId) dialog.close()
    }
    // The group's members as they are now.
    GroupMemberModel {
        id: members
        source: GroupMemberModel.Group
        store: socketState
        groupId: addNewmembers.groupId
    }
    LanguageTexts { id: languageTexts; target: addNewmembers; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    ModalCard {
        id: dialog
        objectName: "addMembersDialog"
        anchors.fill: parent
        loginModel: addNewmembers.loginModel
        title: addNewmembers.groupName !== "" ? addNewmembers.tip_add_member + " · " + addNewmembers.groupName
                                               : addNewmembers.tip_add_member
        closeName: addNewmembers.tip_cancel
        closeOnOutside: false
        cardWidth: Math.min(parent.width - 40 * addNewmembers.sr, 600 * addNewmembers.sr)
        cardHeight: Math.min(parent.height - 40 * addNewmembers.sr, 440 * addNewmembers.sr)
        onClosed: {
            hint.visible = false
            addNewmembers.showing = false
            addNewmembers.sigClosed()
        }

        PeoplePicker {
            id: picker
            x: 22 * addNewmembers.sr
            width: parent.width - 44 * addNewmembers.sr
            anchors.top: parent.top
            anchors.bottom: buttons.top
            anchors.bottomMargin: 16 * addNewmembers.sr
            loginModel: addNewmembers.loginModel
            skinColors: addNewmembers.skinColors
            onPickedCountChanged: if (pickedCount > 0) hint.visible = false
        }
        Row {
            id: buttons
            anchors.right: parent.right
            anchors.rightMargin: 22 * addNewmembers.sr
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 18 * addNewmembers.sr
            spacing: 12 * addNewmembers.sr
            Text {
                id: hint
                visible: false
                anchors.verticalCenter: parent.verticalCenter
                text: addNewmembers.tip_group_choose_people
                font.pixelSize: Style.fontSmall
                color: Style.danger
            }
            SkinButton {
                objectName: "addMembersCancel"
                text: addNewmembers.tip_cancel
                primary: false
                loginModel: addNewmembers.loginModel
                skinColors: addNewmembers.skinColors
                onClicked: dialog.close()
            }
            SkinButton {
                objectName: "addMembersConfirm"
                // Tab stays in the dialog.
                KeyNavigation.tab: picker.searchField
                text: addNewmembers.tip_ok
                loginModel: addNewmembers.loginModel
                skinColors: addNewmembers.skinColors
                onClicked: addNewmembers.confirm()
            }
        }
    }
}

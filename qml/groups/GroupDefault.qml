import QtQuick 2.12
import SocketState 1.0
import GroupChangeWatch 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The group section: the user's groups on the left, the chosen group's card on the right, and
// the dialogs that make a group, add members and confirm leaving or deleting.
Item {
    id: groupDefault
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // The group asked for in the new-group dialog, opened when the server has made it.
    property string pendingGroupName: ""
    // A view asked for by the picture script, shown once the groups are in.
    property string scene: ""
    // The group of the change asked of the server that has not come back yet.
    readonly property string changingGroup: changeWatch.groupId
    // How long a change may take before the user is told it did not go through.
    property int changeTimeout: 15000
    // A change asked of the server is still waiting for its group event.
    readonly property bool awaitingChange: changeWatch.waiting
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias groupList: groupList
    readonly property alias card: groupCard
    readonly property alias newGroupDialog: groupAddmember
    readonly property alias addMembersDialog: addNewmembers

    property string tip_group: qsTr("群组")
    property string tip_group_choose: qsTr("选择一个群组查看详情")
    property string tip_exit_group: qsTr("退出群组")
    property string tip_group_delete: qsTr("解散群组")
    property string tip_group_confirm_exit: qsTr("退出后将不再收到该群的消息，确定退出“%1”吗？")
    property string tip_group_confirm_delete: qsTr("解散后所有成员都将被移出，确定解散“%1”吗？")
    property string tip_group_create_failed: qsTr("未能创建群组，请稍后重试")
    property string tip_group_change_failed: qsTr("群组修改未完成，请稍后重试")
    property string tip_cancel: qsTr("取消")
    property string tip_ok: qsTr("确定")

    signal sigSendChatInformation(string ids, string names, string types)
    signal sigSendpersonalInfor(string infora, string inforb, bool jumpm, string types)
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)

    implicitWidth: 900 * sr
    implicitHeight: 640 * sr

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // Called each time the section is shown: the list is asked for again, so it is current
    // even when events were missed while the link was down.
    function activate() {
        groupList.reload()
        groupList.request()
        if (groupCard.groupId === "")
            groupList.focusList()
    }
    function openGroup(ids) { if (!groupList.select(ids)) groupCard.open(ids) }
    function openNewGroup() { groupAddmember.open() }
    function openAddMembers(ids) { addNewmembers.open(ids) }
    // "group-card": the card of the user's own group (or the largest); "group-new": the
    // new-group dialog with two people chosen.
    function showScene(name) {
        scene = name
        groupList.request()
    }
    function playScene() {
        var name = scene
        scene = ""
        if (name === "group-card") {
            var best = groupList.groups.leadingGroup()
            if (best !== "")
                openGroup(best)
        } else if (name === "group-new") {
            openNewGroup()
            groupAddmember.picker.pickFirst(2)
        }
        console.info("scene shown: " + name)
    }
    function askConfirm(action, ids, names) {
        confirm.action = action
        confirm.groupId = ids
        confirm.text = (action === "delete" ? tip_group_confirm_delete : tip_group_confirm_exit).arg(names)
        confirm.title = action === "delete" ? tip_group_delete : tip_exit_group
        confirm.open()
        confirmOk.forceActiveFocus()
    }

    // The server answers a change with the group's event; without it in time the user is told.
    function awaitChange(kind, ids, userIds) {
        if (createFailed.text === tip_group_change_failed)
            createFailed.visible = false
        changeWatch.watch(kind, ids, userIds)
    }
    function showFailure(text) {
        createFailed.text = text
        createFailed.visible = true
        createFailedHide.restart()
    }

    SocketState {
        id: socketState
        onSigGetGroupInfor: if (groupDefault.scene !== "") Qt.callLater(groupDefault.playScene)
        // Our own new group: show it as soon as the server has made it.
        onSigAddGroup: {
            if (groupDefault.pendingGroupName === "")
                return
            if (socketState.getGroupInforFromId(groupIds, "creator") === socketState.getSelfUesrId()
                    && socketState.getGroupInforFromId(groupIds, "name") === groupDefault.pendingGroupName) {
                groupDefault.pendingGroupName = ""
                createLimit.stop()
                groupList.reload()
                groupDefault.openGroup(groupIds)
            }
        }
    }
    // The server answers a new group with the group itself; without it in time the user is told.
    Timer {
        id: createLimit
        interval: 15000
        onTriggered: {
            groupDefault.pendingGroupName = ""
            groupDefault.showFailure(groupDefault.tip_group_create_failed)
        }
    }
    GroupChangeWatch {
        id: changeWatch
        store: socketState
        timeout: groupDefault.changeTimeout
        onFailed: groupDefault.showFailure(groupDefault.tip_group_change_failed)
    }
    Timer {
        id: createFailedHide
        interval: 4000
        onTriggered: createFailed.visible = false
    }
    LanguageTexts { id: languageTexts; target: groupDefault; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Rectangle {
        id: listPane
        width: Style.listWidth
        height: parent.height
        color: groupDefault.loginModel === 1 ? Style.glass(0.55) : groupDefault.pal.list
        Rectangle {
            anchors.right: parent.right
            width: 1
            height: parent.height
            color: groupDefault.pal.line
            z: 2
        }
        GroupList {
            id: groupList
            objectName: "groupListPane"
            anchors.fill: parent
            loginModel: groupDefault.loginModel
            skinColors: groupDefault.skinColors
            onSigOpenGroup: groupCard.open(ids)
            onSigCreateGroup: groupDefault.openNewGroup()
            onSigSendChatInformation: groupDefault.sigSendChatInformation(ids, names, types)
            onSigSendpersonalInfor: groupDefault.sigSendpersonalInfor(infora, inforb, jumpm, types)
            onSigGroupGone: if (groupCard.groupId === ids) groupCard.clear()
        }
    }

    Item {
        id: contentPane
        anchors.left: listPane.right
        anchors.right: parent.right
        height: parent.height

        Rectangle {
            id: titleBar
            width: parent.width
            height: Style.titleHeight
            color: groupDefault.loginModel === 1 ? "transparent" : groupDefault.pal.pane
            DragArea {
                anchors.fill: parent
                onDragged: {
                    groupDefault.modifyXposition(dx)
                    groupDefault.modifyYposition(dy)
                }
            }
            Text {
                textFormat: Text.PlainText
                x: 22 * groupDefault.sr
                anchors.verticalCenter: parent.verticalCenter
                // The window's buttons float over the right end.
                width: parent.width - 140 * groupDefault.sr
                elide: Text.ElideRight
                text: groupCard.hasGroup ? groupCard.groupName : groupDefault.tip_group
                font.pixelSize: Style.fontTitle
                color: groupDefault.pal.text
            }
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: groupDefault.pal.line
            }
        }
        Rectangle {
            anchors.top: titleBar.bottom
            anchors.bottom: parent.bottom
            width: parent.width
            color: groupDefault.loginModel === 1 ? Style.glass(0.7) : groupDefault.pal.pane

            GroupPersonnelinfor {
                id: groupCard
                objectName: "groupCard"
                anchors.fill: parent
                visible: hasGroup
                loginModel: groupDefault.loginModel
                skinColors: groupDefault.skinColors
                onSigSendChatInformation: groupDefault.sigSendChatInformation(ids, names, types)
                onSigAddMembers: groupDefault.openAddMembers(groupIds)
                onSigAskExit: groupDefault.askConfirm("exit", groupIds, names)
                onSigAskDelete: groupDefault.askConfirm("delete", groupIds, names)
                onSigChangeAsked: groupDefault.awaitChange(kind, groupIds, userIds)
            }
            // Until a group is chosen.
            Column {
                visible: !groupCard.hasGroup
                anchors.centerIn: parent
                spacing: 14 * groupDefault.sr
                Rectangle {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: 84 * groupDefault.sr
                    height: width
                    radius: width / 2
                    color: groupDefault.skinColors
                    opacity: 0.85
                    Image {
                        anchors.centerIn: parent
                        width: parent.width * 0.56
                        height: width
                        sourceSize: Qt.size(width * 2, height * 2)
                        source: "qrc:/images/group.svg"
                    }
                }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: groupDefault.tip_group_choose
                    font.pixelSize: Style.fontBody
                    color: groupDefault.pal.sub
                }
            }
        }
    }

    Rectangle {
        id: createFailed
        objectName: "groupCreateFailed"
        // A group not made, or a change that did not go through.
        property string text: groupDefault.tip_group_create_failed
        visible: false
        z: 5
        anchors.horizontalCenter: contentPane.horizontalCenter
        y: Style.titleHeight + 12 * groupDefault.sr
        width: Math.min(failedText.implicitWidth + 32 * groupDefault.sr, contentPane.width - 24 * groupDefault.sr)
        height: failedText.implicitHeight + 14 * groupDefault.sr
        radius: height / 2
        color: groupDefault.pal.banner
        Accessible.role: Accessible.AlertMessage
        Accessible.name: failedText.text
        Text {
            textFormat: Text.PlainText
            id: failedText
            anchors.centerIn: parent
            width: Math.min(implicitWidth, parent.width - 24 * groupDefault.sr)
            elide: Text.ElideRight
            text: createFailed.text
            font.pixelSize: Style.fontSmall
            color: groupDefault.pal.bannerText
        }
    }

    GroupAddmember {
        id: groupAddmember
        objectName: "groupAddmember"
        anchors.fill: parent
        z: 10
        loginModel: groupDefault.loginModel
        skinColors: groupDefault.skinColors
        onSigCreateGroup: {
            groupDefault.pendingGroupName = names
            createFailed.visible = false
            createLimit.restart()
        }
        onSigClosed: groupList.focusList()
    }
    AddNewmembers {
        id: addNewmembers
        objectName: "groupAddNewmembers"
        anchors.fill: parent
        z: 10
        loginModel: groupDefault.loginModel
        skinColors: groupDefault.skinColors
        onSigAddMembers: groupDefault.awaitChange("add", groupIds, addList)
    }

    // Leaving or deleting a group is asked once more.
    ModalCard {
        id: confirm
        objectName: "groupConfirm"
        property string action: ""
        property string groupId: ""
        property string text: ""
        anchors.fill: parent
        z: 11
        loginModel: groupDefault.loginModel
        closeName: groupDefault.tip_cancel
        cardWidth: 380 * groupDefault.sr
        cardHeight: confirmText.implicitHeight + 150 * groupDefault.sr
        Text {
            textFormat: Text.PlainText
            id: confirmText
            x: 22 * groupDefault.sr
            width: parent.width - 44 * groupDefault.sr
            wrapMode: Text.Wrap
            text: confirm.text
            font.pixelSize: Style.fontBody
            color: groupDefault.pal.muted
        }
        Row {
            anchors.right: parent.right
            anchors.rightMargin: 22 * groupDefault.sr
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 18 * groupDefault.sr
            spacing: 12 * groupDefault.sr
            SkinButton {
                id: confirmCancel
                objectName: "groupConfirmCancel"
                KeyNavigation.tab: confirmOk
                text: groupDefault.tip_cancel
                primary: false
                loginModel: groupDefault.loginModel
                skinColors: groupDefault.skinColors
                onClicked: confirm.close()
            }
            SkinButton {
                id: confirmOk
                objectName: "groupConfirmOk"
                KeyNavigation.tab: confirmCancel
                text: groupDefault.tip_ok
                loginModel: groupDefault.loginModel
                skinColors: confirm.action === "delete" ? Style.danger : groupDefault.skinColors
                onClicked: {
                    confirm.close()
                    if (confirm.action === "delete")
                        socketState.deleteGroup(confirm.groupId)
                    else
                        socketState.exitGroup(confirm.groupId)
                    groupDefault.awaitChange(confirm.action, confirm.groupId, "")
                }
            }
        }
    }
}

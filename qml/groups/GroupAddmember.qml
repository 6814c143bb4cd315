import QtQuick 2.12
import QtQuick.Controls 2.5
import SocketState 1.0
import LoadPersonnelinfor 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The new-group dialog: pick colleagues, name the group, create it. The group itself arrives
// from the server ("add group"), so the list shows it once the server has made it.
Item {
    id: groupAddmember
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property bool opened: dialog.visible
    readonly property alias picker: picker
    readonly property int maxNameLength: 30

    property string tip_new_group: qsTr("新建群组")
    property string tip_crea_new_group: qsTr("创建一个群名称吧")
    property string tip_group_name: qsTr("群名称")
    property string tip_cancel: qsTr("取消")
    property string tip_ok: qsTr("确定")
    property string tip_group_choose_people: qsTr("请至少选择一位成员")

    // A group was asked for with this name (its id comes with the server's answer).
    signal sigCreateGroup(string names)
    signal sigClosed()

    implicitWidth: 640 * sr
    implicitHeight: 520 * sr

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function open() {
        picker.load([socketState.getSelfUesrId()])
        groupNameInput.text = ""
        dialog.open()
        picker.focusFirst()
    }
    function close() { dialog.close() }
    // Without a name the group is called after its first members, as people usually do.
    function defaultName() {
        return picker.picked.groupNameWith(loadPersonnelinfor.getPersonnelInformationValue(socketState.getSelfUesrId()),
                                           maxNameLength)
    }
    function create() {
        var ids = picker.pickedIds()
        if (ids.length === 0) {
            hint.visible = true
            return
        }
        var name = groupNameInput.text.trim()
        if (name === "")
            name = defaultName()
        socketState.creatNewGroup(ids.join(","), name)
        sigCreateGroup(name)
        dialog.close()
    }

    SocketState { id: socketState }
    LoadPersonnelinfor { id: loadPersonnelinfor }
    LanguageTexts { id: languageTexts; target: groupAddmember; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    ModalCard {
        id: dialog
        objectName: "newGroupDialog"
        anchors.fill: parent
        loginModel: groupAddmember.loginModel
        title: groupAddmember.tip_new_group
        closeName: groupAddmember.tip_cancel
        closeOnOutside: false
        cardWidth: Math.min(parent.width - 40 * groupAddmember.sr, 600 * groupAddmember.sr)
        cardHeight: Math.min(parent.height - 40 * groupAddmember.sr, 480 * groupAddmember.sr)
        onClosed: {
            hint.visible = false
            groupAddmember.sigClosed()
        }

        PeoplePicker {
            id: picker
            x: 22 * groupAddmember.sr
            width: parent.width - 44 * groupAddmember.sr
            anchors.top: parent.top
            anchors.bottom: nameRow.top
            anchors.bottomMargin: 14 * groupAddmember.sr
            loginModel: groupAddmember.loginModel
            skinColors: groupAddmember.skinColors
            onPickedCountChanged: if (pickedCount > 0) hint.visible = false
        }
        Item {
            id: nameRow
            x: 22 * groupAddmember.sr
            width: parent.width - 44 * groupAddmember.sr
            height: groupNameInput.implicitHeight
            anchors.bottom: buttons.top
            anchors.bottomMargin: 16 * groupAddmember.sr
            Text {
                id: nameLabel
                anchors.verticalCenter: parent.verticalCenter
                text: groupAddmember.tip_group_name
                font.pixelSize: Style.fontBody
                color: groupAddmember.pal.text
            }
            TextField {
                id: groupNameInput
                objectName: "groupNameInput"
                anchors.left: nameLabel.right
                anchors.leftMargin: 12 * groupAddmember.sr
                anchors.right: parent.right
                implicitHeight: 34 * groupAddmember.sr
                placeholderText: groupAddmember.tip_crea_new_group
                maximumLength: groupAddmember.maxNameLength
                selectByMouse: true
                font.pixelSize: Style.fontBody
                color: groupAddmember.pal.text
                placeholderTextColor: groupAddmember.pal.sub
                selectionColor: groupAddmember.skinColors
                leftPadding: 10 * groupAddmember.sr
                Accessible.role: Accessible.EditableText
                Accessible.name: groupAddmember.tip_group_name
                Accessible.description: placeholderText
                background: Rectangle {
                    radius: Style.radius
                    color: groupAddmember.pal.input
                    border.color: groupNameInput.activeFocus ? groupAddmember.skinColors : groupAddmember.pal.fieldBorder
                }
                onAccepted: groupAddmember.create()
            }
        }
        Row {
            id: buttons
            anchors.right: parent.right
            anchors.rightMargin: 22 * groupAddmember.sr
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 18 * groupAddmember.sr
            spacing: 12 * groupAddmember.sr
            Text {
                id: hint
                objectName: "newGroupHint"
                visible: false
                anchors.verticalCenter: parent.verticalCenter
                text: groupAddmember.tip_group_choose_people
                font.pixelSize: Style.fontSmall
                color: Style.danger
            }
            SkinButton {
                objectName: "newGroupCancel"
                text: groupAddmember.tip_cancel
                primary: false
                loginModel: groupAddmember.loginModel
                skinColors: groupAddmember.skinColors
                onClicked: dialog.close()
            }
            SkinButton {
                objectName: "newGroupConfirm"
                // Tab stays in the dialog.
                KeyNavigation.tab: picker.searchField
                text: groupAddmember.tip_ok
                loginModel: groupAddmember.loginModel
                skinColors: groupAddmember.skinColors
                onClicked: groupAddmember.create()
            }
        }
    }
}

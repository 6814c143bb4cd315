import QtQuick 2.12
import SocketState 1.0
import OnlineInfor 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// A person's card over the frame: name, department, role, state, e-mail and telephone, and a
// button to start a conversation (sigSendChatInformation(id, name, "2")). Escape or a press
// outside closes it.
ModalCard {
    id: personalInformation
    property string skinColors: Style.defaultSkin
    property string userId: ""
    property string userName: ""
    property string deptName: ""
    property string roleName: ""
    property string email: ""
    property string phone: ""
    property bool online: false
    property bool loading: false
    readonly property bool isSelf: userId !== "" && userId === socketState.getSelfUesrId()
    readonly property real sr: Style.sr

    property string tip_department: qsTr("部门")
    property string tip_role: qsTr("角色")
    property string tip_state: qsTr("状态")
    property string tip_email: qsTr("邮箱")
    property string tip_telephone: qsTr("电话")
    property string tip_online: qsTr("在线")
    property string tip_offline: qsTr("离线")
    property string tip_send_massage: qsTr("发消息")
    property string tip_get_data: qsTr("数据获取中")
    property string tip_user_load_failed: qsTr("未能获取此人的信息，请稍后重试")
    property string tip_close: qsTr("关闭")

    signal sigSendChatInformation(string ids, string names, string types)

    cardWidth: 340 * sr
    cardHeight: cardColumn.implicitHeight + 44 * sr
    title: ""
    closeName: tip_close

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // Shows the card at once and fills it in a moment later: the first look-up of a person asks
    // the server, and the card should already be on screen while it does.
    function open(ids) {
        userId = ids === undefined || ids === null ? "" : String(ids)
        userName = userId
        deptName = ""
        roleName = ""
        email = ""
        phone = ""
        online = userId !== "" && onlineInfor.getOnlineUsers(userId)
        loading = userId !== ""
        visible = true
        forceActiveFocus()
        if (loading)
            Qt.callLater(fill, userId)
    }
    // An uncached person is fetched behind the card: the answer calls this again, `answered`.
    function fill(ids, answered) {
        if (ids !== userId || !visible || !loading)
            return
        var card = socketState.getUserCard(ids)
        userName = card.userName
        if (!card.known && !answered)
            return
        deptName = card.deptName
        roleName = card.known ? card.roleName : tip_user_load_failed
        email = card.email
        phone = card.phone
        loading = false
        if (card.known && !isSelf)
            sendButton.forceActiveFocus()
    }
    function startChat() {
        if (userId === "" || isSelf)
            return
        var ids = userId
        var names = userName
        close()
        sigSendChatInformation(ids, names, "2")
    }

    SocketState {
        id: socketState
        onSigUserInforFetched: if (ids.indexOf(personalInformation.userId) >= 0) personalInformation.fill(personalInformation.userId, true)
    }
    OnlineInfor {
        id: onlineInfor
        onSigOnlineUsersChange: if (list.indexOf(personalInformation.userId) >= 0) personalInformation.online = statusa
    }
    LanguageTexts {
        id: languageTexts
        target: personalInformation
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Column {
        id: cardColumn
        objectName: "personalCard"
        x: 24 * personalInformation.sr
        y: 22 * personalInformation.sr
        width: parent.width - 48 * personalInformation.sr
        spacing: 16 * personalInformation.sr

        Row {
            spacing: 14 * personalInformation.sr
            width: parent.width
            Avatar {
                width: 56 * personalInformation.sr
                height: width
                name: personalInformation.userName
                skinColors: personalInformation.skinColors
                showOnline: true
                online: personalInformation.online
            }
            Column {
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - 70 * personalInformation.sr - 30 * personalInformation.sr
                spacing: 4 * personalInformation.sr
                Text {
                    textFormat: Text.PlainText
                    objectName: "personalName"
                    width: parent.width
                    wrapMode: Text.Wrap
                    text: personalInformation.userName
                    font.pixelSize: Style.fontHeading
                    color: personalInformation.pal.text
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    wrapMode: Text.Wrap
                    text: personalInformation.loading ? personalInformation.tip_get_data : personalInformation.roleName
                    visible: text !== ""
                    font.pixelSize: Style.fontSmall
                    color: personalInformation.pal.sub
                }
            }
        }
        Rectangle {
            width: parent.width
            height: 1
            color: personalInformation.pal.line
        }
        // Label and value pairs; the labels share the width of the widest.
        Column {
            id: fields
            width: parent.width
            spacing: 10 * personalInformation.sr
            readonly property real labelWidth: Math.max(deptLabel.implicitWidth, stateLabel.implicitWidth,
                                                         emailLabel.implicitWidth, phoneLabel.implicitWidth) + 14 * personalInformation.sr
            Row {
                width: parent.width
                Text {
                    id: deptLabel
                    width: fields.labelWidth
                    text: personalInformation.tip_department
                    font.pixelSize: Style.fontBody
                    color: personalInformation.pal.sub
                }
                Text {
                    textFormat: Text.PlainText
                    objectName: "personalDepartment"
                    width: parent.width - fields.labelWidth
                    wrapMode: Text.Wrap
                    text: personalInformation.deptName !== "" ? personalInformation.deptName : "—"
                    font.pixelSize: Style.fontBody
                    color: personalInformation.pal.text
                }
            }
            Row {
                width: parent.width
                Text {
                    id: stateLabel
                    width: fields.labelWidth
                    text: personalInformation.tip_state
                    font.pixelSize: Style.fontBody
                    color: personalInformation.pal.sub
                }
                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 8 * personalInformation.sr
                    height: width
                    radius: width / 2
                    color: personalInformation.online ? Style.online : Style.offline
                }
                Item { width: 6 * personalInformation.sr; height: 1 }
                Text {
                    textFormat: Text.PlainText
                    objectName: "personalState"
                    text: personalInformation.online ? personalInformation.tip_online : personalInformation.tip_offline
                    font.pixelSize: Style.fontBody
                    color: personalInformation.pal.text
                }
            }
            Row {
                width: parent.width
                Text {
                    id: emailLabel
                    width: fields.labelWidth
                    text: personalInformation.tip_email
                    font.pixelSize: Style.fontBody
                    color: personalInformation.pal.sub
                }
                TextEdit {
                    objectName: "personalEmail"
                    anchors.baseline: emailLabel.baseline
                    width: parent.width - fields.labelWidth
                    wrapMode: TextEdit.WrapAnywhere
                    readOnly: true
                    selectByMouse: true
                    activeFocusOnPress: false
                    text: personalInformation.email !== "" ? personalInformation.email : "—"
                    font.pixelSize: Style.fontBody
                    color: personalInformation.pal.text
                    selectionColor: personalInformation.skinColors
                }
            }
            Row {
                width: parent.width
                Text {
                    id: phoneLabel
                    width: fields.labelWidth
                    text: personalInformation.tip_telephone
                    font.pixelSize: Style.fontBody
                    color: personalInformation.pal.sub
                }
                TextEdit {
                    objectName: "personalTelephone"
                    anchors.baseline: phoneLabel.baseline
                    width: parent.width - fields.labelWidth
                    wrapMode: TextEdit.WrapAnywhere
                    readOnly: true
                    selectByMouse: true
                    activeFocusOnPress: false
                    text: personalInformation.phone !== "" ? personalInformation.phone : "—"
                    font.pixelSize: Style.fontBody
                    color: personalInformation.pal.text
                    selectionColor: personalInformation.skinColors
                }
            }
        }
        SkinButton {
            id: sendButton
            objectName: "sendMessageButton"
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.max(implicitWidth, 140 * personalInformation.sr)
            visible: !personalInformation.isSelf
            enabled: personalInformation.userId !== ""
            text: personalInformation.tip_send_massage
            skinColors: personalInformation.skinColors
            loginModel: personalInformation.loginModel
            onClicked: personalInformation.startChat()
        }
    }
}

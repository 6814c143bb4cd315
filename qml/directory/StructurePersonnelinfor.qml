import QtQuick 2.12
import CodePainter 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// A person's card: name, department, roles and contact details, a QR code holding the card as a
// vCard, and a button that starts a conversation. Escape closes it.
Rectangle {
    id: structurePersonnelinfor
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property string userId: ""
    property string userName: ""
    property string deptName: ""
    property string roleName: ""
    property string phoneNumber: ""
    property string email: ""
    property string position: ""
    property string companyName: ""
    readonly property alias codeText: personQrCode.codeText

    property string tip_department: qsTr("部门")
    property string tip_close: qsTr("关闭")
    property string tip_role: qsTr("角色")
    property string tip_mobile_phone: qsTr("手机")
    property string tip_email: qsTr("邮箱")
    property string tip_send_massage: qsTr("发消息")
    property string tip_scan_business_card: qsTr("扫一扫，获取用户名片")

    signal sigSendChatInformation(string ids, string names, string types)
    signal sigClose()

    color: pal.card
    radius: Style.radiusCard
    border.color: pal.cardBorder
    implicitWidth: 400 * sr
    implicitHeight: content.implicitHeight + 56 * sr
    visible: false
    Accessible.role: Accessible.Dialog
    Accessible.name: userName

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // person: {userId, name, dept, roles, phone, email, position, company}
    function open(person) {
        userId = person.userId || ""
        userName = person.name || ""
        deptName = person.dept || ""
        roleName = (person.roles || "").trim()
        phoneNumber = person.phone || ""
        email = person.email || ""
        position = person.position || ""
        companyName = person.company || ""
        personQrCode.codeText = vcard()
        personQrCode.generateString(personQrCode.codeText)
        visible = true
        sendButton.forceActiveFocus()
    }
    function close() {
        if (!visible)
            return
        visible = false
        sigClose()
    }
    function sendMessage() {
        if (userId !== "")
            sigSendChatInformation(userId, userName, "2")
    }
    // The card as a vCard, so a phone's camera can save the contact.
    function vcard() {
        function escaped(text) {
            return String(text).replace(/\\/g, "\\\\").replace(/([,;])/g, "\\$1").replace(/\n/g, "\\n")
        }
        var lines = ["BEGIN:VCARD", "VERSION:3.0", "FN:" + escaped(userName), "N:" + escaped(userName) + ";;;;"]
        if (companyName !== "" || deptName !== "")
            lines.push("ORG:" + escaped(companyName) + (deptName !== "" ? ";" + escaped(deptName) : ""))
        if (position !== "")
            lines.push("TITLE:" + escaped(position))
        if (phoneNumber !== "")
            lines.push("TEL;TYPE=CELL:" + escaped(phoneNumber))
        if (email !== "")
            lines.push("EMAIL:" + escaped(email))
        lines.push("END:VCARD")
        return lines.join("\n")
    }

    LanguageTexts {
        id: languageTexts
        target: structurePersonnelinfor
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Keys.onEscapePressed: close()
    // Clicks on the card stay on it.
    MouseArea { anchors.fill: parent }

    Column {
        id: content
        anchors.top: parent.top
        anchors.topMargin: 28 * structurePersonnelinfor.sr
        anchors.horizontalCenter: parent.horizontalCenter
        width: parent.width - 64 * structurePersonnelinfor.sr
        spacing: 14 * structurePersonnelinfor.sr

        Row {
            spacing: 14 * structurePersonnelinfor.sr
            width: parent.width
            Avatar {
                id: avatar
                width: 56 * structurePersonnelinfor.sr
                height: width
                name: structurePersonnelinfor.userName
                skinColors: structurePersonnelinfor.skinColors
            }
            Column {
                anchors.verticalCenter: avatar.verticalCenter
                width: parent.width - avatar.width - parent.spacing
                spacing: 4 * structurePersonnelinfor.sr
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    text: structurePersonnelinfor.userName
                    elide: Text.ElideRight
                    font.pixelSize: Style.fontHeading
                    font.bold: true
                    color: structurePersonnelinfor.pal.text
                }
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    text: structurePersonnelinfor.position !== "" ? structurePersonnelinfor.position
                                                                  : structurePersonnelinfor.companyName
                    visible: text !== ""
                    elide: Text.ElideRight
                    font.pixelSize: Style.fontSmall
                    color: structurePersonnelinfor.pal.sub
                }
            }
        }
        Rectangle {
            width: parent.width
            height: 1
            color: structurePersonnelinfor.pal.line
        }
        Column {
            id: details
            width: parent.width
            spacing: 9 * structurePersonnelinfor.sr
            Repeater {
                model: [
                    [structurePersonnelinfor.tip_department, structurePersonnelinfor.deptName],
                    [structurePersonnelinfor.tip_role, structurePersonnelinfor.roleName],
                    [structurePersonnelinfor.tip_mobile_phone, structurePersonnelinfor.phoneNumber],
                    [structurePersonnelinfor.tip_email, structurePersonnelinfor.email]
                ]
                delegate: Row {
                    width: details.width
                    spacing: 18 * structurePersonnelinfor.sr
                    Text {
                        textFormat: Text.PlainText
                        width: labelWidth.implicitWidth
                        text: modelData[0]
                        font.pixelSize: Style.fontBody
                        color: structurePersonnelinfor.pal.sub
                    }
                    Text {
                        textFormat: Text.PlainText
                        width: parent.width - labelWidth.implicitWidth - parent.spacing
                        text: modelData[1] !== "" ? modelData[1] : "—"
                        wrapMode: Text.WrapAtWordBoundaryOrAnywhere
                        font.pixelSize: Style.fontBody
                        color: structurePersonnelinfor.pal.text
                    }
                }
            }
        }
        // The widest label, which the value column leaves room for.
        Text {
            textFormat: Text.PlainText
            id: labelWidth
            visible: false
            font.pixelSize: Style.fontBody
            text: [structurePersonnelinfor.tip_department, structurePersonnelinfor.tip_role,
                   structurePersonnelinfor.tip_mobile_phone, structurePersonnelinfor.tip_email]
                  .reduce(function(a, b) { return a.length >= b.length ? a : b })
        }
        Rectangle {
            width: parent.width
            height: 1
            color: structurePersonnelinfor.pal.line
        }
        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 6 * structurePersonnelinfor.sr
            // White behind the code in every theme: a scanner needs dark modules on light.
            Rectangle {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 150 * structurePersonnelinfor.sr
                height: width
                radius: Style.radius
                color: Style.qrPaper
                border.color: structurePersonnelinfor.pal.cardBorder
                CodePainter {
                    id: personQrCode
                    objectName: "personQrCode"
                    property string codeText: ""
                    // The item leaves a 10-pixel strip right and below unpainted; centre what it draws.
                    x: 10 * structurePersonnelinfor.sr + 5
                    y: x
                    width: parent.width - 20 * structurePersonnelinfor.sr
                    height: width
                    Accessible.role: Accessible.Graphic
                    Accessible.name: structurePersonnelinfor.tip_scan_business_card
                }
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: structurePersonnelinfor.tip_scan_business_card
                font.pixelSize: Style.fontSmall
                color: structurePersonnelinfor.pal.sub
            }
        }
        SkinButton {
            id: sendButton
            objectName: "sendMessageButton"
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.max(implicitWidth, 160 * structurePersonnelinfor.sr)
            text: structurePersonnelinfor.tip_send_massage
            skinColors: structurePersonnelinfor.skinColors
            loginModel: structurePersonnelinfor.loginModel
            onClicked: structurePersonnelinfor.sendMessage()
            Keys.onEscapePressed: structurePersonnelinfor.close()
        }
    }

    CloseButton {
        accessibleName: structurePersonnelinfor.tip_close
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 10 * structurePersonnelinfor.sr
        loginModel: structurePersonnelinfor.loginModel
        onClicked: structurePersonnelinfor.close()
    }
}

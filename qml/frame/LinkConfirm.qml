import QtQuick 2.12
import LinkOpener 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// Where a click on a link in a message, a reminder or a card goes. A link to another host is
// shown whole and opens only when the user agrees; a link that may not open at all says why.
// The focus starts on cancel, so Return opens nothing until the user moved to the open button.
ModalCard {
    id: linkConfirm
    objectName: "linkConfirm"
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property alias opener: linkOpener
    // The address asked about, or "" while a refusal is shown.
    property string pending: ""
    property string reason: ""

    property string tip_link_title: qsTr("打开链接")
    property string tip_link_foreign: qsTr("这个链接指向其他网站，请确认地址后再打开：")
    property string tip_link_refused_title: qsTr("链接没有打开")
    property string tip_link_open: qsTr("打开")
    property string tip_cancel: qsTr("取消")
    property string tip_ok: qsTr("确定")

    function openLink(link) { linkOpener.open(link) }

    title: pending !== "" ? tip_link_title : tip_link_refused_title
    closeName: tip_cancel
    cardWidth: Math.min(460 * sr, width - 24 * sr)
    cardHeight: content.implicitHeight + 52 * sr + 36 * sr + Style.buttonHeight

    LinkOpener {
        id: linkOpener
        onConfirmationNeeded: {
            linkConfirm.reason = ""
            linkConfirm.pending = link
            linkConfirm.open()
            cancelButton.forceActiveFocus()
        }
        onRefused: {
            linkConfirm.pending = ""
            linkConfirm.reason = reason
            linkConfirm.open()
            okButton.forceActiveFocus()
        }
    }

    LanguageTexts { id: languageTexts; target: linkConfirm; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Column {
        id: content
        x: 22 * linkConfirm.sr
        width: parent.width - 44 * linkConfirm.sr
        spacing: 8 * linkConfirm.sr
        Text {
            width: parent.width
            wrapMode: Text.WordWrap
            textFormat: Text.PlainText
            text: linkConfirm.pending !== "" ? linkConfirm.tip_link_foreign : linkConfirm.reason
            font.pixelSize: Style.fontBody
            color: linkConfirm.pal.text
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        Text {
            objectName: "linkAddress"
            visible: linkConfirm.pending !== ""
            width: parent.width
            wrapMode: Text.WrapAnywhere
            textFormat: Text.PlainText
            text: linkConfirm.pending
            font.pixelSize: Style.fontSmall
            font.family: "monospace"
            color: linkConfirm.pal.text
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }
    Row {
        anchors.right: parent.right
        anchors.rightMargin: 22 * linkConfirm.sr
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 18 * linkConfirm.sr
        spacing: 12 * linkConfirm.sr
        SkinButton {
            id: cancelButton
            objectName: "linkCancel"
            visible: linkConfirm.pending !== ""
            KeyNavigation.tab: openButton
            text: linkConfirm.tip_cancel
            // Spoken with the focused button: the address asked about.
            Accessible.description: linkConfirm.pending !== "" ? linkConfirm.tip_link_foreign + " " + linkConfirm.pending : ""
            primary: false
            loginModel: linkConfirm.loginModel
            skinColors: linkConfirm.skinColors
            onClicked: linkConfirm.close()
        }
        SkinButton {
            id: openButton
            objectName: "linkOpen"
            visible: linkConfirm.pending !== ""
            KeyNavigation.tab: cancelButton
            text: linkConfirm.tip_link_open
            loginModel: linkConfirm.loginModel
            skinColors: linkConfirm.skinColors
            onClicked: {
                var link = linkConfirm.pending
                linkConfirm.close()
                linkOpener.confirm(link)
            }
        }
        SkinButton {
            id: okButton
            objectName: "linkRefusedOk"
            visible: linkConfirm.pending === ""
            text: linkConfirm.tip_ok
            // Qt 5.15 has no live region: the focus lands here, and a reader speaks the button
            // with its description, which says why the link stayed shut.
            Accessible.description: linkConfirm.reason
            loginModel: linkConfirm.loginModel
            skinColors: linkConfirm.skinColors
            onClicked: linkConfirm.close()
        }
    }
}

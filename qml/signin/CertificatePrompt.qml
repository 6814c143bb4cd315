import QtQuick 2.12
import CertificateTrust 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The question about a server certificate the system does not vouch for: the server and the
// certificate's SHA-256 fingerprint, and for a changed certificate the one trusted before with a
// warning. Trusting pins it; `trusted` tells the host to retry. The focus starts on cancel, so
// Return trusts only once the user moved to the trust button; Escape cancels.
ModalCard {
    id: certificatePrompt
    objectName: "certificatePrompt"
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property alias trust: certificateTrust

    property string tip_certificate_title: qsTr("服务器证书")
    property string tip_certificate_unknown: qsTr("无法验证此服务器的证书。请与管理员核对下面的指纹，确认无误后再信任它。")
    property string tip_certificate_changed: qsTr("警告：此服务器的证书已更改！如果管理员没有更换证书，可能有人在冒充该服务器。")
    property string tip_certificate_server: qsTr("服务器")
    property string tip_certificate_fingerprint: qsTr("SHA-256 指纹")
    property string tip_certificate_previous: qsTr("此前信任的指纹")
    property string tip_certificate_trust: qsTr("信任")
    property string tip_certificate_accept_new: qsTr("接受新证书")
    property string tip_cancel: qsTr("取消")
    property string tip_certificate_declined: qsTr("未信任服务器证书，没有连接该服务器")

    signal trusted()
    // The user said no: the host explains why nothing happened.
    signal declined()

    title: tip_certificate_title
    closeName: tip_cancel
    closeOnOutside: false
    cardWidth: Math.min(460 * sr, width - 24 * sr)
    cardHeight: (shownLoader.item ? shownLoader.item.contentHeight : 0) + 52 * sr + 18 * sr
                + Style.buttonHeight + 18 * sr

    onClosed: {
        certificateTrust.cancel()
        declined()
    }

    CertificateTrust {
        id: certificateTrust
        onAsked: {
            shownLoader.active = true
            certificatePrompt.open()
            shownLoader.item.cancelButton.forceActiveFocus()
        }
        onTrusted: certificatePrompt.trusted()
        // Answered elsewhere (another window's prompt).
        onQuestionChanged: if (!asking) certificatePrompt.visible = false
    }

    LanguageTexts { id: languageTexts; target: certificatePrompt; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // What the card shows is made when the first question comes: its texts, in the monospace face
    // among others, would otherwise be laid out before the sign-in view's first frame.
    Loader {
        id: shownLoader
        anchors.fill: parent
        active: false
        sourceComponent: Item {
            id: shown
            readonly property real contentHeight: content.implicitHeight
            readonly property alias cancelButton: cancelButton

            // A fingerprint's lines hold whole pairs, and as many on each as the card allows:
            // 2 lines of 16, 3 of 11 or 4 of 8.
            function fingerprintWidth(room) {
                var pair = pairLine.advanceWidth / 16
                var pairs = room >= 16 * pair + 1 ? 16 : room >= 11 * pair + 1 ? 11 : 8
                return Math.ceil(pairs * pair) + 1
            }
            TextMetrics {
                id: pairLine
                font.family: "monospace"
                font.pixelSize: Style.fontSmall
                text: "00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:00:"
            }

            Column {
                id: content
                x: 22 * certificatePrompt.sr
                width: parent.width - 44 * certificatePrompt.sr
                spacing: 8 * certificatePrompt.sr

                Text {
                    textFormat: Text.PlainText
                    objectName: "certificateWarning"
                    width: parent.width
                    wrapMode: Text.WordWrap
                    text: certificateTrust.changed ? certificatePrompt.tip_certificate_changed
                                                   : certificatePrompt.tip_certificate_unknown
                    font.pixelSize: Style.fontBody
                    font.bold: certificateTrust.changed
                    color: certificateTrust.changed ? Style.danger : certificatePrompt.pal.text
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
                Text {
                    text: certificatePrompt.tip_certificate_server
                    font.pixelSize: Style.fontSmall
                    color: certificatePrompt.pal.muted
                }
                Text {
                    textFormat: Text.PlainText
                    objectName: "certificateServer"
                    width: parent.width
                    wrapMode: Text.WrapAnywhere
                    text: certificateTrust.server
                    font.pixelSize: Style.fontBody
                    color: certificatePrompt.pal.text
                    Accessible.role: Accessible.StaticText
                    Accessible.name: certificatePrompt.tip_certificate_server + " " + text
                }
                Text {
                    text: certificatePrompt.tip_certificate_fingerprint
                    font.pixelSize: Style.fontSmall
                    color: certificatePrompt.pal.muted
                }
                Text {
                    textFormat: Text.PlainText
                    objectName: "certificateFingerprint"
                    width: shown.fingerprintWidth(parent.width)
                    wrapMode: Text.WrapAnywhere
                    text: certificateTrust.fingerprint
                    font.family: "monospace"
                    font.pixelSize: Style.fontSmall
                    color: certificatePrompt.pal.text
                    Accessible.role: Accessible.StaticText
                    Accessible.name: certificatePrompt.tip_certificate_fingerprint + " " + text
                }
                Text {
                    visible: certificateTrust.changed
                    text: certificatePrompt.tip_certificate_previous
                    font.pixelSize: Style.fontSmall
                    color: certificatePrompt.pal.muted
                }
                Text {
                    textFormat: Text.PlainText
                    objectName: "certificatePreviousFingerprint"
                    visible: certificateTrust.changed
                    width: shown.fingerprintWidth(parent.width)
                    wrapMode: Text.WrapAnywhere
                    text: certificateTrust.previousFingerprint
                    font.family: "monospace"
                    font.pixelSize: Style.fontSmall
                    color: certificatePrompt.pal.sub
                    Accessible.role: Accessible.StaticText
                    Accessible.name: certificatePrompt.tip_certificate_previous + " " + text
                }
            }

            Row {
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                anchors.rightMargin: 22 * certificatePrompt.sr
                anchors.bottomMargin: 18 * certificatePrompt.sr
                spacing: 10 * certificatePrompt.sr
                SkinButton {
                    id: cancelButton
                    objectName: "certificateCancelButton"
                    text: certificatePrompt.tip_cancel
                    primary: false
                    loginModel: certificatePrompt.loginModel
                    skinColors: certificatePrompt.skinColors
                    KeyNavigation.right: trustButton
                    KeyNavigation.tab: trustButton
                    onClicked: certificatePrompt.close()
                }
                SkinButton {
                    id: trustButton
                    objectName: "certificateTrustButton"
                    text: certificateTrust.changed ? certificatePrompt.tip_certificate_accept_new
                                                   : certificatePrompt.tip_certificate_trust
                    primary: !certificateTrust.changed
                    loginModel: certificatePrompt.loginModel
                    skinColors: certificateTrust.changed ? Style.danger : certificatePrompt.skinColors
                    KeyNavigation.left: cancelButton
                    KeyNavigation.tab: cancelButton
                    onClicked: {
                        // Closing first: its closed() must not count as a cancel.
                        certificatePrompt.visible = false
                        certificateTrust.trust()
                    }
                }
            }
        }
    }
}

import QtQuick 2.12
import CodePainter 1.0
import LoginRequest 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// QR-code login: shows the server's code while the view is open and signs in once the code is
// confirmed on the phone.
Rectangle {
    id: codeInterface
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // The code is fetched and polled only while the view is on screen.
    property bool active: false
    property bool pending: false
    property bool qrReady: false
    property bool failed: false
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property bool dark: pal.dark

    property string tip_sacn_code_login: qsTr("扫描二维码安全登录")
    property string tip_get_data: qsTr("数据获取中")
    property string tip_server_disconnected: qsTr("服务器断开，请检查网络")
    property string tip_log_in: qsTr("登录")
    property string tip_back: qsTr("返回")

    signal sigLoginSuccess(bool status, string errors)
    signal sigLoginName(string userId, string names)
    signal sigShowPassword()

    color: pal.pane

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function start() {
        qrReady = false
        failed = false
        pending = true
        loginRequest.getQrcode()
        qrTimeout.restart()
    }
    function stop() {
        qrTimeout.stop()
        if (pending)
            loginRequest.setExitTempRun(true)
        pending = false
    }

    onActiveChanged: active ? start() : stop()
    Component.onDestruction: stop()

    LoginRequest {
        id: loginRequest
        onSigCreateQrcode: {
            if (!codeInterface.active) {
                setExitTempRun(true)
                return
            }
            qrTimeout.stop()
            codePainter.generateString(qrcodes)
            codeInterface.qrReady = true
            codeInterface.failed = false
        }
        onSigLoginName: if (codeInterface.pending) codeInterface.sigLoginName(userId, names)
        onSigLoginStatus: {
            if (!codeInterface.pending || types !== 2)
                return
            if (status) {
                codeInterface.pending = false
                codeInterface.sigLoginSuccess(true, "")
            } else {
                // The poll could not reach the server; polling goes on by itself.
                codeInterface.failed = true
            }
        }
    }

    LanguageTexts {
        id: languageTexts
        target: codeInterface
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // A code that does not arrive is reported, and a click asks again.
    Timer {
        id: qrTimeout
        interval: 10000
        onTriggered: codeInterface.failed = true
    }

    Text {
        id: title
        objectName: "qrTitle"
        anchors.horizontalCenter: parent.horizontalCenter
        y: 20 * sr
        width: parent.width - 40 * sr
        horizontalAlignment: Text.AlignHCenter
        text: codeInterface.tip_sacn_code_login
        wrapMode: Text.WordWrap
        font.pixelSize: 16 * sr
        color: codeInterface.pal.text
    }

    Rectangle {
        id: card
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: title.bottom
        anchors.topMargin: 18 * sr
        width: 196 * sr
        height: width
        radius: 6 * sr
        color: Style.qrPaper
        border.color: codeInterface.pal.cardBorder

        CodePainter {
            id: codePainter
            objectName: "qrCode"
            // The item leaves ten pixels unpainted at the right and bottom; centring takes them in.
            x: (parent.width - (width - 10)) / 2
            y: (parent.height - (height - 10)) / 2
            width: 176 * codeInterface.sr + 10
            height: width
            visible: codeInterface.qrReady
            opacity: codeInterface.failed ? 0.15 : 1
        }
        // Scan line while the code waits for a phone.
        Rectangle {
            visible: codeInterface.qrReady && !codeInterface.failed
            x: 12 * codeInterface.sr
            width: parent.width - 24 * codeInterface.sr
            height: 2 * codeInterface.sr
            radius: height
            color: codeInterface.skinColors
            opacity: 0.55
            SequentialAnimation on y {
                running: codeInterface.active && codeInterface.qrReady && !codeInterface.failed
                loops: Animation.Infinite
                NumberAnimation { from: 14 * codeInterface.sr; to: card.height - 16 * codeInterface.sr; duration: 1800; easing.type: Easing.InOutQuad }
                NumberAnimation { to: 14 * codeInterface.sr; duration: 1800; easing.type: Easing.InOutQuad }
            }
        }
        Column {
            anchors.centerIn: parent
            spacing: 10 * codeInterface.sr
            visible: !codeInterface.qrReady || codeInterface.failed
            width: parent.width - 24 * codeInterface.sr
            Item {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 28 * codeInterface.sr
                height: width
                visible: !codeInterface.failed
                Repeater {
                    model: 8
                    Rectangle {
                        width: 5 * codeInterface.sr
                        height: width
                        radius: width / 2
                        color: codeInterface.skinColors
                        x: parent.width / 2 - width / 2 + Math.cos(index * Math.PI / 4) * 11 * codeInterface.sr
                        y: parent.height / 2 - height / 2 + Math.sin(index * Math.PI / 4) * 11 * codeInterface.sr
                        opacity: 0.25 + 0.75 * ((index + spinner.step) % 8) / 7
                    }
                }
                QtObject {
                    id: spinner
                    property int step: 0
                }
                Timer {
                    interval: 100
                    repeat: true
                    running: codeInterface.active && !codeInterface.qrReady && !codeInterface.failed
                    onTriggered: spinner.step = (spinner.step + 1) % 8
                }
            }
            Text {
                textFormat: Text.PlainText
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                text: codeInterface.failed ? codeInterface.tip_server_disconnected : codeInterface.tip_get_data
                font.pixelSize: 13 * codeInterface.sr
                color: codeInterface.failed ? Style.danger : codeInterface.pal.muted
            }
        }
        MouseArea {
            anchors.fill: parent
            enabled: codeInterface.failed
            cursorShape: enabled ? Qt.PointingHandCursor : Qt.ArrowCursor
            onClicked: {
                codeInterface.stop()
                codeInterface.start()
            }
        }
    }

    Row {
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: card.bottom
        anchors.topMargin: 16 * sr
        spacing: 6 * sr
        Text {
            textFormat: Text.PlainText
            anchors.verticalCenter: parent.verticalCenter
            text: "\u2039  " + codeInterface.tip_back
            font.pixelSize: 13 * codeInterface.sr
            font.underline: backArea.containsMouse
            color: codeInterface.skinColors === Style.curtainBlack && codeInterface.dark ? Style.darkLink : codeInterface.skinColors
            MouseArea {
                id: backArea
                anchors.fill: parent
                anchors.margins: -4 * codeInterface.sr
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: codeInterface.sigShowPassword()
            }
        }
    }

    // The corner returns to the password form.
    Item {
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        width: 46 * sr
        height: 46 * sr
        clip: true
        Rectangle {
            width: parent.width * 1.42
            height: width
            x: parent.width - width / 2
            y: parent.height - height / 2
            rotation: 45
            antialiasing: true
            color: cornerArea.pressed ? codeInterface.hextoPressHex(codeInterface.skinColors)
                   : cornerArea.containsMouse ? Qt.lighter(codeInterface.skinColors, 1.1) : codeInterface.skinColors
        }
        Image {
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 5 * codeInterface.sr
            width: 18 * codeInterface.sr
            height: width
            sourceSize: Qt.size(width * 2, height * 2)
            source: "qrc:/images/computer.svg"
        }
        MouseArea {
            id: cornerArea
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: codeInterface.sigShowPassword()
        }
    }
    focus: visible
    Keys.onEscapePressed: sigShowPassword()
}

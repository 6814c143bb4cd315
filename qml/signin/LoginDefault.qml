import QtQuick 2.12
import QtQuick.Window 2.12
import ConfigData 1.0
import SocketState 1.0
import FilteruserAuthority 1.0
import StartupPhase 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The login frame: a skin-coloured header with the window buttons, and below it one of the
// password form, the QR view, the server settings or the logging-in view.
Rectangle {
    id: loginDefault
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property bool suppressAutoLogin: false
    // "password", "qrcode", "server" or "logging". The frame reopens where the user left it;
    // without a server it starts at the settings. Known from the start, so that only the view
    // shown is made before the first frame.
    property string currentView: configData.loginStartView()
    property string loggingAccount: ""
    property string loggingAvatar: ""
    // Trusted while the refused sign-in was still on its way: it runs again once it has failed.
    property bool retryWhenFailed: false
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property bool dark: pal.dark
    // The window buttons in the header.
    property string tip_server_set: qsTr("服务器设置")
    property string tip_narrow: qsTr("缩小")
    property string tip_close: qsTr("关闭")

    signal sigLoginSuccess()
    signal sigLoginName(string userId, string names)
    signal sigLoginMin()
    signal sigLoginClose()
    signal sigChangeTheme(int themes)
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)

    color: pal.pane
    radius: 6 * sr
    border.color: pal.cardBorder
    clip: true

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // The password form, made now if the start showed another view and it is still on its way.
    function detail() {
        if (!detailLoader.item) {
            detailLoader.asynchronous = false
            detailLoader.active = true
        }
        return detailLoader.item
    }
    // The avatar of a person on the current server, or the built-in one.
    function getUserAvatar(path) { return configData.avatarUrl(path) }
    // Back to the password form after a logout.
    function restartLogin() {
        loginWatchdog.stop()
        retryWhenFailed = false
        currentView = "password"
        detail().reset()
    }
    function loginFinished(status, errors) {
        loginWatchdog.stop()
        var retry = retryWhenFailed
        retryWhenFailed = false
        if (currentView !== "logging" && currentView !== "qrcode")
            return // cancelled meanwhile
        if (!status) {
            currentView = "password"
            // A refused certificate is being asked about: the prompt says what happened, and
            // "server address wrong" beneath it would say something else.
            if (!certificatePrompt.trust.asking)
                detail().showTip(errors)
            if (retry)
                detail().doLogin()
            return
        }
        configData.setLoginServerIp()
        socketState.connectServer()
        filteruserAuthority.requestFiltuser()
        currentView = "logging"
        sigLoginSuccess()
    }

    // A certificate was trusted in the prompt: what it refused is tried again at once.
    function retryAfterTrust() {
        if (currentView === "server")
            setLoader.item.testServer()
        else if (currentView === "password")
            detail().doLogin()
        else if (currentView === "logging")
            retryWhenFailed = true
    }

    // The view the user moves to is remembered; the one the start chose is already stored (or
    // follows from a missing server), and the settings file is not written before the first frame.
    property bool started: false
    Component.onCompleted: started = true
    onCurrentViewChanged: {
        if (started && (currentView === "password" || currentView === "qrcode" || currentView === "server"))
            configData.setCurrentMainFile(currentView, "loginView")
    }

    ConfigData { id: configData }
    SocketState { id: socketState }
    FilteruserAuthority { id: filteruserAuthority }

    // A server that never answers must not leave the logging-in view up for good.
    Timer {
        id: loginWatchdog
        interval: 35000
        onTriggered: {
            if (loginDefault.currentView !== "logging")
                return
            var form = loginDefault.detail()
            form.cancelLogin()
            loginDefault.currentView = "password"
            form.showTip(form.tip_server_disconnected)
        }
    }

    // Header: skin gradient, theme decoration, logo, window buttons; dragging it moves the window.
    Rectangle {
        id: header
        width: parent.width
        height: 156 * sr
        gradient: Gradient {
            GradientStop { position: 0.0; color: loginDefault.dark ? loginDefault.pal.headerTop : Qt.lighter(loginDefault.skinColors, 1.12) }
            GradientStop { position: 1.0; color: loginDefault.dark ? loginDefault.pal.headerBottom : loginDefault.skinColors }
        }
        // Soft shapes give the header depth in every skin.
        Rectangle {
            x: parent.width - width * 0.6
            y: -height * 0.45
            width: 220 * sr
            height: width
            radius: width / 2
            color: Style.onSkin
            opacity: 0.08
        }
        Rectangle {
            x: -width * 0.35
            y: parent.height - height * 0.5
            width: 160 * sr
            height: width
            radius: width / 2
            color: Style.onSkin
            opacity: 0.07
        }
        // Only the spring-breeze theme has its leaves (and their pictures).
        Loader {
            anchors.fill: parent
            active: loginDefault.loginModel === 1
            sourceComponent: FallenleavesView {
                running: loginDefault.visible
            }
        }
        DragArea {
            anchors.fill: parent
            onDragged: {
                loginDefault.modifyXposition(dx)
                loginDefault.modifyYposition(dy)
            }
        }
        Row {
            x: 16 * sr
            y: 14 * sr
            spacing: 8 * sr
            Image {
                width: 22 * sr
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: "qrc:/images/logo.svg"
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "tarnex"
                color: Style.onSkin
                font.pixelSize: 14 * sr
                font.bold: true
            }
        }
        Row {
            id: windowButtons
            anchors.right: parent.right
            anchors.top: parent.top
            Repeater {
                model: ["set", "min", "close"]
                Rectangle {
                    objectName: "login_" + modelData
                    width: 40 * sr
                    height: 34 * sr
                    color: buttonArea.pressed ? (modelData === "close" ? Style.dangerPressed : Style.shade(0.18))
                           : buttonArea.containsMouse ? (modelData === "close" ? Style.danger : Style.glass(0.18)) : "transparent"
                    visible: modelData !== "set" || loginDefault.currentView === "password" || loginDefault.currentView === "qrcode"
                    Accessible.role: Accessible.Button
                    Accessible.name: modelData === "set" ? loginDefault.tip_server_set
                                     : modelData === "min" ? loginDefault.tip_narrow : loginDefault.tip_close
                    Accessible.onPressAction: activate()
                    function activate() {
                        if (modelData === "set")
                            loginDefault.currentView = "server"
                        else if (modelData === "min")
                            loginDefault.sigLoginMin()
                        else
                            loginDefault.sigLoginClose()
                    }
                    Image {
                        visible: modelData === "set"
                        anchors.centerIn: parent
                        width: 16 * sr
                        height: width
                        sourceSize: Qt.size(width * 2, height * 2)
                        source: "qrc:/images/settings.svg"
                    }
                    Rectangle {
                        visible: modelData === "min"
                        anchors.centerIn: parent
                        width: 12 * sr
                        height: Math.max(1, 1.5 * sr)
                        color: Style.onSkin
                    }
                    Repeater {
                        model: modelData === "close" ? [45, -45] : []
                        Rectangle {
                            anchors.centerIn: parent
                            width: 14 * sr
                            height: Math.max(1, 1.5 * sr)
                            rotation: modelData
                            color: Style.onSkin
                            antialiasing: true
                        }
                    }
                    MouseArea {
                        id: buttonArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: parent.activate()
                    }
                }
            }
        }
    }

    LanguageTexts {
        id: languageTexts
        target: loginDefault
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // The password form; made at once when the start shows it, behind the first frame otherwise.
    Loader {
        id: detailLoader
        objectName: "passwordFormLoader"
        anchors.top: header.bottom
        anchors.topMargin: -40 * sr
        anchors.bottom: parent.bottom
        width: parent.width
        active: StartupPhase.firstFrameShown || loginDefault.currentView === "password"
        asynchronous: StartupPhase.behindFirstFrame && loginDefault.currentView !== "password"
        sourceComponent: LoginDetail {
            id: loginDetail
            visible: loginDefault.currentView === "password"
            loginModel: loginDefault.loginModel
            skinColors: loginDefault.skinColors
            suppressAutoLogin: loginDefault.suppressAutoLogin
            onSigLoginStart: {
                certificatePrompt.trust.reconsider()
                loginDefault.loggingAccount = account
                loginDefault.loggingAvatar = loginDefault.getUserAvatar(configData.getAccountImage(account))
                loginDefault.currentView = "logging"
                loginWatchdog.restart()
            }
            onSigLoginSuccess: loginDefault.loginFinished(status, errors)
            onSigLoginName: loginDefault.sigLoginName(userId, names)
            onSigShowQrcode: loginDefault.currentView = "qrcode"
        }
    }

    // The views the first frame does not show are made behind it; the one shown first is made
    // at once, and one asked for before it is ready is finished then.
    Loader {
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        active: StartupPhase.firstFrameShown || loginDefault.currentView === "qrcode"
        asynchronous: StartupPhase.behindFirstFrame && loginDefault.currentView !== "qrcode"
        sourceComponent: CodeInterface {
            visible: loginDefault.currentView === "qrcode"
            active: visible && loginDefault.visible
            loginModel: loginDefault.loginModel
            skinColors: loginDefault.skinColors
            onSigLoginSuccess: loginDefault.loginFinished(status, errors)
            onSigLoginName: {
                loginDefault.loggingAccount = names
                loginDefault.sigLoginName(userId, names)
            }
            onSigShowPassword: loginDefault.currentView = "password"
        }
    }

    Loader {
        id: setLoader
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        active: StartupPhase.firstFrameShown || loginDefault.currentView === "server"
        asynchronous: StartupPhase.behindFirstFrame && loginDefault.currentView !== "server"
        // Shown from the moment it is made (the start's own view, or asked for while it was being
        // made behind the first frame): no change of visibility comes to fill it in.
        onLoaded: if (item.visible) item.reload()
        sourceComponent: SetInterface {
            objectName: "setInterface"
            visible: loginDefault.currentView === "server"
            loginModel: loginDefault.loginModel
            skinColors: loginDefault.skinColors
            onVisibleChanged: if (visible) reload()
            onSigCheckStarted: certificatePrompt.trust.reconsider()
            onSigCancelBtn: {
                loginDefault.currentView = "password"
                loginDefault.detail().reset()
            }
        }
    }

    Loader {
        anchors.top: header.bottom
        anchors.topMargin: -40 * sr
        anchors.bottom: parent.bottom
        width: parent.width
        active: StartupPhase.firstFrameShown || loginDefault.currentView === "logging"
        asynchronous: StartupPhase.behindFirstFrame && loginDefault.currentView !== "logging"
        sourceComponent: LoginIng {
            visible: loginDefault.currentView === "logging"
            loginModel: loginDefault.loginModel
            skinColors: loginDefault.skinColors
            accountName: loginDefault.loggingAccount
            avatarPath: loginDefault.loggingAvatar
            onSigCancel: {
                loginWatchdog.stop()
                loginDefault.detail().cancelLogin()
                loginDefault.currentView = "password"
            }
        }
    }

    CertificatePrompt {
        id: certificatePrompt
        anchors.fill: parent
        loginModel: loginDefault.loginModel
        skinColors: loginDefault.skinColors
        onTrusted: loginDefault.retryAfterTrust()
        onDeclined: {
            loginDefault.retryWhenFailed = false
            if (loginDefault.currentView === "server")
                setLoader.item.showResult(false, certificatePrompt.tip_certificate_declined)
            else if (loginDefault.currentView === "password")
                loginDefault.detail().showTip(certificatePrompt.tip_certificate_declined)
        }
    }
}

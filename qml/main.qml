import QtQuick 2.12
import QtQuick.Window 2.12
import ConfigData 1.0
import HttplanguagePackage 1.0
import SystemHandl 1.0
import DesktopView 1.0
import MessageNotices 1.0
import WindowComposition 1.0
import StartupPhase 1.0
import HandlUrl 1.0
import UnreadListModel 1.0
import "style"
import "controls"

// The one top-level window: the login frame first, the main frame after a sign-in. The window
// is frameless, so the documents draw the title bars and move the window themselves.
Window {
    id: windows
    title: "tarnex"
    visible: true
    flags: Qt.FramelessWindowHint | Qt.Window
    // See-through only where a compositor shows the desktop through the rounded corners; without
    // one those pixels would be black, so the window is square and opaque.
    readonly property bool composited: WindowComposition.composited
    readonly property real frameRadius: composited ? 6 * sr : 0
    color: composited ? "transparent" : Style.palette(loginModel).pane
    // The panes draw up to the window's edges: the cut keeps the corners clear.
    function shapeFrame() {
        WindowComposition.shapeWindow(windows, frameRadius)
    }
    onFrameRadiusChanged: shapeFrame()
    onWidthChanged: shapeFrame()
    onHeightChanged: shapeFrame()

    readonly property real sr: Math.max(1, screenRate)
    property int loginModel: 0 // 0 standard, 1 spring breeze, 2 ink black
    property string skinColors: Style.defaultSkin
    property bool loggedIn: false
    readonly property int unreadTotal: unreadModel.total
    property bool trayBlink: false
    // A logout returns to the login view without signing in again by itself.
    property bool suppressAutoLogin: reloadView === 1

    property string tip_exit: qsTr("退出")
    property string tip_homepage: qsTr("主页")
    property string tip_message: qsTr("消息")
    property string tip_system_message: qsTr("系统消息")
    property string tip_system_setup: qsTr("系统设置")
    property string tip_exit_btninfor: qsTr("点击关闭按钮退出客户端")
    property string tip_auto_logon: qsTr("自动登录")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_system_message_tip: qsTr("系统消息提醒")
    property string tip_notice_hidden: qsTr("你收到一条新消息")
    property string tip_picture_message: qsTr("[图片]")
    property string tip_file_message: qsTr("[文件]")
    property string tip_expression: qsTr("表情")

    width: (loggedIn ? 1040 : 380) * sr
    height: (loggedIn ? 700 : 520) * sr
    minimumWidth: width
    minimumHeight: height

    function centerOnScreen() {
        windows.x = Math.max(0, Screen.virtualX + (Screen.width - windows.width) / 2)
        windows.y = Math.max(0, Screen.virtualY + (Screen.height - windows.height) / 2)
    }
    function showWindow() {
        windows.show()
        windows.raise()
        windows.requestActivate()
    }
    function handlChangeTheme(themes) {
        loginModel = themes
        configData.setCurrentMainFile(String(themes), "loginModel")
    }
    function handlChangeColor(colors) {
        skinColors = colors
        configData.setCurrentMainFile(colors, "skinColors")
    }
    function quitClient() {
        if (loggedIn)
            configData.disConnectServer()
        messageWindow.close()
        Qt.quit()
    }
    // The views go first, then every store forgets the account: the next one starts as after
    // a restart of the client.
    function logout() {
        mainLoader.active = false
        configData.signOut()
        unreadModel.clear()
        messageWindow.hide()
        messageNotices.withdrawAll()
        messageNotices.remindSendTime = ""
        systemTrayInfor.remind = null
        systemTrayInfor.close()
        systemTrayInfor.picturePath = ""
        systemTrayInfor.noticeTitle = ""
        systemTrayInfor.noticeModule = ""
        systemTrayInfor.noticeText = ""
        systemTrayInfor.noticeTime = ""
        remindHandl.lastRemind = null
        remindHandl.reminds = ({})
        tipSysytemSet.close()
        if (updateLoader.item)
            updateLoader.item.close()
        suppressAutoLogin = true
        loggedIn = false
        loginDefault.restartLogin()
        loginDefault.visible = true
        centerOnScreen()
    }

    Component.onCompleted: {
        shapeFrame()
        var theme = parseInt(configData.getCurrentMainFile("loginModel"))
        if (theme >= 0 && theme <= 2)
            loginModel = theme
        var skin = configData.getCurrentMainFile("skinColors")
        if (/^#[0-9a-fA-F]{6}$/.test(skin))
            skinColors = skin
        centerOnScreen()
        if (StartupPhase.firstFrameShown)
            afterFirstFrame()
    }
    // The stored language's texts are asked of the server once the first frame is up: the
    // request, and for an https server the TLS library it starts, would delay that frame.
    function afterFirstFrame() {
        httplanguagePackage.loadStoredLanguage()
        loadMainFrame()
    }

    ConfigData { id: configData }

    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }
    LanguageTexts {
        id: languageTexts
        target: windows
        languagePackage: httplanguagePackage
    }
    HandlUrl { id: handlUrl }

    // Unread conversations and system messages for the pop-up window beside the tray.
    UnreadListModel { id: unreadModel }

    LoginDefault {
        id: loginDefault
        anchors.fill: parent
        visible: !windows.loggedIn
        radius: windows.frameRadius
        loginModel: windows.loginModel
        skinColors: windows.skinColors
        suppressAutoLogin: windows.suppressAutoLogin
        onSigLoginSuccess: times.start()
        onSigLoginMin: windows.showMinimized()
        onSigLoginClose: windows.quitClient()
        onSigChangeTheme: windows.handlChangeTheme(themes)
        onModifyXposition: windows.x += positions
        onModifyYposition: windows.y += positions
    }

    // The main frame's documents load behind the sign-in view once its first frame is shown,
    // or at the sign-in if that comes first.
    property Component mainFrame: null
    function loadMainFrame() {
        if (mainFrame === null)
            mainFrame = Qt.createComponent("MainFrame.qml", StartupPhase.behindFirstFrame
                                           ? Component.Asynchronous : Component.PreferSynchronous, windows)
    }
    Connections {
        target: StartupPhase
        function onFirstFrameShownChanged() { windows.afterFirstFrame() }
    }

    Loader {
        id: mainLoader
        anchors.fill: parent
        active: false
        visible: windows.loggedIn && status === Loader.Ready
        sourceComponent: windows.mainFrame
    }

    // A row of the tray's list opens what it names in the main frame.
    function openUnread(ids, names, types) {
        var frame = mainLoader.item
        if (!frame)
            return
        if (types === "2" || types === "3")
            frame.openChat(ids, names, types)
        else if (types === "system")
            frame.openSystemMessages()
    }
    // A picture to show large: a URL as it stands, or the file of an editor's image element.
    function pictureSource(picturePath) {
        return handlUrl.pictureSource(picturePath)
    }

    // The in-client update over the main frame, made behind the first frame. Named by its file,
    // the document and the style plugin it imports are not read before the first frame either.
    Loader {
        id: updateLoader
        anchors.fill: parent
        z: 50
        active: StartupPhase.firstFrameShown
        asynchronous: StartupPhase.behindFirstFrame
        source: "UpdateWidget.qml"
        onLoaded: windows.followTheme(item)
    }
    function followTheme(item) {
        item.loginModel = Qt.binding(function() { return windows.loginModel })
        item.skinColors = Qt.binding(function() { return windows.skinColors })
    }
    // A document made behind the first frame, finished now if it is still on its way.
    function madeNow(loader) {
        loader.asynchronous = false
        loader.active = true
        return loader.item
    }
    function updateDialog() {
        return madeNow(updateLoader)
    }

    // The switch to the main frame lets the logging-in view be seen for a moment; the directory
    // loads behind the frame, so nothing else is waited for.
    Timer {
        id: times
        interval: 150
        onTriggered: {
            windows.loadMainFrame()
            mainLoader.active = true
            windows.loggedIn = true
            windows.centerOnScreen()
            getmessageInfor.start()
            console.info("main frame shown")
        }
    }
    // The frame asks for its data once it is on screen: a frame or two after it is made.
    Timer {
        id: getmessageInfor
        interval: 30
        onTriggered: {
            if (!mainLoader.item)
                return
            mainLoader.item.loginSuccess()
            windows.openStartView()
        }
    }
    // A view the demo and screenshot scripts asked for (the one-shot setting "openView"): the
    // window's own (settings pages, skins, update) or one of the frame's.
    function openStartView() {
        var view = configData.getCurrentMainFile("openView")
        if (view === "")
            return
        configData.setCurrentMainFile("", "openView")
        if (view === "settings" || view === "settings-theme")
            tipSysytemSet.showSettings(view === "settings" ? 0 : 1)
        else if (view === "settings-notifications")
            tipSysytemSet.showNotificationSettings()
        else if (view === "skins")
            mainLoader.item.openFunctionList("skin-custom")
        else if (view === "update")
            updateDialog().open()
        else if (!mainLoader.item.openStartView(view))
            return
        console.info("view opened: " + view)
    }
    // The window's place is remembered a moment after it stopped moving.
    Timer {
        id: recordPostion
        interval: 1000
        onTriggered: {
            configData.setCurrentMainFile(String(windows.x), "windowX")
            configData.setCurrentMainFile(String(windows.y), "windowY")
        }
    }
    onXChanged: if (loggedIn) recordPostion.restart()
    onYChanged: if (loggedIn) recordPostion.restart()
    // The pop-up list of unread items follows the cursor over the tray icon.
    Timer {
        id: messageShowTime
        interval: 800
        repeat: true
        running: windows.loggedIn && unreadModel.count > 0
        onTriggered: {
            var g = trayLoader.item ? trayLoader.item.geometry : Qt.rect(0, 0, 0, 0)
            var overTray = g.width > 0 && configData.getMousePosition(g.x, g.y, g.width, g.height)
            var overWindow = messageWindow.visible
                    && configData.getMousePosition(messageWindow.x, messageWindow.y, messageWindow.width, messageWindow.height)
            if (overTray && !messageWindow.visible) {
                messageWindow.x = Math.max(0, g.x + g.width / 2 - messageWindow.width / 2)
                messageWindow.y = g.y > Screen.height / 2 ? g.y - messageWindow.height - 4 : g.y + g.height + 4
                messageWindow.show()
            } else if (!overTray && !overWindow && messageWindow.visible) {
                messageWindow.hide()
            }
        }
    }
    // The tray icon blinks while something is unread.
    Timer {
        id: timetTip
        interval: 500
        repeat: true
        running: windows.unreadTotal > 0
        onTriggered: windows.trayBlink = !windows.trayBlink
        onRunningChanged: if (!running) windows.trayBlink = false
    }

    // The tray's icon (and the plugin behind it) waits for the first frame.
    Loader {
        id: trayLoader
        active: StartupPhase.firstFrameShown
        asynchronous: StartupPhase.behindFirstFrame
        source: "TrayIcon.qml"
    }

    // Picture window near the tray (a received picture, a notice).
    SystemTrayInfor {
        id: systemTrayInfor
        objectName: "systemTrayInfor"
        property var remind: null
        onSigNoticeClicked: {
            if (remind !== null)
                remindHandl.openMessageInfor(remind.ida, remind.type, remind.menu)
        }
    }

    // Desktop notifications of new messages and reminders; a click raises the window on what
    // it names. Without a notification service the tray shows them as before.
    MessageNotices {
        id: messageNotices
        objectName: "messageNotices"
        windowActive: windows.active
        openConversation: mainLoader.item ? mainLoader.item.openConversationId : ""
        hiddenText: windows.tip_notice_hidden
        pictureMarker: windows.tip_picture_message
        fileMarker: windows.tip_file_message
        emoticonMarker: "[" + windows.tip_expression + "]"
        property string remindSendTime: ""
        onSigFallback: {
            if (key.indexOf("remind:") === 0) {
                var menu = key.substring(7)
                systemTrayInfor.remind = remindHandl.reminds[menu] !== undefined ? remindHandl.reminds[menu] : null
                systemTrayInfor.showNotice(windows.tip_system_message_tip, summary, body, remindSendTime)
            } else if (!windows.active && trayLoader.item && trayLoader.item.available && trayLoader.item.supportsMessages) {
                trayLoader.item.showMessage(summary, body)
            }
        }
        onSigOpenChat: {
            windows.showWindow()
            windows.openUnread(ids, names, types)
        }
        onSigOpenReminder: {
            var remind = remindHandl.reminds[module]
            if (remind !== undefined)
                remindHandl.openMessageInfor(remind.ida, remind.type, remind.menu)
        }
    }

    // A new system reminder raises a notice; clicking it opens the reminder's page.
    SystemHandl {
        id: remindHandl
        property var lastRemind: null
        // The newest reminder of each module, for a click on its notice.
        property var reminds: ({})
        onJumpWebpage: lastRemind = { ida: ida, menu: sms_menu, type: sms_type }
        onMessageTipInfors: {
            if (!windows.loggedIn)
                return
            if (lastRemind !== null && lastRemind.menu === menus)
                reminds[menus] = lastRemind
            else
                delete reminds[menus]
            messageNotices.remindSendTime = sendTime
            messageNotices.notifyReminder(menus, remindHandl.getSmsnameFromSmsmenu(menus), content)
        }
        onJumpBrowser: windows.openInBrowser(browsers)
        onOpenExternally: windows.openLink(link)
    }
    // A page for the built-in browser goes to the frame's; without a frame, to the system's.
    function openInBrowser(url) {
        if (mainLoader.item)
            mainLoader.item.browser.loadUrl(url)
        else
            windows.openLink(url)
    }

    Window {
        id: messageWindow
        title: "tarnexMessage"
        flags: Qt.FramelessWindowHint | Qt.Tool | Qt.WindowStaysOnTopHint
        width: 260 * windows.sr
        height: Math.min(6, Math.max(1, unreadModel.count)) * 52 * windows.sr + 40 * windows.sr
        readonly property var pal: Style.palette(windows.loginModel)
        color: pal.card
        visible: false

        Rectangle {
            anchors.fill: parent
            color: "transparent"
            border.color: messageWindow.pal.popupBorder
        }
        Text {
            textFormat: Text.PlainText
            id: messageTitle
            x: 14 * windows.sr
            height: 40 * windows.sr
            verticalAlignment: Text.AlignVCenter
            // Shown signed in only: the bold face of its script is not read for the sign-in view.
            text: windows.loggedIn ? windows.tip_message + (windows.unreadTotal > 0 ? "  (" + windows.unreadTotal + ")" : "") : ""
            font.pixelSize: 14 * windows.sr
            font.bold: true
            color: messageWindow.pal.text
        }
        ListView {
            anchors.top: messageTitle.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            clip: true
            model: unreadModel
            delegate: Rectangle {
                width: ListView.view.width
                height: 52 * windows.sr
                color: rowArea.containsMouse ? messageWindow.pal.popupHover : "transparent"
                Avatar {
                    id: rowImage
                    x: 12 * windows.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 34 * windows.sr
                    height: width
                    source: model.paths
                    name: model.names
                    // The list shows the picture alone, with nothing behind it while it loads.
                    discColor: "transparent"
                }
                Text {
                    textFormat: Text.PlainText
                    anchors.left: rowImage.right
                    anchors.leftMargin: 10 * windows.sr
                    anchors.right: badge.left
                    anchors.rightMargin: 8 * windows.sr
                    anchors.verticalCenter: parent.verticalCenter
                    text: model.types === "system" ? windows.tip_system_message + " · " + model.names : model.names
                    elide: Text.ElideRight
                    font.pixelSize: 13 * windows.sr
                    color: messageWindow.pal.text
                }
                UnreadBadge {
                    id: badge
                    anchors.right: parent.right
                    anchors.rightMargin: 14 * windows.sr
                    anchors.verticalCenter: parent.verticalCenter
                    // A size up from the lists' badges, as this window has always shown it.
                    implicitHeight: 18 * windows.sr
                    count: parseInt(model.unreads) || 0
                }
                MouseArea {
                    id: rowArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: {
                        messageWindow.hide()
                        windows.showWindow()
                        windows.openUnread(model.ids, model.names, model.types)
                    }
                }
            }
        }
    }

    // The system settings window: two pages, each setting written as soon as it changes.
    Window {
        id: tipSysytemSet
        objectName: "settingsWindow"
        title: windows.tip_system_setup
        flags: Qt.FramelessWindowHint | Qt.Dialog
        modality: Qt.ApplicationModal
        // The pages are made behind the first frame (at once when asked for sooner).
        readonly property var systemTipset: settingsLoader.item
        width: systemTipset ? systemTipset.implicitWidth : 100
        height: systemTipset ? systemTipset.implicitHeight : 100
        color: systemTipset ? systemTipset.pal.pane : "transparent"
        visible: false

        // The keyboard starts on the page tabs once the window has the focus.
        onActiveChanged: if (active && systemTipset && (activeFocusItem === null || activeFocusItem === contentItem)) systemTipset.focusTab()
        function showSettings(page) {
            windows.madeNow(settingsLoader)
            x = windows.x + (windows.width - width) / 2
            y = windows.y + (windows.height - height) / 2
            show()
            raise()
            requestActivate()
            systemTipset.open(page)
        }
        function showNotificationSettings() {
            showSettings(0)
            systemTipset.openNotifications()
        }

        Loader {
            id: settingsLoader
            anchors.fill: parent
            active: StartupPhase.firstFrameShown
            asynchronous: StartupPhase.behindFirstFrame
            // The pages and the plugins they import load behind the first frame.
            source: "SettingsPages.qml"
        }
    }
    Loader {
        id: linksLoader
        anchors.fill: parent
        z: 100
        active: StartupPhase.firstFrameShown
        asynchronous: StartupPhase.behindFirstFrame
        source: "LinkConfirm.qml"
        onLoaded: windows.followTheme(item)
    }
    function openLink(link) {
        madeNow(linksLoader).openLink(link)
    }
}

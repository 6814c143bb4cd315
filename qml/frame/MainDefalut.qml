import QtQuick 2.12
import QtQuick.Controls 2.5
import ConfigData 1.0
import SystemHandl 1.0
import SocketState 1.0
import FilteruserAuthority 1.0
import HttplanguagePackage 1.0
import HandlUrl 1.0
import "style"
import "controls"

// The main frame: toolbar on the left, the list pane and the conversation pane. The working
// views of each section live in these panes.
Rectangle {
    id: mainDefalut
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property int currentSection: 0
    property int unreadNumber: 0
    property bool networkUp: true
    property string userId: ""
    readonly property real sr: Style.sr
    // The conversation the user sees now ("" when none is in view).
    readonly property string openConversationId: newsList.conversationVisible && newsList.currentId !== newsList.systemId
                                                 ? newsList.currentId : ""
    readonly property var pal: Style.palette(loginModel)
    // The built-in browser, for pages the window is asked to open.
    readonly property QtObject browser: applicationRoot
    readonly property bool dark: pal.dark
    readonly property color textColor: pal.text
    readonly property color subColor: pal.sub
    readonly property color lineColor: pal.line
    readonly property color listColor: pal.list
    readonly property color paneColor: pal.pane

    property string tip_message: qsTr("消息")
    property string tip_close: qsTr("关闭")
    property string tip_narrow: qsTr("缩小")
    property string tip_group: qsTr("群组")
    property string tip_organization: qsTr("组织")
    property string tip_application: qsTr("应用")
    property string tip_homepage: qsTr("主页")
    property string tip_topic_skin: qsTr("主题皮肤")
    property string tip_set: qsTr("设置")
    property string tip_search: qsTr("搜索")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_server_disconnected: qsTr("服务器断开，请检查网络")
    property string tip_connecting: qsTr("正在连接…")
    property string tip_reconnect_in: qsTr("%1 秒后重新连接")
    property string tip_retry_now: qsTr("立即重试")
    // While the link is down: connecting now, or when the next attempt is due (ms since epoch).
    property bool reconnecting: false
    property double reconnectDue: 0
    property int reconnectSeconds: 0

    signal sigLoginSuccess(bool status, string errors)
    signal sigChangeTheme(int themes)
    signal sigChangeColor(string colors)
    signal sigCustomChangeColor(string colors)
    signal sigSetBasic()
    signal sigUpdataNewView()
    signal sigMinimumBtn()
    signal sigHideToTray()
    signal sigQuitClient()
    signal sigLogout()
    signal sigPictureInfor(string picturePath)
    signal sigTipInfors(string names, string contents, bool reflush)
    signal sigNotice(string ids, string types, string names, string sender, string msg, string msgType)
    signal sigSystemMassage(string contents, string times, string menuName, string paths)
    signal sigDataUnreadNumber(string ids, string names, string unreads, string paths, string types)
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)

    color: paneColor
    radius: 6 * sr
    border.color: pal.frameBorder
    clip: true

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function handlChangeTheme(themes) {
        sigChangeTheme(themes)
    }
    // Called once the frame is on screen after a sign-in.
    function loginSuccess() {
        userId = socketState.getSelfUesrId()
        systemHandl.getSystemUnreadNumbers()
        newsList.loginSuccess()
        socketState.getGroupInfors()
        sigLoginSuccess(true, "")
    }
    // A view asked for at start by the demo and screenshot scripts; false when unknown.
    function openStartView(view) {
        var sections = { message: 0, group: 1, organization: 2, menu: 3, reminders: 0 }
        if (sections[view] !== undefined) {
            currentSection = sections[view]
            messageSection.showSystemMessages = view === "reminders"
            return true
        }
        // The group card and the new-group dialog; the group pane says "scene shown" when drawn.
        if (view === "group-card" || view === "group-new") {
            currentSection = 1
            groupSection.item.showScene(view)
            return true
        }
        if (view.indexOf("person:") === 0) {
            personalInformation.open(view.substring(7))
            return true
        }
        return false
    }
    // A person or group card asked to talk: the conversation opens in the message section.
    function openChat(ids, names, types) {
        currentSection = 0
        messageSection.showSystemMessages = false
        newsList.openConversation(types, names, ids)
        conversationPane.openConversation(ids, names, types)
    }
    function openSystemMessages() {
        currentSection = 0
        newsList.activate(0)
    }
    function closeRequested() {
        if (configData.getExitbtnStatus())
            sigQuitClient()
        else
            exitView.open()
    }
    function openFunctionList(page) {
        functionList.open(page)
    }

    ConfigData { id: configData }
    SystemHandl {
        id: systemHandl
        onSigUnreadNumberFromRemindmenu: mainDefalut.unreadNumber = Math.max(0, systemHandl.getUnreadNumberFromRemindmenu("all"))
    }
    FilteruserAuthority { id: filteruserAuthority }
    HandlUrl { id: handlUrl }
    SocketState {
        id: socketState
        // The link is back only when the server has taken the sign-in again: an open socket
        // whose sign-in is refused or unanswered is still no connection for the user.
        onSigNetworkdisconnect: if (!status) mainDefalut.networkUp = false
        onSigConnectServer: mainDefalut.networkUp = status
        onSigConnecting: mainDefalut.reconnecting = true
        onSigReconnectScheduled: {
            mainDefalut.reconnecting = false
            mainDefalut.reconnectDue = Date.now() + delayMs
            mainDefalut.reconnectSeconds = Math.ceil(delayMs / 1000)
        }
        // Signed in again after a drop: what happened meanwhile.
        onSigReconnectInfor: {
            newsList.reload()
            socketState.getGroupInfors()
        }
    }
    LanguageTexts {
        id: languageTexts
        target: mainDefalut
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // The toolbar's tip disappears by itself.
    Timer {
        id: tipFunctionBackgroundTime
        interval: 2000
        onTriggered: toolTip.visible = false
    }
    Timer { id: popupTime; interval: 1000 }
    Timer { id: handlGroupTime; interval: 800 }

    // Spring breeze paints the whole frame behind the panes.
    SpringbreezeView {
        anchors.fill: parent
        anchors.margins: 1
        visible: mainDefalut.loginModel === 1
        running: visible && mainDefalut.visible
    }

    ToolbarIWidget {
        id: toolbarIWidget
        objectName: "toolbar"
        radius: mainDefalut.radius
        width: 64 * mainDefalut.sr
        height: parent.height
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
        currentIndex: mainDefalut.currentSection
        unreadNumber: mainDefalut.unreadNumber + newsList.unreadTotal
        online: mainDefalut.networkUp
        tipTexts: [tip_message, tip_group, tip_organization, tip_application, tip_homepage,
                   tip_topic_skin, tip_set]
        onSigSelectSection: mainDefalut.currentSection = types
        onSigSetList: mainDefalut.openFunctionList("")
        onSigSkinList: mainDefalut.openFunctionList("skin")
        onSigJumpPortal: {
            var server = configData.getCurrentMainFile("currentServerIp")
            if (server !== "" && server !== "http://")
                mainLinks.openLink(String(handlUrl.fromUserInput(server)))
        }
        onSigTipInforPostion: {
            toolTipText.text = toolbarIWidget.tipTexts[types]
            toolTip.x = mouseXpos + 6 * mainDefalut.sr
            toolTip.y = mouseYpos - toolTip.height / 2
            toolTip.visible = true
            tipFunctionBackgroundTime.restart()
        }
        onSigHideTip: toolTip.visible = false
        onModifyXposition: mainDefalut.modifyXposition(positions)
        onModifyYposition: mainDefalut.modifyYposition(positions)
    }

    // The message section: recent conversations beside the open conversation.
    Item {
        id: messageSection
        objectName: "messageSection"
        anchors.left: toolbarIWidget.right
        anchors.right: parent.right
        height: parent.height
        visible: mainDefalut.currentSection === 0
        property bool showSystemMessages: false

        Rectangle {
            id: listPane
            width: Style.listWidth
            height: parent.height
            color: mainDefalut.loginModel === 1 ? Style.glass(0.55) : mainDefalut.listColor
            Rectangle {
                anchors.right: parent.right
                width: 1
                height: parent.height
                color: mainDefalut.lineColor
                z: 2
            }
            NewsList {
                id: newsList
                objectName: "newsListPane"
                anchors.fill: parent
                loginModel: mainDefalut.loginModel
                skinColors: mainDefalut.skinColors
                systemUnread: mainDefalut.unreadNumber
                // A message for the open conversation is read only while someone can see it.
                conversationVisible: mainDefalut.currentSection === 0 && !messageSection.showSystemMessages
                                     && mainDefalut.visible && Qt.application.state === Qt.ApplicationActive
                onSigSendInfor: {
                    messageSection.showSystemMessages = false
                    conversationPane.openConversation(ids, names, typesa)
                }
                onSigSendpersonalInfor: personalInformation.open(infora)
                onSigOpenSystemMessage: messageSection.showSystemMessages = true
                onSigTipInfors: mainDefalut.sigTipInfors(names, contents, reflush)
                onSigNotice: mainDefalut.sigNotice(ids, types, names, sender, msg, msgType)
                onSigDataUnreadNumber: mainDefalut.sigDataUnreadNumber(ids, names, unreads, paths, types)
            }
        }
        ConversationPane {
            id: conversationPane
            objectName: "conversationPane"
            anchors.left: listPane.right
            anchors.right: parent.right
            height: parent.height
            visible: !messageSection.showSystemMessages
            loginModel: mainDefalut.loginModel
            skinColors: mainDefalut.skinColors
            onSigPictureInfor: mainDefalut.sigPictureInfor(picturePath)
            onSigSendpersonalInfor: personalInformation.open(infora)
            onSigAddGroupMember: addNewmembers.open(ids)
            onSigConversationReopened: newsList.openConversation(types, names, ids)
            onModifyXposition: mainDefalut.modifyXposition(positions)
            onModifyYposition: mainDefalut.modifyYposition(positions)
        }
        // System reminders take the conversation's place while chosen in the list.
        Loader {
            id: systemMessageLoader
            anchors.fill: conversationPane
            active: messageSection.showSystemMessages || status === Loader.Ready
            visible: messageSection.showSystemMessages
            onVisibleChanged: if (visible && item) item.activate()
            onLoaded: item.activate()
            sourceComponent: SystemMessage {
                objectName: "systemMessage"
                loginModel: mainDefalut.loginModel
                skinColors: mainDefalut.skinColors
                onSigJumpBrowser: applicationRoot.loadUrl(browsers)
                onSigOpenExternally: mainLinks.openLink(link)
            }
        }
    }

    // The group, organisation and menu sections load the first time they are shown.
    Loader {
        id: groupSection
        anchors.fill: messageSection
        visible: mainDefalut.currentSection === 1
        active: visible || status === Loader.Ready
        onVisibleChanged: if (visible && item) item.activate()
        onLoaded: item.activate()
        sourceComponent: GroupDefault {
            objectName: "groupDefault"
            loginModel: mainDefalut.loginModel
            skinColors: mainDefalut.skinColors
            onSigSendChatInformation: mainDefalut.openChat(ids, names, types)
            onSigSendpersonalInfor: personalInformation.open(infora)
            onModifyXposition: mainDefalut.modifyXposition(positions)
            onModifyYposition: mainDefalut.modifyYposition(positions)
        }
    }
    Loader {
        id: structureSection
        anchors.fill: messageSection
        visible: mainDefalut.currentSection === 2
        active: visible || status === Loader.Ready
        onVisibleChanged: if (visible && item) item.activate()
        onLoaded: item.activate()
        sourceComponent: StructureDefault {
            objectName: "structureDefault"
            loginModel: mainDefalut.loginModel
            skinColors: mainDefalut.skinColors
            onSigSendChatInformation: mainDefalut.openChat(ids, names, types)
            onModifyXposition: mainDefalut.modifyXposition(positions)
            onModifyYposition: mainDefalut.modifyYposition(positions)
        }
    }
    Loader {
        id: menuSection
        anchors.fill: messageSection
        visible: mainDefalut.currentSection === 3
        active: visible || status === Loader.Ready
        onVisibleChanged: if (visible && item) item.activate()
        onLoaded: item.activate()
        sourceComponent: MenuDefault {
            objectName: "menuDefault"
            loginModel: mainDefalut.loginModel
            skinColors: mainDefalut.skinColors
            onSigSendChatInformation: mainDefalut.openChat(ids, names, types)
            onSigJumpBrowser: applicationRoot.loadUrl(browsers)
            onSigOpenExternally: mainLinks.openLink(link)
            onModifyXposition: mainDefalut.modifyXposition(positions)
            onModifyYposition: mainDefalut.modifyYposition(positions)
        }
    }

    // The outbox cannot be written (a full disk): said over every section until it can again.
    Rectangle {
        id: outboxBanner
        objectName: "outboxBanner"
        visible: socketState.outboxProblem !== ""
        z: 15
        anchors.horizontalCenter: messageSection.horizontalCenter
        y: networkBanner.visible ? networkBanner.y + networkBanner.height + 6 * mainDefalut.sr
                                 : Style.titleHeight + 8 * mainDefalut.sr
        width: outboxText.implicitWidth + 28 * mainDefalut.sr
        height: outboxText.implicitHeight + 14 * mainDefalut.sr
        radius: height / 2
        color: mainDefalut.pal.banner
        Accessible.role: Accessible.AlertMessage
        Accessible.name: outboxText.text
        Text {
            id: outboxText
            objectName: "outboxProblem"
            textFormat: Text.PlainText
            anchors.centerIn: parent
            text: socketState.outboxProblem
            font.pixelSize: Style.fontSmall
            color: mainDefalut.pal.bannerText
        }
    }
    // A lost link is said over every section until it is back.
    Rectangle {
        id: networkBanner
        objectName: "networkBanner"
        visible: !mainDefalut.networkUp
        z: 15
        anchors.horizontalCenter: messageSection.horizontalCenter
        y: Style.titleHeight + 8 * mainDefalut.sr
        width: bannerRow.implicitWidth + 28 * mainDefalut.sr
        height: bannerRow.implicitHeight + 14 * mainDefalut.sr
        radius: height / 2
        color: mainDefalut.pal.banner
        Accessible.role: Accessible.AlertMessage
        Accessible.name: bannerText.text
        Row {
            id: bannerRow
            anchors.centerIn: parent
            spacing: 10 * mainDefalut.sr
            Text {
                textFormat: Text.PlainText
                id: bannerText
                objectName: "reconnectBanner"
                text: mainDefalut.tip_server_disconnected + " · "
                      + (mainDefalut.reconnecting || mainDefalut.reconnectSeconds <= 0
                         ? mainDefalut.tip_connecting
                         : mainDefalut.tip_reconnect_in.arg(mainDefalut.reconnectSeconds))
                font.pixelSize: Style.fontSmall
                color: mainDefalut.pal.bannerText
            }
            Text {
                objectName: "retryNowButton"
                visible: !mainDefalut.reconnecting
                text: mainDefalut.tip_retry_now
                font.pixelSize: Style.fontSmall
                font.underline: true
                color: mainDefalut.pal.bannerText
                activeFocusOnTab: true
                Accessible.role: Accessible.Button
                Accessible.name: text
                Accessible.onPressAction: socketState.retryNow()
                Keys.onReturnPressed: socketState.retryNow()
                Keys.onSpacePressed: socketState.retryNow()
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: socketState.retryNow()
                }
            }
        }
        // The countdown of the next attempt, while one is due.
        Timer {
            interval: 1000
            repeat: true
            running: networkBanner.visible && !mainDefalut.reconnecting
            onTriggered: mainDefalut.reconnectSeconds = Math.max(0, Math.ceil((mainDefalut.reconnectDue - Date.now()) / 1000))
        }
    }

    // The window's buttons, over every section.
    Row {
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.rightMargin: 1
        anchors.topMargin: 1
        z: 12
        Rectangle {
            objectName: "window_min"
            width: 44 * mainDefalut.sr
            height: 32 * mainDefalut.sr
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: mainDefalut.tip_narrow
            Accessible.onPressAction: mainDefalut.sigMinimumBtn()
            Keys.onReturnPressed: mainDefalut.sigMinimumBtn()
            Keys.onSpacePressed: mainDefalut.sigMinimumBtn()
            color: minArea.pressed ? mainDefalut.pal.pressed
                   : minArea.containsMouse || activeFocus ? mainDefalut.pal.hover : "transparent"
            Rectangle {
                anchors.centerIn: parent
                width: 12 * mainDefalut.sr
                height: Math.max(1, 1.2 * mainDefalut.sr)
                color: mainDefalut.subColor
            }
            MouseArea {
                id: minArea
                anchors.fill: parent
                hoverEnabled: true
                onClicked: mainDefalut.sigMinimumBtn()
            }
        }
        CloseButton {
            objectName: "window_close"
            filled: true
            loginModel: mainDefalut.loginModel
            accessibleName: mainDefalut.tip_close
            onClicked: mainDefalut.closeRequested()
        }
    }

    // Cards over the frame.
    PersonalInformation {
        id: personalInformation
        objectName: "personalInformation"
        anchors.fill: parent
        z: 35
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
        onSigSendChatInformation: mainDefalut.openChat(ids, names, types)
    }
    AddNewmembers {
        id: addNewmembers
        objectName: "addNewmembers"
        anchors.fill: parent
        z: 35
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
    }
    VersionPopup {
        id: versionPopup
        objectName: "versionPopup"
        anchors.fill: parent
        z: 35
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
        onSigUpdataNewView: mainDefalut.sigUpdataNewView()
    }
    // A server certificate refused while signed in (it changed, or a new messaging host).
    CertificatePrompt {
        anchors.fill: parent
        z: 40
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
    }
    // The built-in browser; it loads its engine only when a page opens.
    ApplicationRoot {
        id: applicationRoot
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
        onSigOpenExternally: mainLinks.openLink(url)
    }
    LinkConfirm {
        id: mainLinks
        anchors.fill: parent
        z: 100
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
    }

    // Tip beside the toolbar.
    Rectangle {
        id: toolTip
        visible: false
        z: 20
        width: toolTipText.implicitWidth + 18 * mainDefalut.sr
        height: 26 * mainDefalut.sr
        radius: 4 * mainDefalut.sr
        color: mainDefalut.pal.toolTip
        Text {
            id: toolTipText
            anchors.centerIn: parent
            color: Style.onSkin
            font.pixelSize: 12 * mainDefalut.sr
        }
    }

    // The settings drop-down; a press anywhere else closes it.
    MouseArea {
        anchors.fill: parent
        z: 29
        visible: functionList.visible
        onPressed: functionList.close()
    }
    FunctionList {
        id: functionList
        objectName: "functionList"
        z: 30
        visible: false
        x: toolbarIWidget.width + 6 * mainDefalut.sr
        y: parent.height - height - 12 * mainDefalut.sr
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
        onSigChangeColor: mainDefalut.sigChangeColor(colors)
        onSigCustomChangeColor: mainDefalut.sigCustomChangeColor(colors)
        onSigChangeTheme: mainDefalut.handlChangeTheme(themes)
        onSigSetBasic: mainDefalut.sigSetBasic()
        onSigVersionInfor: versionPopup.open()
        onSigLogout: mainDefalut.sigLogout()
        onSigQuit: exitView.open()
    }

    ExitView {
        id: exitView
        objectName: "exitView"
        anchors.fill: parent
        z: 40
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
        onSigNarrow: {
            visible = false
            mainDefalut.sigHideToTray()
        }
        onSigQuit: mainDefalut.sigQuitClient()
    }
}

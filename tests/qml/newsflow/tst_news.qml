import QtQuick 2.12
import QtTest 1.12
import SocketState 1.0
import ConfigData 1.0
import "../common"

// The recent conversations of zhangwei (10001) while colleagues write through the server's
// hooks. One window and one sign-in serve every case, in order.
FlowCase {
    id: flow
    name: "NewsFlow"

    // zhangwei's own client writes through it, as the editor would.
    SocketState { id: socketState }
    ConfigData { id: configData }
    SignalSpy { id: noticeSpy; signalName: "sigFallback" }

    readonly property string projectGroup: "9c4e7a10-3f2b-4d88-b5a6-71e0c3d2f902" // 10005, 10001, 10002, 10003

    function initTestCase() {
        hook("reset")
        var component = Qt.createComponent("qrc:/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        win = component.createObject(flow)
        verify(win !== null)
        win.requestActivate()
        tryCompare(win, "active", true)
        signIn("zhangwei")
    }
    function cleanupTestCase() {
        if (win)
            win.destroy()
        win = null
    }

    function rowIndex(list, ids) {
        for (var i = 0; i < list.model.count; ++i) {
            if (list.model.get(i).ids === ids)
                return i
        }
        return -1
    }
    function rowContent(list, ids) {
        var i = rowIndex(list, ids)
        return i < 0 ? "" : list.model.get(i).content
    }
    // Events of `event` that zhangwei's client sent after `since`.
    function sentSince(event, since) {
        return hook("received", { user: "10001", event: event, since: since }).events
    }
    function send(from, to, msg) {
        var answer = hook("send-as", { from: from, to: to, msg: msg })
        verify(answer.ok, JSON.stringify(answer))
        return answer
    }

    function test_1_messageRaisesUnreadAndOpeningReadsIt() {
        var list = item("newsList")
        var toolbar = item("toolbar")
        var pane = item("conversationPane")
        // The system messages are pinned on top from the start.
        verify(item("conversation_system") !== null)
        compare(rowIndex(list, "system"), 0)
        // The window opens before the system messages' unread counts are in (the reference
        // server has some for zhangwei): count from them.
        tryVerify(function() { return frame().unreadNumber > 0 }, 10000, "system unread counts")
        var toolbarBefore = toolbar.unreadNumber
        var trayBefore = win.unreadTotal

        send("10002", "10001", "下午三点开会")
        var badge = item("unread_10002")
        tryCompare(badge, "count", 1)
        verify(badge.visible)
        compare(rowIndex(list, "10002"), 1, "a new conversation comes right below the system messages")
        compare(rowContent(list, "10002"), "下午三点开会")
        compare(list.model.get(1).names, "李娜")
        tryCompare(toolbar, "unreadNumber", toolbarBefore + 1)
        tryCompare(win, "unreadTotal", trayBefore + 1)
        tryCompare(win, "trayBlink", true, 3000)

        var since = hook("received", {}).next
        mouseClick(item("conversation_10002"))
        tryCompare(pane, "currentId", "10002")
        tryCompare(badge, "count", 0)
        verify(!badge.visible)
        tryCompare(toolbar, "unreadNumber", toolbarBefore)
        tryCompare(win, "unreadTotal", trayBefore)
        tryVerify(function() {
            return sentSince("update havRead", since).some(function(e) {
                return e.args[0].from === "10002" && e.args[0].type === "user"
            })
        }, 5000, "the read mark for 10002 reached the server")

        // While it is open, a new message is read at once and counts nothing.
        since = hook("received", {}).next
        send("10002", "10001", "带上周报")
        tryVerify(function() { return rowContent(list, "10002") === "带上周报" }, 5000)
        tryVerify(function() { return sentSince("update havRead", since).length >= 1 }, 5000)
        compare(badge.count, 0)
        compare(win.unreadTotal, trayBefore)
    }

    function test_2_groupMessageAndOrder() {
        var list = item("newsList")
        var answer = hook("send-as", { from: "10003", group_id: projectGroup, msg: "周五团建" })
        verify(answer.ok, JSON.stringify(answer))
        var badge = item("unread_" + projectGroup)
        tryCompare(badge, "count", 1)
        var i = rowIndex(list, projectGroup)
        compare(i, 1, "the newest conversation is on top")
        compare(list.model.get(i).names, "项目协调群")
        compare(list.model.get(i).content, "王芳: 周五团建")
        verify(rowIndex(list, "10002") > i)
    }

    // What zhangwei writes himself moves the conversation up and shows his text, unread nothing.
    function test_2b_ownMessages() {
        var list = item("newsList")
        var trayBefore = win.unreadTotal
        socketState.sendPrivateInfor("10002", "我马上到", "")
        tryVerify(function() { return rowContent(list, "10002") === "我马上到" }, 5000)
        compare(rowIndex(list, "10002"), 1)
        socketState.sendGroupInfor(projectGroup, "我带投影仪", "张伟", "")
        tryVerify(function() { return rowContent(list, projectGroup) === "我带投影仪" }, 5000)
        compare(rowIndex(list, projectGroup), 1)
        compare(item("unread_" + projectGroup).count, 1, "the colleague's message is still unread")
        compare(win.unreadTotal, trayBefore)
    }

    function test_3_keyboard() {
        var list = item("newsList")
        var pane = item("conversationPane")
        send("10003", "10001", "简历收到了吗")
        tryCompare(item("unread_10003"), "count", 1)
        compare(rowIndex(list, "10003"), 1)

        list.forceActiveFocus()
        list.currentIndex = 0
        keyClick(Qt.Key_Down)
        compare(list.currentIndex, 1)
        keyClick(Qt.Key_Down)
        compare(list.currentIndex, 2)
        keyClick(Qt.Key_Up)
        compare(list.currentIndex, 1)
        keyClick(Qt.Key_Return)
        tryCompare(pane, "currentId", "10003")
        tryCompare(item("unread_10003"), "count", 0)
        // Up from the top row reaches the search field (the opened conversation took the focus
        // for its editor).
        list.forceActiveFocus()
        list.currentIndex = 0
        keyClick(Qt.Key_Up)
        verify(item("newsSearchField").activeFocus)
        // Return on the system messages shows them instead of the conversation.
        list.forceActiveFocus()
        list.currentIndex = 0
        keyClick(Qt.Key_Return)
        tryCompare(item("conversationPane"), "visible", false)
        // The reminders took the focus for their own list.
        list.forceActiveFocus()
        list.currentIndex = 1
        keyClick(Qt.Key_Return)
        tryCompare(pane, "visible", true)
    }

    function test_4_searchPersonCardAndChat() {
        var field = item("newsSearchField")
        var pane = item("conversationPane")
        field.forceActiveFocus()
        typeText("liuyang")
        keyClick(Qt.Key_Return)
        var person = item("person_10004")
        verify(person.visible)
        verify(!item("newsList").visible, "the results replace the list")

        mouseClick(item("personCardButton_10004"))
        var card = item("personalInformation")
        tryCompare(card, "visible", true)
        tryCompare(item("personalName"), "text", "刘洋")
        tryCompare(item("personalDepartment"), "text", "前端开发组")
        compare(item("personalTelephone").text, "13800010004")
        compare(item("personalEmail").text, "liuyang@xinghe-oa.example")
        keyClick(Qt.Key_Escape)
        tryCompare(card, "visible", false)

        mouseClick(item("personCardButton_10004"))
        tryCompare(card, "visible", true)
        tryCompare(item("personalDepartment"), "text", "前端开发组")
        mouseClick(item("sendMessageButton"))
        tryCompare(card, "visible", false)
        tryCompare(pane, "currentId", "10004")
        compare(field.text, "", "the search is over")
        var list = item("newsList")
        verify(list.visible)
        verify(rowIndex(list, "10004") > 0, "the new conversation is in the list")

        // The term is remembered and offered while the field is empty.
        field.forceActiveFocus()
        var history = item("newsHistoricalSearch")
        tryCompare(history, "visible", true)
        verify(history.count >= 1)
        mouseClick(item("searchTerm_0"))
        tryCompare(field, "text", "liuyang")
        item("person_10004")
        keyClick(Qt.Key_Escape)
        tryCompare(field, "text", "")
        field.forceActiveFocus()
        tryCompare(history, "visible", true)
        mouseClick(item("clearSearchHistory"))
        tryCompare(history, "count", 0)
        tryCompare(history, "visible", false)
    }

    function test_5_droppedLinkShowsBannerAndReloads() {
        var list = item("newsList")
        var banner = item("networkBanner")
        verify(!banner.visible)
        // 10002 is in the list but not open: only a reload can change its last message.
        verify(rowContent(list, "10002") !== "")
        verify(item("conversationPane").currentId !== "10002")

        hook("drop-connections", {})
        tryCompare(banner, "visible", true, 10000)
        // Written while zhangwei is away: only a reload after the reconnection can show it.
        send("10002", "10001", "断线时发的消息")
        send("10005", "10001", "回来后看一下")
        tryCompare(banner, "visible", false, 30000)
        tryCompare(item("unread_10002"), "count", 1, 10000)
        tryVerify(function() { return rowContent(list, "10002") === "断线时发的消息" }, 10000, "last message reloaded")
        tryCompare(item("unread_10005", 10000), "count", 1, 10000)
        tryVerify(function() { return rowContent(list, "10005") === "回来后看一下" }, 10000)
    }

    // An open socket is not enough: while the server refuses the sign-in, the banner stays.
    SignalSpy { id: bannerSpy; signalName: "visibleChanged" }
    function test_6_refusedSignInKeepsBanner() {
        var banner = item("networkBanner")
        verify(!banner.visible)
        bannerSpy.target = banner
        bannerSpy.clear()
        hook("login-ack", { mode: "value", value: "fail" })
        var since = hook("received", {}).next
        hook("drop-connections", {})
        tryCompare(banner, "visible", true, 10000)
        tryVerify(function() { return sentSince("login", since).length >= 1 }, 30000, "the client tried again")
        hook("login-ack", { mode: "normal" })
        // A second drop brings a sign-in the server takes.
        since = hook("received", {}).next
        hook("drop-connections", {})
        tryVerify(function() { return sentSince("login", since).length >= 1 }, 30000)
        tryCompare(banner, "visible", false, 30000)
        // Shown once and hidden once: it never went away while the sign-in was refused.
        compare(bannerSpy.count, 2)
    }

    // While the link is down the banner counts down to the next attempt; "retry now", by key,
    // starts one at once instead of waiting for it, and the banner goes once signed in again.
    function test_6b_retryNowByKeyboard() {
        var main = frame()
        var banner = item("networkBanner")
        var text = item("reconnectBanner")
        var retry = item("retryNowButton")
        verify(!banner.visible)
        compare(retry.Accessible.role, Accessible.Button)
        compare(retry.Accessible.name, main.tip_retry_now)
        verify(retry.Accessible.name !== "")

        hook("drop-connections", {})
        tryCompare(banner, "visible", true, 10000)
        tryVerify(function() {
            return !main.reconnecting && main.reconnectSeconds > 0
                && text.text === main.tip_server_disconnected + " · " + main.tip_reconnect_in.arg(main.reconnectSeconds)
        }, 5000, "the banner counts down to the next attempt")
        verify(text.text.indexOf(main.tip_connecting) < 0)
        compare(banner.Accessible.name, text.text)
        tryCompare(retry, "visible", true)
        var due = main.reconnectDue

        retry.forceActiveFocus()
        tryCompare(retry, "activeFocus", true)
        keyClick(Qt.Key_Space)
        // The attempt starts now, not when the scheduled one was due.
        tryCompare(main, "reconnecting", true, 3000)
        verify(Date.now() < due, "the client waited for the scheduled attempt")
        compare(text.text, main.tip_server_disconnected + " · " + main.tip_connecting)
        tryCompare(banner, "visible", false, 30000)
        verify(main.networkUp)
    }

    // Signed in again: the stored conversations come back with the server's last messages and
    // counts, those without messages last (the server's times only give the minute).
    function test_7_conversationsSurviveSigningInAgain() {
        win.logout()
        tryCompare(win, "loggedIn", false, 10000)
        signIn("zhangwei")
        var list = item("newsList")
        item("conversation_10004")
        tryVerify(function() { return rowContent(list, "10002") === "断线时发的消息" }, 10000)
        tryCompare(item("unread_10005"), "count", 1, 10000)
        tryVerify(function() { return rowIndex(list, "10004") === list.model.count - 1 }, 10000, "a conversation without messages last")
        compare(list.model.get(rowIndex(list, "10004")).names, "刘洋")
        verify(rowIndex(list, projectGroup) > 0)
        compare(rowIndex(list, "system"), 0)
    }

    // What becomes a desktop notification (here the tray's, as the suite keeps the desktop's
    // service out), and a click on one opening its conversation.
    function test_8_desktopNotices() {
        var list = item("newsList")
        var pane = item("conversationPane")
        var notices = null
        for (var i = 0; i < win.data.length; ++i) {
            if (win.data[i].objectName === "messageNotices")
                notices = win.data[i]
        }
        verify(notices !== null)
        verify(!notices.available)
        noticeSpy.target = notices
        noticeSpy.clear()

        notices.sigOpenChat("10002", "李娜", "2")
        tryCompare(pane, "currentId", "10002")
        tryCompare(notices, "openConversation", "10002")

        // Nothing for the conversation in view; the others say who wrote what.
        send("10002", "10001", "看到了")
        tryVerify(function() { return rowContent(list, "10002") === "看到了" }, 5000)
        send("10005", "10001", "<b>合同</b>已签")
        tryCompare(noticeSpy, "count", 1)
        compare(noticeSpy.signalArguments[0][0], "chat:10005")
        compare(noticeSpy.signalArguments[0][1], list.model.get(rowIndex(list, "10005")).names)
        compare(noticeSpy.signalArguments[0][2], "合同已签")
        var answer = hook("send-as", { from: "10003", group_id: projectGroup, msg: "改到周六" })
        verify(answer.ok, JSON.stringify(answer))
        tryCompare(noticeSpy, "count", 2)
        compare(noticeSpy.signalArguments[1][0], "chat:" + projectGroup)
        compare(noticeSpy.signalArguments[1][1], "王芳 · 项目协调群")

        // Do not disturb shows nothing; a hidden preview keeps the sender only.
        configData.setCurrentMainFile("true", "doNotDisturb")
        send("10005", "10001", "安静")
        tryVerify(function() { return rowContent(list, "10005") === "安静" }, 5000)
        configData.setCurrentMainFile("false", "doNotDisturb")
        configData.setCurrentMainFile("true", "hidePreview")
        send("10005", "10001", "工资条")
        tryCompare(noticeSpy, "count", 3)
        compare(noticeSpy.signalArguments[2][2], win.tip_notice_hidden)
        configData.setCurrentMainFile("false", "hidePreview")
    }
}

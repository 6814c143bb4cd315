import QtQuick 2.12
import QtTest 1.12
import SocketState 1.0
import ConfigData 1.0
import "../common"

// zhangwei (10001) exchanges messages once; what the window shows afterwards comes from the
// local history while the server keeps quiet or the link is down. The cases run in order.
FlowCase {
    id: flow
    name: "HistoryFlow"

    SocketState { id: socketState }
    ConfigData { id: configData }

    readonly property string projectGroup: "9c4e7a10-3f2b-4d88-b5a6-71e0c3d2f902" // 10005, 10001, 10002, 10003
    property string linaMsgId: ""

    function initTestCase() {
        hook("reset")
        // One window for every case (a temporary one goes after the first).
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
        hook("event-silence", { off: true })
        hook("login-ack", { mode: "normal" })
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
    function rowsText(list) {
        var rows = []
        for (var i = 0; i < list.model.count; ++i)
            rows.push(list.model.get(i).ids + " " + list.model.get(i).stamp + " " + list.model.get(i).content)
        return rows.join(" | ")
    }
    function send(from, to, msg) {
        var answer = hook("send-as", { from: from, to: to, msg: msg })
        verify(answer.ok, JSON.stringify(answer))
        return answer
    }
    function wentOffline() {
        hook("login-ack", { mode: "value", value: "fail" })
        hook("drop-connections", {})
        tryCompare(item("networkBanner"), "visible", true, 10000)
    }

    function test_1_listComesFromTheFileWhenTheServerIsSilent() {
        var list = item("newsList")
        linaMsgId = String(send("10002", "10001", "今晚的 report 发你了").msg_id)
        tryVerify(function() { return rowContent(list, "10002") === "今晚的 report 发你了" }, 10000)
        var answer = hook("send-as", { from: "10003", group_id: projectGroup, msg: "明早九点开会" })
        verify(answer.ok, JSON.stringify(answer))
        tryVerify(function() { return rowContent(list, projectGroup) === "王芳: 明早九点开会" }, 10000)
        socketState.sendPrivateInfor("10004", "收到，谢谢", "")
        tryVerify(function() { return rowContent(list, "10004") === "收到，谢谢" }, 10000)

        // Nothing of the list is left in the settings: only the history file knows it.
        var stored = configData.getCurrentChat()
        verify(stored.indexOf("10002") >= 0)
        for (var i = 0; i < stored.length; ++i)
            configData.removeCurrentChat(stored[i])
        compare(configData.getCurrentChat().length, 0)
        win.logout()
        tryCompare(win, "loggedIn", false, 10000)
        hook("event-silence", { user: "10001", events: ["get lastrecord", "outline recordLength"] })
        signIn("zhangwei")

        list = item("newsList")
        tryVerify(function() { return rowIndex(list, "10004") > 0 && rowIndex(list, "10002") > 0 && rowIndex(list, projectGroup) > 0 },
                  10000, "the kept conversations are listed")
        tryVerify(function() { return rowContent(list, "10002") === "今晚的 report 发你了" }, 10000)
        compare(rowContent(list, projectGroup), "王芳: 明早九点开会")
        compare(rowContent(list, "10004"), "收到，谢谢")
        compare(list.model.get(rowIndex(list, projectGroup)).names, "项目协调群")
        compare(list.model.get(rowIndex(list, "10002")).names, "李娜")
        compare(list.model.get(rowIndex(list, projectGroup)).types, "3")
        compare(list.model.get(rowIndex(list, "10002")).types, "2")
        // Newest first by the kept times, once each, below the system messages.
        tryVerify(function() {
            for (var k = 2; k < list.model.count; ++k) {
                if (list.model.get(k).stamp > list.model.get(k - 1).stamp)
                    return false
            }
            return true
        }, 5000, rowsText(list))
        verify(list.model.get(rowIndex(list, "10004")).stamp > 0, rowsText(list))
        // Both stamped by the server, which numbers its messages in order.
        verify(list.model.get(rowIndex(list, projectGroup)).stamp > list.model.get(rowIndex(list, "10002")).stamp, rowsText(list))
        compare(rowIndex(list, "system"), 0)
        var seen = {}
        for (var r = 0; r < list.model.count; ++r) {
            verify(seen[list.model.get(r).ids] === undefined, "listed twice: " + list.model.get(r).ids)
            seen[list.model.get(r).ids] = true
        }
        // The unread counts kept from before, the server giving none.
        tryCompare(item("unread_10002"), "count", 1, 5000)
        tryCompare(item("unread_" + projectGroup), "count", 1, 5000)
        compare(item("unread_10004").count, 0)
        hook("event-silence", { off: true })
    }

    function test_2_historyAndSearchOfflineAreMarkedLocal() {
        wentOffline()
        mouseClick(item("conversation_10002"))
        tryCompare(item("conversationPane"), "currentId", "10002")
        item("message_" + linaMsgId)
        mouseClick(item("historyButton"))
        var history = item("historyList")
        tryVerify(function() { return history.count >= 1 }, 10000, "the page seen before is read offline")
        tryVerify(function() { return find(win.contentItem, "localTag_" + linaMsgId) !== null }, 10000)
        verify(item("localTag_" + linaMsgId).visible)

        var search = item("historySearch")
        search.forceActiveFocus()
        typeText("report")
        keyClick(Qt.Key_Return)
        tryVerify(function() { return history.count === 1 && history.model.get(0).msg.indexOf("report") >= 0 }, 10000)
        verify(history.model.get(0).local)
        verify(item("localTag_" + linaMsgId).visible)
        clearField(search)
        keyClick(Qt.Key_Return)
        history.forceActiveFocus()
        keyClick(Qt.Key_Escape)
        tryCompare(item("historicalRecords"), "visible", false)
    }

    // Back online, the server's page overlaps the kept records: each message once, in order.
    function test_3_serverPageMergesOnce() {
        var added = hook("history-add", { from: "10002", to: "10001", count: 1, msg: "断线后补的", agoMs: 0 })
        hook("login-ack", { mode: "normal" })
        hook("drop-connections", {})
        tryCompare(item("networkBanner"), "visible", false, 30000)
        var chat = item("chatList")
        tryVerify(function() { return find(win.contentItem, "message_" + added.lastMsgId) !== null }, 15000,
                  "the server's newer message joins the kept ones")
        // The list runs bottom to top: the newest message is its first row.
        var ids = []
        for (var i = 0; i < chat.model.count; ++i) {
            var id = String(chat.model.get(i).msgId)
            if (id === "")
                continue
            verify(ids.indexOf(id) < 0, "shown twice: " + id)
            if (ids.length > 0)
                verify(Number(id) < Number(ids[ids.length - 1]), "out of order: " + id + " after " + ids.join(","))
            ids.push(id)
        }
        verify(ids.indexOf(linaMsgId) > ids.indexOf(String(added.lastMsgId)))
        verify(ids.indexOf(String(added.lastMsgId)) >= 0)
    }

    // Online with a server that never answers the search: the local matches show, marked.
    function test_4_searchWithSilentServerFindsLocalRecords() {
        hook("event-silence", { user: "10001", events: ["get record"] })
        mouseClick(item("historyButton"))
        var history = item("historyList")
        var search = item("historySearch")
        search.forceActiveFocus()
        typeText("report")
        keyClick(Qt.Key_Return)
        tryVerify(function() { return history.count === 1 && history.model.get(0).msgId === linaMsgId }, 10000)
        verify(history.model.get(0).local)
        verify(item("localTag_" + linaMsgId).visible)
        hook("event-silence", { off: true })
        clearField(search)
        keyClick(Qt.Key_Return)
        tryVerify(function() { return history.count >= 2 }, 10000, "the server answers again")
        mouseClick(item("historyClose"))
        tryCompare(item("historicalRecords"), "visible", false)
    }

    // Signing out forgets the account: liuyang (10004), next on the same client, finds nothing
    // of zhangwei's in any view or store, and zhangwei's link is gone before he signs in.
    function test_5_anotherAccountFindsNothingOfTheFirst() {
        mouseClick(item("section_message"))
        mouseClick(item("conversation_10002"))
        tryCompare(item("conversationPane"), "currentId", "10002")
        var field = item("newsSearchField")
        field.forceActiveFocus()
        typeText("report")
        verify(socketState.getPrivateIdFromInfors("10002").length > 0)
        verify(socketState.getGroupIds().indexOf(projectGroup) >= 0)
        var token = configData.getToken()
        verify(token !== "")

        win.logout()
        tryCompare(win, "loggedIn", false, 10000)
        tryVerify(function() {
            var engines = hook("online").engines
            for (var i = 0; i < engines.length; ++i) {
                if (engines[i].user === "10001")
                    return false
            }
            return true
        }, 10000, "the link is closed before the next sign-in")
        compare(configData.getToken(), "")
        compare(socketState.getSelfUesrId(), "")
        compare(socketState.getPrivateIdFromInfors("10002").length, 0)
        compare(socketState.getGroupIds().length, 0)
        compare(socketState.keptConversations().length, 0)
        verify(!socketState.judgeUserInfor("10002"), "the user cache is empty")

        signIn("liuyang")
        compare(socketState.getSelfUesrId(), "10004")
        verify(configData.getToken() !== token)
        var list = item("newsList")
        // His own conversation with zhangwei comes from the server: the list is in.
        tryVerify(function() { return rowContent(list, "10001") === "收到，谢谢" }, 10000, rowsText(list))
        compare(rowIndex(list, "10002"), -1, rowsText(list))
        compare(rowIndex(list, projectGroup), -1, rowsText(list))
        verify(find(win.contentItem, "unread_10002") === null)
        verify(find(win.contentItem, "unread_" + projectGroup) === null)
        compare(item("conversationPane").currentId, "")
        compare(item("newsSearchField").text, "")
        compare(socketState.getPrivateIdFromInfors("10002").length, 0)
        compare(socketState.getGroupIdFromInfors(projectGroup).length, 0)
        var kept = socketState.keptConversations()
        for (var k = 0; k < kept.length; ++k)
            verify(kept[k].ids !== "10002" && kept[k].ids !== projectGroup, JSON.stringify(kept[k]))

        // The other views: only his groups, the directory and the menu loaded anew.
        mouseClick(item("section_group"))
        var groups = item("groupList")
        tryCompare(groups, "count", 2, 10000)
        verify(find(groups, "group_" + projectGroup) === null)
        mouseClick(item("section_organization"))
        var tree = item("structureTree")
        tryVerify(function() { return tree.rowCount > 1 }, 15000, "the directory loads")
        compare(tree.companyName, "星河协同科技有限公司")
        mouseClick(item("section_menu"))
        verify(item("menuDefault").visible)
        compare(configData.historyNotice(), "")
    }
}

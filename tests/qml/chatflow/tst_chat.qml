import QtQuick 2.12
import QtTest 1.12
import MessageFilestoreitem 1.0
import ConversationModel 1.0
import "../common"
import ChatFileTransfers 1.0

// A conversation driven like a user would: keys into the editor, clicks on the picker, the
// history and the file cards. The colleague on the other side is played through the server's
// hooks. The client's engine keeps its conversations for the whole program, so every case talks
// to a colleague of its own.
FlowCase {
    id: flow
    name: "ChatFlow"

    MessageFilestoreitem { id: fileStore }

    readonly property string projectGroup: "9c4e7a10-3f2b-4d88-b5a6-71e0c3d2f902" // 10005, 10001, 10002, 10003
    readonly property string techGroup: "5b0f3c2e-8d41-4a67-9e1b-2c7d9a4f6e01"    // 10001, 10004, 10006

    function init() {
        hook("reset")
        hook("files-reset")
        openWindow()
        signIn("zhangwei")
        // The messaging link is up: what the cases send is not sent into a closed socket.
        tryVerify(function() { return hook("online").onlineUsers.indexOf("10001") >= 0 }, 20000, "zhangwei online")
    }
    function cleanup() {
        win = null
    }

    function pane() {
        return item("conversationPane")
    }
    function openChat(ids, names, types) {
        frame().openChat(ids, names, types === undefined ? "2" : types)
        tryCompare(pane(), "currentId", ids)
        return item("chatList")
    }
    // What the client sent, newest last: payloads of `event` from the signed-in user.
    function sent(event) {
        var events = hook("received", { user: "10001", event: event }).events
        var payloads = []
        for (var i = 0; i < events.length; ++i)
            payloads.push(events[i].args[0])
        return payloads
    }
    function lastSent(event, match) {
        var found = null
        tryVerify(function() {
            var list = sent(event)
            for (var i = list.length - 1; i >= 0; --i) {
                if (match === undefined || match(list[i])) {
                    found = list[i]
                    return true
                }
            }
            return false
        }, 10000, "nothing like it was sent as " + event)
        return found
    }
    function pushPrivate(from, msgId, msg, extra) {
        var payload = { creator: from, to: "10001", chat_object: from, download: "", file_type: "",
                        haveread: "0", msg: msg, msg_id: msgId, msg_type: "text", send_time: msgId,
                        time: msgId, type: "user" }
        for (var key in extra)
            payload[key] = extra[key]
        hook("push", { to: "10001", event: "private message", args: [payload] })
    }
    function typeInEditor(text) {
        var input = item("messageInput")
        input.forceActiveFocus()
        typeText(text)
        return input
    }
    // The Text below `root` that shows `text`, or null.
    function plainTextOf(root, text) {
        if (root.text === text && root.textFormat !== undefined)
            return root
        for (var i = 0; i < root.children.length; ++i) {
            var found = plainTextOf(root.children[i], text)
            if (found)
                return found
        }
        return null
    }
    function rowsOfKind(list, kind) {
        var n = 0
        for (var i = 0; i < list.model.count; ++i) {
            if (list.model.get(i).kind === kind)
                ++n
        }
        return n
    }

    // What the editor sends of its document, the row fields read without parsing, file icons.
    function test_0_editorBodyRowsAndIcons() {
        var box = createTemporaryObject(Qt.createComponent("qrc:/EditBox.qml"), flow)
        var doc = '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0//EN"><html><head><meta name="qrichtext" content="1" />'
                + '<style type="text/css">\np, li { white-space: pre-wrap; }\n</style></head><body style=" font-size:14px;">\n'
                + '<p style=" margin-top:0px;">one &amp; <span style=" font-weight:600;">bold</span><br />line</p>\n'
                + '<p style="-qt-paragraph-type:empty; margin-top:0px;"><br /></p>\n'
                + '<p style=" margin-top:0px;">two<img src="file:///app/emojis/smile.png" width="14" height="14" /></p>\n'
                + '<p style="-qt-paragraph-type:empty; margin-top:0px;"><br /></p></body></html>'
        compare(box.editorBody(doc), 'one &amp; bold<br />line<br /><br />two<img src="file:///app/emojis/smile.png" width="14" height="14" />')
        verify(box.isEmptyBody(box.editorBody('<html><body><p style="-qt-paragraph-type:empty;"><br /></p><p> &nbsp;</p></body></html>')))
        verify(!box.isEmptyBody('<img src="file:///app/emojis/smile.png" width="14" height="14" />'))

        var chat = createTemporaryObject(Qt.createComponent("qrc:/ChatRecord.qml"), flow, { selfId: "10001" })
        var indented = '{    "creator": "10001",    "download": "",    "file_type": "pdf",    "haveread": "",'
                + '    "msg": "say \\"msg_id\\": \\"1\\"",    "msg_id": "1765000000123",    "msg_type": "file",'
                + '    "send_time": "2025-12-06 10:00:00",    "time": "1",    "type": "user",    "sendStatus": "3"}'
        var row = chat.rowOf(indented)
        compare([row.msgId, row.creator, row.isSelf, row.kind, row.sendStatus, row.sendTime],
                ["1765000000123", "10001", true, "file", "3", "2025-12-06 10:00:00"])
        compare(chat.recordOf(indented).msg, 'say "msg_id": "1"')
        compare(chat.rowOf('{"creator":"10002","msg":"{\\"name\\":\\"notice.view\\",\\"params\\":{}}","msg_id":"5","msg_type":"text"}').kind, "system")
        compare(chat.rowOf('{"creator":"10002","msg":"hi","msg_id":""}'), null)
        compare(chat.rowOf("not json"), null)
        compare(chat.imageNameFromSuffix("DOCX"), "qrc:/images/docx.png")
        compare(chat.imageNameFromSuffix(".xlsx"), "qrc:/images/excel.png")
        compare(chat.imageNameFromSuffix("7z"), "qrc:/images/zip.png")
        compare(chat.imageNameFromSuffix(""), "qrc:/images/others.png")
        compare(chat.timeLabel(Qt.formatDateTime(new Date(), "yyyy-MM-dd") + " 09:41:07"), "09:41")
        compare(chat.timeLabel("2001-02-03 04:05:06"), "2001-02-03 04:05")
    }

    function test_1_textWithLineFeedIsSentAcknowledgedAndRead() {
        openChat("10002", "李娜")
        var input = typeInEditor("hello")
        keyClick(Qt.Key_Return, Qt.ShiftModifier)
        typeText("world")
        keyClick(Qt.Key_Return, Qt.ControlModifier)
        typeText("again")
        keyClick(Qt.Key_Return)
        var payload = lastSent("send message", function(p) { return p.msg.indexOf("again") >= 0 })
        compare(payload.to, "10002")
        compare(payload.msg_type, "text")
        // Both keys broke the line; the plain Enter sent.
        compare(payload.msg.split("<br").length, 3, payload.msg)
        verify(payload.msg.indexOf("<p") < 0 && payload.msg.indexOf("<body") < 0, payload.msg)
        tryCompare(input, "length", 0)
        var row = item("message_" + payload.msg_id)
        verify(row.self)
        tryCompare(row, "deliveryState", "sent", 10000)
        tryCompare(item("status_" + payload.msg_id), "text", "未读")

        // The colleague reads it.
        hook("push", { to: "10001", event: "update record", args: [{ from: "10001", to: "10002", msg_id: payload.msg_id }] })
        tryCompare(row, "deliveryState", "read", 10000)
        compare(item("status_" + payload.msg_id).text, "已读")

        // An empty editor sends nothing: the next message sent is the next one the server sees.
        var before = sent("send message").length
        keyClick(Qt.Key_Return)
        mouseClick(item("sendButton"))
        typeInEditor("after nothing")
        keyClick(Qt.Key_Return)
        lastSent("send message", function(p) { return p.msg.indexOf("after nothing") >= 0 })
        compare(sent("send message").length, before + 1)
    }

    function test_2_receivedMessageShowsAndIsMarkedRead() {
        var list = openChat("10003", "王芳")
        var id = Date.now()
        pushPrivate("10003", id, "王芳的问候 &amp; 一个链接")
        var row = item("message_" + id)
        verify(!row.self)
        verify(row.displayText.indexOf("王芳的问候") >= 0, row.displayText)
        // A message of another conversation does not appear here.
        pushPrivate("10004", id + 1, "not for this view")
        pushPrivate("10003", id + 2, "second")
        item("message_" + (id + 2))
        compare(find(list, "message_" + (id + 1)), null)
        // The open conversation is marked read.
        var mark = lastSent("update havRead", function(p) { return p.from === "10003" })
        compare(mark.type, "user")
        compare(mark.to, "10001")
    }

    function test_3_olderMessagesLoadOnRequest() {
        var seeded = hook("history-add", { from: "10005", to: "10001", count: 45, msg: "旧消息" })
        var list = openChat("10005", "陈静")
        // The newest page first.
        tryCompare(list, "count", 20, 10000)
        item("message_" + seeded.lastMsgId)
        compare(list.model.get(0).msgId, String(seeded.lastMsgId))
        // Delegates only for what is on screen.
        verify(list.contentItem.children.length < 20, "delegates: " + list.contentItem.children.length)
        // The button sits above the oldest row; the keyboard reaches it wherever the view is.
        var more = item("loadMoreButton")
        more.forceActiveFocus()
        keyClick(Qt.Key_Return)
        tryCompare(list, "count", 40, 10000)
        more.forceActiveFocus()
        keyClick(Qt.Key_Space)
        tryCompare(list, "count", 45, 10000)
        // Oldest at the far end, in order, each once.
        compare(list.model.get(44).msgId, String(seeded.firstMsgId))
        for (var i = 1; i < list.count; ++i)
            verify(list.model.get(i - 1).idNum > list.model.get(i).idNum, "order at " + i)

        // The history pages the same way: the button below its last row brings older rows.
        mouseClick(item("historyButton"))
        var history = item("historyList")
        tryCompare(history, "count", 20, 10000)
        var older = item("historyMoreButton")
        history.positionViewAtEnd()
        tryCompare(older, "visible", true)
        mouseClick(older)
        tryCompare(history, "count", 40, 10000)
        history.positionViewAtEnd()
        mouseClick(older)
        tryCompare(history, "count", 45, 10000)
        // All of it is there: the button goes.
        tryCompare(older, "visible", false)
        history.forceActiveFocus()
        keyClick(Qt.Key_Escape)
        tryCompare(item("historicalRecords"), "visible", false)
    }

    function test_4_emoticonRoundTrip() {
        openChat("10004", "刘洋")
        mouseClick(item("faceButton"))
        var picker = item("faceWidget")
        tryCompare(picker, "visible", true)
        // Escape closes the picker.
        keyClick(Qt.Key_Escape)
        tryCompare(picker, "visible", false)
        mouseClick(item("faceButton"))
        tryCompare(picker, "visible", true)
        mouseClick(item("face_smile"))
        tryCompare(picker, "visible", false)
        var input = item("messageInput")
        verify(input.text.indexOf("emojis/smile.png") >= 0, input.text)
        verify(input.activeFocus, "the editor has the focus back")
        typeText("ok")
        keyClick(Qt.Key_Return)
        var payload = lastSent("send message", function(p) { return p.to === "10004" })
        // The wire form is the web clients' emoticon markup, without local paths.
        verify(payload.msg.indexOf('class="emoji-picker emoji-smile"') >= 0, payload.msg)
        verify(payload.msg.indexOf("file://") < 0, payload.msg)
        verify(payload.msg.indexOf("ok") > payload.msg.indexOf("emoji-smile"), payload.msg)
        // The own copy shows the picture again.
        var own = item("message_" + payload.msg_id)
        verify(own.displayText.indexOf("emojis/smile.png") >= 0, own.displayText)
        // The colleague answers in the same form; it arrives as a local picture.
        var id = Date.now()
        pushPrivate("10004", id, payload.msg)
        var row = item("message_" + id)
        verify(/<img src="file:\/\/\/.*\/emojis\/smile\.png"/.test(row.displayText), row.displayText)
    }

    function test_5_fileSentReceivedDownloadedAndOpened() {
        var list = openChat("10006", "赵磊")
        var path = Qt.resolvedUrl("data/report.txt")
        item("editBox").chooseFiles([path])
        var payload = lastSent("send message", function(p) { return p.msg_type === "file" })
        compare(payload.msg, "report.txt")
        compare(payload.file_type, "txt")
        verify(payload.download !== "", "the attachment id is sent")
        var info = hook("files-info", { id: payload.download, text: true })
        compare(info.text, "季度报告\nquarterly report, line two\n")
        // One row for the file, ending under the id that was sent, delivered.
        var row = item("message_" + payload.msg_id, 10000)
        tryCompare(row, "deliveryState", "sent", 10000)
        compare(rowsOfKind(list, "file"), 1)
        verify(row.fileExists, "the sent file is known on disk")

        // The colleague answers with a file of their own (an attachment this client never had);
        // it downloads with progress into the download folder.
        var theirs = hook("files-create", { name: "reply.txt", text: "answer\n" }).attachment_id
        verify(theirs !== undefined && theirs !== "")
        // The received-file index keys files by the second of their message id: another second.
        var id = Number(payload.msg_id) + 3000
        pushPrivate("10006", id, "reply.txt", { msg_type: "file", file_type: "txt", download: theirs })
        var received = item("message_" + id)
        verify(!received.fileExists)
        mouseClick(item("download_" + id))
        tryCompare(received, "fileExists", true, 10000)
        var stored = fileStore.getRowData("10006", String(id))[0]
        verify(stored !== "" && fileStore.jusitFileExits(stored), stored)
        // Its button now opens the downloaded copy with the desktop.
        var opensBefore = desktopOpens.opened().length
        mouseClick(item("open_" + id))
        tryVerify(function() { return desktopOpens.opened().length === opensBefore + 1 }, 5000, "the desktop was asked to open it")
        compare(desktopOpens.opened()[opensBefore], stored)

        // A file name with markup in it is shown as it is: nothing in it is fetched or formatted.
        var marked = id + 5000
        var markedName = "<img src=\"http://127.0.0.1:9/pixel.png\"><b>plan</b>.txt"
        pushPrivate("10006", marked, markedName, { msg_type: "file", file_type: "txt", download: theirs })
        var shownName = plainTextOf(item("message_" + marked), markedName)
        verify(shownName !== null, "the file name is shown unchanged")
        compare(shownName.textFormat, Text.PlainText)

        // A file whose copy is gone says so instead of opening.
        var gone = id + 7000
        fileStore.insertNewData("10006", String(gone), "/nonexistent/folder/report.txt")
        pushPrivate("10006", gone, "report.txt", { msg_type: "file", file_type: "txt", download: payload.download })
        item("message_" + gone)
        mouseClick(item("open_" + gone))
        var tip = item("chatTip")
        tryCompare(tip, "visible", true)
        compare(tip.text, "文件不存在")
    }

    // A file on its way can be stopped: a download leaves no file and offers itself again, an
    // upload sends nothing and says it was cancelled.
    function test_5b_transfersAreCancelled() {
        var list = openChat("10010", "郑浩")
        var record = item("chatRecord")
        hook("files", { download: "stall" })
        var big = hook("files-create", { name: "big.bin", size: 4 * 1024 * 1024 }).attachment_id
        var id = Date.now()
        pushPrivate("10010", id, "big.bin", { msg_type: "file", file_type: "bin", download: big })
        var received = item("message_" + id)
        mouseClick(item("download_" + id))
        // Half the file has come and the server holds the rest.
        tryVerify(function() { return hook("files-stalled").stalled === 1 }, 30000, "the download is under way")
        tryCompare(item("progress_" + id), "visible", true)
        var dest = record.downloads[String(id)].dest
        verify(dest !== "")
        var cancel = item("cancel_" + id)
        verify(cancel.visible)
        compare(cancel.Accessible.name, "取消")
        mouseClick(cancel)
        tryCompare(item("download_" + id), "visible", true)
        verify(!item("progress_" + id).visible)
        verify(plainTextOf(received, "已取消") !== null, "the row says the download was cancelled")
        verify(!fileStore.jusitFileExits(dest), "no file under its name: " + dest)
        compare(fileStore.getRowData("10010", String(id))[0], "", "nothing remembered for it")
        verify(!received.fileExists)

        // An upload whose chunk the server holds.
        hook("files", { upload: "hold" })
        item("editBox").chooseFiles([Qt.resolvedUrl("data/report.txt")])
        tryVerify(function() { return hook("files-stalled").heldUploads === 1 }, 10000, "the upload is under way")
        var key = ""
        tryVerify(function() {
            for (var i = 0; i < list.model.count && key === ""; ++i) {
                var r = list.model.get(i)
                if (r.kind === "file" && r.transient && r.progress >= 0)
                    key = r.msgId
            }
            return key !== ""
        }, 10000, "the upload shows its progress")
        mouseClick(item("cancel_" + key))
        var sending = item("message_" + key)
        tryCompare(sending, "deliveryState", "failed")
        compare(item("status_" + key).text, "已取消")
        verify(item("retry_" + key).visible, "it can be sent again")
        compare(sent("send message").filter(function(p) { return p.to === "10010" }).length, 0)
    }

    // The history panel's download stops the same way.
    function test_5c_historyDownloadIsCancelled() {
        hook("files", { download: "stall" })
        var big = hook("files-create", { name: "archive.bin", size: 4 * 1024 * 1024 }).attachment_id
        var seeded = hook("history-add", { items: [{ from: "10011", to: "10001", msg: "archive.bin", msg_type: "file", file_type: "bin", download: big }] })
        openChat("10011", "冯雪")
        mouseClick(item("historyButton"))
        var records = item("historicalRecords")
        var id = String(seeded.lastMsgId)
        mouseClick(item("historyFile_" + id, 10000))
        tryVerify(function() { return hook("files-stalled").stalled === 1 }, 30000, "the download is under way")
        var dest = records.downloads[id].dest
        var cancel = item("historyCancel_" + id)
        tryCompare(cancel, "visible", true)
        compare(cancel.Accessible.name, "取消")
        mouseClick(cancel)
        tryCompare(item("historyFile_" + id), "visible", true)
        compare(item("historyFile_" + id).tip, "下载")
        compare(item("historyTip").text, "已取消")
        verify(!fileStore.jusitFileExits(dest), "no file under its name: " + dest)
    }

    function test_6_historyFilters() {
        openChat("10007", "孙丽")
        typeInEditor("alpha apple")
        keyClick(Qt.Key_Return)
        lastSent("send message", function(p) { return p.msg.indexOf("alpha apple") >= 0 })
        typeInEditor("beta")
        keyClick(Qt.Key_Return)
        lastSent("send message", function(p) { return p.msg.indexOf("beta") >= 0 })
        // A chosen picture is uploaded and goes into the editor as a server picture.
        item("editBox").choosePicture(Qt.resolvedUrl("data/picture.png"))
        var input = item("messageInput")
        tryVerify(function() { return input.text.indexOf("api/attachment/index/") >= 0 }, 10000, input.text)
        input.forceActiveFocus()
        keyClick(Qt.Key_Return)
        var picture = lastSent("send message", function(p) { return p.msg_type === "img" })
        // Relative to the server on the wire; the token is refreshed when it is shown.
        verify(picture.msg.indexOf("../../../server/public/api/attachment/index/") >= 0, picture.msg)
        verify(picture.msg.indexOf("http") < 0 && picture.msg.indexOf("<a ") < 0, picture.msg)
        var shown = item("message_" + picture.msg_id)
        verify(/<img src="http[^"]*api_token=/.test(shown.displayText), shown.displayText)
        item("editBox").chooseFiles([Qt.resolvedUrl("data/report.txt")])
        lastSent("send message", function(p) { return p.msg_type === "file" && p.to === "10007" })

        mouseClick(item("historyButton"))
        var history = item("historyList")
        tryCompare(history, "count", 4, 10000)
        mouseClick(item("historyFilter_image"))
        tryCompare(history, "count", 1, 10000)
        compare(history.model.get(0).msgType, "img")
        mouseClick(item("historyFilter_file"))
        tryVerify(function() { return history.count === 1 && history.model.get(0).msgType === "file" }, 10000)
        mouseClick(item("historyFilter_all"))
        tryCompare(history, "count", 4, 10000)
        var search = item("historySearch")
        search.forceActiveFocus()
        typeText("apple")
        keyClick(Qt.Key_Return)
        tryCompare(history, "count", 1, 10000)
        verify(history.model.get(0).msg.indexOf("alpha apple") >= 0)
        clearField(search)
        keyClick(Qt.Key_Return)
        tryCompare(history, "count", 4, 10000)
        // Today holds all four; the day before none.
        var date = item("historyDate")
        date.forceActiveFocus()
        typeText(Qt.formatDate(new Date(), "yyyy-MM-dd"))
        keyClick(Qt.Key_Return)
        tryCompare(history, "count", 4, 10000)
        mouseClick(item("historyPreviousDay"))
        tryCompare(history, "count", 0, 10000)
        compare(item("historyState").text, "暂无内容")
        // A request the server leaves unanswered ends in a failure text, not in "loading" for ever.
        hook("event-silence", { user: "10001", events: ["get record"] })
        var records = item("historicalRecords")
        records.historyTimeout = 1000
        mouseClick(item("historyNextDay"))
        compare(item("historyState").text, "数据加载中")
        tryCompare(item("historyState"), "text", "聊天记录加载失败，请稍后重试", 10000)
        hook("event-silence", { off: true })
        records.historyTimeout = 15000
        mouseClick(item("historyPreviousDay"))
        tryCompare(item("historyState"), "text", "暂无内容", 10000)
        // Escape closes the history.
        history.forceActiveFocus()
        keyClick(Qt.Key_Escape)
        tryCompare(item("historicalRecords"), "visible", false)
    }

    function test_7_refusedMessageFailsAndIsSentAgain() {
        openChat("10008", "周强")
        // The refusal waits on the server, so the message is seen on its way first.
        hook("send-refusal", { from: "10001", reason: "消息过大", hold: true })
        typeInEditor("will be refused")
        keyClick(Qt.Key_Return)
        var payload = lastSent("send message", function(p) { return p.msg.indexOf("will be refused") >= 0 })
        var row = item("message_" + payload.msg_id)
        tryVerify(function() { return hook("send-refusal", { query: true }).held === 1 }, 10000, "the refusal is held")
        compare(row.deliveryState, "pending")
        compare(item("status_" + payload.msg_id).text, "发送中")
        compare(hook("send-refusal", { release: true }).released, 1)
        tryCompare(row, "deliveryState", "failed", 10000)
        compare(item("status_" + payload.msg_id).text, "发送失败")
        var retry = item("retry_" + payload.msg_id)
        verify(retry.visible)

        hook("send-refusal", { off: true })
        mouseClick(retry)
        // The same message goes again under its own id, and reaches the server once.
        tryVerify(function() {
            return hook("accepted", { from: "10001" }).messages.some(function(m) {
                return String(m.msg_id) === String(payload.msg_id)
            })
        }, 10000, JSON.stringify(sent("send message").slice(-2)))
        tryCompare(row, "deliveryState", "sent", 10000)
        compare(sent("send message").filter(function(p) {
            return p.msg.indexOf("will be refused") >= 0
        }).length, 2)
    }

    // What has the keyboard, named by the part of the window it is in.
    function focusPlace() {
        var names = ["chatRecord", "faceButton", "imageButton", "fileButton", "screenshotButton",
                     "historyButton", "messageInput", "sendButton", "newsList"]
        for (var p = win.activeFocusItem; p; p = p.parent) {
            if (names.indexOf(p.objectName) >= 0)
                return p.objectName
        }
        return String(win.activeFocusItem)
    }

    // Tab leaves the editor instead of typing a tab; the order runs from the list through the
    // conversation and the editor's buttons to the editor and the send button.
    function test_9_tabMovesOutOfTheEditor() {
        openChat("10009", "吴敏")
        var input = typeInEditor("ab")
        keyClick(Qt.Key_Tab)
        verify(item("sendButton").activeFocus, "Tab from the editor reaches the send button")
        compare(input.length, 2, "no tab character was typed")
        verify(input.getText(0, input.length).indexOf("\t") < 0)
        keyClick(Qt.Key_Backtab)
        verify(input.activeFocus)
        keyClick(Qt.Key_Tab, Qt.ShiftModifier)
        compare(focusPlace(), "historyButton")
        compare(input.length, 2)

        item("newsList").forceActiveFocus()
        var order = []
        for (var i = 0; i < 16 && !item("sendButton").activeFocus; ++i) {
            keyClick(Qt.Key_Tab)
            var place = focusPlace()
            if (order[order.length - 1] !== place)
                order.push(place)
        }
        compare(order, ["chatRecord", "faceButton", "imageButton", "fileButton", "screenshotButton",
                        "historyButton", "messageInput", "sendButton"])
        compare(input.length, 2)
    }

    // In a group: what is sent names the group and the sender, and a colleague's message in
    // it shows while one in another group does not.
    function test_9b_groupMessageSentAndReceived() {
        // The group table came with the sign-in; a message says which group it is for.
        var list = openChat(projectGroup, "项目协调群", "3")
        // The group table came with the sign-in; a message says which group it is for.
        tryCompare(item("groupMemberSideList"), "count", 4, 10000)
        typeInEditor("group hello")
        keyClick(Qt.Key_Return)
        var payload = lastSent("send message", function(p) { return p.group_id === projectGroup })
        compare([payload.type, payload.creator, payload.msg_type], ["personal_group", "10001", "text"])
        verify(payload.msg.indexOf("group hello") >= 0 && payload.msg.indexOf("<p") < 0, payload.msg)
        compare(payload.fromDetail.user_name, "张伟")
        compare(payload.info.name, "项目协调群")
        var own = item("message_" + payload.msg_id)
        verify(own.self)
        tryCompare(own, "deliveryState", "sent", 10000)

        var id = Date.now()
        var elsewhere = hook("send-as", { from: "10004", group_id: techGroup, msg: "not for this view", msg_id: id })
        var answer = hook("send-as", { from: "10003", group_id: projectGroup, msg: "王芳在群里回复", msg_id: id + 1 })
        verify(answer.ok, JSON.stringify(answer))
        var row = item("message_" + answer.msg_id)
        verify(!row.self)
        verify(row.displayText.indexOf("王芳在群里回复") >= 0, row.displayText)
        compare(find(list, "message_" + elsewhere.msg_id), null)

        // The member bar comes after the send button.
        item("messageInput").forceActiveFocus()
        keyClick(Qt.Key_Tab)
        verify(item("sendButton").activeFocus)
        keyClick(Qt.Key_Tab)
        verify(item("groupMemberAdd").activeFocus, String(win.activeFocusItem))
    }

    // A colleague whose message, name and group name carry markup meant to fetch, open or run
    // something: the reader fetches nothing from another host, opens nothing, sees the characters
    // that were sent, and the next message still arrives.
    function test_9bb_hostileColleagueReachesNothing() {
        var foreign = foreignHost.address()
        var groupName = '<img src="' + foreign + '/group.png"><b>项目</b>'
        var list = openChat(projectGroup, groupName, "3")
        compare(plainTextOf(pane(), groupName).textFormat, Text.PlainText)
        var opensBefore = desktopOpens.opened().length
        var id = Date.now()
        var senderName = '<img src="' + foreign + '/name.png"><i>王芳</i>'
        var body = 'Hi <img src="' + foreign + '/track.png?reader=10001">'
                + '<a href="file:///C:/Windows/System32/cmd.exe">report</a>'
                + '<a href="javascript:alert(1)">run</a><img src="file://' + foreign.slice(7) + '/share/x.png">'
        hook("push", { to: "10001", event: "group message", args: [{
            creator: "10003", group_id: projectGroup, msg: body, msg_id: id, msg_type: "text",
            send_time: id, time: id, type: "personal_group", download: "", file_type: "",
            fromDetail: { user_id: "10003", user_name: senderName },
            info: { id: projectGroup, creator: "10005", name: groupName, group_member: "10005,10001,10002,10003" } }] })
        var row = item("message_" + id)
        // Shown as the characters sent, through the sanitiser only.
        verify(row.displayText.indexOf("<img") < 0 && row.displayText.indexOf("<a ") < 0, row.displayText)
        verify(row.displayText.indexOf("&lt;a href=&quot;javascript:alert(1)&quot;&gt;run") >= 0, row.displayText)
        var shownSender = plainTextOf(row, senderName)
        if (shownSender !== null)
            compare(shownSender.textFormat, Text.PlainText)

        // Links that reach the opener: a file or a script never opens and says why; another host
        // shows its address and opens only when agreed.
        var links = item("linkConfirm")
        links.openLink("file:///C:/Windows/System32/cmd.exe")
        tryCompare(links, "visible", true)
        compare(links.pending, "")
        verify(links.reason !== "")
        links.close()
        links.openLink("javascript:alert(1)")
        verify(links.visible && links.pending === "")
        links.close()
        links.openLink(foreign + "/page")
        compare(links.pending, foreign + "/page")
        // The focus starts on cancel: Return opens nothing.
        verify(find(links, "linkCancel").activeFocus)
        keyClick(Qt.Key_Return)
        verify(!links.visible)
        compare(desktopOpens.opened().length, opensBefore, "opened: " + desktopOpens.opened().slice(opensBefore))

        // The next ordinary message arrives, and no request ever went to the other host.
        var answer = hook("send-as", { from: "10003", group_id: projectGroup, msg: "之后的正常消息", msg_id: id + 1 })
        verify(answer.ok, JSON.stringify(answer))
        verify(item("message_" + answer.msg_id).displayText.indexOf("之后的正常消息") >= 0)
        wait(0)
        compare(foreignHost.hits(), 0, "a request reached another host")
    }

    // The conversation by keyboard: Up and Down move the marked row, Return opens a picture
    // as a click does and does nothing on text, Space opens the sender's card.
    function test_9c_keyboardOpensPictureAndSenderCard() {
        var list = openChat("10012", "陈晨")
        var record = item("chatRecord")
        item("editBox").choosePicture(Qt.resolvedUrl("data/picture.png"))
        var input = item("messageInput")
        tryVerify(function() { return input.text.indexOf("api/attachment/index/") >= 0 }, 10000, input.text)
        input.forceActiveFocus()
        keyClick(Qt.Key_Return)
        var picture = lastSent("send message", function(p) { return p.msg_type === "img" && p.to === "10012" })
        item("message_" + picture.msg_id)
        var id = Date.now()
        pushPrivate("10012", id, "陈晨的回复")
        var reply = item("message_" + id)
        compare(reply.Accessible.role, Accessible.ListItem)
        compare(reply.Accessible.name, "陈晨 陈晨的回复")
        var pictureName = item("message_" + picture.msg_id).Accessible.name
        verify(pictureName.indexOf("[图片]") > 0, pictureName)

        var opened = createTemporaryObject(spyComponent, flow, { target: record, signalName: "sigPictureInfor" })
        list.forceActiveFocus()
        verify(list.activeFocus)
        list.currentIndex = record.indexOfMessage(String(id))
        verify(list.highlightItem.visible, "the row the keys act on is marked")
        keyClick(Qt.Key_Return)
        compare(opened.count, 0, "a text row opens nothing")

        keyClick(Qt.Key_Space)
        var card = item("personalInformation")
        tryCompare(card, "visible", true)
        tryCompare(item("personalName"), "text", "陈晨")
        keyClick(Qt.Key_Escape)
        tryCompare(card, "visible", false)

        list.forceActiveFocus()
        var target = record.indexOfMessage(String(picture.msg_id))
        // Newest at the bottom: an older row lies above.
        var key = target > list.currentIndex ? Qt.Key_Up : Qt.Key_Down
        for (var n = 0; n < list.count && list.currentIndex !== target; ++n)
            keyClick(key)
        compare(list.currentIndex, target)
        keyClick(Qt.Key_Return)
        compare(opened.count, 1)
        var link = opened.signalArguments[0][0]
        verify(link.indexOf("api/attachment/index/") >= 0 && link.indexOf("api_token=") >= 0, link)
    }
    Component { id: spyComponent; SignalSpy {} }

    // The file transfers both views share, and a download that fails on a row.
    // The views' model: the transfers find rows through its index.
    ConversationModel { id: fileRows; conversation: "10002" }
    ChatFileTransfers { id: transfers; model: fileRows }
    SignalSpy { id: transferTips; target: transfers; signalName: "tip" }
    function test_8_sharedFileHelpersAndDownloadFlow() {
        var folder = String(Qt.resolvedUrl("data")).replace(/\/$/, "")
        compare(transfers.freeDestination(folder, "report.txt"), folder + "/report (1).txt")
        compare(transfers.freeDestination(folder, "b"), folder + "/b")
        compare([transfers.progressOf(50, 100), transfers.progressOf(0, -1), transfers.progressOf(7, 0)], [0.5, 0, 1])
        compare([transfers.fileNameOf("C:\\d\\a.txt"), transfers.fileNameOf("/d/b.txt"), transfers.fileNameOf("c")], ["a.txt", "b.txt", "c"])
        verify(!transfers.fileExists("") && transfers.fileExists(Qt.resolvedUrl("data/report.txt")))

        fileRows.clear()
        transferTips.clear()
        var m1 = "1765000000001"
        var m2 = "1765000000002"
        fileRows.setRecords([JSON.stringify({ msg_id: m1, creator: "10002", msg: "r.txt", msg_type: "file", download: '{"id":"no-such-attachment"}' }),
                             JSON.stringify({ msg_id: m2, creator: "10002", msg: "s.txt", msg_type: "file", download: '{"name":"s.txt"}' })])
        compare([fileRows.count, fileRows.get(0).progress, fileRows.get(0).localPath, fileRows.get(1).attachment], [2, -1, "", "no-such-attachment"])
        // A descriptor without an id names nothing to fetch; a row that is not there is left alone.
        verify(!transfers.download(m2))
        verify(transfers.download("17650"))
        compare(Object.keys(transfers.downloads).length, 0)
        verify(transfers.download(m1))
        verify(transfers.busy(m1), "the download is under way")
        compare(transfers.downloads[m1].conversation, "10002")
        verify(transfers.downloads[m1].dest.indexOf("/r") > 0, transfers.downloads[m1].dest)
        verify(transfers.download(m1), "one download per message")
        compare(Object.keys(transfers.downloads).length, 1)
        // The server has no such file: the row gives its action back and the user is told why.
        tryCompare(transferTips, "count", 1, 10000)
        verify(!transfers.busy(m1))
        compare([fileRows.get(1).progress, fileRows.get(1).localPath], [-1, ""])
        verify(!transfers.cancel(m1, "已取消"), "nothing left to cancel")
    }
}

import QtQuick 2.12
import QtQuick.Controls 2.5
import QtQuick.Window 2.2
import OnlineInfor 1.0
import ConfigData 1.0
import SocketState 1.0
import LoadPersonnelinfor 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The recent conversations: the pinned system messages, then every conversation with its last
// message, time, unread count and online mark, the newest first. The list is kept in the
// settings of the current server; the server gives the last messages and the unread counts.
// A search over the list and the organisation replaces it while the search field has text.
Item {
    id: newsList
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property int unreadTotal: 0
    // Unread system reminders, given by the frame.
    property int systemUnread: 0
    // False while another section or the system messages cover the conversation pane: a
    // message for the open conversation then counts as unread.
    property bool conversationVisible: true
    property string currentId: ""
    property string currentTypes: ""
    readonly property bool searching: searchField.text.trim() !== ""
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property string systemId: "system"

    property string tip_search: qsTr("搜索")
    property string tip_system_message: qsTr("系统消息")
    property string tip_system_message_tip: qsTr("系统消息提醒")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_picture_message: qsTr("[图片]")
    property string tip_file_message: qsTr("[文件]")
    property string tip_expression: qsTr("表情")
    property string tip_unread: qsTr("未读")
    property string tip_recent_chat: qsTr("最近会话")
    property string tip_online: qsTr("在线")
    property string tip_offline: qsTr("离线")

    signal sigSendInfor(string typesa, string names, string ids)
    signal sigSendpersonalInfor(string infora, string inforb, bool jumpm, string types)
    signal sigOpenSystemMessage()
    signal sigTipInfors(string names, string contents, bool reflush)
    // Somebody else's message for a desktop notification: the conversation, its name, the
    // writer in a group, and the message as it came.
    signal sigNotice(string ids, string types, string names, string sender, string msg, string msgType)
    signal sigDataUnreadNumber(string ids, string names, string unreads, string paths, string types)


    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }

    // ---- the model -------------------------------------------------------------------------
    function indexOfId(ids) {
        for (var i = 0; i < newsModel.count; ++i) {
            if (newsModel.get(i).ids === ids)
                return i
        }
        return -1
    }
    function ensureSystemRow() {
        if (newsModel.count > 0 && newsModel.get(0).ids === systemId)
            return
        newsModel.insert(0, { ids: systemId, names: tip_system_message, types: "system", content: tip_system_message_tip,
                              times: "", stamp: 0, unread: Math.max(0, systemUnread), online: false,
                              paths: "qrc:/images/systemavatar.svg" })
    }
    function selfId() {
        return socketState.getSelfUesrId()
    }
    function avatarOf(types) {
        return types === "3" ? "qrc:/images/groupavatar.svg" : ""
    }
    // A conversation's name: the given one, the stored one, the organisation's or the group
    // table's; the id itself when nobody knows it.
    function conversationName(ids, types, hint) {
        if (hint !== undefined && hint !== null && String(hint) !== "")
            return String(hint)
        var stored = configData.judgeCurrentChatName(ids) ? configData.getCurrentChatName(ids) : ""
        if (stored !== "" && stored !== ids)
            return stored
        var name = types === "3" ? socketState.getGroupInforFromId(ids, "name")
                                 : loadPersonnelinfor.getPersonnelInformationValue(ids)
        return name !== "" ? name : ids
    }
    // The row of a conversation, added below the system messages when it is new.
    function upsert(ids, types, hint) {
        var i = indexOfId(ids)
        if (i >= 0) {
            if (hint !== undefined && hint !== null && String(hint) !== "" && newsModel.get(i).names !== String(hint)) {
                newsModel.setProperty(i, "names", String(hint))
                configData.setCurrentChatName(ids, String(hint))
                socketState.keepConversationName(ids, types, String(hint))
            }
            return i
        }
        var names = conversationName(ids, types, hint)
        ensureSystemRow()
        newsModel.insert(1, { ids: ids, names: names, types: types, content: "", times: "", stamp: 0, unread: 0,
                              online: types === "2" && onlineInfor.getOnlineUsers(ids), paths: avatarOf(types) })
        configData.setCurrentChatName(ids, names)
        configData.setCurrentChatTypes(ids, types)
        socketState.keepConversationName(ids, types, names)
        askLastRecord(ids, types)
        return 1
    }
    function moveToTop(index) {
        if (index > 1)
            newsModel.move(index, 1, 1)
        return index > 0 ? 1 : index
    }
    function recount() {
        var total = 0
        for (var i = 0; i < newsModel.count; ++i) {
            if (newsModel.get(i).types !== "system")
                total += newsModel.get(i).unread
        }
        unreadTotal = total
    }
    function setUnread(index, count) {
        var row = newsModel.get(index)
        var n = Math.max(0, count)
        if (row.unread === n)
            return
        newsModel.setProperty(index, "unread", n)
        recount()
        sigDataUnreadNumber(row.ids, row.names, String(n), row.paths, row.types)
    }
    function removeConversation(index) {
        if (index <= 0 || index >= newsModel.count)
            return
        var row = newsModel.get(index)
        var ids = row.ids
        if (row.unread > 0)
            sigDataUnreadNumber(ids, row.names, "0", row.paths, row.types)
        configData.removeCurrentChat(ids)
        newsModel.remove(index)
        recount()
        if (ids === currentId)
            currentId = ""
    }
    function isOpen(ids) {
        return conversationVisible && ids === currentId
    }

    // ---- texts and times -------------------------------------------------------------------
    // One line of a message for the list: pictures and files by name, tags and entities gone.
    function previewText(msg, msgType) {
        return configData.previewText(msg, msgType, tip_picture_message, tip_file_message,
                                      "[" + tip_expression + "]")
    }
    // "yyyy-MM-dd hh:mm:ss" local time to ms; 0 when unreadable.
    function stampOf(sendTime) {
        var m = /^(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2})(?::(\d{2}))?/.exec(String(sendTime))
        if (!m)
            return 0
        return new Date(+m[1], +m[2] - 1, +m[3], +m[4], +m[5], m[6] ? +m[6] : 0).getTime()
    }
    // Today's messages show their time, older ones their date.
    function timeText(stamp) {
        if (stamp <= 0)
            return ""
        var d = new Date(stamp)
        var now = new Date()
        if (d.toDateString() === now.toDateString())
            return Qt.formatTime(d, "hh:mm")
        return Qt.formatDate(d, "MM-dd")
    }
    // The last-record times carry only " hh:mm": today, or yesterday if that lies ahead.
    function stampOfClock(times) {
        var m = /(\d{1,2}):(\d{2})/.exec(String(times))
        if (!m)
            return 0
        var now = new Date()
        var d = new Date(now.getFullYear(), now.getMonth(), now.getDate(), +m[1], +m[2], 0)
        if (d.getTime() > now.getTime() + 60000)
            d.setDate(d.getDate() - 1)
        return d.getTime()
    }
    function parseMessage(messages) {
        try {
            var o = JSON.parse(messages)
            return o !== null && typeof o === "object" ? o : null
        } catch (e) {
            return null
        }
    }

    // ---- what the server says --------------------------------------------------------------
    function showMessage(index, message, senderName) {
        var stamp = stampOf(message.send_time)
        if (stamp <= 0)
            stamp = Date.now()
        var text = previewText(message.msg, message.msg_type)
        newsModel.setProperty(index, "content", senderName !== "" ? senderName + ": " + text : text)
        newsModel.setProperty(index, "stamp", stamp)
        newsModel.setProperty(index, "times", timeText(stamp))
        return text
    }
    // A message arrived or was sent; `fromOther` when somebody else wrote it.
    function incoming(ids, types, hint, message, fromOther, senderName) {
        var index = moveToTop(upsert(ids, types, hint))
        var text = showMessage(index, message, senderName)
        if (!fromOther)
            return
        if (isOpen(ids)) {
            markRead(index)
            return
        }
        setUnread(index, newsModel.get(index).unread + 1)
        var row = newsModel.get(index)
        sigNotice(ids, types, row.names, senderName, String(message.msg === undefined || message.msg === null ? "" : message.msg),
                  String(message.msg_type === undefined ? "" : message.msg_type))
        sigTipInfors(row.names, senderName !== "" ? senderName + ": " + text : text, true)
        selectItemTime.restart()
    }
    function onPrivate(ids, messages) {
        var message = parseMessage(messages)
        if (!message || ids === "")
            return
        var fromOther = String(message.creator) !== selfId()
        incoming(ids, "2", undefined, message, fromOther, "")
    }
    function onGroup(groupIds, isSelf, messages) {
        var message = parseMessage(messages)
        if (!message || groupIds === "")
            return
        var sender = isSelf ? "" : (message.user_name ? String(message.user_name) : "")
        incoming(groupIds, "3", message.group_name, message, !isSelf, sender)
    }
    // The server's unread counts (after sign-in and on request) are the truth for a
    // conversation that is not open; a new conversation with unread messages appears.
    function onUnreadNums(ids, nums, types, groupNames) {
        if (ids === "" || (types !== "2" && types !== "3"))
            return
        var count = nums > 0 ? nums : 0
        var index = indexOfId(ids)
        if (index < 0) {
            if (count === 0)
                return
            index = upsert(ids, types, types === "3" ? groupNames : undefined)
        }
        if (isOpen(ids)) {
            if (count > 0)
                markRead(index)
            return
        }
        setUnread(index, count)
    }
    function onLastMessage(ids, contents, types, times) {
        var index = indexOfId(ids)
        if (index < 0)
            return
        var stamp = stampOfClock(times)
        // A live message newer than this answer keeps its place; the answer only knows the
        // minute, so a live message of that same minute does not count as newer.
        var shown = newsModel.get(index).content
        if (newsModel.get(index).stamp >= stamp + 60000 && shown !== "")
            return
        var text = previewText(contents, "")
        // An answer about the message already shown keeps the sender's name in front of it, and
        // its exact time when the row has one (the answer's is only a clock time).
        var same = shown === text || shown.endsWith(": " + text)
        if (same && (newsModel.get(index).stamp >= stamp || newsModel.get(index).stamp > 0))
            return
        newsModel.setProperty(index, "content", text)
        newsModel.setProperty(index, "stamp", stamp)
        newsModel.setProperty(index, "times", timeText(stamp))
        handlLastInforTime.restart()
    }

    // ---- requests --------------------------------------------------------------------------
    property var pendingLast: ({})
    function askLastRecord(ids, types) {
        var pending = pendingLast
        pending[ids] = types
        pendingLast = pending
        itemTimes.restart()
    }
    function sendLastRecordRequest() {
        var list = []
        for (var ids in pendingLast)
            list.push({ id: ids, types: pendingLast[ids] })
        pendingLast = {}
        if (list.length > 0)
            socketState.getLastrecord(JSON.stringify(list))
    }
    function requestAll() {
        var list = []
        for (var i = 0; i < newsModel.count; ++i) {
            var row = newsModel.get(i)
            if (row.types === "2" || row.types === "3")
                list.push({ id: row.ids, types: row.types })
        }
        if (list.length > 0)
            socketState.getLastrecord(JSON.stringify(list))
        socketState.getLastRecordLength()
    }
    function refreshOnline() {
        for (var i = 0; i < newsModel.count; ++i) {
            if (newsModel.get(i).types === "2")
                newsModel.setProperty(i, "online", onlineInfor.getOnlineUsers(newsModel.get(i).ids))
        }
    }
    // The stored conversations, then their last messages and the unread counts.
    function loginSuccess() {
        ensureSystemRow()
        var ids = configData.getCurrentChat()
        for (var i = 0; i < ids.length; ++i) {
            var types = configData.getCurrentChatTypes(ids[i])
            if (types !== "2" && types !== "3")
                types = "2"
            if (indexOfId(ids[i]) < 0) {
                var name = configData.getCurrentChatName(ids[i])
                newsModel.append({ ids: ids[i], names: name !== "" ? name : conversationName(ids[i], types), types: types,
                                   content: "", times: "", stamp: 0, unread: 0, online: false, paths: avatarOf(types) })
            }
        }
        showKept(false)
        refreshOnline()
        requestAll()
        historicalSearch.reload()
        console.info("conversation list shown: " + newsModel.count + " rows")
    }
    // The conversation list kept on this machine, shown at once after sign-in and when the
    // server never answers; the server's answers then merge into the same rows. `ask`: rows it
    // adds ask the server for their last messages themselves.
    function showKept(ask) {
        var kept = socketState.keptConversations()
        if (kept.length === 0)
            return
        ensureSystemRow()
        for (var i = 0; i < kept.length; ++i) {
            var c = kept[i]
            if (c.ids === "" || (c.types !== "2" && c.types !== "3"))
                continue
            var index = indexOfId(c.ids)
            if (index < 0) {
                var names = conversationName(c.ids, c.types, c.names)
                newsModel.append({ ids: c.ids, names: names, types: c.types, content: "", times: "", stamp: 0, unread: 0,
                                   online: c.types === "2" && onlineInfor.getOnlineUsers(c.ids), paths: avatarOf(c.types) })
                configData.setCurrentChatName(c.ids, names)
                configData.setCurrentChatTypes(c.ids, c.types)
                if (ask)
                    askLastRecord(c.ids, c.types)
                index = newsModel.count - 1
            } else if (c.names !== "" && newsModel.get(index).names === c.ids) {
                newsModel.setProperty(index, "names", c.names)
            }
            if (c.content !== "" && c.stamp > newsModel.get(index).stamp) {
                var text = previewText(c.content, c.msgType)
                var sender = c.types === "3" && c.creator !== selfId() && c.senderName !== "" ? c.senderName + ": " : ""
                newsModel.setProperty(index, "content", sender + text)
                newsModel.setProperty(index, "stamp", c.stamp)
                newsModel.setProperty(index, "times", timeText(c.stamp))
            }
            if (c.unread > 0 && newsModel.get(index).unread === 0 && !isOpen(c.ids))
                setUnread(index, c.unread)
        }
        sortByTime()
    }
    // After a reconnection: what changed while the link was down.
    function reload() {
        refreshOnline()
        requestAll()
    }

    // ---- opening ---------------------------------------------------------------------------
    function markRead(index) {
        var row = newsModel.get(index)
        if (row.types === "2")
            socketState.setPrivateAlreadyRead(row.ids, "")
        else if (row.types === "3")
            socketState.setGroupAlreadyRead(row.ids, "")
        setUnread(index, 0)
    }
    // The frame opened a conversation (from a card or a group): show it as the open one.
    function openConversation(types, names, ids) {
        if (ids === undefined || ids === "" || (types !== "2" && types !== "3"))
            return
        clearSearch()
        var index = upsert(ids, types, names)
        currentId = ids
        currentTypes = types
        markRead(index)
        selectItemTime.restart()
    }
    // A row chosen by click or Return.
    function activate(index) {
        if (index < 0 || index >= newsModel.count)
            return
        var row = newsModel.get(index)
        newsListView.currentIndex = index
        if (row.types === "system") {
            currentId = systemId
            currentTypes = "system"
            sigOpenSystemMessage()
            return
        }
        currentId = row.ids
        currentTypes = row.types
        markRead(index)
        sigSendInfor(row.types, row.names, row.ids)
    }
    function syncSelection() {
        var index = indexOfId(currentId)
        if (index >= 0) {
            newsListView.currentIndex = index
            newsListView.positionViewAtIndex(index, ListView.Contain)
        }
    }
    // Newest first, the system messages pinned on top.
    function sortByTime() {
        for (var i = 2; i < newsModel.count; ++i) {
            var stamp = newsModel.get(i).stamp
            var j = i
            while (j > 1 && newsModel.get(j - 1).stamp < stamp)
                --j
            if (j !== i)
                newsModel.move(i, j, 1)
        }
        syncSelection()
    }

    // ---- search ----------------------------------------------------------------------------
    function clearSearch() {
        if (searchField.text !== "")
            searchField.text = ""
        queryData.searchText = ""
        matchModel.clear()
    }
    function filterConversations(text) {
        matchModel.clear()
        var needle = text.trim().toLowerCase()
        if (needle === "")
            return
        for (var i = 0; i < newsModel.count; ++i) {
            var row = newsModel.get(i)
            if (row.types !== "system" && (row.names.toLowerCase().indexOf(needle) >= 0 || row.ids === needle))
                matchModel.append({ ids: row.ids, names: row.names, types: row.types, paths: row.paths, online: row.online })
        }
    }
    function chooseMatch(index) {
        if (index < 0 || index >= matchModel.count)
            return
        var ids = matchModel.get(index).ids
        historicalSearch.addSearch(searchField.text)
        clearSearch()
        activate(indexOfId(ids))
        newsListView.forceActiveFocus()
    }

    Component.onCompleted: ensureSystemRow()
    // The desktop's own badge (where it has one) follows the list.
    onUnreadTotalChanged: configData.setMessageNumber(unreadTotal)
    onSystemUnreadChanged: if (newsModel.count > 0 && newsModel.get(0).ids === systemId) newsModel.setProperty(0, "unread", Math.max(0, systemUnread))
    onConversationVisibleChanged: {
        // Back on the open conversation: what arrived meanwhile is read now.
        if (conversationVisible && currentId !== "" && currentId !== systemId) {
            var index = indexOfId(currentId)
            if (index >= 0 && newsModel.get(index).unread > 0)
                markRead(index)
        }
    }

    ListModel { id: newsModel }
    ListModel { id: matchModel }
    ConfigData { id: configData }
    LoadPersonnelinfor {
        id: loadPersonnelinfor
        // The user names load behind the window: rows that could only show an id get a name.
        onLoadedChanged: {
            if (!loaded)
                return
            for (var i = 0; i < newsModel.count; ++i) {
                var row = newsModel.get(i)
                if (row.types !== "2" || row.names !== row.ids)
                    continue
                var name = loadPersonnelinfor.getPersonnelInformationValue(row.ids)
                if (name !== "") {
                    newsModel.setProperty(i, "names", name)
                    configData.setCurrentChatName(row.ids, name)
                }
            }
        }
    }
    OnlineInfor {
        id: onlineInfor
        onSigOnlineUsersChange: {
            for (var i = 0; i < newsModel.count; ++i) {
                var row = newsModel.get(i)
                if (row.types === "2" && list.indexOf(row.ids) >= 0)
                    newsModel.setProperty(i, "online", statusa)
            }
        }
    }
    SocketState {
        id: socketState
        onSigPrivareMessage: newsList.onPrivate(ids, messages)
        onSigGroupMessage: newsList.onGroup(groupIds, isSelf, messages)
        onSigMessageUnreadNums: newsList.onUnreadNums(id, nums, types, groupNames)
        onSigSendLastMessageInfor: newsList.onLastMessage(ids, contents, types, times)
        onSigKeptConversations: newsList.showKept(true)
        onSigEditGroupDelete: newsList.removeConversation(newsList.indexOfId(groupIds))
    }
    LanguageTexts {
        id: languageTexts
        target: newsList
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // The last records arrive one by one; the list is ordered once they have settled.
    Timer {
        id: handlLastInforTime
        interval: 1000
        onTriggered: {
            newsList.sortByTime()
            console.info("conversations ordered")
        }
    }
    // After rows moved, the open conversation stays the chosen row and in view.
    Timer {
        id: selectItemTime
        interval: 300
        onTriggered: newsList.syncSelection()
    }
    // Conversations that appear together ask for their last messages in one request.
    Timer {
        id: itemTimes
        interval: 500
        onTriggered: newsList.sendLastRecordRequest()
    }

    // ---- the view --------------------------------------------------------------------------
    Item {
        id: searchBar
        width: parent.width
        height: Style.titleHeight
        SearchField {
            id: searchField
            objectName: "newsSearchField"
            anchors.verticalCenter: parent.verticalCenter
            x: 14 * newsList.sr
            width: parent.width - 28 * newsList.sr
            placeholderText: newsList.tip_search
            skinColors: newsList.skinColors
            loginModel: newsList.loginModel
            KeyNavigation.tab: newsListView
            onTextChanged: newsList.filterConversations(text)
            onSearchRequested: {
                queryData.searchText = text
                if (text === "")
                    newsList.clearSearch()
            }
            onAccepted: historicalSearch.addSearch(text)
            onActiveFocusChanged: if (activeFocus) historicalSearch.reload()
            Keys.onDownPressed: {
                if (newsList.searching)
                    matchModel.count > 0 ? matchList.forceActiveFocus() : queryData.focusList()
                else if (historicalSearch.visible)
                    historicalSearch.focusList()
                else
                    newsListView.forceActiveFocus()
            }
        }
    }

    ListView {
        id: newsListView
        objectName: "newsList"
        anchors.top: searchBar.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        visible: !newsList.searching
        clip: true
        model: newsModel
        currentIndex: 0
        activeFocusOnTab: true
        keyNavigationEnabled: true
        highlightMoveDuration: 0
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded; Accessible.name: parent ? parent.Accessible.name : "" }
        Accessible.role: Accessible.List
        Accessible.name: newsList.tip_recent_chat
        Keys.onReturnPressed: newsList.activate(currentIndex)
        Keys.onEnterPressed: newsList.activate(currentIndex)
        Keys.onSpacePressed: newsList.activate(currentIndex)
        Keys.onDeletePressed: newsList.removeConversation(currentIndex)
        Keys.onUpPressed: {
            if (currentIndex > 0)
                decrementCurrentIndex()
            else
                searchField.forceActiveFocus()
        }
        Keys.onDownPressed: incrementCurrentIndex()

        delegate: Rectangle {
            id: row
            objectName: "conversation_" + model.ids
            readonly property bool chosen: model.ids === newsList.currentId
            readonly property bool keyCurrent: ListView.isCurrentItem && newsListView.activeFocus
            // The system messages' texts follow the language; a conversation keeps its name.
            readonly property string title: model.types === "system" ? newsList.tip_system_message : model.names
            width: ListView.view.width
            height: Style.rowHeight
            color: chosen ? newsList.pal.selected
                          : rowArea.pressed ? newsList.pal.pressed
                          : rowArea.containsMouse || keyCurrent ? newsList.pal.hover : "transparent"
            Accessible.role: Accessible.ListItem
            Accessible.name: row.title + (model.unread > 0 ? ", " + model.unread + " " + newsList.tip_unread : "")
                             + (model.content !== "" ? ", " + model.content : "")
            Accessible.selectable: true
            Accessible.selected: row.chosen
            Accessible.onPressAction: newsList.activate(index)

            // The keyboard's row.
            Rectangle {
                visible: row.keyCurrent
                width: 3 * newsList.sr
                height: parent.height
                color: newsList.skinColors
            }
            MouseArea {
                id: rowArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: {
                    newsListView.forceActiveFocus()
                    newsList.activate(index)
                }
            }
            Avatar {
                id: rowAvatar
                x: 14 * newsList.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 40 * newsList.sr
                height: width
                source: model.paths
                name: row.title
                skinColors: newsList.skinColors
                showOnline: model.types === "2"
                online: model.online
                ringColor: row.color.a > 0 ? row.color : newsList.pal.list
                Accessible.name: row.title + (model.types === "2" ? ", " + (model.online ? newsList.tip_online : newsList.tip_offline) : "")
            }
            Text {
                textFormat: Text.PlainText
                id: nameText
                anchors.left: rowAvatar.right
                anchors.leftMargin: 10 * newsList.sr
                anchors.right: timeText.left
                anchors.rightMargin: 6 * newsList.sr
                y: parent.height / 2 - height - 1 * newsList.sr
                elide: Text.ElideRight
                text: row.title
                font.pixelSize: Style.fontBody
                color: newsList.pal.text
            }
            Text {
                textFormat: Text.PlainText
                id: timeText
                anchors.right: parent.right
                anchors.rightMargin: 14 * newsList.sr
                anchors.baseline: nameText.baseline
                text: model.times
                font.pixelSize: Style.fontTiny
                color: newsList.pal.sub
            }
            Text {
                anchors.left: nameText.left
                anchors.right: badge.visible ? badge.left : parent.right
                anchors.rightMargin: badge.visible ? 6 * newsList.sr : 14 * newsList.sr
                y: parent.height / 2 + 3 * newsList.sr
                elide: Text.ElideRight
                maximumLineCount: 1
                textFormat: Text.PlainText
                text: model.types === "system" ? newsList.tip_system_message_tip : model.content
                font.pixelSize: Style.fontSmall
                color: newsList.pal.sub
            }
            UnreadBadge {
                id: badge
                objectName: "unread_" + model.ids
                anchors.right: parent.right
                anchors.rightMargin: 14 * newsList.sr
                y: parent.height / 2 + 3 * newsList.sr
                count: model.unread
            }
        }
    }

    Text {
        objectName: "newsListEmpty"
        anchors.horizontalCenter: parent.horizontalCenter
        y: searchBar.height + Style.rowHeight + 40 * newsList.sr
        width: parent.width - 28 * newsList.sr
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        visible: newsListView.visible && newsModel.count <= 1
        text: newsList.tip_no_contents
        font.pixelSize: Style.fontSmall
        color: newsList.pal.sub
    }

    // While searching: matching conversations, then people of the organisation.
    Item {
        id: searchPane
        objectName: "newsSearchPane"
        anchors.top: searchBar.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        visible: newsList.searching

        Text {
            id: matchHeader
            x: 14 * newsList.sr
            width: parent.width - 28 * newsList.sr
            height: matchModel.count > 0 ? 28 * newsList.sr : 0
            visible: matchModel.count > 0
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            text: newsList.tip_recent_chat
            font.pixelSize: Style.fontSmall
            color: newsList.pal.sub
        }
        ListView {
            id: matchList
            objectName: "newsSearchList"
            anchors.top: matchHeader.bottom
            width: parent.width
            height: Math.min(matchModel.count, 3) * 52 * newsList.sr
            clip: true
            model: matchModel
            boundsBehavior: Flickable.StopAtBounds
            Accessible.role: Accessible.List
            Accessible.name: newsList.tip_recent_chat
            Keys.onReturnPressed: newsList.chooseMatch(currentIndex)
            Keys.onEnterPressed: newsList.chooseMatch(currentIndex)
            Keys.onUpPressed: currentIndex > 0 ? decrementCurrentIndex() : searchField.forceActiveFocus()
            Keys.onDownPressed: currentIndex < count - 1 ? incrementCurrentIndex() : queryData.focusList()
            delegate: Rectangle {
                objectName: "match_" + model.ids
                width: ListView.view.width
                height: 52 * newsList.sr
                color: matchArea.containsMouse || (ListView.isCurrentItem && matchList.activeFocus) ? newsList.pal.hover : "transparent"
                Accessible.role: Accessible.ListItem
                Accessible.name: model.names
                Accessible.onPressAction: newsList.chooseMatch(index)
                Avatar {
                    id: matchAvatar
                    x: 14 * newsList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 34 * newsList.sr
                    height: width
                    source: model.paths
                    name: model.names
                    skinColors: newsList.skinColors
                    showOnline: model.types === "2"
                    online: model.online
                    ringColor: parent.color.a > 0 ? parent.color : newsList.pal.list
                }
                Text {
                    textFormat: Text.PlainText
                    anchors.left: matchAvatar.right
                    anchors.leftMargin: 10 * newsList.sr
                    anchors.right: parent.right
                    anchors.rightMargin: 14 * newsList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    elide: Text.ElideRight
                    text: model.names
                    font.pixelSize: Style.fontBody
                    color: newsList.pal.text
                }
                MouseArea {
                    id: matchArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: newsList.chooseMatch(index)
                }
            }
        }
        QueryData {
            id: queryData
            objectName: "newsQueryData"
            anchors.top: matchList.bottom
            anchors.bottom: parent.bottom
            width: parent.width
            loginModel: newsList.loginModel
            skinColors: newsList.skinColors
            onSigSendpersonalInfor: {
                historicalSearch.addSearch(searchField.text)
                // Nobody talks to themself: the own entry shows the card.
                if (jumpm && infora !== newsList.selfId()) {
                    newsList.clearSearch()
                    newsList.openConversation(types, inforb, infora)
                    newsListView.forceActiveFocus()
                    var index = newsList.indexOfId(infora)
                    newsList.sigSendInfor(types, index >= 0 ? newsModel.get(index).names : inforb, infora)
                } else {
                    newsList.sigSendpersonalInfor(infora, inforb, jumpm, types)
                }
            }
        }
    }

    // Recent searches while the empty field has the focus.
    HistoricalSearch {
        id: historicalSearch
        objectName: "newsHistoricalSearch"
        anchors.top: searchBar.bottom
        width: parent.width
        height: Math.min(implicitHeight, parent.height - searchBar.height)
        z: 2
        visible: !newsList.searching && count > 0 && (searchField.activeFocus || activeFocusInside)
        readonly property bool activeFocusInside: historicalSearch.activeFocus || (Window.activeFocusItem !== null && isAncestorOf(Window.activeFocusItem))
        loginModel: newsList.loginModel
        skinColors: newsList.skinColors
        onSigSelectHistory: {
            searchField.text = text
            searchField.forceActiveFocus()
            queryData.searchText = text.trim()
        }
        function isAncestorOf(item) {
            for (var p = item; p; p = p.parent) {
                if (p === historicalSearch)
                    return true
            }
            return false
        }
    }
}

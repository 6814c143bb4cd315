import QtQuick 2.12
import QtQuick.Controls 2.5
import QtQuick.Window 2.2
import OnlineInfor 1.0
import ConfigData 1.0
import SocketState 1.0
import LoadPersonnelinfor 1.0
import HttplanguagePackage 1.0
import ConversationListModel 1.0
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
    readonly property int unreadTotal: newsModel.unreadTotal
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
        return newsModel.indexOf(ids)
    }
    function ensureSystemRow() {
        newsModel.ensureSystemRow(tip_system_message, tip_system_message_tip)
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
        var i = newsModel.indexOf(ids)
        if (i >= 0) {
            if (hint !== undefined && hint !== null && String(hint) !== "" && newsModel.get(i).names !== String(hint)) {
                newsModel.setName(i, String(hint))
                configData.setCurrentChatName(ids, String(hint))
                socketState.keepConversationName(ids, types, String(hint))
            }
            return i
        }
        var names = conversationName(ids, types, hint)
        ensureSystemRow()
        newsModel.addConversation(ids, names, types, types === "2" && onlineInfor.getOnlineUsers(ids), avatarOf(types), true)
        configData.setCurrentChatName(ids, names)
        configData.setCurrentChatTypes(ids, types)
        socketState.keepConversationName(ids, types, names)
        askLastRecord(ids, types)
        return 1
    }
    function setUnread(index, count) {
        if (!newsModel.setUnread(index, count))
            return
        var row = newsModel.get(index)
        sigDataUnreadNumber(row.ids, row.names, String(row.unread), row.paths, row.types)
    }
    function removeConversation(index) {
        if (index <= 0 || index >= newsModel.count)
            return
        var row = newsModel.get(index)
        if (row.unread > 0)
            sigDataUnreadNumber(row.ids, row.names, "0", row.paths, row.types)
        configData.removeCurrentChat(row.ids)
        newsModel.remove(index)
        if (row.ids === currentId)
            currentId = ""
    }
    function isOpen(ids) {
        return conversationVisible && ids === currentId
    }

    // ---- texts ----------------------------------------------------------------------------
    // One line of a message for the list: pictures and files by name, tags and entities gone.
    function previewText(msg, msgType) {
        return configData.previewText(msg, msgType, tip_picture_message, tip_file_message,
                                      "[" + tip_expression + "]")
    }

    // ---- what the server says --------------------------------------------------------------
    // A message arrived or was sent; `fromOther` when somebody else wrote it.
    function incoming(ids, types, hint, msg, msgType, stamp, fromOther, senderName) {
        upsert(ids, types, hint)
        var text = previewText(msg, msgType)
        var index = newsModel.arrive(ids, senderName !== "" ? senderName + ": " + text : text, stamp)
        if (!fromOther)
            return
        if (isOpen(ids)) {
            markRead(index)
            return
        }
        setUnread(index, newsModel.get(index).unread + 1)
        var row = newsModel.get(index)
        sigNotice(ids, types, row.names, senderName, msg, msgType)
        sigTipInfors(row.names, senderName !== "" ? senderName + ": " + text : text, true)
        selectItemTime.restart()
    }
    // The server's unread counts (after sign-in and on request) are the truth for a
    // conversation that is not open; a new conversation with unread messages appears.
    function onUnreadNums(ids, nums, types, groupNames) {
        if (ids === "" || (types !== "2" && types !== "3"))
            return
        var count = nums > 0 ? nums : 0
        var index = newsModel.indexOf(ids)
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
        if (newsModel.indexOf(ids) >= 0 && newsModel.showLastRecord(ids, previewText(contents, ""), times))
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
        var request = newsModel.lastRecordRequest()
        if (request !== "")
            socketState.getLastrecord(request)
        socketState.getLastRecordLength()
    }
    function refreshOnline() {
        newsModel.refreshOnline()
    }
    // The stored conversations, then their last messages and the unread counts.
    function loginSuccess() {
        ensureSystemRow()
        var ids = configData.getCurrentChat()
        for (var i = 0; i < ids.length; ++i) {
            var types = configData.getCurrentChatTypes(ids[i])
            if (types !== "2" && types !== "3")
                types = "2"
            if (newsModel.indexOf(ids[i]) < 0) {
                var name = configData.getCurrentChatName(ids[i])
                newsModel.addConversation(ids[i], name !== "" ? name : conversationName(ids[i], types), types, false,
                                          avatarOf(types), false)
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
            var index = newsModel.indexOf(c.ids)
            if (index < 0) {
                var names = conversationName(c.ids, c.types, c.names)
                index = newsModel.addConversation(c.ids, names, c.types, c.types === "2" && onlineInfor.getOnlineUsers(c.ids),
                                                  avatarOf(c.types), false)
                configData.setCurrentChatName(c.ids, names)
                configData.setCurrentChatTypes(c.ids, c.types)
                if (ask)
                    askLastRecord(c.ids, c.types)
            } else if (c.names !== "" && newsModel.get(index).names === c.ids) {
                newsModel.setName(index, c.names)
            }
            if (c.content !== "" && c.stamp > newsModel.get(index).stamp) {
                var text = previewText(c.content, c.msgType)
                var sender = c.types === "3" && c.creator !== selfId() && c.senderName !== "" ? c.senderName + ": " : ""
                newsModel.showMessage(index, sender + text, c.stamp)
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
        newsModel.sortByTime()
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
        var found = newsModel.matching(text)
        for (var i = 0; i < found.length; ++i)
            matchModel.append(found[i])
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
    onConversationVisibleChanged: {
        // Back on the open conversation: what arrived meanwhile is read now.
        if (conversationVisible && currentId !== "" && currentId !== systemId) {
            var index = newsModel.indexOf(currentId)
            if (index >= 0 && newsModel.get(index).unread > 0)
                markRead(index)
        }
    }

    ConversationListModel {
        id: newsModel
        store: socketState
        systemUnread: newsList.systemUnread
        onMessageArrived: newsList.incoming(ids, types, names, msg, msgType, stamp, fromOther, sender)
    }
    ListModel { id: matchModel }
    ConfigData { id: configData }
    LoadPersonnelinfor {
        id: loadPersonnelinfor
        // The user names load behind the window: rows that could only show an id get a name.
        onLoadedChanged: {
            if (!loaded)
                return
            var ids = newsModel.unnamed()
            for (var i = 0; i < ids.length; ++i) {
                var name = loadPersonnelinfor.getPersonnelInformationValue(ids[i])
                if (name !== "") {
                    newsModel.setName(newsModel.indexOf(ids[i]), name)
                    configData.setCurrentChatName(ids[i], name)
                }
            }
        }
    }
    OnlineInfor {
        id: onlineInfor
        onSigOnlineUsersChange: newsModel.setOnline(list, statusa)
    }
    SocketState {
        id: socketState
        onSigMessageUnreadNums: newsList.onUnreadNums(id, nums, types, groupNames)
        onSigSendLastMessageInfor: newsList.onLastMessage(ids, contents, types, times)
        onSigKeptConversations: newsList.showKept(true)
        onSigEditGroupDelete: newsList.removeConversation(newsModel.indexOf(groupIds))
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

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
    // The conversations matching the search text.
    property var matches: []

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
    function removeConversation(index) {
        newsModel.removeConversation(index)
    }
    function isOpen(ids) {
        return conversationVisible && ids === currentId
    }
    // One line of a message for the list: pictures and files by name, tags and entities gone.
    function previewText(msg, msgType) {
        return newsModel.previewText(msg, msgType)
    }
    // The stored conversations, then their last messages and the unread counts.
    function loginSuccess() {
        ensureSystemRow()
        newsModel.loadKept()
        historicalSearch.reload()
        console.info("conversation list shown: " + newsModel.count + " rows")
    }
    // After a reconnection: what changed while the link was down.
    function reload() {
        newsModel.refresh()
    }

    // ---- opening ---------------------------------------------------------------------------
    function markRead(index) {
        newsModel.markRead(index)
    }
    // The frame opened a conversation (from a card or a group): show it as the open one.
    function openConversation(types, names, ids) {
        if (ids === undefined || ids === "" || (types !== "2" && types !== "3"))
            return
        clearSearch()
        var index = newsModel.upsert(ids, types, names)
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
        matches = []
    }
    function filterConversations(text) {
        matches = newsModel.matching(text)
    }
    function chooseMatch(index) {
        if (index < 0 || index >= matches.length)
            return
        var ids = matches[index].ids
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
        keeping: true
        openId: newsList.conversationVisible ? newsList.currentId : ""
        markers: [newsList.tip_picture_message, newsList.tip_file_message, "[" + newsList.tip_expression + "]"]
        onUnreadShown: newsList.sigDataUnreadNumber(ids, names, unread, paths, types)
        onNotice: {
            newsList.sigNotice(ids, types, names, sender, msg, msgType)
            newsList.sigTipInfors(names, line, true)
            selectItemTime.restart()
        }
        onRemoved: if (ids === newsList.currentId) newsList.currentId = ""
        onLastShown: handlLastInforTime.restart()
        onOrdered: newsList.syncSelection()
    }
    ConfigData { id: configData }
    LoadPersonnelinfor {
        id: loadPersonnelinfor
        // The user names load behind the window: rows that could only show an id get a name.
        onLoadedChanged: if (loaded) newsModel.nameUnnamed()
    }
    OnlineInfor {
        id: onlineInfor
        onSigOnlineUsersChange: newsModel.setOnline(list, statusa)
    }
    SocketState { id: socketState }
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
                    matches.length > 0 ? matchList.forceActiveFocus() : queryData.focusList()
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
            height: matches.length > 0 ? 28 * newsList.sr : 0
            visible: matches.length > 0
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
            height: Math.min(matches.length, 3) * 52 * newsList.sr
            clip: true
            model: newsList.matches
            boundsBehavior: Flickable.StopAtBounds
            Accessible.role: Accessible.List
            Accessible.name: newsList.tip_recent_chat
            Keys.onReturnPressed: newsList.chooseMatch(currentIndex)
            Keys.onEnterPressed: newsList.chooseMatch(currentIndex)
            Keys.onUpPressed: currentIndex > 0 ? decrementCurrentIndex() : searchField.forceActiveFocus()
            Keys.onDownPressed: currentIndex < count - 1 ? incrementCurrentIndex() : queryData.focusList()
            delegate: Rectangle {
                objectName: "match_" + modelData.ids
                width: ListView.view.width
                height: 52 * newsList.sr
                color: matchArea.containsMouse || (ListView.isCurrentItem && matchList.activeFocus) ? newsList.pal.hover : "transparent"
                Accessible.role: Accessible.ListItem
                Accessible.name: modelData.names
                Accessible.onPressAction: newsList.chooseMatch(index)
                Avatar {
                    id: matchAvatar
                    x: 14 * newsList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 34 * newsList.sr
                    height: width
                    source: modelData.paths
                    name: modelData.names
                    skinColors: newsList.skinColors
                    showOnline: modelData.types === "2"
                    online: modelData.online
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
                    text: modelData.names
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

import QtQuick 2.12
import QtQuick.Controls 2.5
import QtQuick.Window 2.12
import SocketState 1.0
import GroupListModel 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The user's groups with a search over group and member names; while the search has text, the
// people of the organisation it finds follow the matching groups. The list follows the engine's
// group table, so a group made, changed, left or deleted anywhere shows here at once.
Item {
    id: groupList
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property alias currentGroupId: groupModel.currentGroupId
    property string filterText: ""
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property int count: groupModel.count
    readonly property alias listView: groupView
    readonly property alias groups: groupModel
    readonly property bool searching: searchField.text.trim() !== ""

    property string tip_group: qsTr("群组")
    property string tip_search: qsTr("搜索")
    property string tip_new_group: qsTr("新建群组")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_member: qsTr("成员")

    signal sigOpenGroup(string ids, string names)
    signal sigCreateGroup()
    signal sigSendChatInformation(string ids, string names, string types)
    // A person's card asked for from the search results.
    signal sigSendpersonalInfor(string infora, string inforb, bool jumpm, string types)
    // The open group is no longer the user's (left, removed or deleted).
    signal sigGroupGone(string ids)

    implicitWidth: Style.listWidth
    implicitHeight: 480 * sr

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // Asks the server for the groups again; the answer refills the list.
    function request() { socketState.getGroupInfors() }
    // Brings the rows to the engine's table.
    function reload() { groupModel.reload() }
    // Keeps the chosen group chosen; the model lets it go once it is no longer the user's.
    function followCurrent() {
        if (currentGroupId !== "")
            groupView.currentIndex = groupModel.indexOf(currentGroupId)
    }
    // The row of a group (what the list shows), or null.
    function rowOf(ids) { return groupModel.rowOf(ids) }
    function select(ids) {
        var i = groupModel.indexOf(ids)
        if (i < 0)
            return false
        groupView.currentIndex = i
        groupView.positionViewAtIndex(i, ListView.Contain)
        openAt(i)
        return true
    }
    function openAt(i) {
        if (i < 0 || i >= groupModel.count)
            return
        var row = groupModel.get(i)
        // A search that found its group is worth remembering.
        if (filterText !== "")
            historicalSearch.addSearch(filterText)
        groupView.currentIndex = i
        currentGroupId = row.groupId
        sigOpenGroup(row.groupId, row.groupName)
    }
    function focusList() {
        groupView.forceActiveFocus()
        if (groupView.currentIndex < 0 && groupModel.count > 0)
            groupView.currentIndex = 0
    }
    function search(text) {
        filterText = text
        queryData.searchText = text
    }
    function clearSearch() {
        if (searchField.text !== "")
            searchField.text = ""
        search("")
    }
    // A person picked from the results: a chat with them, or their card (also for oneself).
    function choosePerson(infora, inforb, jumpm, types) {
        historicalSearch.addSearch(searchField.text)
        if (jumpm && infora !== socketState.getSelfUesrId()) {
            clearSearch()
            sigSendChatInformation(infora, inforb, types)
        } else {
            sigSendpersonalInfor(infora, inforb, jumpm, types)
        }
    }

    SocketState {
        id: socketState
        onSigReconnectInfor: groupList.request()
    }
    // Follows the engine's group table by itself.
    GroupListModel {
        id: groupModel
        store: socketState
        filterText: groupList.filterText
        onReloaded: groupList.followCurrent()
        onCurrentGone: groupList.sigGroupGone(groupId)
    }
    LanguageTexts { id: languageTexts; target: groupList; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Item {
        id: header
        width: parent.width
        height: Style.titleHeight
        SearchField {
            id: searchField
            objectName: "groupSearch"
            anchors.left: parent.left
            anchors.leftMargin: 14 * groupList.sr
            anchors.right: createGroupButton.left
            anchors.rightMargin: 8 * groupList.sr
            anchors.verticalCenter: parent.verticalCenter
            loginModel: groupList.loginModel
            skinColors: groupList.skinColors
            placeholderText: groupList.tip_search
            onSearchRequested: groupList.search(text)
            onAccepted: historicalSearch.addSearch(text)
            onActiveFocusChanged: if (activeFocus) historicalSearch.reload()
            Keys.onDownPressed: {
                if (historicalSearch.visible)
                    historicalSearch.focusList()
                else if (groupList.searching && groupModel.count === 0)
                    queryData.focusList()
                else
                    groupList.focusList()
            }
        }
        IconButton {
            id: createGroupButton
            objectName: "createGroupButton"
            anchors.right: parent.right
            anchors.rightMargin: 12 * groupList.sr
            anchors.verticalCenter: parent.verticalCenter
            source: "qrc:/images/add.svg"
            tip: groupList.tip_new_group
            loginModel: groupList.loginModel
            skinColors: groupList.skinColors
            onClicked: groupList.sigCreateGroup()
        }
    }

    // While searching, the matching groups are headed as such; the people follow them.
    Text {
        id: groupsHeader
        anchors.top: header.bottom
        x: 14 * groupList.sr
        width: parent.width - 28 * groupList.sr
        height: visible ? 28 * groupList.sr : 0
        visible: groupList.searching && groupModel.count > 0
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        text: groupList.tip_group
        font.pixelSize: Style.fontSmall
        color: groupList.pal.sub
    }
    ListView {
        id: groupView
        objectName: "groupList"
        readonly property real room: groupList.height - header.height - groupsHeader.height
        anchors.top: groupsHeader.bottom
        // At most half the pane while the people's results share it.
        height: groupList.searching ? Math.min(groupModel.count * Style.rowHeight, Math.max(3 * Style.rowHeight, room / 2)) : room
        width: parent.width
        clip: true
        model: groupModel
        activeFocusOnTab: true
        keyNavigationEnabled: true
        boundsBehavior: Flickable.StopAtBounds
        highlightMoveDuration: 0
        currentIndex: -1
        Accessible.role: Accessible.List
        Accessible.name: groupList.tip_group
        ScrollBar.vertical: ScrollBar { Accessible.name: parent ? parent.Accessible.name : "" }
        Keys.onReturnPressed: { event.accepted = true; groupList.openAt(currentIndex) }
        Keys.onEnterPressed: { event.accepted = true; groupList.openAt(currentIndex) }
        Keys.onSpacePressed: { event.accepted = true; groupList.openAt(currentIndex) }
        Keys.onDownPressed: {
            if (currentIndex < count - 1)
                incrementCurrentIndex()
            else if (groupList.searching)
                queryData.focusList()
        }
        onActiveFocusChanged: if (activeFocus && currentIndex < 0 && count > 0) currentIndex = 0

        delegate: Rectangle {
            id: row
            objectName: "group_" + model.groupId
            readonly property bool chosen: model.groupId === groupList.currentGroupId
            width: ListView.view.width
            height: Style.rowHeight
            color: chosen ? (groupList.loginModel === 1 ? Style.glass(0.75) : groupList.pal.selected)
                   : rowArea.pressed ? groupList.pal.pressed
                   : rowArea.containsMouse || (row.ListView.isCurrentItem && groupView.activeFocus) ? groupList.pal.hover
                   : "transparent"
            Accessible.role: Accessible.ListItem
            Accessible.name: model.groupName
            Accessible.selected: chosen
            Accessible.onPressAction: groupList.openAt(index)

            // The keyboard's place in the list.
            Rectangle {
                visible: row.ListView.isCurrentItem && groupView.activeFocus
                width: 3 * groupList.sr
                height: parent.height
                color: groupList.skinColors
            }
            Rectangle {
                id: picture
                x: 16 * groupList.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 40 * groupList.sr
                height: width
                radius: width / 2
                color: groupList.skinColors
                Image {
                    anchors.centerIn: parent
                    width: parent.width * 0.6
                    height: width
                    sourceSize: Qt.size(width * 2, height * 2)
                    source: "qrc:/images/group.svg"
                }
            }
            Column {
                anchors.left: picture.right
                anchors.leftMargin: 12 * groupList.sr
                anchors.right: parent.right
                anchors.rightMargin: 14 * groupList.sr
                anchors.verticalCenter: parent.verticalCenter
                spacing: 4 * groupList.sr
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    text: model.groupName
                    elide: Text.ElideRight
                    font.pixelSize: Style.fontLarge
                    color: groupList.pal.text
                }
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    text: groupList.tip_member + " " + model.memberCount
                    elide: Text.ElideRight
                    font.pixelSize: Style.fontSmall
                    color: groupList.pal.sub
                }
            }
            MouseArea {
                id: rowArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: groupList.openAt(index)
                // A double click goes straight to the conversation.
                onDoubleClicked: groupList.sigSendChatInformation(model.groupId, model.groupName, "3")
            }
        }
    }
    Text {
        anchors.centerIn: groupView
        visible: groupModel.count === 0 && !groupList.searching
        text: groupList.tip_no_contents
        font.pixelSize: Style.fontSmall
        color: groupList.pal.sub
    }
    QueryData {
        id: queryData
        objectName: "groupQueryData"
        anchors.top: groupView.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        visible: groupList.searching
        loginModel: groupList.loginModel
        skinColors: groupList.skinColors
        onSigSendpersonalInfor: groupList.choosePerson(infora, inforb, jumpm, types)
    }

    // Recent searches while the empty field has the focus.
    HistoricalSearch {
        id: historicalSearch
        objectName: "groupHistoricalSearch"
        // Its own history: the conversation list's terms are not offered here.
        searchTypes: "3"
        anchors.top: header.bottom
        width: parent.width
        height: Math.min(implicitHeight, parent.height - header.height)
        z: 2
        visible: searchField.text === "" && count > 0 && (searchField.activeFocus || activeFocusInside)
        readonly property bool activeFocusInside: historicalSearch.activeFocus || (Window.activeFocusItem !== null && isAncestorOf(Window.activeFocusItem))
        loginModel: groupList.loginModel
        skinColors: groupList.skinColors
        onSigSelectHistory: {
            searchField.text = text
            searchField.forceActiveFocus()
            groupList.search(text.trim())
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

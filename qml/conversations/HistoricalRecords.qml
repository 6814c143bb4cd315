import QtQuick 2.12
import QtQuick.Controls 2.5
import SocketState 1.0
import TextBalloon 1.0
import ChatFileTransfers 1.0
import SystemHandl 1.0
import MessageFilestoreitem 1.0
import ConfigData 1.0
import ConversationModel 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The history of the open conversation: everything, only pictures or only files; a day and a
// text to search for; older pages on request. Files can be downloaded and opened here too.
// The rows live in historyModel (ConversationModel on the history's pages): each reply replaces
// them, and rows are found by message id there; the document shows them.
Rectangle {
    id: historicalRecords
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property string currentId: ""
    property string currentName: ""
    property string currentTypes: ""
    property string selfId: ""
    property string selfName: ""
    // 1 all, 2 pictures, 3 files (the request's find types).
    property int filterType: 1
    property string dateText: ""
    property string searchText: ""
    property int limit: 20
    property bool loading: false
    // The last request went unanswered for `historyTimeout` ms.
    property bool loadFailed: false
    property int historyTimeout: 15000
    readonly property alias downloads: transfers.downloads
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias count: historyModel.count

    property string tip_chat_record: qsTr("聊天记录")
    property string tip_all_record: qsTr("全部")
    property string tip_image: qsTr("图片")
    property string tip_file: qsTr("文件")
    property string tip_date_choice: qsTr("日期")
    property string tip_search: qsTr("搜索")
    property string tip_more_history_messages: qsTr("加载更多历史消息")
    property string tip_data_loading: qsTr("数据加载中")
    property string tip_history_load_failed: qsTr("聊天记录加载失败，请稍后重试")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_fileexits: qsTr("文件不存在")
    property string tip_download: qsTr("下载")
    property string tip_openfile: qsTr("打开文件")
    property string tip_cancel: qsTr("取消")
    property string tip_transfer_cancelled: qsTr("已取消")
    property string tip_close: qsTr("关闭")
    property string tip_previous_day: qsTr("前一天")
    property string tip_next_day: qsTr("后一天")
    property string tip_local_record: qsTr("本地")

    signal sigClosed()
    signal sigPictureInfor(string picturePath)

    color: pal.pane

    function hextoPressHex(hex) { return Style.pressed(hex) }
    function imageNameFromSuffix(suffix) { return historyModel.fileIconOf(suffix) }
    function isGroup() { return currentTypes === "3" }
    function open(ids, names, types) {
        var changed = ids !== currentId
        currentId = ids
        currentName = names
        currentTypes = types
        selfId = socketState.getSelfUesrId()
        messageFilestoreitem.openDataBase()
        if (changed) {
            filterType = 1
            dateText = ""
            searchText = ""
            historySearch.text = ""
            historyDate.text = ""
            historyModel.clear()
        }
        limit = 20
        visible = true
        query()
        historyList.forceActiveFocus()
    }
    function close() {
        if (!visible)
            return
        visible = false
        sigClosed()
    }
    function setFilter(types) {
        filterType = types
        limit = 20
        query()
    }
    function setDate(text) {
        var t = text.trim()
        if (t !== "" && !/^\d{4}-\d{2}-\d{2}$/.test(t))
            return
        dateText = t
        limit = 20
        query()
    }
    function shiftDate(days) {
        historyDate.text = historyModel.dayShifted(dateText, days)
        setDate(historyDate.text)
    }
    function setSearch(text) {
        searchText = text.trim()
        limit = 20
        query()
    }
    function loadMore() {
        limit += 20
        query()
    }
    function query() {
        if (currentId === "")
            return
        loading = true
        loadFailed = false
        historyLimit.restart()
        socketState.getUserHistoryLength(currentId, limit, filterType === 1 ? dateText : "",
                                         currentTypes, filterType === 1 ? searchText : "", filterType)
    }
    // The reply replaces the list: newest first.
    function showRecords() {
        loading = false
        loadFailed = false
        historyLimit.stop()
        historyModel.load()
        console.info("history shown:", historyModel.count, "records")
    }
    function displayOf(msg) {
        return historyModel.capWidths(socketState.displayMarkup(msg), Math.min(200 * sr, Math.floor(historyList.width - 40 * sr)))
    }
    function indexOfMessage(msgId) { return historyModel.indexOf(String(msgId)) }
    function fileExists(path) { return transfers.fileExists(path) }
    // The user stops a download: the file never appears, and the row offers it again.
    function cancelDownload(msgId) {
        if (transfers.cancel(msgId, tip_transfer_cancelled))
            showTip(tip_transfer_cancelled)
    }
    function fileAction(msgId) {
        var path = historyModel.get(indexOfMessage(msgId)).localPath
        if (path === undefined)
            return
        if (path === "")
            transfers.download(msgId) || showTip(tip_fileexits)
        else
            fileExists(path) ? messageFilestoreitem.openFile(path) : showTip(tip_fileexits)
    }
    function showTip(text) {
        historyTip.text = text
        historyTip.visible = true
        contentTipInputTextTimer.restart()
    }

    visible: false
    Accessible.role: Accessible.Pane
    Accessible.name: tip_chat_record
    Keys.onEscapePressed: close()

    ConversationModel {
        id: historyModel
        history: true
        store: socketState
        selfId: historicalRecords.selfId
        conversation: historicalRecords.currentId
        types: historicalRecords.currentTypes
    }
    ChatFileTransfers {
        id: transfers
        model: historyModel
        onTip: historicalRecords.showTip(text)
    }
    ConfigData { id: configData }
    SystemHandl { id: systemHandl }
    MessageFilestoreitem { id: messageFilestoreitem }
    SocketState {
        id: socketState
        onSigHistoryGetRecord: if (historicalRecords.visible) historicalRecords.showRecords()
        // The local history was cleared: what it gave this list goes with it.
        onSigHistoryCleared: historicalRecords.showRecords()
    }
    LanguageTexts { id: languageTexts; target: historicalRecords; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }
    // A reply that does not come must not leave "loading" on screen for ever.
    Timer {
        id: historyLimit
        interval: historicalRecords.historyTimeout
        onTriggered: {
            historicalRecords.loading = false
            historicalRecords.loadFailed = true
            // Rows already shown stay; the failure is said over them.
            if (historyModel.count > 0)
                historicalRecords.showTip(historicalRecords.tip_history_load_failed)
        }
    }
    Timer {
        id: contentTipInputTextTimer
        interval: 1500
        onTriggered: historyTip.visible = false
    }
    // Presses stay in the panel.
    MouseArea { anchors.fill: parent }
    Rectangle { width: 1; height: parent.height; color: historicalRecords.pal.line }

    Text {
        textFormat: Text.PlainText
        id: title
        x: 18 * historicalRecords.sr
        y: 14 * historicalRecords.sr
        width: parent.width - 70 * historicalRecords.sr
        elide: Text.ElideRight
        text: historicalRecords.tip_chat_record + (historicalRecords.currentName !== "" ? " · " + historicalRecords.currentName : "")
        font.pixelSize: Style.fontTitle
        color: historicalRecords.pal.text
    }
    CloseButton {
        objectName: "historyClose"
        anchors.right: parent.right
        anchors.rightMargin: 12 * historicalRecords.sr
        anchors.verticalCenter: title.verticalCenter
        loginModel: historicalRecords.loginModel
        accessibleName: historicalRecords.tip_close
        onClicked: historicalRecords.close()
    }
    // all / pictures / files
    Row {
        id: filterRow
        x: 14 * historicalRecords.sr
        anchors.top: title.bottom
        anchors.topMargin: 12 * historicalRecords.sr
        spacing: 6 * historicalRecords.sr
        Repeater {
            model: [
                { key: "all", types: 1, label: historicalRecords.tip_all_record },
                { key: "image", types: 2, label: historicalRecords.tip_image },
                { key: "file", types: 3, label: historicalRecords.tip_file }
            ]
            Rectangle {
                objectName: "historyFilter_" + modelData.key
                readonly property bool selected: historicalRecords.filterType === modelData.types
                width: filterText.implicitWidth + 24 * historicalRecords.sr
                height: 28 * historicalRecords.sr
                radius: height / 2
                activeFocusOnTab: true
                color: selected ? historicalRecords.skinColors
                                : filterArea.containsMouse || activeFocus ? historicalRecords.pal.hover : historicalRecords.pal.field
                border.color: activeFocus ? historicalRecords.skinColors : "transparent"
                Accessible.role: Accessible.RadioButton
                Accessible.name: modelData.label
                Accessible.checked: selected
                Accessible.onPressAction: historicalRecords.setFilter(modelData.types)
                Keys.onReturnPressed: historicalRecords.setFilter(modelData.types)
                Keys.onSpacePressed: historicalRecords.setFilter(modelData.types)
                Text {
                    textFormat: Text.PlainText
                    id: filterText
                    anchors.centerIn: parent
                    text: modelData.label
                    font.pixelSize: Style.fontSmall
                    color: parent.selected ? Style.onColor(historicalRecords.skinColors) : historicalRecords.pal.text
                }
                MouseArea {
                    id: filterArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: historicalRecords.setFilter(modelData.types)
                }
            }
        }
    }
    // A day, and a text to look for (both for the whole history only).
    Row {
        id: dateRow
        x: 14 * historicalRecords.sr
        anchors.top: filterRow.bottom
        anchors.topMargin: 10 * historicalRecords.sr
        spacing: 4 * historicalRecords.sr
        enabled: historicalRecords.filterType === 1
        opacity: enabled ? 1 : 0.5
        IconButton {
            objectName: "historyPreviousDay"
            source: "qrc:/images/previous.svg"
            tip: historicalRecords.tip_previous_day
            loginModel: historicalRecords.loginModel
            skinColors: historicalRecords.skinColors
            onClicked: historicalRecords.shiftDate(-1)
        }
        TextField {
            id: historyDate
            objectName: "historyDate"
            width: 170 * historicalRecords.sr
            height: 32 * historicalRecords.sr
            placeholderText: historicalRecords.tip_date_choice + " yyyy-MM-dd"
            font.pixelSize: Style.fontSmall
            color: historicalRecords.pal.text
            placeholderTextColor: historicalRecords.pal.sub
            leftPadding: 12 * historicalRecords.sr
            verticalAlignment: TextInput.AlignVCenter
            background: Rectangle {
                radius: height / 2
                color: historicalRecords.pal.field
                border.color: historyDate.activeFocus ? historicalRecords.skinColors : "transparent"
            }
            selectByMouse: true
            validator: RegExpValidator { regExp: /^\d{0,4}(-\d{0,2}(-\d{0,2})?)?$/ }
            Accessible.role: Accessible.EditableText
            Accessible.name: historicalRecords.tip_date_choice
            onAccepted: historicalRecords.setDate(text)
            onTextChanged: if (text === "" && historicalRecords.dateText !== "") historicalRecords.setDate("")
            Keys.onEscapePressed: {
                if (text !== "")
                    text = ""
                else
                    historicalRecords.close()
            }
        }
        IconButton {
            objectName: "historyNextDay"
            source: "qrc:/images/next.svg"
            tip: historicalRecords.tip_next_day
            loginModel: historicalRecords.loginModel
            skinColors: historicalRecords.skinColors
            onClicked: historicalRecords.shiftDate(1)
        }
    }
    SearchField {
        id: historySearch
        objectName: "historySearch"
        anchors.top: dateRow.bottom
        anchors.topMargin: 8 * historicalRecords.sr
        x: 14 * historicalRecords.sr
        width: parent.width - 28 * historicalRecords.sr
        enabled: historicalRecords.filterType === 1
        placeholderText: historicalRecords.tip_search
        loginModel: historicalRecords.loginModel
        skinColors: historicalRecords.skinColors
        onSearchRequested: historicalRecords.setSearch(text)
    }

    ListView {
        id: historyList
        objectName: "historyList"
        anchors.top: historySearch.bottom
        anchors.topMargin: 10 * historicalRecords.sr
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: 1
        model: historyModel
        clip: true
        activeFocusOnTab: true
        keyNavigationEnabled: true
        boundsBehavior: Flickable.StopAtBounds
        Accessible.role: Accessible.List
        Accessible.name: historicalRecords.tip_chat_record
        ScrollBar.vertical: ScrollBar { Accessible.name: parent ? parent.Accessible.name : "" }
        Keys.onEscapePressed: historicalRecords.close()
        footer: Item {
            width: historyList.width
            height: 48 * historicalRecords.sr
            Rectangle {
                objectName: "historyMoreButton"
                visible: historicalRecords.filterType === 1 && historicalRecords.dateText === ""
                         && historicalRecords.searchText === "" && historyModel.count >= historicalRecords.limit
                anchors.centerIn: parent
                width: moreText.implicitWidth + 24 * historicalRecords.sr
                height: 28 * historicalRecords.sr
                radius: height / 2
                activeFocusOnTab: visible
                color: moreArea.containsMouse || activeFocus ? historicalRecords.pal.hover : "transparent"
                Accessible.role: Accessible.Button
                Accessible.name: moreText.text
                Accessible.onPressAction: historicalRecords.loadMore()
                Keys.onReturnPressed: historicalRecords.loadMore()
                Keys.onSpacePressed: historicalRecords.loadMore()
                Text {
                    id: moreText
                    anchors.centerIn: parent
                    text: historicalRecords.tip_more_history_messages
                    font.pixelSize: Style.fontSmall
                    color: historicalRecords.skinColors
                }
                MouseArea {
                    id: moreArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: historicalRecords.loadMore()
                }
            }
        }
        delegate: Rectangle {
            id: entry
            objectName: "history_" + model.msgId
            readonly property string kind: model.msgType === "file" ? "file" : "text"
            readonly property bool fileExists: kind === "file" && historicalRecords.fileExists(model.localPath)
            // A private page names nobody: the user or the peer.
            readonly property string shownName: model.userName !== "" ? model.userName
                                                : model.isSelf ? historicalRecords.selfName : historicalRecords.currentName
            width: historyList.width
            height: entryColumn.height + 16 * historicalRecords.sr
            color: ListView.isCurrentItem && historyList.activeFocus ? historicalRecords.pal.selected : "transparent"
            Accessible.role: Accessible.ListItem
            Accessible.name: entry.shownName + " " + model.sendTime
            Column {
                id: entryColumn
                x: 18 * historicalRecords.sr
                y: 8 * historicalRecords.sr
                width: parent.width - 36 * historicalRecords.sr
                spacing: 4 * historicalRecords.sr
                Item {
                    width: parent.width
                    height: nameText.implicitHeight
                    Text {
                        textFormat: Text.PlainText
                        id: nameText
                        width: parent.width - timeText.implicitWidth - localTag.width - 16 * historicalRecords.sr
                        elide: Text.ElideRight
                        text: entry.shownName
                        font.pixelSize: Style.fontSmall
                        color: model.isSelf ? historicalRecords.skinColors : historicalRecords.pal.muted
                    }
                    // Found in this machine's history, not in the server's answer.
                    Rectangle {
                        id: localTag
                        objectName: "localTag_" + model.msgId
                        visible: model.local
                        anchors.right: timeText.left
                        anchors.rightMargin: 8 * historicalRecords.sr
                        anchors.verticalCenter: timeText.verticalCenter
                        width: visible ? localText.implicitWidth + 8 * historicalRecords.sr : 0
                        height: localText.implicitHeight + 2 * historicalRecords.sr
                        radius: 3 * historicalRecords.sr
                        color: "transparent"
                        border.color: historicalRecords.pal.muted
                        border.width: 1
                        Accessible.role: Accessible.StaticText
                        Accessible.name: localText.text
                        Text {
                            id: localText
                            anchors.centerIn: parent
                            text: historicalRecords.tip_local_record
                            font.pixelSize: Style.fontTiny
                            color: historicalRecords.pal.muted
                        }
                    }
                    Text {
                        textFormat: Text.PlainText
                        id: timeText
                        anchors.right: parent.right
                        text: model.sendTime
                        font.pixelSize: Style.fontTiny
                        color: historicalRecords.pal.sub
                    }
                }
                Text {
                    visible: entry.kind === "text"
                    width: parent.width
                    textFormat: Text.RichText
                    wrapMode: Text.Wrap
                    text: entry.kind === "text" ? historicalRecords.displayOf(model.msg) : ""
                    font.pixelSize: Style.fontBody
                    color: historicalRecords.pal.text
                    linkColor: historicalRecords.skinColors
                    onLinkActivated: {
                        if (link.indexOf("api/attachment/index/") >= 0)
                            historicalRecords.sigPictureInfor(link)
                        else
                            historyLinks.openLink(link)
                    }
                }
                Rectangle {
                    visible: entry.kind === "file"
                    width: Math.min(parent.width, 260 * historicalRecords.sr)
                    height: visible ? 52 * historicalRecords.sr : 0
                    radius: Style.radius
                    color: historicalRecords.pal.card
                    border.color: historicalRecords.pal.cardBorder
                    Image {
                        id: fileIcon
                        x: 8 * historicalRecords.sr
                        anchors.verticalCenter: parent.verticalCenter
                        width: 36 * historicalRecords.sr
                        height: width
                        sourceSize: Qt.size(96, 96)
                        source: entry.kind === "file" ? historicalRecords.imageNameFromSuffix(model.fileType) : ""
                    }
                    Text {
                        anchors.left: fileIcon.right
                        anchors.leftMargin: 8 * historicalRecords.sr
                        anchors.right: action.left
                        anchors.rightMargin: 6 * historicalRecords.sr
                        anchors.verticalCenter: parent.verticalCenter
                        elide: Text.ElideMiddle
                        // A file name is shown as it is: markup in it must not fetch or format.
                        textFormat: Text.PlainText
                        text: entry.kind === "file" ? model.msg : ""
                        font.pixelSize: Style.fontSmall
                        color: historicalRecords.pal.text
                    }
                    Item {
                        id: action
                        anchors.right: parent.right
                        anchors.rightMargin: 8 * historicalRecords.sr
                        anchors.verticalCenter: parent.verticalCenter
                        width: (model.progress >= 0 ? 54 : 28) * historicalRecords.sr
                        height: 28 * historicalRecords.sr
                        // While the file comes: a cross to stop it, beside its progress.
                        CloseButton {
                            objectName: "historyCancel_" + model.msgId
                            anchors.left: parent.left
                            anchors.verticalCenter: parent.verticalCenter
                            width: 22 * historicalRecords.sr
                            height: width
                            visible: model.progress >= 0
                            loginModel: historicalRecords.loginModel
                            accessibleName: historicalRecords.tip_cancel
                            onClicked: historicalRecords.cancelDownload(model.msgId)
                        }
                        CircularProgress {
                            anchors.right: parent.right
                            width: 28 * historicalRecords.sr
                            height: width
                            visible: model.progress >= 0
                            progress: Math.max(0, model.progress)
                            arcWidth: 3 * historicalRecords.sr
                            arcColor: historicalRecords.skinColors
                            arcBackgroundColor: historicalRecords.pal.line
                        }
                        IconButton {
                            objectName: "historyFile_" + model.msgId
                            anchors.right: parent.right
                            width: 28 * historicalRecords.sr
                            height: width
                            visible: model.progress < 0
                            iconSize: 16 * historicalRecords.sr
                            source: model.localPath !== "" ? "qrc:/images/folder.svg" : "qrc:/images/download.svg"
                            tip: model.localPath !== "" ? historicalRecords.tip_openfile : historicalRecords.tip_download
                            loginModel: historicalRecords.loginModel
                            skinColors: historicalRecords.skinColors
                            onClicked: historicalRecords.fileAction(model.msgId)
                        }
                    }
                }
            }
            Rectangle {
                anchors.bottom: parent.bottom
                x: 18 * historicalRecords.sr
                width: parent.width - 36 * historicalRecords.sr
                height: 1
                color: historicalRecords.pal.line
            }
        }
    }
    Text {
        textFormat: Text.PlainText
        visible: historyModel.count === 0
        anchors.centerIn: historyList
        objectName: "historyState"
        text: historicalRecords.loading ? historicalRecords.tip_data_loading
                                        : historicalRecords.loadFailed ? historicalRecords.tip_history_load_failed
                                                                       : historicalRecords.tip_no_contents
        font.pixelSize: Style.fontSmall
        color: historicalRecords.pal.sub
    }
    Rectangle {
        id: historyTip
        objectName: "historyTip"
        property alias text: historyTipText.text
        visible: false
        z: 5
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 60 * historicalRecords.sr
        width: historyTipText.implicitWidth + 28 * historicalRecords.sr
        height: historyTipText.implicitHeight + 14 * historicalRecords.sr
        radius: height / 2
        color: historicalRecords.pal.banner
        Accessible.role: Accessible.AlertMessage
        Accessible.name: historyTipText.text
        Text {
            id: historyTipText
            anchors.centerIn: parent
            font.pixelSize: Style.fontSmall
            color: historicalRecords.pal.bannerText
        }
    }
    LinkConfirm {
        id: historyLinks
        anchors.fill: parent
        z: 12
        loginModel: historicalRecords.loginModel
        skinColors: historicalRecords.skinColors
    }
}

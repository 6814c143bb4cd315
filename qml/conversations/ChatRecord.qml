import QtQuick 2.15
import QtQuick.Controls 2.5
import SocketState 1.0
import ConversationModel 1.0
import TextBalloon 1.0
import ChatFileTransfers 1.0
import SystemHandl 1.0
import MessageFilestoreitem 1.0
import ConfigData 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The open conversation: message bubbles, pictures, files with upload and download progress,
// delivery and read marks, system-message cards and the watermark. The newest message is row 0
// and the list grows upward from the bottom, so opening a long conversation builds only the rows
// at the bottom and older pages are appended at the far end.
Rectangle {
    id: chatRecord
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property string currentId: ""
    property string currentName: ""
    // The latest arrival or failure in the open conversation, as a reader should say it.
    property string announcement: ""
    property string currentTypes: ""
    property string selfId: ""
    property string selfName: ""
    // How many of the newest messages the server is asked for; raised by "load more".
    property int recordLimit: 20
    property bool loadingMore: false
    // The first page of a conversation is said once in the log.
    property bool announced: false
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias count: chatModel.count
    readonly property real bubbleMaxWidth: Math.max(120 * sr, Math.min(560 * sr, chatList.width * 0.62))
    // Downloads in flight, by message id: {dest, conversation}.
    readonly property alias downloads: transfers.downloads

    property string tip_click_load_more: qsTr("点击加载更多")
    property string tip_read: qsTr("已读")
    property string tip_unread: qsTr("未读")
    property string tip_sending: qsTr("发送中")
    property string tip_send_failed: qsTr("发送失败")
    property string tip_resend: qsTr("重新发送")
    property string tip_download: qsTr("下载")
    property string tip_openfile: qsTr("打开文件")
    property string tip_fileexits: qsTr("文件不存在")
    property string tip_fail_upload_file: qsTr("上传文件失败")
    property string tip_cancel: qsTr("取消")
    property string tip_transfer_cancelled: qsTr("已取消")
    property string tip_system_message: qsTr("系统消息")
    property string tip_see: qsTr("查看")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_picture_message: qsTr("[图片]")
    property string tip_file_message: qsTr("[文件]")
    property string tip_expression: qsTr("表情")

    signal sigPictureInfor(string picturePath)
    signal sigSendpersonalInfor(string infora, string inforb, bool jumpm, string types)

    color: loginModel === 1 ? Style.glass(0.55) : pal.pane

    function hextoPressHex(hex) { return Style.pressed(hex) }

    // File icons, shared with the history.
    function imageNameFromSuffix(suffix) { return chatModel.fileIconOf(suffix) }
    function imageUrl(path) { return socketState.getAllImagePaths(path) }
    function timeLabel(sendTime) { return chatModel.timeLabelOf(String(sendTime)) }
    function isGroup() { return currentTypes === "3" }
    function lookUpSelfName() { return selfId !== "" ? socketState.getUserInfor(selfId, "user_name") : "" }

    // ---- the conversation --------------------------------------------------------------------
    // The rows live in chatModel (ConversationModel): it reads the engine's store, finds rows by
    // message id and keeps their states; the document shows them.
    function openConversation(ids, names, types) {
        currentId = ids
        currentName = names
        currentTypes = types
        selfId = socketState.getSelfUesrId()
        recordLimit = 20
        announced = false
        chatModel.clear()
        messageFilestoreitem.openDataBase()
        chatModel.load()
        if (ids !== "") {
            socketState.getRecord(ids, types, recordLimit)
            markRead()
        }
    }
    function closeConversation() {
        currentId = ""
        chatModel.clear()
    }
    function loadMore() {
        if (currentId === "" || loadingMore)
            return
        loadingMore = true
        recordLimit = chatModel.count + 20
        socketState.getRecord(currentId, currentTypes, recordLimit)
    }
    function markRead() {
        if (currentId !== "")
            isGroup() ? socketState.setGroupAlreadyRead(currentId, "") : socketState.setPrivateAlreadyRead(currentId, "")
    }

    // One message text of the engine as a row's fields, null for a text that is no message.
    function rowOf(text) { return chatModel.rowOf(String(text)) }
    function recordOf(text) { return chatModel.recordOf(String(text)) }
    // Stored texts come oldest first; the view holds newest first.
    function setRecords(texts) { chatModel.setRecords(texts || []) }
    function indexOfMessage(msgId) { return chatModel.indexOf(String(msgId)) }
    function onMessageText(ids, text) {
        if (ids !== currentId || currentId === "")
            return
        var at = chatModel.receive(text)
        if (at < 0)
            return
        if (at === 0)
            chatList.positionViewAtBeginning()
        var row = chatModel.get(at)
        if (!row.isSelf) {
            announcement = (row.userName !== "" ? row.userName : currentName) + ": "
                           + rowSummary(row.kind, row.msgType, row.msg)
            if (chatRecord.visible)
                readTimer.restart()
        }
    }
    function setStatus(ids, msgid, status) {
        // A finished upload is acknowledged under its final id, which the store has by now.
        if (ids === currentId && !chatModel.setStatus(String(msgid), status)) {
            chatModel.mergeStored()
            chatModel.setStatus(String(msgid), status)
        }
    }
    function markFailed(ids, msgIds, errors) {
        if (ids !== currentId)
            return
        chatModel.markFailed(String(msgIds), errors)
        announcement = tip_send_failed + (errors !== "" ? ": " + errors : "")
    }

    // ---- sending -----------------------------------------------------------------------------
    // The editor's HTML in the wire form: web emoticons, relative server links.
    function sendText(contents, hasImage) {
        if (currentId === "" || contents === "")
            return ""
        return sendWire(socketState.replaceTokenToRegular(socketState.swapNetworkInformation(contents)), hasImage ? "img" : "text")
    }
    function sendWire(wire, types) {
        var now = Qt.formatDateTime(new Date(), "yyyy-MM-dd hh:mm:ss")
        return isGroup() ? socketState.sendGroupInfor(currentId, wire, selfName, now, types)
                         : socketState.sendPrivateInfor(currentId, wire, now, types)
    }
    // A failed message goes again under its own id, so the server can drop a copy it already
    // has; only a message the engine no longer holds goes as a new one.
    function retry(msgId) {
        var r = chatModel.get(chatModel.indexOf(msgId))
        if (r.msgId === undefined)
            return
        if (!(r.kind === "file" && r.transient) && socketState.retrySendMessage(currentId, currentTypes, msgId)) {
            chatModel.retried(msgId)
            return
        }
        chatModel.resend(msgId)
        if (r.kind === "file" && r.localPath !== "" && r.transient)
            sendFile(r.localPath)
        else
            sendWire(r.msg, r.msgType)
    }
    function sendFiles(paths) {
        for (var i = 0; i < paths.length; ++i)
            sendFile(String(paths[i]))
    }
    function sendFile(path) {
        if (currentId !== "" && !transfers.sendFile(path))
            showTip(tip_fileexits)
    }
    // The user stops a file on its way: a download leaves no file behind and offers itself
    // again; an upload's row says it was cancelled and can be sent again.
    function cancelTransfer(msgId) { transfers.cancel(msgId, tip_transfer_cancelled) }

    // ---- receiving files ---------------------------------------------------------------------
    function download(msgId) {
        if (!transfers.download(msgId))
            showTip(tip_fileexits)
    }
    function fileExists(path) { return transfers.fileExists(path) }
    function openFile(msgId) {
        var path = chatModel.get(chatModel.indexOf(msgId)).localPath
        if (path === undefined)
            return
        fileExists(path) ? messageFilestoreitem.openFile(path) : showTip(tip_fileexits)
    }
    function openSystemCard(msg) { systemHandl.openMetionInfor(msg) }
    function systemCardText(msg, field) {
        var card = chatModel.systemCard(String(msg))
        if (field === "title") {
            var menu = card.parsed ? card.name.split(".")[0] : ""
            var name = menu !== "" ? systemHandl.getSmsnameFromSmsmenu(menu) : ""
            return name !== "" ? name : tip_system_message
        }
        return card.parsed ? card.content : String(msg)
    }
    // What a screen reader says of a row after the sender: a line of its content.
    function rowSummary(kind, msgType, msg) {
        if (kind === "file")
            return tip_file_message + " " + msg
        if (kind === "system")
            return systemCardText(msg, "title")
        return configData.previewText(msg, msgType, tip_picture_message, tip_file_message,
                                      "[" + tip_expression + "]")
    }
    // The first server picture a shown text links to, as a click on it would pass it on; with
    // pictures false, the first other link.
    function pictureLinkOf(displayText, pictures) { return chatModel.linkOf(String(displayText), pictures !== false) }
    function showTip(text) {
        tipText.text = text
        chatTip.visible = true
        tipTimer.restart()
    }

    ConversationModel {
        id: chatModel
        store: socketState
        selfId: chatRecord.selfId
        conversation: chatRecord.currentId
        types: chatRecord.currentTypes
    }
    // Downloads and uploads with their progress on the rows.
    ChatFileTransfers {
        id: transfers
        model: chatModel
        selfName: chatRecord.selfName
        uploadFailedText: chatRecord.tip_fail_upload_file
        onTip: chatRecord.showTip(text)
    }
    WatermarkView {
        anchors.fill: parent
        z: 2
        loginModel: chatRecord.loginModel
        userName: chatRecord.currentId !== "" ? chatRecord.selfName : ""
    }
    ConfigData { id: configData }
    SystemHandl { id: systemHandl }
    MessageFilestoreitem { id: messageFilestoreitem }
    SocketState {
        id: socketState
        onSigUserInforFetched: if (chatRecord.selfName === "" && ids.indexOf(chatRecord.selfId) >= 0) chatRecord.selfName = chatRecord.lookUpSelfName()
        onSigPrivareMessage: if (!chatRecord.isGroup()) chatRecord.onMessageText(ids, messages)
        onSigGroupMessage: if (chatRecord.isGroup()) chatRecord.onMessageText(groupIds, messages)
        onSigPrivareMessageStatus: if (!chatRecord.isGroup()) chatRecord.setStatus(ids, msgid, statusa)
        onSigGroupMessageStatus: if (chatRecord.isGroup()) chatRecord.setStatus(groupIds, msgid, statusa)
        onSigSendMessageFail: chatRecord.markFailed(ids, msgIds, errors)
        onSigMessageStatus: if (types === chatRecord.currentTypes) chatRecord.setStatus(ids, msgId, sendStatus)
        onSigGetRecord: {
            chatRecord.loadingMore = false
            chatModel.mergeStored()
            if (!chatRecord.announced && chatRecord.currentId !== "") {
                chatRecord.announced = true
                console.info("conversation shown:", chatModel.count, "messages")
            }
        }
        // sigRemoveMessage is no failure: a finished upload also replaces its pending record.
        // Failed uploads arrive through the uploader's sigUploadFile and sigSendMessageFail.
        // The local history was cleared: the view shows only what the engine still holds.
        onSigHistoryCleared: chatModel.load()
        onSigReconnectInfor: if (chatRecord.currentId !== "") socketState.getRecord(chatRecord.currentId, chatRecord.currentTypes, chatRecord.recordLimit)
        onSigConnectServer: if (status && chatRecord.currentId !== "") socketState.getRecord(chatRecord.currentId, chatRecord.currentTypes, chatRecord.recordLimit)
    }
    LanguageTexts { id: languageTexts; target: chatRecord; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }
    // Read marks go once a burst of incoming messages is over.
    Timer {
        id: readTimer
        interval: 300
        onTriggered: chatRecord.markRead()
    }
    Timer {
        id: tipTimer
        interval: 2000
        onTriggered: chatTip.visible = false
    }
    ListView {
        id: chatList
        objectName: "chatList"
        anchors.fill: parent
        anchors.leftMargin: 8 * chatRecord.sr
        anchors.rightMargin: 8 * chatRecord.sr
        model: chatModel
        verticalLayoutDirection: ListView.BottomToTop
        cacheBuffer: 0
        // Rows scrolled out are kept for the rows scrolled in: building a bubble anew for each
        // row of a long conversation costs frames and leaves the memory it used behind.
        reuseItems: true
        clip: true
        activeFocusOnTab: true
        keyNavigationEnabled: true
        boundsBehavior: Flickable.StopAtBounds
        spacing: 2 * chatRecord.sr
        highlightFollowsCurrentItem: true
        highlightMoveDuration: 0
        // The row the keys act on, marked only while the keys are here.
        highlight: Rectangle {
            visible: chatList.activeFocus
            color: chatRecord.pal.selected
            border.color: chatRecord.skinColors
            radius: Style.radius
        }
        // Up and Down move the row (the view's own navigation); Return opens what a click on
        // its content opens, Space or Menu the sender's card.
        Keys.onReturnPressed: if (currentItem) currentItem.activate()
        Keys.onEnterPressed: if (currentItem) currentItem.activate()
        Keys.onSpacePressed: if (currentItem) currentItem.showSender()
        Keys.onMenuPressed: if (currentItem) currentItem.showSender()
        Accessible.role: Accessible.List
        Accessible.name: chatRecord.currentName
        ScrollBar.vertical: ScrollBar { Accessible.name: parent ? parent.Accessible.name : "" }
        header: Item { width: 1; height: 12 * chatRecord.sr }
        // Older messages are asked for at the far (top) end.
        footer: Item {
            width: chatList.width
            height: chatRecord.currentId !== "" ? 44 * chatRecord.sr : 0
            Rectangle {
                objectName: "loadMoreButton"
                visible: chatRecord.currentId !== ""
                anchors.centerIn: parent
                width: moreText.implicitWidth + 24 * chatRecord.sr
                height: 26 * chatRecord.sr
                radius: height / 2
                activeFocusOnTab: true
                color: moreArea.containsMouse || activeFocus ? chatRecord.pal.hover : "transparent"
                Accessible.role: Accessible.Button
                Accessible.name: moreText.text
                Accessible.onPressAction: chatRecord.loadMore()
                Keys.onReturnPressed: chatRecord.loadMore()
                Keys.onSpacePressed: chatRecord.loadMore()
                Text {
                    id: moreText
                    anchors.centerIn: parent
                    text: chatRecord.tip_click_load_more
                    font.pixelSize: Style.fontSmall
                    color: chatRecord.skinColors
                }
                MouseArea {
                    id: moreArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: chatRecord.loadMore()
                }
            }
        }
        delegate: messageDelegate
    }

    Component {
        id: messageDelegate
        Item {
            id: row
            // A row waiting for reuse is nobody's: its name would point at a message shown elsewhere.
            property bool pooled: false
            objectName: pooled ? "" : "message_" + model.msgId
            ListView.onPooled: pooled = true
            ListView.onReused: pooled = false
            readonly property bool self: model.isSelf
            readonly property string deliveryState: model.failed ? "failed"
                                                   : model.sendStatus === "1" || model.transient ? "pending"
                                                   : model.sendStatus === "3" ? "read" : "sent"
            readonly property string displayText: model.kind === "text" ? richText.text : ""
            readonly property bool fileExists: model.kind === "file" && chatRecord.fileExists(model.localPath)
            readonly property real avatarSize: 36 * chatRecord.sr
            readonly property string msg: model.msg
            readonly property string userName: model.userName !== "" ? model.userName : self ? chatRecord.selfName : chatRecord.currentName
            readonly property real side: 12 * chatRecord.sr
            width: chatList.width
            height: column.y + column.height + 8 * chatRecord.sr
            Accessible.role: Accessible.ListItem
            Accessible.name: row.userName + " " + chatRecord.rowSummary(model.kind, model.msgType, row.msg)
            Accessible.onPressAction: row.activate()

            // The keyboard's click on the row's content: a picture opens large, a file card does
            // what its button does, a system card opens, a link goes to the link opener (which
            // may ask first); plain text has nothing to open.
            function activate() {
                if (model.kind === "system") {
                    chatRecord.openSystemCard(row.msg)
                } else if (model.kind === "file") {
                    if (model.progress >= 0)
                        return
                    if (model.localPath !== "")
                        chatRecord.openFile(model.msgId)
                    else if (!row.self)
                        chatRecord.download(model.msgId)
                } else {
                    var link = chatRecord.pictureLinkOf(row.displayText)
                    if (link !== "") {
                        chatRecord.sigPictureInfor(link)
                        return
                    }
                    link = chatRecord.pictureLinkOf(row.displayText, false)
                    if (link !== "")
                        chatLinks.openLink(link)
                }
            }
            function showSender() {
                if (model.kind !== "system")
                    chatRecord.sigSendpersonalInfor(model.creator, row.userName, false, "2")
            }

            Text {
                textFormat: Text.PlainText
                id: timeMark
                visible: model.showTime
                width: parent.width
                height: visible ? implicitHeight + 10 * chatRecord.sr : 0
                y: 4 * chatRecord.sr
                horizontalAlignment: Text.AlignHCenter
                text: model.showTime ? chatRecord.timeLabel(model.sendTime) : ""
                font.pixelSize: Style.fontTiny
                color: chatRecord.pal.sub
            }
            Avatar {
                id: avatar
                visible: model.kind !== "system"
                y: timeMark.y + timeMark.height + 4 * chatRecord.sr
                x: row.self ? row.width - width - row.side : row.side
                width: row.avatarSize
                height: width
                name: row.userName
                skinColors: chatRecord.skinColors
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: chatRecord.sigSendpersonalInfor(model.creator, row.userName, false, "2")
                }
            }
            Column {
                id: column
                y: avatar.y
                x: model.kind === "system" ? (row.width - width) / 2
                   : row.self ? avatar.x - width - 4 * chatRecord.sr : avatar.x + avatar.width + 4 * chatRecord.sr
                spacing: 3 * chatRecord.sr
                Text {
                    textFormat: Text.PlainText
                    visible: chatRecord.isGroup() && !row.self && model.kind !== "system"
                    x: 10 * chatRecord.sr
                    text: row.userName
                    font.pixelSize: Style.fontTiny
                    color: chatRecord.pal.sub
                }
                Row {
                    layoutDirection: row.self ? Qt.RightToLeft : Qt.LeftToRight
                    spacing: 6 * chatRecord.sr
                    TextBalloon {
                        id: balloon
                        visible: model.kind !== "system"
                        rightAligned: row.self
                        oneSelf: row.self
                        skinColor: row.self ? chatRecord.skinColors : chatRecord.pal.bubbleIn
                        width: (model.kind === "file" ? fileCard.width : richText.width) + 44 * chatRecord.sr
                        height: Math.max(36 * chatRecord.sr,
                                         (model.kind === "file" ? fileCard.height : richText.contentHeight) + 18 * chatRecord.sr)
                        Text {
                            id: richText
                            visible: model.kind === "text"
                            x: 22 * chatRecord.sr
                            y: 9 * chatRecord.sr
                            // Sized to its text: the unwrapped width, up to the widest a bubble may be.
                            width: Math.min(Math.ceil(implicitWidth), chatRecord.bubbleMaxWidth)
                            textFormat: Text.RichText
                            wrapMode: Text.Wrap
                            font.pixelSize: Style.fontLarge
                            lineHeight: 1.1
                            color: row.self ? Style.onColor(chatRecord.skinColors) : chatRecord.pal.bubbleInText
                            linkColor: row.self ? Style.onColor(chatRecord.skinColors) : chatRecord.skinColors
                            text: model.kind === "text" ? chatRecord.displayOf(row.msg) : ""
                            onLinkActivated: {
                                if (link.indexOf("api/attachment/index/") >= 0)
                                    chatRecord.sigPictureInfor(link)
                                else
                                    chatLinks.openLink(link)
                            }
                            MouseArea {
                                anchors.fill: parent
                                acceptedButtons: Qt.NoButton
                                cursorShape: parent.hoveredLink !== "" ? Qt.PointingHandCursor : Qt.IBeamCursor
                            }
                        }
                        // A file: icon, name, and what can be done with it now. Built only for
                        // file rows: most rows are text, and a scroll builds several rows a frame.
                        Loader {
                            id: fileCard
                            active: model.kind === "file"
                            visible: active
                            x: 22 * chatRecord.sr
                            y: 9 * chatRecord.sr
                            width: active ? Math.min(chatRecord.bubbleMaxWidth, 240 * chatRecord.sr) : 0
                            height: active ? 52 * chatRecord.sr : 0
                            sourceComponent: Item {
                                Image {
                                    id: fileIcon
                                    width: 40 * chatRecord.sr
                                    height: width
                                    anchors.verticalCenter: parent.verticalCenter
                                    sourceSize: Qt.size(96, 96)
                                    source: model.kind === "file" ? model.fileIcon : ""
                                }
                                Text {
                                    anchors.left: fileIcon.right
                                    anchors.leftMargin: 8 * chatRecord.sr
                                    anchors.right: fileAction.left
                                    anchors.rightMargin: 6 * chatRecord.sr
                                    y: 6 * chatRecord.sr
                                    // A file name is shown as it is: markup in it must not fetch or
                                    // format anything.
                                    textFormat: Text.PlainText
                                    text: model.kind === "file" ? row.msg : ""
                                    elide: Text.ElideMiddle
                                    font.pixelSize: Style.fontBody
                                    color: row.self ? Style.onColor(chatRecord.skinColors) : chatRecord.pal.bubbleInText
                                }
                                Text {
                                    textFormat: Text.PlainText
                                    anchors.left: fileIcon.right
                                    anchors.leftMargin: 8 * chatRecord.sr
                                    anchors.right: fileAction.left
                                    anchors.bottom: parent.bottom
                                    anchors.bottomMargin: 6 * chatRecord.sr
                                    elide: Text.ElideRight
                                    text: model.progress >= 0 ? Math.round(model.progress * 100) + "%"
                                          : row.fileExists ? chatRecord.tip_openfile
                                          : model.localPath !== "" ? chatRecord.tip_fileexits
                                          : row.self ? "" : model.failText !== "" ? model.failText : chatRecord.tip_download
                                    font.pixelSize: Style.fontTiny
                                    color: row.self ? Style.onColor(chatRecord.skinColors) : chatRecord.pal.sub
                                    opacity: 0.85
                                }
                                // While a file is on its way: a cross to stop it, beside its progress.
                                Item {
                                    id: fileAction
                                    anchors.right: parent.right
                                    anchors.verticalCenter: parent.verticalCenter
                                    width: (model.progress >= 0 ? 58 : 30) * chatRecord.sr
                                    height: 30 * chatRecord.sr
                                    CloseButton {
                                        objectName: row.pooled ? "" : "cancel_" + model.msgId
                                        anchors.left: parent.left
                                        anchors.verticalCenter: parent.verticalCenter
                                        width: 24 * chatRecord.sr
                                        height: width
                                        visible: model.progress >= 0
                                        loginModel: chatRecord.loginModel
                                        accessibleName: chatRecord.tip_cancel
                                        onClicked: chatRecord.cancelTransfer(model.msgId)
                                    }
                                    CircularProgress {
                                        objectName: row.pooled ? "" : "progress_" + model.msgId
                                        anchors.right: parent.right
                                        width: 30 * chatRecord.sr
                                        height: width
                                        visible: model.progress >= 0
                                        progress: Math.max(0, model.progress)
                                        arcWidth: 3 * chatRecord.sr
                                        arcColor: row.self ? Style.onColor(chatRecord.skinColors) : chatRecord.skinColors
                                        arcBackgroundColor: row.self ? Style.glass(0.3) : chatRecord.pal.line
                                    }
                                    IconButton {
                                        objectName: row.pooled ? "" : (row.fileExists || model.localPath !== "" || row.self ? "open_" + model.msgId : "download_" + model.msgId)
                                        anchors.right: parent.right
                                        width: 30 * chatRecord.sr
                                        height: width
                                        visible: model.progress < 0 && (row.fileExists || !row.self || model.localPath !== "")
                                        source: row.fileExists || model.localPath !== "" ? "qrc:/images/folder.svg" : "qrc:/images/download.svg"
                                        iconSize: 18 * chatRecord.sr
                                        tip: row.fileExists || model.localPath !== "" ? chatRecord.tip_openfile : chatRecord.tip_download
                                        loginModel: chatRecord.loginModel
                                        skinColors: chatRecord.skinColors
                                        onClicked: model.localPath !== "" ? chatRecord.openFile(model.msgId) : chatRecord.download(model.msgId)
                                    }
                                }
                            }
                        }
                    }
                    // Delivery: pending, sent (unread), read, or failed with a retry.
                    Column {
                        visible: row.self && model.kind !== "system"
                        anchors.bottom: balloon.bottom
                        spacing: 2 * chatRecord.sr
                        Text {
                            textFormat: Text.PlainText
                            objectName: row.pooled ? "" : "status_" + model.msgId
                            anchors.right: parent.right
                            text: row.deliveryState === "failed" ? (model.failText === chatRecord.tip_transfer_cancelled ? chatRecord.tip_transfer_cancelled : chatRecord.tip_send_failed)
                                  : row.deliveryState === "pending" ? chatRecord.tip_sending
                                  : row.deliveryState === "read" ? chatRecord.tip_read : chatRecord.tip_unread
                            font.pixelSize: Style.fontTiny
                            color: row.deliveryState === "failed" ? Style.danger
                                   : row.deliveryState === "read" ? chatRecord.pal.sub : chatRecord.skinColors
                            Accessible.role: Accessible.StaticText
                            Accessible.name: text + (model.failText !== "" && model.failText !== text ? " " + model.failText : "")
                        }
                        Loader {
                            active: row.deliveryState === "failed"
                            visible: active
                            anchors.right: parent.right
                            sourceComponent: Rectangle {
                                objectName: row.pooled ? "" : "retry_" + model.msgId
                                width: retryText.implicitWidth + 12 * chatRecord.sr
                                height: retryText.implicitHeight + 6 * chatRecord.sr
                                radius: height / 2
                                color: retryArea.pressed ? Style.dangerPressed : Style.danger
                                activeFocusOnTab: true
                                Accessible.role: Accessible.Button
                                Accessible.name: chatRecord.tip_resend
                                Accessible.onPressAction: chatRecord.retry(model.msgId)
                                Keys.onReturnPressed: chatRecord.retry(model.msgId)
                                Keys.onSpacePressed: chatRecord.retry(model.msgId)
                                border.color: activeFocus ? chatRecord.pal.text : "transparent"
                                Text {
                                    id: retryText
                                    anchors.centerIn: parent
                                    text: chatRecord.tip_resend
                                    font.pixelSize: Style.fontTiny
                                    color: Style.onSkin
                                }
                                MouseArea {
                                    id: retryArea
                                    anchors.fill: parent
                                    hoverEnabled: true
                                    cursorShape: Qt.PointingHandCursor
                                    onClicked: chatRecord.retry(model.msgId)
                                }
                                ToolTip.visible: retryArea.containsMouse && model.failText !== ""
                                ToolTip.text: model.failText
                            }
                        }
                    }
                }
                // A system-message card, centred, built only for system rows.
                Loader {
                    active: model.kind === "system"
                    visible: active
                    sourceComponent: Rectangle {
                        objectName: row.pooled ? "" : "systemCard_" + model.msgId
                        width: Math.min(row.width - 80 * chatRecord.sr, 340 * chatRecord.sr)
                        height: cardColumn.height + 24 * chatRecord.sr
                        radius: Style.radiusCard
                        color: chatRecord.pal.card
                        border.color: chatRecord.pal.cardBorder
                        activeFocusOnTab: true
                        Accessible.role: Accessible.Button
                        Accessible.name: cardTitle.text + " " + cardBody.text
                        Accessible.onPressAction: chatRecord.openSystemCard(row.msg)
                        Keys.onReturnPressed: chatRecord.openSystemCard(row.msg)
                        Column {
                            id: cardColumn
                            x: 14 * chatRecord.sr
                            y: 12 * chatRecord.sr
                            width: parent.width - 28 * chatRecord.sr
                            spacing: 6 * chatRecord.sr
                            Text {
                                textFormat: Text.PlainText
                                id: cardTitle
                                width: parent.width
                                elide: Text.ElideRight
                                text: model.kind === "system" ? chatRecord.systemCardText(row.msg, "title") : ""
                                font.pixelSize: Style.fontBody
                                font.bold: true
                                color: chatRecord.pal.text
                            }
                            Text {
                                textFormat: Text.PlainText
                                id: cardBody
                                width: parent.width
                                wrapMode: Text.Wrap
                                maximumLineCount: 4
                                elide: Text.ElideRight
                                text: model.kind === "system" ? chatRecord.systemCardText(row.msg, "content") : ""
                                font.pixelSize: Style.fontSmall
                                color: chatRecord.pal.muted
                            }
                            Text {
                                text: chatRecord.tip_see
                                font.pixelSize: Style.fontSmall
                                color: chatRecord.skinColors
                            }
                        }
                        MouseArea {
                            anchors.fill: parent
                            cursorShape: Qt.PointingHandCursor
                            onClicked: chatRecord.openSystemCard(row.msg)
                        }
                    }
                }
            }
        }
    }

    // Rich text for a bubble: local emoticon pictures, server links with the current token, and
    // pictures no wider than the bubble.
    function displayOf(msg) { return chatModel.fitPictures(socketState.displayMarkup(msg), Math.floor(bubbleMaxWidth)) }

    Text {
        visible: chatRecord.currentId !== "" && chatModel.count === 0
        anchors.centerIn: parent
        text: chatRecord.tip_no_contents
        font.pixelSize: Style.fontSmall
        color: chatRecord.pal.sub
    }
    Rectangle {
        id: chatTip
        objectName: "chatTip"
        visible: false
        z: 5
        anchors.horizontalCenter: parent.horizontalCenter
        y: 16 * chatRecord.sr
        width: tipText.implicitWidth + 28 * chatRecord.sr
        height: tipText.implicitHeight + 14 * chatRecord.sr
        radius: height / 2
        color: chatRecord.pal.banner
        Accessible.role: Accessible.AlertMessage
        Accessible.name: tipText.text
        property alias text: tipText.text
        Text {
            id: tipText
            anchors.centerIn: parent
            font.pixelSize: Style.fontSmall
            color: chatRecord.pal.bannerText
        }
    }
    LinkConfirm {
        id: chatLinks
        anchors.fill: parent
        z: 12
        loginModel: chatRecord.loginModel
        skinColors: chatRecord.skinColors
    }
}

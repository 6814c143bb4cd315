import QtQuick 2.12
import ConfigData 1.0
import "style"
import "controls"

// The conversation pane: the open conversation with its editor, the emoticon picker, the
// history panel and, in a group, the member side bar; a welcome while none is open.
Item {
    id: conversationPane
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property string currentId: ""
    property string currentName: ""
    property string currentTypes: ""
    // The signed-in user's display name (the watermark, group messages); looked up when empty.
    property string userName: ""
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias chatRecord: chatRecord
    readonly property alias editBox: editBox
    readonly property bool historyOpen: historyLoader.item !== null && historyLoader.item.visible
    signal sigPictureInfor(string picturePath)
    signal sigSendpersonalInfor(string infora, string inforb, bool jumpm, string types)
    signal sigAddGroupMember(string ids, string names, string types)
    // The conversation of the last session came back by itself, so the list can show it.
    signal sigConversationReopened(string ids, string names, string types)
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)

    function hextoPressHex(hex) { return Style.pressed(hex) }
    function openConversation(ids, names, types) {
        if (ids === currentId && types === currentTypes && names === currentName)
            return
        faceWidget.close()
        currentId = ids
        currentName = names
        currentTypes = types
        chatRecord.selfName = userName
        chatRecord.openConversation(ids, names, types)
        if (userName === "")
            chatRecord.selfName = chatRecord.lookUpSelfName()
        if (historyLoader.item && historyLoader.item.visible)
            historyLoader.item.open(ids, names, types)
        editBox.clear()
        editBox.focusInput()
        remember()
    }
    // The open conversation (and whether its history is shown) comes back at the next start
    // of the same user; another account on this desktop never sees it.
    function remember() {
        configData.rememberConversation(currentId, currentName, currentTypes, historyOpen)
    }
    function reopen() {
        var last = currentId === "" ? configData.lastConversation() : ({})
        if (last.id === undefined)
            return
        openConversation(last.id, last.name, last.types)
        sigConversationReopened(last.id, last.name, last.types)
        if (last.history)
            toggleHistory()
    }
    function closeConversation() {
        faceWidget.close()
        if (historyLoader.item)
            historyLoader.item.close()
        chatRecord.closeConversation()
        currentId = ""
        remember()
    }
    function toggleHistory() {
        if (currentId === "")
            return
        if (!historyLoader.active) {
            historyLoader.active = true
        } else if (historyLoader.item.visible) {
            historyLoader.item.close()
            return
        }
        historyLoader.item.open(currentId, currentName, currentTypes)
    }
    function toggleFaces() {
        if (faceWidget.visible)
            faceWidget.close()
        else
            faceWidget.open()
    }

    onHistoryOpenChanged: if (currentId !== "") remember()

    ConfigData { id: configData }
    // The frame is shown once signed in; the messaging link follows shortly.
    Timer {
        id: reopenTimer
        interval: 600
        running: true
        onTriggered: conversationPane.reopen()
    }

    Keys.onEscapePressed: {
        if (faceWidget.visible)
            faceWidget.close()
        else if (historyOpen)
            historyLoader.item.close()
    }

    Rectangle {
        id: chatTitle
        width: parent.width
        height: Style.titleHeight
        color: conversationPane.loginModel === 1 ? "transparent" : conversationPane.pal.pane
        DragArea {
            anchors.fill: parent
            onDragged: {
                conversationPane.modifyXposition(dx)
                conversationPane.modifyYposition(dy)
            }
        }
        Text {
            textFormat: Text.PlainText
            objectName: "conversationTitle"
            x: 22 * Style.sr
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width - 140 * Style.sr
            elide: Text.ElideRight
            text: conversationPane.currentName
            font.pixelSize: Style.fontTitle
            color: conversationPane.pal.text
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: conversationPane.pal.line
        }
    }

    Item {
        id: body
        visible: conversationPane.currentId !== ""
        anchors.top: chatTitle.bottom
        anchors.bottom: parent.bottom
        width: parent.width

        ChatRecord {
            id: chatRecord
            objectName: "chatRecord"
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: memberLoader.left
            anchors.bottom: editBox.top
            loginModel: conversationPane.loginModel
            skinColors: conversationPane.skinColors
            onSigPictureInfor: conversationPane.sigPictureInfor(picturePath)
            onSigSendpersonalInfor: conversationPane.sigSendpersonalInfor(infora, inforb, jumpm, types)
        }
        EditBox {
            id: editBox
            objectName: "editBox"
            anchors.left: parent.left
            anchors.right: memberLoader.left
            anchors.bottom: parent.bottom
            height: Math.max(150 * conversationPane.sr, Math.min(220 * conversationPane.sr, parent.height * 0.3))
            loginModel: conversationPane.loginModel
            skinColors: conversationPane.skinColors
            faceOpen: faceWidget.visible
            historyOpen: conversationPane.historyOpen
            announcement: chatRecord.announcement
            onSigSendMessage: chatRecord.sendText(contents, hasImage)
            onSigSendFiles: chatRecord.sendFiles(paths)
            onSigFaceButton: conversationPane.toggleFaces()
            onSigHistoryButton: conversationPane.toggleHistory()
            onSigPictureUploaded: editBox.insertPicture(chatRecord.imageUrl(paths), pictureWidth)
            onSigTip: chatRecord.showTip(text)
        }

        // The members of a group conversation, on the right; declared after the editor so that
        // Tab reaches them after the send button.
        Loader {
            id: memberLoader
            anchors.right: parent.right
            width: active ? 180 * conversationPane.sr : 0
            height: parent.height
            active: conversationPane.currentTypes === "3" && conversationPane.currentId !== ""
            source: active ? "qrc:/GroupMember.qml" : ""
            // Loaded by URL: the side bar's own properties are set once it is there.
            onLoaded: {
                item.loginModel = Qt.binding(function() { return conversationPane.loginModel })
                item.skinColors = Qt.binding(function() { return conversationPane.skinColors })
                if (item.groupId !== undefined)
                    item.groupId = Qt.binding(function() { return conversationPane.currentId })
            }
        }
        Connections {
            target: memberLoader.item
            ignoreUnknownSignals: true
            function onSigAddGroupMember(ids, names, types) { conversationPane.sigAddGroupMember(ids, names, types) }
            function onSigSendpersonalInfor(infora, inforb, jumpm, types) { conversationPane.sigSendpersonalInfor(infora, inforb, jumpm, types) }
        }

        // A press beside the open picker closes it.
        MouseArea {
            anchors.fill: parent
            visible: faceWidget.visible
            z: 8
            onPressed: faceWidget.close()
        }
        FaceWidget {
            id: faceWidget
            objectName: "faceWidget"
            z: 9
            x: 12 * conversationPane.sr
            y: editBox.y - height - 4 * conversationPane.sr
            loginModel: conversationPane.loginModel
            skinColors: conversationPane.skinColors
            onSigSelectFace: editBox.insertFace(names, paths)
            onSigClosed: editBox.focusInput()
        }

        // The history, over the right of the conversation.
        Loader {
            id: historyLoader
            z: 10
            active: false
            anchors.right: parent.right
            width: Math.min(parent.width, 380 * conversationPane.sr)
            height: parent.height
            sourceComponent: HistoricalRecords {
                objectName: "historicalRecords"
                loginModel: conversationPane.loginModel
                skinColors: conversationPane.skinColors
                selfName: chatRecord.selfName
                onSigPictureInfor: conversationPane.sigPictureInfor(picturePath)
                onSigClosed: editBox.focusInput()
            }
        }
    }

    // Welcome until a conversation is opened.
    Column {
        visible: conversationPane.currentId === ""
        anchors.centerIn: parent
        anchors.verticalCenterOffset: 20 * Style.sr
        spacing: 14 * Style.sr
        Image {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 96 * Style.sr
            height: width
            sourceSize: Qt.size(width * 2, height * 2)
            source: "qrc:/images/logo.svg"
            opacity: conversationPane.pal.dark ? 0.7 : 0.9
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "tarnex"
            font.pixelSize: 22 * Style.sr
            font.letterSpacing: 2 * Style.sr
            color: conversationPane.pal.text
            opacity: 0.85
        }
        Text {
            textFormat: Text.PlainText
            anchors.horizontalCenter: parent.horizontalCenter
            text: typeof curretnVersionInfor === "string" ? curretnVersionInfor : ""
            font.pixelSize: Style.fontSmall
            color: conversationPane.pal.sub
        }
    }
}

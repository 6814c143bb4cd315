import QtQuick 2.12
import QtQuick.Controls 2.5
import Qt.labs.platform 1.1 as Platform
import UploadImage 1.0
import ClipBoard 1.0
import ConfigData 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The message editor. Enter sends; Shift+Enter or Ctrl+Enter breaks the line (the editor tracks
// both keys in shiftPress and ctrlPress). Emoticons go in as 14-pixel images, pasted pictures and
// screenshots as linked server pictures (uploaded by ClipBoard), chosen pictures through
// UploadImage; chosen or dropped files are handed on to be sent one by one.
Rectangle {
    id: editBox
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property bool shiftPress: false
    property bool ctrlPress: false
    property bool faceOpen: false
    property bool historyOpen: false
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias input: messageInput
    // The width of a picture being uploaded, known from the local file.
    property int pendingImageWidth: 300
    // What just happened in the conversation, for a screen reader: the focused editor's
    // description changes and the reader speaks it.
    property string announcement: ""

    property string tip_send: qsTr("发送")
    property string tip_expression: qsTr("表情")
    property string tip_upload_pictures: qsTr("上传图片")
    property string tip_upload_files: qsTr("上传文件")
    property string tip_shear: qsTr("截图")
    property string tip_chat_record: qsTr("聊天记录")
    property string tip_select_image: qsTr("选择图片")
    property string tip_select_file: qsTr("选择文件")
    property string tip_send_tip: qsTr("Enter 发送，Shift+Enter 或 Ctrl+Enter 换行")
    property string tip_image_upload_fail: qsTr("图片上传失败")

    signal sigSendMessage(string contents, bool hasImage)
    signal sigSendFiles(var paths)
    signal sigFaceButton()
    signal sigHistoryButton()
    signal sigTip(string text)
    // A chosen picture is on the server; the host turns its path into a link (insertPicture).
    signal sigPictureUploaded(string paths, int pictureWidth)

    function hextoPressHex(hex) { return Style.pressed(hex) }
    function focusInput() { messageInput.forceActiveFocus() }
    function clear() { messageInput.text = "" }

    // Rich text at the cursor; the cursor ends after it.
    function insertRich(html, length) {
        var at = messageInput.cursorPosition
        messageInput.insert(at, html)
        messageInput.cursorPosition = Math.min(messageInput.length, at + length)
        messageInput.forceActiveFocus()
    }
    function insertFace(names, paths) {
        insertRich('<img src="' + paths + '" height="14" width="14" />', 1)
    }
    function insertLineFeed() {
        insertRich("<br />", 1)
    }
    function insertPicture(link, width) {
        insertRich('<a href="' + link + '"><img src="' + link + '" width="' + width + '" /></a>', 1)
    }
    function pasteClipboard() {
        var contents = clipBoard.handlClipBoard()
        if (contents === "")
            return
        insertRich(contents, 1)
        // Plain text and HTML are as long as their visible text; the cursor goes to the end.
        messageInput.cursorPosition = messageInput.length
    }
    // The body of the editor's document as one line of HTML: paragraphs become line breaks,
    // Qt's paragraph and span styles are dropped, empty lines at either end go.
    function editorBody(html) { return configData.editorBody(html) }
    // The rich-text filter keeps a text with a picture as it is and drops the tags of any other.
    function isEmptyBody(body) { return configData.isEmptyBody(body) }
    function send() {
        var body = editorBody(messageInput.text)
        if (isEmptyBody(body))
            return
        sigSendMessage(body, configData.hasServerPicture(body))
        messageInput.text = ""
        messageInput.forceActiveFocus()
    }
    function choosePicture(path) {
        imageProbe.source = path
        uploadImage.uploadMoblieImage(path)
    }
    function chooseFiles(paths) {
        if (paths.length > 0)
            sigSendFiles(Array.prototype.map.call(paths, String))
    }

    color: loginModel === 1 ? Style.glass(0.7) : pal.pane

    ConfigData { id: configData }
    UploadImage {
        id: uploadImage
        onSigSendImagePaths: {
            if (status && imagePaths !== "")
                editBox.sigPictureUploaded(imagePaths, editBox.pendingImageWidth)
        }
        onSigUploadFile: editBox.sigTip(errors !== "" ? errors : editBox.tip_image_upload_fail)
    }
    ClipBoard {
        id: clipBoard
        onSigShearShot: editBox.pasteClipboard()
        // A pasted picture arrives once its upload has ended.
        onSigClipBoardPicture: {
            if (contents === "")
                editBox.sigTip(editBox.tip_image_upload_fail)
            else
                editBox.insertRich(contents, 1)
        }
    }
    Image {
        id: imageProbe
        visible: false
        asynchronous: true
        onStatusChanged: if (status === Image.Ready) editBox.pendingImageWidth = Math.max(1, Math.min(300, implicitWidth))
    }
    LanguageTexts { id: languageTexts; target: editBox; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }
    Loader {
        id: imageDialog
        active: false
        sourceComponent: Platform.FileDialog {
            title: editBox.tip_select_image
            fileMode: Platform.FileDialog.OpenFile
            nameFilters: ["* (*.png *.jpg *.jpeg *.gif *.bmp)"]
            onAccepted: editBox.choosePicture(String(file))
        }
        onLoaded: item.open()
    }
    Loader {
        id: fileDialog
        active: false
        sourceComponent: Platform.FileDialog {
            title: editBox.tip_select_file
            fileMode: Platform.FileDialog.OpenFiles
            onAccepted: editBox.chooseFiles(files)
        }
        onLoaded: item.open()
    }
    function openDialog(loader) {
        if (loader.active && loader.item)
            loader.item.open()
        else
            loader.active = true
    }

    Rectangle { width: parent.width; height: 1; color: editBox.pal.line }

    Row {
        id: toolRow
        x: 12 * editBox.sr
        y: 6 * editBox.sr
        spacing: 4 * editBox.sr
        IconButton {
            objectName: "faceButton"
            source: "qrc:/images/face.svg"
            tip: editBox.tip_expression
            checked: editBox.faceOpen
            loginModel: editBox.loginModel
            skinColors: editBox.skinColors
            onClicked: editBox.sigFaceButton()
        }
        IconButton {
            objectName: "imageButton"
            source: "qrc:/images/picture.svg"
            tip: editBox.tip_upload_pictures
            loginModel: editBox.loginModel
            skinColors: editBox.skinColors
            onClicked: editBox.openDialog(imageDialog)
        }
        IconButton {
            objectName: "fileButton"
            source: "qrc:/images/folder.svg"
            tip: editBox.tip_upload_files
            loginModel: editBox.loginModel
            skinColors: editBox.skinColors
            onClicked: editBox.openDialog(fileDialog)
        }
        IconButton {
            objectName: "screenshotButton"
            source: "qrc:/images/scissors.svg"
            tip: editBox.tip_shear
            loginModel: editBox.loginModel
            skinColors: editBox.skinColors
            onClicked: clipBoard.startShear()
        }
    }
    IconButton {
        objectName: "historyButton"
        anchors.right: parent.right
        anchors.rightMargin: 12 * editBox.sr
        y: toolRow.y
        source: "qrc:/images/history.svg"
        tip: editBox.tip_chat_record
        checked: editBox.historyOpen
        loginModel: editBox.loginModel
        skinColors: editBox.skinColors
        onClicked: editBox.sigHistoryButton()
    }

    Flickable {
        id: inputFlick
        anchors.top: toolRow.bottom
        anchors.topMargin: 4 * editBox.sr
        anchors.left: parent.left
        anchors.leftMargin: 16 * editBox.sr
        anchors.right: parent.right
        anchors.rightMargin: 16 * editBox.sr
        anchors.bottom: sendRow.top
        anchors.bottomMargin: 4 * editBox.sr
        contentWidth: width
        contentHeight: messageInput.contentHeight
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { Accessible.name: editBox.tip_send_tip }
        function ensureVisible(r) {
            if (contentY >= r.y)
                contentY = r.y
            else if (contentY + height <= r.y + r.height)
                contentY = r.y + r.height - height
        }
        TextEdit {
            id: messageInput
            objectName: "messageInput"
            width: inputFlick.width
            height: Math.max(inputFlick.height, contentHeight)
            textFormat: TextEdit.RichText
            wrapMode: TextEdit.Wrap
            selectByMouse: true
            persistentSelection: true
            activeFocusOnTab: true
            font.pixelSize: Style.fontLarge
            color: editBox.pal.text
            selectionColor: editBox.skinColors
            selectedTextColor: Style.onColor(editBox.skinColors)
            Accessible.role: Accessible.EditableText
            Accessible.name: editBox.tip_send_tip
            Accessible.description: editBox.announcement
            onCursorRectangleChanged: inputFlick.ensureVisible(cursorRectangle)
            Keys.onPressed: {
                // A tab character means nothing in a message: Tab and Backtab leave the editor,
                // forward to the send button, back to the tool buttons.
                if (event.key === Qt.Key_Backtab
                        || (event.key === Qt.Key_Tab && (event.modifiers & Qt.ShiftModifier))) {
                    event.accepted = true
                    messageInput.nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
                } else if (event.key === Qt.Key_Tab) {
                    event.accepted = true
                    sendButton.forceActiveFocus(Qt.TabFocusReason)
                } else if (event.key === Qt.Key_Shift)
                    editBox.shiftPress = true
                else if (event.key === Qt.Key_Control)
                    editBox.ctrlPress = true
                else if (event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
                    event.accepted = true
                    if (editBox.shiftPress || editBox.ctrlPress
                            || (event.modifiers & (Qt.ShiftModifier | Qt.ControlModifier)))
                        editBox.insertLineFeed()
                    else
                        editBox.send()
                } else if (event.matches(StandardKey.Paste)) {
                    event.accepted = true
                    editBox.pasteClipboard()
                }
            }
            Keys.onReleased: {
                if (event.key === Qt.Key_Shift)
                    editBox.shiftPress = false
                else if (event.key === Qt.Key_Control)
                    editBox.ctrlPress = false
            }
            onActiveFocusChanged: if (!activeFocus) { editBox.shiftPress = false; editBox.ctrlPress = false }
        }
    }
    DropArea {
        anchors.fill: parent
        onDropped: if (drop.hasUrls) editBox.chooseFiles(drop.urls)
    }

    Item {
        id: sendRow
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 10 * editBox.sr
        anchors.left: parent.left
        anchors.right: parent.right
        height: sendButton.height
        Text {
            anchors.left: parent.left
            anchors.leftMargin: 16 * editBox.sr
            anchors.right: sendButton.left
            anchors.rightMargin: 12 * editBox.sr
            anchors.verticalCenter: parent.verticalCenter
            horizontalAlignment: Text.AlignRight
            elide: Text.ElideLeft
            text: editBox.tip_send_tip
            font.pixelSize: Style.fontTiny
            color: editBox.pal.sub
        }
        SkinButton {
            id: sendButton
            objectName: "sendButton"
            anchors.right: parent.right
            anchors.rightMargin: 16 * editBox.sr
            width: Math.max(76 * editBox.sr, implicitWidth)
            text: editBox.tip_send
            skinColors: editBox.skinColors
            loginModel: editBox.loginModel
            onClicked: editBox.send()
        }
    }
}

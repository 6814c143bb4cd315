import QtQuick 2.12
import Qt.labs.platform 1.1 as Platform
import BasicSettings 1.0
import ConfigData 1.0
import HttplanguagePackage 1.0
import LinkOpener 1.0
import "style"
import "controls"

// The settings window's first page: sign-in options, starting with the system, the language of
// the current server, the browser for module pages, the download folder and what the close
// button does. Every change is written at once through ConfigData.
Item {
    id: basicSettup
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property bool rememberPassword: settings.rememberPassword
    readonly property bool autoLogin: settings.autoLogin
    readonly property bool startWithSystem: settings.startWithSystem
    readonly property bool exitOnClose: settings.exitOnClose
    readonly property bool systemBrowser: settings.systemBrowser
    readonly property string downloadFolder: settings.downloadFolder
    readonly property string serverAddress: settings.serverAddress
    readonly property string currentLang: settings.currentLang
    readonly property var langCodes: settings.langCodes
    property bool languagesLoaded: false
    property alias folderDialog: folderDialog
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property string tip_login_options: qsTr("登录选项")
    property string tip_remember_password: qsTr("记住密码")
    property string tip_auto_logon: qsTr("自动登录")
    property string tip_bootup: qsTr("开机启动")
    property string tip_langue: qsTr("语言")
    property string tip_browser_options: qsTr("浏览器选项")
    property string tip_system_browser: qsTr("系统浏览器")
    property string tip_inside_browser: qsTr("内置浏览器")
    property string tip_download_position: qsTr("下载位置")
    property string tip_change: qsTr("更换")
    property string tip_restore_default: qsTr("恢复默认")
    property string tip_close_button: qsTr("关闭按钮")
    property string tip_exit_btninfor: qsTr("点击关闭按钮退出客户端")
    property string tip_data_loading: qsTr("数据加载中")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_chat_record: qsTr("聊天记录")
    property string tip_clear_chat_history: qsTr("清除聊天记录")
    property string tip_clear_chat_history_infor: qsTr("删除本机保存的聊天记录")
    property string tip_clear_chat_history_confirm: qsTr("确定清除本机保存的聊天记录吗？此操作无法撤销。")
    property string tip_chat_history_cleared: qsTr("聊天记录已清除")
    property string tip_chat_history_clear_failed: qsTr("聊天记录未能清除")
    property string tip_cancel: qsTr("取消")
    property string tip_ok: qsTr("确定")
    property string tip_notifications: qsTr("消息通知")
    property string tip_hide_preview: qsTr("通知中不显示消息内容")
    property string tip_do_not_disturb: qsTr("免打扰：不显示新消息通知")
    readonly property bool hidePreview: settings.hidePreview
    readonly property bool doNotDisturb: settings.doNotDisturb
    // "" until a clearing finished; then what it did.
    property string historyClearState: ""
    // What the client says about the local copy of the history (a damaged file set aside, a
    // full disk, records missing from a time on); empty when all is well.
    property string historyNotice: configData.historyNotice()
    // Where the notification rows begin on the page, once laid out.
    readonly property real notificationTop: column.y + notificationHeading.y

    implicitWidth: 420 * sr
    implicitHeight: column.implicitHeight

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // Reads every setting again; the window calls it each time it opens.
    function reload() {
        settings.reload()
        takeLanguages(httplanguagePackage.getLangKeys())
        languagesLoaded = false
        if (serverAddress !== "")
            httplanguagePackage.getLangPackages(serverAddress)
    }
    function takeLanguages(codes) { settings.takeLanguages(codes) }
    function valueOf(key) { return settings.switches[key] === true }
    function setValue(key, on) { settings.setValue(key, on) }
    function setRemember(on) { settings.setRemember(on) }
    function setAutoLogin(on) { settings.setAutoLogin(on) }
    function setStartWithSystem(on) { settings.setStartWithSystem(on) }
    function setExitOnClose(on) { settings.setExitOnClose(on) }
    function setSystemBrowser(on) { settings.setSystemBrowser(on) }
    function setHidePreview(on) { settings.setHidePreview(on) }
    function setDoNotDisturb(on) { settings.setDoNotDisturb(on) }
    function chooseLanguage(code) {
        if (settings.chooseLanguage(code))
            httplanguagePackage.getLangPackagesFile(code, serverAddress)
    }
    function chooseFolder() {
        folderDialog.currentFolder = settings.downloadFolderUrl()
        folderDialog.open()
    }
    function takeFolder(url) { settings.takeFolder(url) }
    function restoreDefaultFolder() { settings.restoreDefaultFolder() }
    // The folder in the system's file manager.
    function openFolder() {
        if (downloadFolder !== "")
            folderOpener.openFolder(downloadFolder)
    }
    function focusFirst() {
        if (switches.count > 0)
            switches.itemAt(0).forceActiveFocus()
    }
    function focusLanguage(i) {
        var count = languages.count
        if (count > 0)
            languages.itemAt((i + count) % count).forceActiveFocus()
    }

    BasicSettings { id: settings }
    ConfigData {
        id: configData
        onSigChatHistoryCleared: basicSettup.historyClearState = ok ? "cleared" : "failed"
        onSigHistoryNotice: basicSettup.historyNotice = notice
    }
    LinkOpener { id: folderOpener }
    LanguageTexts { id: languageTexts; target: basicSettup; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueList: {
            basicSettup.languagesLoaded = true
            basicSettup.takeLanguages(getLangKeys())
        }
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Platform.FolderDialog {
        id: folderDialog
        objectName: "downloadFolderDialog"
        title: basicSettup.tip_download_position
        onAccepted: basicSettup.takeFolder(folder)
    }

    // One switch row: its text and a sliding switch; the whole row toggles.
    Component {
        id: switchDelegate
        Rectangle {
            id: switchRow
            objectName: modelData.name
            readonly property bool checked: basicSettup.valueOf(modelData.key)
            readonly property string label: basicSettup["tip_" + modelData.text]
            function toggle() {
                basicSettup.setValue(modelData.key, !checked)
            }
            width: parent ? parent.width : 0
            height: Math.max(36 * basicSettup.sr, rowText.implicitHeight + 12 * basicSettup.sr)
            radius: Style.radius
            color: rowArea.containsMouse || activeFocus ? basicSettup.pal.hover : "transparent"
            border.width: activeFocus ? Math.max(1, 1.5 * basicSettup.sr) : 0
            border.color: basicSettup.skinColors
            activeFocusOnTab: true
            Accessible.role: Accessible.CheckBox
            Accessible.name: label
            Accessible.checkable: true
            Accessible.checked: checked
            Accessible.onPressAction: toggle()
            Accessible.onToggleAction: toggle()
            Keys.onSpacePressed: toggle()
            Keys.onReturnPressed: toggle()
            Keys.onEnterPressed: toggle()
            Text {
                textFormat: Text.PlainText
                id: rowText
                x: 10 * basicSettup.sr
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - x - track.width - 22 * basicSettup.sr
                text: switchRow.label
                wrapMode: Text.WordWrap
                font.pixelSize: Style.fontBody
                color: basicSettup.pal.text
            }
            Rectangle {
                id: track
                anchors.right: parent.right
                anchors.rightMargin: 10 * basicSettup.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 34 * basicSettup.sr
                height: 19 * basicSettup.sr
                radius: height / 2
                color: switchRow.checked ? basicSettup.skinColors : basicSettup.pal.fieldBorder
                Behavior on color { ColorAnimation { duration: 120 } }
                Rectangle {
                    width: parent.height - 4 * basicSettup.sr
                    height: width
                    radius: width / 2
                    y: 2 * basicSettup.sr
                    x: switchRow.checked ? parent.width - width - 2 * basicSettup.sr : 2 * basicSettup.sr
                    color: Style.onSkin
                    Behavior on x { NumberAnimation { duration: 120 } }
                }
            }
            MouseArea {
                id: rowArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: switchRow.toggle()
            }
        }
    }

    // One choice among several (a language, a browser).
    Component {
        id: choiceDelegate
        Rectangle {
            id: choice
            property string label: ""
            property bool chosen: false
            signal picked()
            implicitWidth: Math.max(72 * basicSettup.sr, choiceText.implicitWidth + 34 * basicSettup.sr)
            implicitHeight: Math.max(30 * basicSettup.sr, choiceText.implicitHeight + 10 * basicSettup.sr)
            radius: height / 2
            color: chosen ? basicSettup.skinColors : choiceArea.containsMouse ? basicSettup.pal.hover : "transparent"
            border.width: activeFocus ? Math.max(1, 2 * basicSettup.sr) : 1
            border.color: activeFocus ? basicSettup.pal.text : chosen ? basicSettup.skinColors : basicSettup.pal.fieldBorder
            activeFocusOnTab: true
            Accessible.role: Accessible.RadioButton
            Accessible.name: label
            Accessible.checkable: true
            Accessible.checked: chosen
            Accessible.onPressAction: picked()
            Keys.onSpacePressed: picked()
            Keys.onReturnPressed: picked()
            Keys.onEnterPressed: picked()
            Text {
                textFormat: Text.PlainText
                id: choiceText
                anchors.centerIn: parent
                text: choice.label
                font.pixelSize: Style.fontSmall
                color: choice.chosen ? Style.onColor(basicSettup.skinColors) : basicSettup.pal.text
            }
            MouseArea {
                id: choiceArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: choice.picked()
            }
        }
    }

    Column {
        id: column
        width: parent.width
        spacing: 6 * basicSettup.sr

        // Sign-in and start.
        Text {
            text: basicSettup.tip_login_options
            font.pixelSize: Style.fontLarge
            font.bold: true
            color: basicSettup.pal.text
        }
        Repeater {
            id: switches
            model: [{ name: "rememberSwitch", key: "remember", text: "remember_password" },
                    { name: "autoLoginSwitch", key: "auto", text: "auto_logon" },
                    { name: "autostartSwitch", key: "bootup", text: "bootup" }]
            delegate: switchDelegate
        }

        // The language of the current server's texts.
        Item { width: 1; height: 6 * basicSettup.sr }
        Text {
            text: basicSettup.tip_langue
            font.pixelSize: Style.fontLarge
            font.bold: true
            color: basicSettup.pal.text
        }
        Flow {
            objectName: "languageChoice"
            width: parent.width
            spacing: 8 * basicSettup.sr
            leftPadding: 10 * basicSettup.sr
            Repeater {
                id: languages
                model: basicSettup.langCodes
                delegate: Loader {
                    objectName: "settingsLang_" + modelData
                    sourceComponent: choiceDelegate
                    activeFocusOnTab: false
                    onLoaded: {
                        item.label = Qt.binding(function() { return httplanguagePackage.getLangName(modelData) || modelData })
                        item.chosen = Qt.binding(function() { return basicSettup.currentLang === modelData })
                        item.picked.connect(function() { basicSettup.chooseLanguage(modelData) })
                    }
                    Keys.onLeftPressed: basicSettup.focusLanguage(index - 1)
                    Keys.onRightPressed: basicSettup.focusLanguage(index + 1)
                }
            }
            Text {
                textFormat: Text.PlainText
                visible: basicSettup.langCodes.length === 0
                height: 30 * basicSettup.sr
                verticalAlignment: Text.AlignVCenter
                text: basicSettup.languagesLoaded || basicSettup.serverAddress === "" ? basicSettup.tip_no_contents
                                                                                     : basicSettup.tip_data_loading
                font.pixelSize: Style.fontSmall
                color: basicSettup.pal.sub
            }
        }

        // Where module pages open.
        Item { width: 1; height: 6 * basicSettup.sr }
        Text {
            text: basicSettup.tip_browser_options
            font.pixelSize: Style.fontLarge
            font.bold: true
            color: basicSettup.pal.text
        }
        Row {
            id: browserChoice
            objectName: "browserChoice"
            // True: the system's browser; false: the built-in one.
            readonly property bool systemBrowser: basicSettup.systemBrowser
            leftPadding: 10 * basicSettup.sr
            spacing: 8 * basicSettup.sr
            Accessible.role: Accessible.Grouping
            Accessible.name: basicSettup.tip_browser_options
            Loader {
                id: systemOption
                objectName: "browser_system"
                sourceComponent: choiceDelegate
                onLoaded: {
                    item.label = Qt.binding(function() { return basicSettup.tip_system_browser })
                    item.chosen = Qt.binding(function() { return basicSettup.systemBrowser })
                    item.picked.connect(function() { basicSettup.setSystemBrowser(true) })
                }
                Keys.onRightPressed: insideOption.item.forceActiveFocus()
                Keys.onLeftPressed: insideOption.item.forceActiveFocus()
            }
            Loader {
                id: insideOption
                objectName: "browser_inside"
                sourceComponent: choiceDelegate
                onLoaded: {
                    item.label = Qt.binding(function() { return basicSettup.tip_inside_browser })
                    item.chosen = Qt.binding(function() { return !basicSettup.systemBrowser })
                    item.picked.connect(function() { basicSettup.setSystemBrowser(false) })
                }
                Keys.onRightPressed: systemOption.item.forceActiveFocus()
                Keys.onLeftPressed: systemOption.item.forceActiveFocus()
            }
        }

        // Where downloads go.
        Item { width: 1; height: 6 * basicSettup.sr }
        Text {
            text: basicSettup.tip_download_position
            font.pixelSize: Style.fontLarge
            font.bold: true
            color: basicSettup.pal.text
        }
        Item {
            width: parent.width
            height: Math.max(folderButton.height, folderText.implicitHeight)
            Rectangle {
                anchors.left: parent.left
                anchors.leftMargin: 10 * basicSettup.sr
                anchors.right: folderButton.left
                anchors.rightMargin: 8 * basicSettup.sr
                // A click shows the folder; the buttons beside it change it.
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: basicSettup.openFolder()
                }
                anchors.verticalCenter: parent.verticalCenter
                height: folderButton.height
                radius: Style.radius
                color: basicSettup.pal.field
                Text {
                    textFormat: Text.PlainText
                    id: folderText
                    objectName: "downloadFolderText"
                    anchors.fill: parent
                    anchors.leftMargin: 10 * basicSettup.sr
                    anchors.rightMargin: 10 * basicSettup.sr
                    verticalAlignment: Text.AlignVCenter
                    text: basicSettup.downloadFolder
                    elide: Text.ElideMiddle
                    font.pixelSize: Style.fontSmall
                    color: basicSettup.pal.muted
                }
            }
            SkinButton {
                id: folderButton
                objectName: "downloadFolderButton"
                anchors.right: defaultButton.left
                anchors.rightMargin: 8 * basicSettup.sr
                primary: false
                text: basicSettup.tip_change
                loginModel: basicSettup.loginModel
                skinColors: basicSettup.skinColors
                Accessible.description: basicSettup.tip_download_position + " " + basicSettup.downloadFolder
                onClicked: basicSettup.chooseFolder()
            }
            SkinButton {
                id: defaultButton
                objectName: "downloadFolderDefault"
                anchors.right: parent.right
                anchors.rightMargin: 10 * basicSettup.sr
                primary: false
                text: basicSettup.tip_restore_default
                loginModel: basicSettup.loginModel
                skinColors: basicSettup.skinColors
                onClicked: basicSettup.restoreDefaultFolder()
            }
        }

        // What the window's close button does.
        Item { width: 1; height: 6 * basicSettup.sr }
        Text {
            text: basicSettup.tip_close_button
            font.pixelSize: Style.fontLarge
            font.bold: true
            color: basicSettup.pal.text
        }
        Repeater {
            model: [{ name: "exitButtonSwitch", key: "exit", text: "exit_btninfor" }]
            delegate: switchDelegate
        }

        // Desktop notifications of new messages and reminders.
        Item { width: 1; height: 6 * basicSettup.sr }
        Text {
            id: notificationHeading
            text: basicSettup.tip_notifications
            font.pixelSize: Style.fontLarge
            font.bold: true
            color: basicSettup.pal.text
        }
        Repeater {
            model: [{ name: "doNotDisturbCheck", key: "doNotDisturb", text: "do_not_disturb" },
                    { name: "hidePreviewCheck", key: "hidePreview", text: "hide_preview" }]
            delegate: switchDelegate
        }

        // The messages kept on this computer, and deleting them (asked once more).
        Item { width: 1; height: 6 * basicSettup.sr }
        Text {
            text: basicSettup.tip_chat_record
            font.pixelSize: Style.fontLarge
            font.bold: true
            color: basicSettup.pal.text
        }
        Item {
            width: parent.width
            height: Math.max(clearHistoryButton.height, clearHistoryText.implicitHeight)
            Text {
                textFormat: Text.PlainText
                id: clearHistoryText
                objectName: "clearHistoryState"
                anchors.left: parent.left
                anchors.leftMargin: 10 * basicSettup.sr
                anchors.right: clearHistoryButton.left
                anchors.rightMargin: 10 * basicSettup.sr
                anchors.verticalCenter: parent.verticalCenter
                wrapMode: Text.Wrap
                text: basicSettup.historyClearState === "cleared" ? basicSettup.tip_chat_history_cleared
                    : basicSettup.historyClearState === "failed" ? basicSettup.tip_chat_history_clear_failed
                    : basicSettup.tip_clear_chat_history_infor
                font.pixelSize: Style.fontSmall
                color: basicSettup.historyClearState === "failed" ? Style.danger : basicSettup.pal.muted
            }
            SkinButton {
                id: clearHistoryButton
                objectName: "clearHistoryButton"
                anchors.right: parent.right
                anchors.rightMargin: 10 * basicSettup.sr
                primary: false
                text: basicSettup.tip_clear_chat_history
                loginModel: basicSettup.loginModel
                skinColors: basicSettup.skinColors
                onClicked: clearConfirm.open()
            }
        }
        Text {
            objectName: "historyNotice"
            textFormat: Text.PlainText
            visible: basicSettup.historyNotice !== ""
            x: 10 * basicSettup.sr
            width: parent.width - 20 * basicSettup.sr
            wrapMode: Text.Wrap
            text: basicSettup.historyNotice
            font.pixelSize: Style.fontSmall
            color: Style.danger
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    ModalCard {
        id: clearConfirm
        objectName: "clearHistoryConfirm"
        anchors.fill: parent
        z: 11
        loginModel: basicSettup.loginModel
        title: basicSettup.tip_clear_chat_history
        closeName: basicSettup.tip_cancel
        cardWidth: Math.min(380 * basicSettup.sr, basicSettup.width)
        cardHeight: clearConfirmText.implicitHeight + 150 * basicSettup.sr
        Text {
            id: clearConfirmText
            x: 22 * basicSettup.sr
            width: parent.width - 44 * basicSettup.sr
            wrapMode: Text.Wrap
            text: basicSettup.tip_clear_chat_history_confirm
            font.pixelSize: Style.fontBody
            color: basicSettup.pal.muted
        }
        Row {
            anchors.right: parent.right
            anchors.rightMargin: 22 * basicSettup.sr
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 18 * basicSettup.sr
            spacing: 12 * basicSettup.sr
            SkinButton {
                id: clearCancel
                objectName: "clearHistoryCancel"
                KeyNavigation.tab: clearOk
                text: basicSettup.tip_cancel
                primary: false
                loginModel: basicSettup.loginModel
                skinColors: basicSettup.skinColors
                onClicked: clearConfirm.close()
            }
            SkinButton {
                id: clearOk
                objectName: "clearHistoryOk"
                KeyNavigation.tab: clearCancel
                text: basicSettup.tip_ok
                loginModel: basicSettup.loginModel
                skinColors: Style.danger
                onClicked: {
                    clearConfirm.close()
                    basicSettup.historyClearState = ""
                    configData.clearChatHistory()
                }
            }
        }
    }
}

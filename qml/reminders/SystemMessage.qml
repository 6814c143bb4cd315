import QtQuick 2.12
import QtQuick.Controls 2.5
import SystemHandl 1.0
import SystemRequest 1.0
import ReminderModuleModel 1.0
import ReminderListModel 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The server's system reminders by module: the modules with their unread counts on the left,
// the chosen module's reminders on the right, newest first, a page at a time; an unread filter,
// marking one or all read, and opening a reminder's page.
Rectangle {
    id: systemMessage
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    // "all" or a module's key (its remind_menu).
    property string currentMenu: "all"
    property bool unreadOnly: false
    readonly property int currentPage: remindModel.currentPage
    readonly property int lastPage: remindModel.lastPage
    readonly property int totalCount: remindModel.totalCount
    readonly property bool loading: remindModel.loading
    readonly property string errorText: remindModel.errorText
    readonly property bool hasMore: remindModel.hasMore

    property string tip_system_message: qsTr("系统消息")
    property string tip_all_set_readed: qsTr("全部设置已读")
    property string tip_unread: qsTr("未读")
    property string tip_read: qsTr("已读")
    property string tip_see: qsTr("查看")
    property string tip_click_load_more: qsTr("点击加载更多")
    property string tip_data_loading: qsTr("数据加载中")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_remind_all: qsTr("全部")
    property string tip_remind_mark_read: qsTr("设为已读")
    property string tip_remind_load_failed: qsTr("提醒加载失败，请稍后重试")
    property string tip_remind_mark_failed: qsTr("未能设为已读，请稍后重试")
    property string tip_total: qsTr("共")
    property string tip_totals: qsTr("条")

    signal sigJumpBrowser(string browsers)
    signal sigOpenExternally(string link)

    color: loginModel === 1 ? Style.glass(0.82) : pal.pane

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function retImageInforPath(menuKey, menuName) { return moduleModel.iconPath(menuKey, menuName) }

    // Called each time the view is shown: fresh counts and the first page again.
    function activate() {
        reloadModules()
        systemHandl.getSystemUnreadNumbers()
        reload()
        remindList.forceActiveFocus()
    }
    function reloadModules() {
        currentMenu = moduleModel.reloadKeeping(currentMenu)
        moduleList.currentIndex = moduleModel.indexOf(currentMenu)
    }
    // "": a row out of range.
    function chooseModule(key) {
        if (key === currentMenu || key === "")
            return
        currentMenu = key
        reload()
    }
    function chooseRow(index) { chooseModule(moduleModel.keyAt(index)) }
    function setUnreadOnly(only) {
        if (only === unreadOnly)
            return
        unreadOnly = only
        reload()
    }
    function reload() { remindModel.requestPage(currentMenu, unreadOnly, 1) }
    function loadMore() { remindModel.loadMore(currentMenu, unreadOnly) }
    function markRead(index) { remindModel.markRead(index) }
    // "全部设置已读": every module of the current choice that has something unread.
    function markAllRead() { remindModel.markAllRead(currentMenu) }
    // The reminder's page of the web client; opening it reads it.
    function openRemind(index) { remindModel.openRemind(index, systemHandl) }

    SystemHandl {
        id: systemHandl
        onSigSystemInforChange: systemMessage.reloadModules()
        onSigUnreadNumberFromRemindmenu: moduleModel.refreshCounts()
        onJumpBrowser: systemMessage.sigJumpBrowser(browsers)
        onOpenExternally: systemMessage.sigOpenExternally(link)
        // A new reminder: new counts, and the first page again when it belongs to what is shown.
        onMessageTipInfors: {
            moduleModel.askCounts()
            if (systemMessage.visible && systemMessage.currentPage <= 1
                    && (systemMessage.currentMenu === "all" || systemMessage.currentMenu === menus))
                systemMessage.reload()
        }
    }
    // One request at a time on each channel: the list model sends the next one when the last
    // is answered.
    SystemRequest {
        id: systemRequest
        onSigRequestSystemInfor: remindModel.pageArrived(contents)
        onSigRequestStatus: remindModel.requestStatus(status, types, errors)
    }
    ReminderModuleModel {
        id: moduleModel
        allName: systemMessage.tip_remind_all
        onCountsWanted: systemHandl.getSystemUnreadNumbers()
    }
    ReminderListModel {
        id: remindModel
        modules: moduleModel
        loadFailedText: systemMessage.tip_remind_load_failed
        markFailedText: systemMessage.tip_remind_mark_failed
        onPageWanted: systemRequest.requestSystemInfor(menus, flags, pages)
        onReadOneWanted: systemRequest.setReadSignInformation(ids)
        onReadModuleWanted: systemRequest.setReadSignModule(menu)
    }

    LanguageTexts {
        id: languageTexts
        target: systemMessage
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // Title: what is shown, the unread filter and "全部设置已读"; the window's buttons float over
    // the right end.
    Item {
        id: titleBar
        width: parent.width
        height: Style.titleHeight
        Text {
            id: titleText
            x: 22 * systemMessage.sr
            anchors.verticalCenter: parent.verticalCenter
            width: Math.min(implicitWidth, titleBar.width - x - titleTools.width - 130 * systemMessage.sr)
            elide: Text.ElideRight
            text: systemMessage.tip_system_message
            font.pixelSize: Style.fontHeading
            color: systemMessage.pal.text
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Row {
            id: titleTools
            anchors.right: parent.right
            anchors.rightMargin: 104 * systemMessage.sr
            anchors.verticalCenter: parent.verticalCenter
            spacing: 14 * systemMessage.sr
            CheckRow {
                id: unreadFilter
                objectName: "unreadFilter"
                anchors.verticalCenter: parent.verticalCenter
                text: systemMessage.tip_unread
                checked: systemMessage.unreadOnly
                loginModel: systemMessage.loginModel
                skinColors: systemMessage.skinColors
                onToggled: systemMessage.setUnreadOnly(checked)
            }
            SkinButton {
                id: markAllReadButton
                objectName: "markAllReadButton"
                anchors.verticalCenter: parent.verticalCenter
                primary: false
                implicitHeight: 30 * systemMessage.sr
                text: systemMessage.tip_all_set_readed
                fontSize: Style.fontSmall
                loginModel: systemMessage.loginModel
                skinColors: systemMessage.skinColors
                enabled: !remindModel.readModuleBusy
                onClicked: systemMessage.markAllRead()
            }
        }
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: systemMessage.pal.line
        }
    }

    // The modules, "全部" first, each with its unread count.
    Rectangle {
        id: modulePane
        anchors.top: titleBar.bottom
        anchors.bottom: parent.bottom
        width: 172 * systemMessage.sr
        color: systemMessage.loginModel === 1 ? "transparent" : systemMessage.pal.list
        Rectangle {
            anchors.right: parent.right
            width: 1
            height: parent.height
            color: systemMessage.pal.line
        }
        ListView {
            id: moduleList
            objectName: "moduleList"
            anchors.fill: parent
            anchors.topMargin: 8 * systemMessage.sr
            anchors.rightMargin: 1
            clip: true
            model: moduleModel
            activeFocusOnTab: true
            keyNavigationEnabled: true
            boundsBehavior: Flickable.StopAtBounds
            Accessible.role: Accessible.List
            Accessible.name: systemMessage.tip_system_message
            Keys.onReturnPressed: systemMessage.chooseRow(currentIndex)
            Keys.onEnterPressed: systemMessage.chooseRow(currentIndex)
            Keys.onSpacePressed: systemMessage.chooseRow(currentIndex)
            delegate: Rectangle {
                id: moduleRow
                objectName: "module_" + model.key
                readonly property bool chosen: model.key === systemMessage.currentMenu
                width: ListView.view.width
                height: 44 * systemMessage.sr
                color: chosen ? systemMessage.pal.selected
                              : moduleArea.containsMouse || (moduleRow.ListView.isCurrentItem && moduleList.activeFocus)
                                ? systemMessage.pal.hover : "transparent"
                Accessible.role: Accessible.ListItem
                Accessible.name: model.name + (model.unread > 0 ? " " + model.unread : "")
                Accessible.selected: chosen
                Rectangle {
                    visible: moduleRow.chosen
                    width: 3 * systemMessage.sr
                    height: parent.height
                    color: systemMessage.skinColors
                }
                Image {
                    id: moduleIcon
                    x: 16 * systemMessage.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 22 * systemMessage.sr
                    height: width
                    sourceSize: Qt.size(width * 2, height * 2)
                    source: model.key === "all" ? "" : systemMessage.retImageInforPath(model.key, model.name)
                    visible: model.key !== "all"
                }
                // "全部" has a list for its icon.
                Rectangle {
                    visible: model.key === "all"
                    anchors.fill: moduleIcon
                    radius: width / 2
                    color: systemMessage.skinColors
                    Column {
                        anchors.centerIn: parent
                        spacing: 2.5 * systemMessage.sr
                        Repeater {
                            model: 3
                            Rectangle {
                                width: (index === 2 ? 6 : 10) * systemMessage.sr
                                height: Math.max(1, 1.6 * systemMessage.sr)
                                radius: height / 2
                                color: Style.onSkin
                            }
                        }
                    }
                }
                Text {
                    textFormat: Text.PlainText
                    anchors.left: moduleIcon.right
                    anchors.leftMargin: 10 * systemMessage.sr
                    anchors.right: moduleBadge.visible ? moduleBadge.left : parent.right
                    anchors.rightMargin: 8 * systemMessage.sr
                    anchors.verticalCenter: parent.verticalCenter
                    text: model.name
                    elide: Text.ElideRight
                    font.pixelSize: Style.fontBody
                    font.bold: moduleRow.chosen
                    color: systemMessage.pal.text
                }
                UnreadBadge {
                    id: moduleBadge
                    objectName: "moduleUnread_" + model.key
                    anchors.right: parent.right
                    anchors.rightMargin: 12 * systemMessage.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: implicitWidth
                    height: implicitHeight
                    count: model.unread
                }
                MouseArea {
                    id: moduleArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: {
                        moduleList.currentIndex = index
                        systemMessage.chooseModule(model.key)
                    }
                }
            }
        }
    }

    // The reminders of the chosen module.
    ListView {
        id: remindList
        objectName: "systemMessageList"
        anchors.top: titleBar.bottom
        anchors.bottom: parent.bottom
        anchors.left: modulePane.right
        anchors.right: parent.right
        anchors.leftMargin: 16 * systemMessage.sr
        anchors.rightMargin: 16 * systemMessage.sr
        topMargin: 12 * systemMessage.sr
        bottomMargin: 12 * systemMessage.sr
        spacing: 8 * systemMessage.sr
        clip: true
        model: remindModel
        activeFocusOnTab: true
        keyNavigationEnabled: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded; Accessible.name: parent ? parent.Accessible.name : "" }
        Accessible.role: Accessible.List
        Accessible.name: systemMessage.tip_system_message
        Keys.onReturnPressed: systemMessage.openRemind(currentIndex)
        Keys.onEnterPressed: systemMessage.openRemind(currentIndex)
        Keys.onSpacePressed: systemMessage.markRead(currentIndex)
        // Reaching the last row asks for the next page, as the button below does.
        onCurrentIndexChanged: if (currentIndex === count - 1 && activeFocus) systemMessage.loadMore()

        delegate: Rectangle {
            id: remindRow
            objectName: "remind_" + model.remindId
            readonly property bool current: ListView.isCurrentItem && remindList.activeFocus
            width: ListView.view.width
            height: Math.max(64 * systemMessage.sr, rowContent.implicitHeight + 24 * systemMessage.sr)
            radius: Style.radiusCard
            color: rowArea.containsMouse ? systemMessage.pal.hover : systemMessage.pal.card
            border.color: current ? systemMessage.skinColors : systemMessage.pal.cardBorder
            border.width: current ? Math.max(1, 1.5 * systemMessage.sr) : 1
            Accessible.role: Accessible.ListItem
            Accessible.name: model.menuName + " " + model.content + " " + model.sendTime
                             + " " + (model.isRead ? systemMessage.tip_read : systemMessage.tip_unread)
            Accessible.onPressAction: systemMessage.openRemind(index)

            MouseArea {
                id: rowArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: {
                    remindList.currentIndex = index
                    systemMessage.openRemind(index)
                }
            }
            Image {
                id: remindIcon
                x: 14 * systemMessage.sr
                y: 12 * systemMessage.sr
                width: 36 * systemMessage.sr
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: systemMessage.retImageInforPath(model.smsMenu, model.menuName)
            }
            Rectangle {
                objectName: "remindDot_" + model.remindId
                visible: !model.isRead
                anchors.right: remindIcon.right
                anchors.top: remindIcon.top
                anchors.margins: -2 * systemMessage.sr
                width: 9 * systemMessage.sr
                height: width
                radius: width / 2
                color: Style.danger
                border.color: systemMessage.pal.card
            }
            Column {
                id: rowContent
                anchors.left: remindIcon.right
                anchors.leftMargin: 12 * systemMessage.sr
                anchors.right: parent.right
                anchors.rightMargin: 14 * systemMessage.sr
                y: 12 * systemMessage.sr
                spacing: 4 * systemMessage.sr
                Item {
                    width: parent.width
                    height: Math.max(nameText.implicitHeight, timeText.implicitHeight)
                    Text {
                        textFormat: Text.PlainText
                        id: nameText
                        anchors.left: parent.left
                        anchors.right: timeText.left
                        anchors.rightMargin: 10 * systemMessage.sr
                        text: model.menuName
                        elide: Text.ElideRight
                        font.pixelSize: Style.fontSmall
                        color: systemMessage.pal.sub
                    }
                    Text {
                        textFormat: Text.PlainText
                        id: timeText
                        anchors.right: parent.right
                        text: model.sendTime
                        font.pixelSize: Style.fontSmall
                        color: systemMessage.pal.sub
                    }
                }
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    text: model.content
                    wrapMode: Text.Wrap
                    maximumLineCount: 3
                    elide: Text.ElideRight
                    font.pixelSize: Style.fontBody
                    font.bold: !model.isRead
                    color: model.isRead ? systemMessage.pal.muted : systemMessage.pal.text
                }
                Row {
                    anchors.right: parent.right
                    spacing: 16 * systemMessage.sr
                    Text {
                        visible: model.isRead
                        text: systemMessage.tip_read
                        font.pixelSize: Style.fontSmall
                        color: systemMessage.pal.sub
                    }
                    Text {
                        id: markLink
                        objectName: "markRead_" + model.remindId
                        visible: !model.isRead
                        text: systemMessage.tip_remind_mark_read
                        font.pixelSize: Style.fontSmall
                        font.underline: markArea.containsMouse
                        color: systemMessage.skinColors
                        Accessible.role: Accessible.Button
                        Accessible.name: text
                        Accessible.onPressAction: systemMessage.markRead(index)
                        MouseArea {
                            id: markArea
                            anchors.fill: parent
                            anchors.margins: -4 * systemMessage.sr
                            hoverEnabled: true
                            cursorShape: Qt.PointingHandCursor
                            onClicked: systemMessage.markRead(index)
                        }
                    }
                    Text {
                        text: systemMessage.tip_see
                        font.pixelSize: Style.fontSmall
                        font.underline: rowArea.containsMouse
                        color: systemMessage.skinColors
                    }
                }
            }
        }

        footer: Item {
            width: remindList.width
            height: footerText.implicitHeight + 28 * systemMessage.sr
            Text {
                textFormat: Text.PlainText
                id: footerText
                objectName: "loadMoreButton"
                anchors.centerIn: parent
                width: Math.min(implicitWidth, parent.width)
                elide: Text.ElideRight
                readonly property bool clickable: systemMessage.hasMore && !systemMessage.loading
                text: systemMessage.loading ? systemMessage.tip_data_loading
                      : systemMessage.errorText !== "" ? systemMessage.errorText
                      : systemMessage.hasMore ? systemMessage.tip_click_load_more
                      : remindModel.count === 0 ? systemMessage.tip_no_contents
                      : systemMessage.tip_total + " " + systemMessage.totalCount + " " + systemMessage.tip_totals
                font.pixelSize: Style.fontSmall
                font.underline: clickable && moreArea.containsMouse
                color: clickable ? systemMessage.skinColors
                       : systemMessage.errorText !== "" && !systemMessage.loading ? Style.danger : systemMessage.pal.sub
                activeFocusOnTab: clickable
                Accessible.role: clickable ? Accessible.Button : Accessible.StaticText
                Accessible.name: text
                Accessible.onPressAction: systemMessage.loadMore()
                Keys.onReturnPressed: systemMessage.loadMore()
                Keys.onSpacePressed: systemMessage.loadMore()
                MouseArea {
                    id: moreArea
                    anchors.fill: parent
                    anchors.margins: -6 * systemMessage.sr
                    enabled: footerText.clickable || systemMessage.errorText !== ""
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: systemMessage.errorText !== "" && !systemMessage.hasMore ? systemMessage.reload()
                                                                                       : systemMessage.loadMore()
                }
            }
        }
    }
}

import QtQuick 2.12
import QtQuick.Controls 2.5
import QtQuick.Window 2.12
import HttplanguagePackage 1.0
import "style"
import "controls"

// The system settings window's content: a title bar that moves the window, the two pages
// (general settings; themes and skins) chosen on the left, and Escape to close.
Rectangle {
    id: systemTipset
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // 0 general settings, 1 themes and skins.
    property int currentPage: 0
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias basicSettup: basicSettup
    readonly property alias themeSettup: themeSettup

    property string tip_system_setup: qsTr("系统设置")
    property string tip_close: qsTr("关闭")
    property string tip_basic_set: qsTr("基本设置")
    property string tip_topic_skin: qsTr("主题皮肤")

    signal sigChangeTheme(int themes)
    signal sigChangeColor(string colors)
    signal sigCustomChangeColor(string colors)
    signal sigClose()
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)

    color: pal.pane
    border.color: pal.cardBorder
    implicitWidth: 620 * sr
    implicitHeight: 560 * sr

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // Called each time the window opens: the settings are read again.
    function open(page) {
        showingNotifications = false
        currentPage = page === undefined ? 0 : page
        basicSettup.reload()
        pageFlick.contentY = 0
        tabs.itemAt(currentPage).forceActiveFocus()
    }
    // The first page scrolled to the notification rows (the screenshots show them); it stays
    // there while the page is laid out.
    property bool showingNotifications: false
    function openNotifications() {
        open(0)
        showingNotifications = true
        scrollToNotifications()
    }
    function scrollToNotifications() {
        if (!showingNotifications)
            return
        var top = basicSettup.y + basicSettup.notificationTop - 8 * sr
        pageFlick.contentY = Math.max(0, Math.min(pageFlick.contentHeight - pageFlick.height, top))
    }
    function focusTab() {
        tabs.itemAt(currentPage).forceActiveFocus()
    }
    function showPage(page) {
        currentPage = page
        pageFlick.contentY = 0
    }

    // Escape closes the window wherever the focus is in it.
    Shortcut {
        sequence: "Escape"
        context: Qt.WindowShortcut
        onActivated: systemTipset.sigClose()
    }
    TextMetrics { id: basicMetrics; font.pixelSize: Style.fontBody; font.bold: true; text: systemTipset.tip_basic_set }
    TextMetrics { id: themeMetrics; font.pixelSize: Style.fontBody; font.bold: true; text: systemTipset.tip_topic_skin }

    LanguageTexts { id: languageTexts; target: systemTipset; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // Title bar in the skin colour; dragging it moves the window.
    Rectangle {
        id: titleBar
        x: 1
        y: 1
        width: parent.width - 2
        height: 44 * systemTipset.sr
        color: systemTipset.skinColors
        Text {
            x: 16 * systemTipset.sr
            anchors.verticalCenter: parent.verticalCenter
            text: systemTipset.tip_system_setup
            color: Style.onColor(systemTipset.skinColors)
            font.pixelSize: Style.fontLarge
        }
        DragArea {
            anchors.fill: parent
            onDragged: {
                systemTipset.modifyXposition(dx)
                systemTipset.modifyYposition(dy)
            }
        }
        CloseButton {
            objectName: "settingsClose"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            filled: true
            height: parent.height
            loginModel: 2
            accessibleName: systemTipset.tip_close
            onClicked: systemTipset.sigClose()
        }
    }

    // The pages to choose from.
    Rectangle {
        id: tabPane
        anchors.top: titleBar.bottom
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 1
        width: Math.max(128 * systemTipset.sr, Math.max(basicMetrics.advanceWidth, themeMetrics.advanceWidth) + 40 * systemTipset.sr)
        color: systemTipset.pal.list
        Column {
            id: tabColumn
            y: 12 * systemTipset.sr
            width: parent.width
            spacing: 2 * systemTipset.sr
            Repeater {
                id: tabs
                model: 2
                Rectangle {
                    objectName: index === 0 ? "settingsTab_basic" : "settingsTab_theme"
                    readonly property bool chosen: systemTipset.currentPage === index
                    readonly property string label: index === 0 ? systemTipset.tip_basic_set : systemTipset.tip_topic_skin
                    width: tabColumn.width
                    height: Math.max(40 * systemTipset.sr, tabText.implicitHeight + 14 * systemTipset.sr)
                    color: chosen ? systemTipset.pal.selected : tabArea.containsMouse || activeFocus ? systemTipset.pal.hover : "transparent"
                    activeFocusOnTab: true
                    Accessible.role: Accessible.PageTab
                    Accessible.name: label
                    Accessible.checkable: true
                    Accessible.checked: chosen
                    Accessible.onPressAction: systemTipset.showPage(index)
                    Keys.onSpacePressed: systemTipset.showPage(index)
                    Keys.onReturnPressed: systemTipset.showPage(index)
                    Keys.onEnterPressed: systemTipset.showPage(index)
                    Keys.onUpPressed: tabs.itemAt(0).forceActiveFocus()
                    Keys.onDownPressed: tabs.itemAt(1).forceActiveFocus()
                    Rectangle {
                        visible: parent.chosen || parent.activeFocus
                        width: 3 * systemTipset.sr
                        height: parent.height
                        color: systemTipset.skinColors
                    }
                    Text {
                        textFormat: Text.PlainText
                        id: tabText
                        x: 20 * systemTipset.sr
                        anchors.verticalCenter: parent.verticalCenter
                        width: parent.width - x - 8 * systemTipset.sr
                        text: parent.label
                        elide: Text.ElideRight
                        font.pixelSize: Style.fontBody
                        font.bold: parent.chosen
                        color: parent.chosen ? systemTipset.skinColors : systemTipset.pal.text
                    }
                    MouseArea {
                        id: tabArea
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: systemTipset.showPage(index)
                    }
                }
            }
        }
    }

    // The chosen page; it scrolls when the texts are long or the scale large.
    Flickable {
        id: pageFlick
        anchors.top: titleBar.bottom
        anchors.left: tabPane.right
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 1
        clip: true
        contentWidth: width
        contentHeight: (systemTipset.currentPage === 0 ? basicSettup.height : themeSettup.height) + 40 * systemTipset.sr
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { Accessible.name: systemTipset.currentPage === 0 ? systemTipset.tip_basic_set : systemTipset.tip_topic_skin }
        onContentHeightChanged: systemTipset.scrollToNotifications()
        onHeightChanged: systemTipset.scrollToNotifications()
        BasicSettup {
            id: basicSettup
            objectName: "basicSettup"
            onNotificationTopChanged: systemTipset.scrollToNotifications()
            x: 20 * systemTipset.sr
            y: 16 * systemTipset.sr
            width: pageFlick.width - 40 * systemTipset.sr
            height: implicitHeight
            visible: systemTipset.currentPage === 0
            loginModel: systemTipset.loginModel
            skinColors: systemTipset.skinColors
        }
        ThemeSettup {
            id: themeSettup
            objectName: "themeSettup"
            x: 20 * systemTipset.sr
            y: 16 * systemTipset.sr
            width: pageFlick.width - 40 * systemTipset.sr
            height: implicitHeight
            visible: systemTipset.currentPage === 1
            loginModel: systemTipset.loginModel
            skinColors: systemTipset.skinColors
            onSigChangeTheme: systemTipset.sigChangeTheme(themes)
            onSigChangeColor: systemTipset.sigChangeColor(colors)
            onSigCustomChangeColor: systemTipset.sigCustomChangeColor(colors)
        }
    }
    // Keeps the focused control in view while Tab moves through a long page.
    Connections {
        target: systemTipset.Window.window
        ignoreUnknownSignals: true
        function onActiveFocusItemChanged() {
            var item = systemTipset.Window.activeFocusItem
            if (!item)
                return
            var page = systemTipset.currentPage === 0 ? basicSettup : themeSettup
            var p = item.mapToItem(page, 0, 0)
            var inside = p.x >= 0 && p.x <= page.width && p.y >= 0 && p.y <= page.height
            if (!inside)
                return
            var top = page.y + p.y
            if (top < pageFlick.contentY)
                pageFlick.contentY = Math.max(0, top - 8 * systemTipset.sr)
            else if (top + item.height > pageFlick.contentY + pageFlick.height)
                pageFlick.contentY = Math.min(pageFlick.contentHeight - pageFlick.height,
                                              top + item.height - pageFlick.height + 8 * systemTipset.sr)
        }
    }
}

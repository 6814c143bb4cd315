import QtQuick 2.12
import QtQuick.Controls 2.5
import MenuItem 1.0
import ModuleTreeModel 1.0
import ConfigData 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The module menu: the server's menus as a tree in the list pane (with search over names and
// their initials), the common functions and the chosen menu's entries as tiles on the right.
// An entry opens its page of the web client, in the system browser or the built-in one as the
// settings say.
Rectangle {
    id: menuDefault
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property alias searchText: moduleTree.searchText
    // The menu whose entries the right side shows; "" shows every top-level menu.
    property alias chosenId: moduleTree.chosenId
    readonly property var commonIds: moduleTree.commonIds

    property string tip_application: qsTr("应用")
    property string tip_common_functions: qsTr("常用功能")
    property string tip_menu_list: qsTr("菜单列表")
    property string tip_search: qsTr("搜索")
    property string tip_expanded: qsTr("已展开")
    property string tip_collapsed: qsTr("已折叠")
    property string tip_search_display: qsTr("搜索结果")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_menu_no_result: qsTr("没有找到相关应用")
    property string tip_back: qsTr("返回")

    signal sigSendChatInformation(string ids, string names, string types)
    signal sigJumpBrowser(string browsers)
    signal sigOpenExternally(string link)
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)

    color: loginModel === 1 ? "transparent" : pal.pane

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function activate() {
        if (moduleTree.isEmpty())
            buildTree()
        menuListView.forceActiveFocus()
    }
    function buildTree() {
        menuListView.currentIndex = moduleTree.reloadKeeping(menuListView.currentIndex)
        loadCommon()
    }
    // The same menu stays current through a search, or else the first row.
    function search(text) { menuListView.currentIndex = moduleTree.search(text, menuListView.currentIndex) }
    function setExpanded(menuId, open) { moduleTree.setExpanded(menuId, open) }
    // A row was chosen: a menu with entries opens in place and shows them; an entry opens.
    function activateRow(index) { openMenu(moduleTree.activateRow(index)) }
    function openMenu(menuId) {
        if (!moduleTree.opensPage(menuId))
            return
        remember(menuId)
        menuItem.openWebInfor(moduleTree.moduleOf(menuId), menuId)
    }
    // The common functions: the entries opened last, newest first; before any, the first
    // entries of the menu.
    function loadCommon() { moduleTree.loadCommon(configData.getCurrentMainFile("commonMenus")) }
    function remember(menuId) {
        configData.setCurrentMainFile(moduleTree.remembered(configData.getCurrentMainFile("commonMenus"), menuId),
                                      "commonMenus")
        loadCommon()
    }

    MenuItem {
        id: menuItem
        onSigUpdateData: menuDefault.buildTree()
        onJumpBrowser: menuDefault.sigJumpBrowser(browsers)
        onOpenExternally: menuDefault.sigOpenExternally(link)
    }
    ConfigData { id: configData }
    ModuleTreeModel { id: moduleTree }

    LanguageTexts {
        id: languageTexts
        target: menuDefault
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // The list pane: title, search, the menu tree.
    Rectangle {
        id: listPane
        width: Style.listWidth
        height: parent.height
        color: menuDefault.loginModel === 1 ? Style.glass(0.55) : menuDefault.pal.list
        Rectangle {
            anchors.right: parent.right
            width: 1
            height: parent.height
            color: menuDefault.pal.line
        }
        Item {
            id: listTitle
            width: parent.width
            height: Style.titleHeight
            DragArea {
                anchors.fill: parent
                onDragged: {
                    menuDefault.modifyXposition(dx)
                    menuDefault.modifyYposition(dy)
                }
            }
            SearchField {
                id: menuSearch
                objectName: "menuSearch"
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.margins: 14 * menuDefault.sr
                anchors.verticalCenter: parent.verticalCenter
                placeholderText: menuDefault.tip_search
                loginModel: menuDefault.loginModel
                skinColors: menuDefault.skinColors
                onSearchRequested: menuDefault.search(text)
                Keys.onDownPressed: menuListView.forceActiveFocus()
            }
        }
        Text {
            textFormat: Text.PlainText
            id: listHeading
            x: 16 * menuDefault.sr
            anchors.top: listTitle.bottom
            width: parent.width - 32 * menuDefault.sr
            elide: Text.ElideRight
            text: menuDefault.searchText !== "" ? menuDefault.tip_search_display : menuDefault.tip_menu_list
            font.pixelSize: Style.fontSmall
            color: menuDefault.pal.sub
        }
        ListView {
            id: menuListView
            objectName: "menuList"
            anchors.top: listHeading.bottom
            anchors.topMargin: 6 * menuDefault.sr
            anchors.bottom: parent.bottom
            width: parent.width - 1
            clip: true
            model: moduleTree
            activeFocusOnTab: true
            keyNavigationEnabled: true
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded; Accessible.name: parent ? parent.Accessible.name : "" }
            Accessible.role: Accessible.Tree
            Accessible.name: menuDefault.tip_menu_list
            Keys.onReturnPressed: menuDefault.activateRow(currentIndex)
            Keys.onEnterPressed: menuDefault.activateRow(currentIndex)
            Keys.onSpacePressed: menuDefault.activateRow(currentIndex)
            Keys.onRightPressed: if (currentIndex >= 0) menuDefault.setExpanded(moduleTree.get(currentIndex).menuId, true)
            Keys.onLeftPressed: if (currentIndex >= 0) menuDefault.setExpanded(moduleTree.get(currentIndex).menuId, false)

            delegate: Rectangle {
                id: menuRow
                objectName: "menuEntry_" + model.menuId
                readonly property bool chosen: model.menuId === menuDefault.chosenId
                width: ListView.view.width
                height: (model.path !== "" && menuDefault.searchText !== "" ? 54 : 46) * menuDefault.sr
                color: rowArea.pressed ? menuDefault.pal.pressed
                       : chosen ? menuDefault.pal.selected
                       : rowArea.containsMouse || (menuRow.ListView.isCurrentItem && menuListView.activeFocus)
                         ? menuDefault.pal.hover : "transparent"
                Accessible.role: Accessible.TreeItem
                Accessible.name: model.name
                // Qt 5.15 gives a document no expanded state: the description says it instead.
                Accessible.description: [model.path, !model.hasChildren ? ""
                                         : model.expanded ? menuDefault.tip_expanded
                                         : menuDefault.tip_collapsed].filter(Boolean).join(", ")
                Accessible.onPressAction: menuDefault.activateRow(index)
                Rectangle {
                    visible: menuRow.ListView.isCurrentItem && menuListView.activeFocus
                    width: 3 * menuDefault.sr
                    height: parent.height
                    color: menuDefault.skinColors
                }
                Image {
                    id: rowIcon
                    x: (16 + model.depth * 18) * menuDefault.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: (model.icon !== "" ? 26 : 6) * menuDefault.sr
                    height: width
                    sourceSize: Qt.size(52 * menuDefault.sr, 52 * menuDefault.sr)
                    source: model.icon
                    visible: model.icon !== ""
                    // Without the icon folder beside the program the menu still has pictures.
                    onStatusChanged: if (status === Image.Error) source = moduleTree.fallbackIcon(model.name)
                }
                // Entries below a menu carry a dot instead of an icon.
                Rectangle {
                    visible: model.icon === ""
                    anchors.centerIn: rowIcon
                    width: 6 * menuDefault.sr
                    height: width
                    radius: width / 2
                    color: menuDefault.pal.sub
                }
                Column {
                    anchors.left: rowIcon.right
                    anchors.leftMargin: 10 * menuDefault.sr
                    anchors.right: arrow.left
                    anchors.rightMargin: 6 * menuDefault.sr
                    anchors.verticalCenter: parent.verticalCenter
                    Text {
                        textFormat: Text.PlainText
                        width: parent.width
                        text: model.name
                        elide: Text.ElideRight
                        font.pixelSize: model.depth === 0 ? Style.fontBody : Style.fontSmall
                        font.bold: menuRow.chosen
                        color: menuDefault.pal.text
                    }
                    Text {
                        textFormat: Text.PlainText
                        width: parent.width
                        visible: model.path !== "" && menuDefault.searchText !== ""
                        text: model.path
                        elide: Text.ElideRight
                        font.pixelSize: Style.fontTiny
                        color: menuDefault.pal.sub
                    }
                }
                // Chevron of a menu with entries.
                Item {
                    id: arrow
                    anchors.right: parent.right
                    anchors.rightMargin: 14 * menuDefault.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 10 * menuDefault.sr
                    height: width
                    visible: model.hasChildren
                    rotation: model.expanded ? 90 : 0
                    Behavior on rotation { NumberAnimation { duration: 120 } }
                    Rectangle {
                        x: parent.width * 0.2
                        y: parent.height * 0.5 - height
                        width: parent.width * 0.62
                        height: Math.max(1, 1.5 * menuDefault.sr)
                        rotation: 45
                        transformOrigin: Item.BottomRight
                        antialiasing: true
                        color: menuDefault.pal.sub
                    }
                    Rectangle {
                        x: parent.width * 0.2
                        y: parent.height * 0.5
                        width: parent.width * 0.62
                        height: Math.max(1, 1.5 * menuDefault.sr)
                        rotation: -45
                        transformOrigin: Item.TopRight
                        antialiasing: true
                        color: menuDefault.pal.sub
                    }
                }
                MouseArea {
                    id: rowArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: {
                        menuListView.currentIndex = index
                        menuDefault.activateRow(index)
                    }
                }
            }
            Text {
                textFormat: Text.PlainText
                anchors.centerIn: parent
                width: parent.width - 32 * menuDefault.sr
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                visible: moduleTree.count === 0
                text: menuDefault.searchText !== "" ? menuDefault.tip_menu_no_result : menuDefault.tip_no_contents
                font.pixelSize: Style.fontSmall
                color: menuDefault.pal.sub
            }
        }
    }

    // The right side: common functions, then the chosen menu's entries (or every menu).
    Item {
        id: content
        anchors.left: listPane.right
        anchors.right: parent.right
        height: parent.height
        Item {
            id: contentTitle
            width: parent.width
            height: Style.titleHeight
            DragArea {
                anchors.fill: parent
                onDragged: {
                    menuDefault.modifyXposition(dx)
                    menuDefault.modifyYposition(dy)
                }
            }
            Text {
                x: 24 * menuDefault.sr
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - x - 110 * menuDefault.sr
                elide: Text.ElideRight
                text: menuDefault.tip_application
                font.pixelSize: Style.fontHeading
                color: menuDefault.pal.text
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: menuDefault.pal.line
            }
        }
        Flickable {
            id: contentFlick
            anchors.top: contentTitle.bottom
            anchors.bottom: parent.bottom
            width: parent.width
            clip: true
            contentHeight: sections.implicitHeight + 40 * menuDefault.sr
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded; Accessible.name: menuDefault.tip_application }
            Column {
                id: sections
                x: 24 * menuDefault.sr
                y: 18 * menuDefault.sr
                width: contentFlick.width - 48 * menuDefault.sr
                spacing: 14 * menuDefault.sr
                Text {
                    width: parent.width
                    elide: Text.ElideRight
                    text: menuDefault.tip_common_functions
                    font.pixelSize: Style.fontLarge
                    font.bold: true
                    color: menuDefault.pal.text
                }
                Flow {
                    width: parent.width
                    spacing: 12 * menuDefault.sr
                    Repeater {
                        model: moduleTree.commonTiles
                        delegate: menuTile
                    }
                }
                Text {
                    visible: menuDefault.commonIds.length === 0
                    text: menuDefault.tip_no_contents
                    font.pixelSize: Style.fontSmall
                    color: menuDefault.pal.sub
                }
                Rectangle {
                    width: parent.width
                    height: 1
                    color: menuDefault.pal.line
                }
                Item {
                    width: parent.width
                    height: chosenTitle.implicitHeight
                    Text {
                        textFormat: Text.PlainText
                        id: chosenTitle
                        anchors.left: parent.left
                        anchors.right: backLink.visible ? backLink.left : parent.right
                        anchors.rightMargin: 12 * menuDefault.sr
                        elide: Text.ElideRight
                        text: menuDefault.chosenId !== "" ? moduleTree.chosenName : menuDefault.tip_menu_list
                        font.pixelSize: Style.fontLarge
                        font.bold: true
                        color: menuDefault.pal.text
                    }
                    // Back to every menu.
                    Text {
                        id: backLink
                        objectName: "menuBack"
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        visible: menuDefault.chosenId !== ""
                        text: menuDefault.tip_back
                        font.pixelSize: Style.fontSmall
                        font.underline: backArea.containsMouse || activeFocus
                        color: menuDefault.skinColors
                        activeFocusOnTab: visible
                        Accessible.role: Accessible.Button
                        Accessible.name: text
                        Accessible.onPressAction: menuDefault.chosenId = ""
                        Keys.onReturnPressed: menuDefault.chosenId = ""
                        Keys.onSpacePressed: menuDefault.chosenId = ""
                        MouseArea {
                            id: backArea
                            anchors.fill: parent
                            anchors.margins: -4 * menuDefault.sr
                            hoverEnabled: true
                            cursorShape: Qt.PointingHandCursor
                            onClicked: menuDefault.chosenId = ""
                        }
                    }
                }
                Flow {
                    width: parent.width
                    spacing: 12 * menuDefault.sr
                    Repeater {
                        model: moduleTree.chosenTiles
                        delegate: menuTile
                    }
                }
            }
        }
    }

    // A tile: the menu's icon over its name; it opens the entry, or shows a menu's entries.
    Component {
        id: menuTile
        Rectangle {
            id: tile
            objectName: modelData.key
            width: 104 * menuDefault.sr
            height: tileName.implicitHeight + 76 * menuDefault.sr
            radius: Style.radiusCard
            color: tileArea.pressed ? menuDefault.pal.pressed
                   : tileArea.containsMouse || activeFocus ? menuDefault.pal.hover : menuDefault.pal.card
            border.color: activeFocus ? menuDefault.skinColors : menuDefault.pal.cardBorder
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: modelData.name
            Accessible.onPressAction: menuDefault.openMenu(modelData.id)
            Keys.onReturnPressed: menuDefault.openMenu(modelData.id)
            Keys.onEnterPressed: menuDefault.openMenu(modelData.id)
            Keys.onSpacePressed: menuDefault.openMenu(modelData.id)
            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                y: 16 * menuDefault.sr
                width: 40 * menuDefault.sr
                height: width
                sourceSize: Qt.size(80 * menuDefault.sr, 80 * menuDefault.sr)
                source: modelData.icon
                onStatusChanged: if (status === Image.Error) source = moduleTree.fallbackIcon(modelData.name)
            }
            Text {
                textFormat: Text.PlainText
                id: tileName
                anchors.horizontalCenter: parent.horizontalCenter
                y: 64 * menuDefault.sr
                width: parent.width - 12 * menuDefault.sr
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                text: modelData.name
                font.pixelSize: Style.fontSmall
                color: menuDefault.pal.text
            }
            MouseArea {
                id: tileArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: menuDefault.openMenu(modelData.id)
            }
        }
    }
}

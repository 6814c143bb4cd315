import QtQuick 2.12
import QtQuick.Controls 2.5
import QtQuick.Window 2.12
import PeopleSearchModel 1.0
import ConfigData 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The organisation's list pane: a search over all people, and the organisation by department
// or by role. While a search text is there, its results take the trees' place; with the field
// focused and empty, the names recently found are offered.
Item {
    id: structureList
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property color skinColor: skinColors
    // 0 departments, 1 roles.
    property int currentTab: 0
    // The text the shown results are for, and the one asked for last.
    readonly property string searchText: results.searchText
    readonly property string pendingSearch: results.pending
    readonly property bool searchFailed: results.failed
    readonly property bool searching: results.searching
    readonly property alias resultCount: results.count
    readonly property string companyName: departmentLoader.item ? departmentLoader.item.companyName : ""

    property string tip_search: qsTr("搜索")
    property string tip_department: qsTr("部门")
    property string tip_role: qsTr("角色")
    property string tip_search_display: qsTr("搜索结果")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_data_loading: qsTr("数据加载中")
    property string tip_server_disconnected: qsTr("服务器断开，请检查网络")

    // A person was chosen: {userId, name, dept, roles, phone, email, position, company}.
    signal sigOpenPerson(var person)
    // The results of a search are shown.
    signal sigSearchComplete()
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)


    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // The server may hide some colleagues from the signed-in user: once the list of those they
    // may see is in (it always holds the user), the trees and the results keep to it.
    function personVisible(userId) {
        return results.mayShow(userId)
    }
    function activate() {
        if (departmentLoader.item)
            departmentLoader.item.activate()
        if (roleLoader.item)
            roleLoader.item.activate()
    }
    function showTab(tab) {
        currentTab = tab
        var loader = tab === 1 ? roleLoader : departmentLoader
        loader.active = true
        if (loader.item)
            loader.item.activate()
    }
    function currentTree() {
        var loader = currentTab === 1 ? roleLoader : departmentLoader
        return loader.item ? loader.item.tree : null
    }
    function focusTree() {
        var tree = currentTree()
        if (tree)
            tree.focusTree()
    }
    function focusSearch() {
        searchField.forceActiveFocus()
    }
    // Asks the server for the people whose name (or its pinyin) holds the text; an empty text
    // goes back to the trees. Only the latest search reports.
    function search(text) {
        results.search(text)
    }
    function showResults(contents) {
        results.answer(contents)
    }
    function openResult(i) {
        if (i < 0 || i >= results.count)
            return
        resultView.currentIndex = i
        // The history keeps the names people were found by, to look them up again.
        rememberTerm(results.person(i).name)
        sigOpenPerson(Object.assign(results.person(i), { company: companyName }))
    }
    // A person row of a tree: its card text holds the details.
    function openTreePerson(userId, name, infor) {
        sigOpenPerson(results.treePerson(userId, name, infor, companyName))
    }
    function rememberTerm(term) {
        historicalSearch.addSearch(term)
    }
    function useHistory(term) {
        searchField.text = term
        searchField.searchInputTimer.stop()
        search(term)
    }

    ConfigData { id: configData }
    PeopleSearchModel {
        id: results
        visibleOnly: true
        onFinished: {
            resultView.currentIndex = count > 0 ? 0 : -1
            structureList.sigSearchComplete()
        }
    }
    LanguageTexts {
        id: languageTexts
        target: structureList
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // The title area moves the frameless window.
    DragArea {
        id: titleArea
        width: parent.width
        height: Style.titleHeight
        onDragged: {
            structureList.modifyXposition(dx)
            structureList.modifyYposition(dy)
        }
    }
    SearchField {
        id: searchField
        objectName: "structureSearch"
        x: 14 * structureList.sr
        width: parent.width - 28 * structureList.sr
        anchors.verticalCenter: titleArea.verticalCenter
        placeholderText: structureList.tip_search
        loginModel: structureList.loginModel
        skinColors: structureList.skinColors
        onSearchRequested: structureList.search(text)
        // Escape on a search goes back to the tree it was started from.
        onCleared: structureList.focusTree()
        onActiveFocusChanged: if (activeFocus) historicalSearch.reload()
        Keys.onDownPressed: {
            if (resultPane.showHistory)
                historicalSearch.focusList()
            else if (structureList.searchText !== "" && results.count > 0)
                resultView.forceActiveFocus()
            else if (structureList.searchText === "")
                structureList.focusTree()
        }
    }

    // Departments | roles.
    Row {
        id: tabs
        anchors.top: titleArea.bottom
        x: 14 * structureList.sr
        spacing: 6 * structureList.sr
        visible: resultPane.hidden
        Repeater {
            model: [structureList.tip_department, structureList.tip_role]
            Rectangle {
                id: tab
                readonly property bool selected: structureList.currentTab === index
                objectName: index === 0 ? "departmentTab" : "roleTab"
                width: tabText.implicitWidth + 24 * structureList.sr
                height: 30 * structureList.sr
                radius: height / 2
                color: selected ? Style.tint(structureList.skinColor, structureList.pal.dark ? 0.3 : 0.12)
                       : tabArea.containsMouse || activeFocus ? structureList.pal.hover : "transparent"
                border.color: activeFocus ? structureList.skinColors : "transparent"
                activeFocusOnTab: true
                Accessible.role: Accessible.PageTab
                Accessible.name: modelData
                Accessible.checkable: true
                Accessible.checked: selected
                Accessible.onPressAction: structureList.showTab(index)
                Keys.onReturnPressed: structureList.showTab(index)
                Keys.onEnterPressed: structureList.showTab(index)
                Keys.onSpacePressed: structureList.showTab(index)
                Keys.onDownPressed: structureList.focusTree()
                Text {
                    textFormat: Text.PlainText
                    id: tabText
                    anchors.centerIn: parent
                    text: modelData
                    font.pixelSize: Style.fontBody
                    font.bold: tab.selected
                    color: tab.selected ? (structureList.pal.dark ? Qt.lighter(structureList.skinColors, 1.4) : structureList.skinColors)
                                        : structureList.pal.muted
                }
                MouseArea {
                    id: tabArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: structureList.showTab(index)
                }
            }
        }
    }

    Item {
        id: body
        anchors.top: tabs.bottom
        anchors.topMargin: 8 * structureList.sr
        anchors.bottom: parent.bottom
        width: parent.width

        Loader {
            id: departmentLoader
            anchors.fill: parent
            visible: structureList.currentTab === 0 && resultPane.hidden
            sourceComponent: StructureDepartment {
                loginModel: structureList.loginModel
                skinColors: structureList.skinColors
                personFilter: structureList.personVisible
                onSigOpenPerson: structureList.openTreePerson(userId, name, infor)
            }
            onLoaded: item.activate()
        }
        // The role tree is built the first time it is shown.
        Loader {
            id: roleLoader
            anchors.fill: parent
            active: false
            visible: structureList.currentTab === 1 && resultPane.hidden
            sourceComponent: StructureRole {
                loginModel: structureList.loginModel
                skinColors: structureList.skinColors
                personFilter: structureList.personVisible
                onSigOpenPerson: structureList.openTreePerson(userId, name, infor)
            }
            onLoaded: item.activate()
        }

        // Search results (and, before a search, the recent searches).
        Rectangle {
            id: resultPane
            readonly property bool showHistory: searchField.text === "" && historicalSearch.count > 0
                                                && (searchField.activeFocus || historyFocused)
            readonly property bool historyFocused: Window.activeFocusItem !== null && historicalSearch.holds(Window.activeFocusItem)
            readonly property bool hidden: structureList.searchText === "" && !structureList.searching && !showHistory
            anchors.fill: parent
            anchors.topMargin: -tabs.height
            visible: !hidden
            color: structureList.loginModel === 1 ? "transparent" : structureList.pal.list

            Text {
                id: resultTitle
                x: 16 * structureList.sr
                width: parent.width - 32 * structureList.sr
                height: 28 * structureList.sr
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideRight
                visible: !resultPane.showHistory
                text: structureList.tip_search_display
                font.pixelSize: Style.fontSmall
                color: structureList.pal.sub
            }
            // Recent searches: the names people were found by, kept apart from other lists'.
            HistoricalSearch {
                id: historicalSearch
                objectName: "structureHistoricalSearch"
                searchTypes: "1"
                anchors.fill: parent
                visible: resultPane.showHistory
                loginModel: structureList.loginModel
                skinColors: structureList.skinColors
                // After the click: the search replaces this very entry.
                onSigSelectHistory: Qt.callLater(structureList.useHistory, text)
                function holds(item) {
                    for (var p = item; p; p = p.parent) {
                        if (p === historicalSearch)
                            return true
                    }
                    return false
                }
            }

            ListView {
                id: resultView
                objectName: "searchResults"
                visible: !resultPane.showHistory
                anchors.top: resultTitle.bottom
                anchors.bottom: parent.bottom
                width: parent.width
                clip: true
                model: results
                activeFocusOnTab: true
                highlightMoveDuration: 0
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded; Accessible.name: parent ? parent.Accessible.name : "" }
                Accessible.role: Accessible.List
                Accessible.name: structureList.tip_search_display
                Keys.onReturnPressed: structureList.openResult(currentIndex)
                Keys.onEnterPressed: structureList.openResult(currentIndex)
                Keys.onSpacePressed: structureList.openResult(currentIndex)
                Keys.onUpPressed: {
                    if (currentIndex <= 0)
                        searchField.forceActiveFocus()
                    else
                        decrementCurrentIndex()
                }
                delegate: Rectangle {
                    id: resultRow
                    objectName: "person_" + model.userId
                    width: ListView.view.width
                    height: 54 * structureList.sr
                    color: resultArea.pressed ? structureList.pal.pressed
                           : ListView.isCurrentItem && resultView.activeFocus ? structureList.pal.selected
                           : resultArea.containsMouse ? structureList.pal.hover : "transparent"
                    Accessible.role: Accessible.ListItem
                    Accessible.name: model.userName
                    Accessible.onPressAction: structureList.openResult(index)
                    Avatar {
                        id: resultAvatar
                        x: 14 * structureList.sr
                        anchors.verticalCenter: parent.verticalCenter
                        width: 36 * structureList.sr
                        height: width
                        name: model.userName
                        skinColors: structureList.skinColors
                    }
                    Column {
                        anchors.left: resultAvatar.right
                        anchors.leftMargin: 10 * structureList.sr
                        anchors.right: parent.right
                        anchors.rightMargin: 14 * structureList.sr
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 3 * structureList.sr
                        Text {
                            textFormat: Text.PlainText
                            width: parent.width
                            text: model.userName
                            elide: Text.ElideRight
                            font.pixelSize: Style.fontBody
                            color: structureList.pal.text
                        }
                        Text {
                            textFormat: Text.PlainText
                            width: parent.width
                            text: model.position !== "" ? model.deptName + " · " + model.position : model.deptName
                            visible: text !== ""
                            elide: Text.ElideRight
                            font.pixelSize: Style.fontSmall
                            color: structureList.pal.sub
                        }
                    }
                    MouseArea {
                        id: resultArea
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: {
                            resultView.forceActiveFocus()
                            structureList.openResult(index)
                        }
                    }
                }
            }
            Text {
                textFormat: Text.PlainText
                anchors.centerIn: resultView
                width: parent.width - 40 * structureList.sr
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                visible: !resultPane.showHistory && results.count === 0
                text: structureList.searching ? structureList.tip_data_loading
                      : structureList.searchFailed ? structureList.tip_server_disconnected
                      : structureList.tip_no_contents
                font.pixelSize: Style.fontBody
                color: structureList.pal.sub
            }
        }
    }
}

import QtQuick 2.12
import SearchHistoryModel 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The recent search terms of a searchable list: a click (or Return) picks one again, and the
// list's history can be cleared. Terms are kept in the settings of the current server, each
// under the type of the list that searched it; a list shows and clears only its own.
Rectangle {
    id: historicalSearch
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // The list's own type: "1" the organisation, "2" the conversations, "3" the groups.
    property string searchTypes: "2"
    readonly property int count: termModel.count
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property string tip_search_history: qsTr("搜索历史")
    property string tip_clear_history: qsTr("清除历史记录")
    property string tip_no_contents: qsTr("暂无内容")

    signal sigSelectHistory(string text)

    color: loginModel === 1 ? Style.glass(0.92) : pal.list
    implicitHeight: header.height + Math.min(termModel.count, 8) * 36 * sr + 8 * sr

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // Remembers a term on top of the list.
    function addSearch(text) {
        termModel.add(text === undefined ? "" : String(text))
    }
    function reload() {
        termModel.reload()
    }
    function clearHistory() {
        termModel.clear()
    }
    function removeTerm(term) {
        termModel.remove(term)
    }
    function focusList() {
        if (termModel.count > 0) {
            termList.currentIndex = 0
            termList.forceActiveFocus()
        }
    }

    // A term keeps one type: searched again in another list, it has moved to that list's history.
    onVisibleChanged: if (visible) Qt.callLater(reload)

    SearchHistoryModel {
        id: termModel
        searchTypes: historicalSearch.searchTypes
        Component.onCompleted: reload()
    }
    LanguageTexts {
        id: languageTexts
        target: historicalSearch
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Item {
        id: header
        width: parent.width
        height: 36 * historicalSearch.sr
        Text {
            x: 14 * historicalSearch.sr
            anchors.verticalCenter: parent.verticalCenter
            width: parent.width - clearButton.width - 34 * historicalSearch.sr
            elide: Text.ElideRight
            text: historicalSearch.tip_search_history
            font.pixelSize: Style.fontSmall
            color: historicalSearch.pal.sub
        }
        Text {
            id: clearButton
            objectName: "clearSearchHistory"
            anchors.right: parent.right
            anchors.rightMargin: 14 * historicalSearch.sr
            anchors.verticalCenter: parent.verticalCenter
            visible: termModel.count > 0
            text: historicalSearch.tip_clear_history
            font.pixelSize: Style.fontSmall
            font.underline: clearArea.containsMouse || activeFocus
            color: historicalSearch.skinColors
            activeFocusOnTab: visible
            Accessible.role: Accessible.Button
            Accessible.name: text
            Accessible.onPressAction: historicalSearch.clearHistory()
            Keys.onReturnPressed: historicalSearch.clearHistory()
            Keys.onEnterPressed: historicalSearch.clearHistory()
            Keys.onSpacePressed: historicalSearch.clearHistory()
            MouseArea {
                id: clearArea
                anchors.fill: parent
                anchors.margins: -6 * historicalSearch.sr
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: historicalSearch.clearHistory()
            }
        }
    }
    Text {
        anchors.top: header.bottom
        anchors.topMargin: 10 * historicalSearch.sr
        anchors.horizontalCenter: parent.horizontalCenter
        visible: termModel.count === 0
        text: historicalSearch.tip_no_contents
        font.pixelSize: Style.fontSmall
        color: historicalSearch.pal.sub
    }
    ListView {
        id: termList
        objectName: "searchHistoryList"
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        clip: true
        model: termModel
        currentIndex: -1
        boundsBehavior: Flickable.StopAtBounds
        Accessible.role: Accessible.List
        Accessible.name: historicalSearch.tip_search_history
        Keys.onReturnPressed: if (currentIndex >= 0) historicalSearch.sigSelectHistory(termModel.termAt(currentIndex))
        Keys.onEnterPressed: if (currentIndex >= 0) historicalSearch.sigSelectHistory(termModel.termAt(currentIndex))
        Keys.onDeletePressed: if (currentIndex >= 0) historicalSearch.removeTerm(termModel.termAt(currentIndex))
        delegate: Rectangle {
            id: termRow
            objectName: "searchTerm_" + index
            width: ListView.view.width
            height: 36 * historicalSearch.sr
            color: termArea.containsMouse || (ListView.isCurrentItem && termList.activeFocus) ? historicalSearch.pal.hover : "transparent"
            Accessible.role: Accessible.ListItem
            Accessible.name: model.term
            Accessible.onPressAction: historicalSearch.sigSelectHistory(model.term)
            // A clock face marks a past search.
            Rectangle {
                id: clock
                x: 16 * historicalSearch.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 12 * historicalSearch.sr
                height: width
                radius: width / 2
                color: "transparent"
                border.width: Math.max(1, 1.2 * historicalSearch.sr)
                border.color: historicalSearch.pal.sub
                Rectangle {
                    x: parent.width / 2 - width / 2
                    y: parent.height * 0.22
                    width: Math.max(1, 1.2 * historicalSearch.sr)
                    height: parent.height * 0.32
                    color: historicalSearch.pal.sub
                }
            }
            Text {
                textFormat: Text.PlainText
                objectName: "historyTerm_" + model.term
                anchors.left: clock.right
                anchors.leftMargin: 10 * historicalSearch.sr
                anchors.right: removeButton.left
                anchors.rightMargin: 6 * historicalSearch.sr
                anchors.verticalCenter: parent.verticalCenter
                elide: Text.ElideRight
                text: model.term
                font.pixelSize: Style.fontBody
                color: historicalSearch.pal.text
            }
            MouseArea {
                id: termArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: historicalSearch.sigSelectHistory(model.term)
            }
            CloseButton {
                id: removeButton
                objectName: "removeSearchTerm_" + index
                anchors.right: parent.right
                anchors.rightMargin: 8 * historicalSearch.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 20 * historicalSearch.sr
                height: width
                loginModel: historicalSearch.loginModel
                accessibleName: historicalSearch.tip_clear_history + " " + model.term
                activeFocusOnTab: false
                onClicked: historicalSearch.removeTerm(model.term)
            }
        }
    }
}

import QtQuick 2.12
import QtQuick.Controls 2.5
import LoadPersonnelinfor 1.0
import GroupMemberModel 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// Picking colleagues from the organisation for a group: a searchable list with check marks on
// the left, the chosen people on the right. Used by the new-group and add-member dialogs.
Item {
    id: peoplePicker
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    // Ids that are not offered (the user, the group's members).
    property var excludedIds: []
    readonly property int pickedCount: pickedModel.count
    // The people picked, in the order they were picked.
    readonly property alias picked: pickedModel
    readonly property alias listView: peopleView
    readonly property alias searchField: searchField

    property string tip_search: qsTr("搜索")
    property string tip_group_selected: qsTr("已选择")
    property string tip_person: qsTr("人")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_data_loading: qsTr("数据加载中")
    property string tip_group_remove_member: qsTr("移除")

    implicitWidth: 520 * sr
    implicitHeight: 320 * sr

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // Fills the list from the organisation index, leaving out `excluded` and clearing choices.
    function load(excluded) {
        excludedIds = excluded || []
        pickedModel.clear()
        searchField.text = ""
        shownModel.filterText = ""
        shownModel.reload()
        peopleView.currentIndex = shownModel.count > 0 ? 0 : -1
    }
    function applyFilter(text) {
        shownModel.filterText = text
        peopleView.currentIndex = shownModel.count > 0 ? 0 : -1
    }
    // Reading the count makes a binding on this follow every pick.
    function isPicked(userId) { return pickedModel.count >= 0 && pickedModel.contains(userId) }
    function toggle(userId, userName) { pickedModel.toggle(userId, userName) }
    // The chosen people, in the order they were chosen.
    function pickedIds() { return pickedModel.keys() }
    function pickedNames() { return pickedModel.names() }
    // Chooses the first `n` people shown (pictures of the dialog).
    function pickFirst(n) { pickedModel.pickFirst(shownModel, n) }
    function focusFirst() { searchField.forceActiveFocus() }

    LoadPersonnelinfor { id: loadPersonnelinfor }
    // The organisation's people less the excluded; it fills in by itself when the index comes
    // after the list was asked for.
    GroupMemberModel {
        id: shownModel
        source: GroupMemberModel.Directory
        excludedIds: peoplePicker.excludedIds
        onCountChanged: if (peopleView.currentIndex < 0 && count > 0) peopleView.currentIndex = 0
    }
    GroupMemberModel { id: pickedModel }
    LanguageTexts { id: languageTexts; target: peoplePicker; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // Everyone who can be chosen.
    Rectangle {
        id: leftSide
        width: Math.round(parent.width * 0.55)
        height: parent.height
        radius: Style.radius
        color: "transparent"
        border.color: peoplePicker.pal.line

        SearchField {
            id: searchField
            objectName: "pickSearch"
            x: 10 * peoplePicker.sr
            y: 10 * peoplePicker.sr
            width: parent.width - 20 * peoplePicker.sr
            loginModel: peoplePicker.loginModel
            skinColors: peoplePicker.skinColors
            placeholderText: peoplePicker.tip_search
            onSearchRequested: peoplePicker.applyFilter(text)
            // Down goes from the search into the list.
            Keys.onDownPressed: peopleView.forceActiveFocus()
        }
        ListView {
            id: peopleView
            objectName: "pickList"
            anchors.top: searchField.bottom
            anchors.topMargin: 8 * peoplePicker.sr
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 4 * peoplePicker.sr
            width: parent.width
            clip: true
            model: shownModel
            activeFocusOnTab: true
            keyNavigationEnabled: true
            boundsBehavior: Flickable.StopAtBounds
            highlightMoveDuration: 0
            Accessible.role: Accessible.List
            Accessible.name: peoplePicker.tip_search
            ScrollBar.vertical: ScrollBar { Accessible.name: parent ? parent.Accessible.name : "" }
            Keys.onSpacePressed: if (currentItem) { event.accepted = true; currentItem.toggle() }
            Keys.onReturnPressed: if (currentItem) { event.accepted = true; currentItem.toggle() }
            Keys.onEnterPressed: if (currentItem) { event.accepted = true; currentItem.toggle() }

            delegate: Rectangle {
                id: personRow
                objectName: "pick_" + model.userId
                readonly property bool chosen: peoplePicker.isPicked(model.userId)
                function toggle() {
                    peopleView.currentIndex = index
                    peoplePicker.toggle(model.userId, model.userName)
                }
                width: ListView.view.width
                height: 44 * peoplePicker.sr
                color: rowArea.pressed ? peoplePicker.pal.pressed
                       : ListView.isCurrentItem && peopleView.activeFocus ? peoplePicker.pal.selected
                       : rowArea.containsMouse ? peoplePicker.pal.hover : "transparent"
                Accessible.role: Accessible.CheckBox
                Accessible.name: model.userName
                Accessible.checkable: true
                Accessible.checked: chosen
                Accessible.onPressAction: toggle()
                Accessible.onToggleAction: toggle()

                Rectangle {
                    id: box
                    x: 12 * peoplePicker.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 15 * peoplePicker.sr
                    height: width
                    radius: Style.radiusSmall
                    color: personRow.chosen ? peoplePicker.skinColors : "transparent"
                    border.color: personRow.chosen ? peoplePicker.skinColors : peoplePicker.pal.fieldBorder
                    Image {
                        anchors.fill: parent
                        anchors.margins: 2 * peoplePicker.sr
                        sourceSize: Qt.size(width * 2, height * 2)
                        source: "qrc:/images/check.svg"
                        visible: personRow.chosen
                    }
                }
                Avatar {
                    id: avatar
                    anchors.left: box.right
                    anchors.leftMargin: 10 * peoplePicker.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 30 * peoplePicker.sr
                    height: width
                    name: model.userName
                    skinColors: peoplePicker.skinColors
                }
                Text {
                    textFormat: Text.PlainText
                    anchors.left: avatar.right
                    anchors.leftMargin: 10 * peoplePicker.sr
                    anchors.right: parent.right
                    anchors.rightMargin: 10 * peoplePicker.sr
                    anchors.verticalCenter: parent.verticalCenter
                    text: model.userName
                    elide: Text.ElideRight
                    font.pixelSize: Style.fontBody
                    color: peoplePicker.pal.text
                }
                MouseArea {
                    id: rowArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: personRow.toggle()
                }
            }
        }
        Text {
            anchors.centerIn: peopleView
            visible: shownModel.count === 0
            text: loadPersonnelinfor.loaded ? peoplePicker.tip_no_contents : peoplePicker.tip_data_loading
            textFormat: Text.PlainText
            font.pixelSize: Style.fontSmall
            color: peoplePicker.pal.sub
        }
    }

    // The chosen people; each can be taken out again.
    Item {
        anchors.left: leftSide.right
        anchors.leftMargin: 12 * peoplePicker.sr
        anchors.right: parent.right
        height: parent.height

        Text {
            textFormat: Text.PlainText
            id: pickedTitle
            objectName: "pickedCount"
            y: 14 * peoplePicker.sr
            width: parent.width
            elide: Text.ElideRight
            text: peoplePicker.tip_group_selected + " " + pickedModel.count + " " + peoplePicker.tip_person
            font.pixelSize: Style.fontSmall
            color: peoplePicker.pal.sub
        }
        ListView {
            id: pickedView
            objectName: "pickedList"
            anchors.top: pickedTitle.bottom
            anchors.topMargin: 10 * peoplePicker.sr
            anchors.bottom: parent.bottom
            width: parent.width
            clip: true
            model: pickedModel
            spacing: 2 * peoplePicker.sr
            boundsBehavior: Flickable.StopAtBounds
            Accessible.role: Accessible.List
            Accessible.name: pickedTitle.text
            ScrollBar.vertical: ScrollBar { Accessible.name: parent ? parent.Accessible.name : "" }
            delegate: Rectangle {
                objectName: "picked_" + model.userId
                width: ListView.view.width
                height: 36 * peoplePicker.sr
                radius: Style.radius
                color: peoplePicker.pal.hover
                Avatar {
                    id: pickedAvatar
                    x: 6 * peoplePicker.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 24 * peoplePicker.sr
                    height: width
                    name: model.userName
                    skinColors: peoplePicker.skinColors
                }
                Text {
                    textFormat: Text.PlainText
                    anchors.left: pickedAvatar.right
                    anchors.leftMargin: 8 * peoplePicker.sr
                    anchors.right: removeButton.left
                    anchors.rightMargin: 4 * peoplePicker.sr
                    anchors.verticalCenter: parent.verticalCenter
                    text: model.userName
                    elide: Text.ElideRight
                    font.pixelSize: Style.fontBody
                    color: peoplePicker.pal.text
                }
                CloseButton {
                    id: removeButton
                    objectName: "unpick_" + model.userId
                    anchors.right: parent.right
                    anchors.rightMargin: 4 * peoplePicker.sr
                    anchors.verticalCenter: parent.verticalCenter
                    loginModel: peoplePicker.loginModel
                    accessibleName: peoplePicker.tip_group_remove_member + " " + model.userName
                    onClicked: peoplePicker.toggle(model.userId, model.userName)
                }
            }
        }
    }
}

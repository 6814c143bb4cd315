import QtQuick 2.12
import PeopleSearchModel 1.0
import ConfigData 1.0
import OnlineInfor 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// People of the organisation whose name matches `searchText`. A row (or Return) asks to talk to
// the person, the card button (or Space) asks for the person's card: both through
// sigSendpersonalInfor(user id, name, jumpm, "2"), jumpm true for the chat.
Item {
    id: queryData
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property string searchText: ""
    readonly property bool searching: resultModel.searching
    readonly property int count: resultModel.count
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property string tip_search_display: qsTr("搜索结果")
    property string tip_get_data: qsTr("数据获取中")
    property string tip_no_search_result: qsTr("未找到相关结果")
    property string tip_see: qsTr("查看")
    property string tip_send_massage: qsTr("发消息")

    signal sigSendpersonalInfor(string infora, string inforb, bool jumpm, string types)
    signal sigSearchComplete()


    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function focusList() {
        if (resultModel.count > 0) {
            if (resultList.currentIndex < 0)
                resultList.currentIndex = 0
            resultList.forceActiveFocus()
        }
    }
    function choose(index, jumpm) {
        if (index >= 0 && index < resultModel.count)
            sigSendpersonalInfor(resultModel.person(index).userId, resultModel.person(index).name, jumpm, "2")
    }
    // The reply's data: {list: [{user_id, user_name, dept_name, position, ...}], total}.
    function showResults(contents) {
        resultModel.showReply(contents)
    }

    onSearchTextChanged: resultModel.search(searchText)

    ConfigData { id: configData }
    OnlineInfor {
        id: onlineInfor
        onSigOnlineUsersChange: resultModel.setOnline(list, statusa)
    }
    PeopleSearchModel {
        id: resultModel
        onFinished: {
            resultList.currentIndex = count > 0 ? 0 : -1
            queryData.sigSearchComplete()
        }
    }
    LanguageTexts {
        id: languageTexts
        target: queryData
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Text {
        textFormat: Text.PlainText
        id: header
        x: 14 * queryData.sr
        width: parent.width - 28 * queryData.sr
        height: 32 * queryData.sr
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
        text: queryData.tip_search_display + (resultModel.count > 0 ? " (" + resultModel.count + ")" : "")
        font.pixelSize: Style.fontSmall
        color: queryData.pal.sub
    }
    Text {
        textFormat: Text.PlainText
        objectName: "queryDataState"
        anchors.top: header.bottom
        anchors.topMargin: 12 * queryData.sr
        anchors.horizontalCenter: parent.horizontalCenter
        width: parent.width - 28 * queryData.sr
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        visible: queryData.searchText.trim() !== "" && resultModel.count === 0
        text: queryData.searching ? queryData.tip_get_data : queryData.tip_no_search_result
        font.pixelSize: Style.fontSmall
        color: queryData.pal.sub
    }
    ListView {
        id: resultList
        objectName: "queryDataList"
        anchors.top: header.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        clip: true
        model: resultModel
        currentIndex: -1
        boundsBehavior: Flickable.StopAtBounds
        Accessible.role: Accessible.List
        Accessible.name: queryData.tip_search_display
        Keys.onReturnPressed: queryData.choose(currentIndex, true)
        Keys.onEnterPressed: queryData.choose(currentIndex, true)
        Keys.onSpacePressed: queryData.choose(currentIndex, false)
        delegate: Rectangle {
            id: personRow
            objectName: "person_" + model.userId
            width: ListView.view.width
            height: 56 * queryData.sr
            color: rowArea.pressed ? queryData.pal.pressed
                   : rowArea.containsMouse || (ListView.isCurrentItem && resultList.activeFocus) ? queryData.pal.hover : "transparent"
            Accessible.role: Accessible.ListItem
            Accessible.name: model.userName + (model.deptName !== "" ? ", " + model.deptName : "")
            Accessible.onPressAction: queryData.choose(index, true)
            MouseArea {
                id: rowArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: {
                    resultList.currentIndex = index
                    queryData.choose(index, true)
                }
            }
            Avatar {
                id: personAvatar
                x: 14 * queryData.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 36 * queryData.sr
                height: width
                name: model.userName
                skinColors: queryData.skinColors
                showOnline: true
                online: model.online
                ringColor: personRow.color.a > 0 ? personRow.color : queryData.loginModel === 1 ? "transparent" : queryData.pal.list
            }
            Column {
                anchors.left: personAvatar.right
                anchors.leftMargin: 10 * queryData.sr
                anchors.right: cardButton.left
                anchors.rightMargin: 6 * queryData.sr
                anchors.verticalCenter: parent.verticalCenter
                spacing: 3 * queryData.sr
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    elide: Text.ElideRight
                    text: model.userName
                    font.pixelSize: Style.fontBody
                    color: queryData.pal.text
                }
                Text {
                    textFormat: Text.PlainText
                    width: parent.width
                    elide: Text.ElideRight
                    visible: text !== ""
                    text: [model.deptName, model.position].filter(function(t) { return t !== "" }).join(" · ")
                    font.pixelSize: Style.fontTiny
                    color: queryData.pal.sub
                }
            }
            IconButton {
                id: cardButton
                objectName: "personCardButton_" + model.userId
                anchors.right: parent.right
                anchors.rightMargin: 10 * queryData.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 28 * queryData.sr
                height: width
                iconSize: 16 * queryData.sr
                source: "qrc:/images/card.svg"
                tip: queryData.tip_see
                loginModel: queryData.loginModel
                skinColors: queryData.skinColors
                activeFocusOnTab: false
                onClicked: {
                    resultList.currentIndex = index
                    queryData.choose(index, false)
                }
            }
        }
    }
}

import QtQuick 2.12
import QtQuick.Controls 2.5
import ConfigData 1.0
import SystemHandl 1.0
import SocketState 1.0
import FilteruserAuthority 1.0
import HttplanguagePackage 1.0
import HandlUrl 1.0

// The main frame: toolbar on the left, the list pane and the conversation pane. The working
// views of each section live in these panes.
Rectangle {
    id: mainDefalut
    property int loginModel: 0
    property string skinColors: "#0183FF"
    property int currentSection: 0
    property int unreadNumber: 0
    property bool networkUp: true
    property string userId: ""
    readonly property real sr: Math.max(1, screenRate)
    readonly property bool dark: loginModel === 2
    readonly property color textColor: dark ? "#e6e8ef" : "#1f2d3d"
    readonly property color subColor: dark ? "#9096a8" : "#8a96a8"
    readonly property color lineColor: dark ? "#2e3039" : "#e6e9ef"
    readonly property color listColor: dark ? "#202129" : loginModel === 1 ? "#f3f9ec" : "#f5f7fa"
    readonly property color paneColor: dark ? "#1a1b21" : "#ffffff"

    property string tip_message: qsTr("消息")
    property string tip_group: qsTr("群组")
    property string tip_organization: qsTr("组织")
    property string tip_application: qsTr("应用")
    property string tip_homepage: qsTr("主页")
    property string tip_topic_skin: qsTr("主题皮肤")
    property string tip_set: qsTr("设置")
    property string tip_search: qsTr("搜索")
    property string tip_no_contents: qsTr("暂无内容")
    property string tip_server_disconnected: qsTr("服务器断开，请检查网络")

    signal sigLoginSuccess(bool status, string errors)
    signal sigChangeTheme(int themes)
    signal sigChangeColor(string colors)
    signal sigCustomChangeColor(string colors)
    signal sigSetBasic()
    signal sigUpdataNewView()
    signal sigMinimumBtn()
    signal sigHideToTray()
    signal sigQuitClient()
    signal sigLogout()
    signal sigPictureInfor(string picturePath)
    signal sigTipInfors(string names, string contents, bool reflush)
    signal sigSystemMassage(string contents, string times, string menuName, string paths)
    signal sigDataUnreadNumber(string ids, string names, string unreads, string paths, string types)
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)

    color: paneColor
    radius: 6 * sr
    border.color: dark ? "#343641" : "#d7dde6"
    clip: true

    function hextoPressHex(hex) {
        return Qt.darker(hex, 1.18).toString()
    }
    function langText(key, fallback) {
        var text = httplanguagePackage.getLangFileName(key)
        return text !== "" ? text : fallback
    }
    function sectionName(i) {
        return [tip_message, tip_group, tip_organization, tip_application][i]
    }
    function handlChangeTheme(themes) {
        sigChangeTheme(themes)
    }
    // Called once the frame is on screen after a sign-in.
    function loginSuccess() {
        userId = socketState.getSelfUesrId()
        systemHandl.getSystemUnreadNumbers()
        sigLoginSuccess(true, "")
    }
    function closeRequested() {
        if (configData.getExitbtnStatus())
            sigQuitClient()
        else
            exitView.open()
    }
    function openFunctionList(page) {
        functionList.open(page)
    }

    ConfigData { id: configData }
    SystemHandl { id: systemHandl }
    FilteruserAuthority { id: filteruserAuthority }
    HandlUrl { id: handlUrl }
    SocketState {
        id: socketState
        onSigNetworkdisconnect: mainDefalut.networkUp = status
        onSigConnectServer: if (status) mainDefalut.networkUp = true
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: applyTexts()
        Component.onCompleted: applyTexts()
        function applyTexts() {
            tip_message = langText("message", tip_message)
            tip_group = langText("group", tip_group)
            tip_organization = langText("organization", tip_organization)
            tip_application = langText("application", tip_application)
            tip_homepage = langText("homepage", tip_homepage)
            tip_topic_skin = langText("topic_skin", tip_topic_skin)
            tip_set = langText("set", tip_set)
            tip_search = langText("search", tip_search)
            tip_no_contents = langText("no_contents", tip_no_contents)
            tip_server_disconnected = langText("server_disconnected", tip_server_disconnected)
        }
    }

    // The toolbar's tip disappears by itself.
    Timer {
        id: tipFunctionBackgroundTime
        interval: 2000
        onTriggered: toolTip.visible = false
    }
    Timer { id: popupTime; interval: 1000 }
    Timer { id: handlGroupTime; interval: 800 }

    // Spring breeze paints the whole frame behind the panes.
    SpringbreezeView {
        anchors.fill: parent
        anchors.margins: 1
        visible: mainDefalut.loginModel === 1
        running: visible && mainDefalut.visible
    }

    ToolbarIWidget {
        id: toolbarIWidget
        objectName: "toolbar"
        width: 64 * mainDefalut.sr
        height: parent.height
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
        currentIndex: mainDefalut.currentSection
        unreadNumber: mainDefalut.unreadNumber
        online: mainDefalut.networkUp
        onSigSelectSection: mainDefalut.currentSection = types
        onSigSetList: mainDefalut.openFunctionList("")
        onSigSkinList: mainDefalut.openFunctionList("skin")
        onSigJumpPortal: {
            var server = configData.getCurrentMainFile("currentServerIp")
            if (server !== "" && server !== "http://")
                Qt.openUrlExternally(handlUrl.fromUserInput(server))
        }
        onSigTipInforPostion: {
            toolTipText.text = types < 4 ? mainDefalut.sectionName(types)
                                         : [mainDefalut.tip_homepage, mainDefalut.tip_topic_skin, mainDefalut.tip_set][types - 4]
            toolTip.x = mouseXpos + 6 * mainDefalut.sr
            toolTip.y = mouseYpos - toolTip.height / 2
            toolTip.visible = true
            tipFunctionBackgroundTime.restart()
        }
        onSigHideTip: toolTip.visible = false
        onModifyXposition: mainDefalut.modifyXposition(positions)
        onModifyYposition: mainDefalut.modifyYposition(positions)
    }

    // List pane.
    Rectangle {
        id: listPane
        anchors.left: toolbarIWidget.right
        width: 264 * mainDefalut.sr
        height: parent.height
        color: mainDefalut.loginModel === 1 ? Qt.rgba(1, 1, 1, 0.55) : mainDefalut.listColor
        Rectangle {
            anchors.right: parent.right
            width: 1
            height: parent.height
            color: mainDefalut.lineColor
        }
        MouseArea {
            width: parent.width
            height: 64 * mainDefalut.sr
            property point origin
            onPressed: origin = Qt.point(mouse.x, mouse.y)
            onPositionChanged: {
                mainDefalut.modifyXposition(mouse.x - origin.x)
                mainDefalut.modifyYposition(mouse.y - origin.y)
            }
        }
        TextField {
            id: searchField
            x: 14 * mainDefalut.sr
            y: 18 * mainDefalut.sr
            width: parent.width - 28 * mainDefalut.sr
            height: 32 * mainDefalut.sr
            leftPadding: 30 * mainDefalut.sr
            font.pixelSize: 13 * mainDefalut.sr
            color: mainDefalut.textColor
            placeholderText: mainDefalut.tip_search
            placeholderTextColor: mainDefalut.subColor
            selectByMouse: true
            selectionColor: mainDefalut.skinColors
            background: Rectangle {
                radius: 16 * mainDefalut.sr
                color: mainDefalut.dark ? "#2a2c36" : mainDefalut.loginModel === 1 ? "#ffffff" : "#e9edf2"
                border.color: searchField.activeFocus ? mainDefalut.skinColors : "transparent"
            }
            Rectangle {
                x: 11 * mainDefalut.sr
                anchors.verticalCenter: parent.verticalCenter
                anchors.verticalCenterOffset: -1 * mainDefalut.sr
                width: 11 * mainDefalut.sr
                height: width
                radius: width / 2
                color: "transparent"
                border.width: Math.max(1, 1.5 * mainDefalut.sr)
                border.color: mainDefalut.subColor
                Rectangle {
                    x: parent.width - 2 * mainDefalut.sr
                    y: parent.height - 2 * mainDefalut.sr
                    width: 5 * mainDefalut.sr
                    height: Math.max(1, 1.5 * mainDefalut.sr)
                    rotation: 45
                    transformOrigin: Item.Left
                    color: mainDefalut.subColor
                }
            }
            Keys.onEscapePressed: { text = ""; focus = false }
        }
        Text {
            id: sectionTitle
            objectName: "sectionTitle"
            x: 16 * mainDefalut.sr
            anchors.top: searchField.bottom
            anchors.topMargin: 14 * mainDefalut.sr
            text: mainDefalut.sectionName(mainDefalut.currentSection)
            font.pixelSize: 12 * mainDefalut.sr
            color: mainDefalut.subColor
        }
        Rectangle {
            id: networkBanner
            objectName: "networkBanner"
            visible: !mainDefalut.networkUp
            anchors.top: sectionTitle.bottom
            anchors.topMargin: 8 * mainDefalut.sr
            x: 10 * mainDefalut.sr
            width: parent.width - 20 * mainDefalut.sr
            height: bannerText.implicitHeight + 14 * mainDefalut.sr
            radius: 4 * mainDefalut.sr
            color: mainDefalut.dark ? "#3a2326" : "#fdecea"
            Text {
                id: bannerText
                anchors.centerIn: parent
                width: parent.width - 16 * mainDefalut.sr
                text: mainDefalut.tip_server_disconnected
                wrapMode: Text.WordWrap
                font.pixelSize: 12 * mainDefalut.sr
                color: "#e5483d"
            }
        }
        // The section's list arrives with its own view; until it has entries, a quiet placeholder.
        Column {
            anchors.centerIn: parent
            spacing: 10 * mainDefalut.sr
            opacity: 0.8
            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 46 * mainDefalut.sr
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: "qrc:/images/" + ["message", "group", "organization", "menu"][mainDefalut.currentSection] + ".svg"
                Rectangle {
                    anchors.fill: parent
                    anchors.margins: -14 * mainDefalut.sr
                    z: -1
                    radius: width / 2
                    color: mainDefalut.skinColors
                    opacity: mainDefalut.dark ? 0.5 : 0.35
                }
            }
            Item { width: 1; height: 8 * mainDefalut.sr }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: mainDefalut.tip_no_contents
                font.pixelSize: 13 * mainDefalut.sr
                color: mainDefalut.subColor
            }
        }
    }

    // Conversation pane with the window buttons.
    Item {
        id: chatPane
        anchors.left: listPane.right
        anchors.right: parent.right
        height: parent.height
        Rectangle {
            id: chatTitle
            width: parent.width
            height: 64 * mainDefalut.sr
            color: mainDefalut.loginModel === 1 ? "transparent" : mainDefalut.paneColor
            MouseArea {
                anchors.fill: parent
                property point origin
                onPressed: origin = Qt.point(mouse.x, mouse.y)
                onPositionChanged: {
                    mainDefalut.modifyXposition(mouse.x - origin.x)
                    mainDefalut.modifyYposition(mouse.y - origin.y)
                }
            }
            Text {
                x: 22 * mainDefalut.sr
                anchors.verticalCenter: parent.verticalCenter
                text: mainDefalut.sectionName(mainDefalut.currentSection)
                font.pixelSize: 16 * mainDefalut.sr
                color: mainDefalut.textColor
            }
            Rectangle {
                anchors.bottom: parent.bottom
                width: parent.width
                height: 1
                color: mainDefalut.lineColor
            }
            Row {
                anchors.right: parent.right
                anchors.top: parent.top
                Repeater {
                    model: ["min", "close"]
                    Rectangle {
                        objectName: "window_" + modelData
                        width: 44 * mainDefalut.sr
                        height: 32 * mainDefalut.sr
                        color: windowArea.pressed ? (modelData === "close" ? "#c8372d" : (mainDefalut.dark ? "#30323d" : "#dfe4eb"))
                               : windowArea.containsMouse ? (modelData === "close" ? "#f14034" : (mainDefalut.dark ? "#2a2c36" : "#eef1f5")) : "transparent"
                        Rectangle {
                            visible: modelData === "min"
                            anchors.centerIn: parent
                            width: 12 * mainDefalut.sr
                            height: Math.max(1, 1.2 * mainDefalut.sr)
                            color: mainDefalut.subColor
                        }
                        Repeater {
                            model: modelData === "close" ? [45, -45] : []
                            Rectangle {
                                anchors.centerIn: parent
                                width: 14 * mainDefalut.sr
                                height: Math.max(1, 1.2 * mainDefalut.sr)
                                rotation: modelData
                                antialiasing: true
                                color: windowArea.containsMouse ? "#ffffff" : mainDefalut.subColor
                            }
                        }
                        MouseArea {
                            id: windowArea
                            anchors.fill: parent
                            hoverEnabled: true
                            onClicked: modelData === "min" ? mainDefalut.sigMinimumBtn() : mainDefalut.closeRequested()
                        }
                    }
                }
            }
        }
        // Welcome until a conversation is opened.
        Column {
            anchors.centerIn: parent
            anchors.verticalCenterOffset: 20 * mainDefalut.sr
            spacing: 14 * mainDefalut.sr
            Image {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 96 * mainDefalut.sr
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: "qrc:/images/logo.svg"
                opacity: mainDefalut.dark ? 0.7 : 0.9
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "tarnex"
                font.pixelSize: 22 * mainDefalut.sr
                font.letterSpacing: 2 * mainDefalut.sr
                color: mainDefalut.textColor
                opacity: 0.85
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: mainDefalut.sectionName(mainDefalut.currentSection) + "  ·  " + curretnVersionInfor
                font.pixelSize: 12 * mainDefalut.sr
                color: mainDefalut.subColor
            }
        }
    }

    // Tip beside the toolbar.
    Rectangle {
        id: toolTip
        visible: false
        z: 20
        width: toolTipText.implicitWidth + 18 * mainDefalut.sr
        height: 26 * mainDefalut.sr
        radius: 4 * mainDefalut.sr
        color: mainDefalut.dark ? "#3a3c48" : "#2f3542"
        Text {
            id: toolTipText
            anchors.centerIn: parent
            color: "#ffffff"
            font.pixelSize: 12 * mainDefalut.sr
        }
    }

    // The settings drop-down; a press anywhere else closes it.
    MouseArea {
        anchors.fill: parent
        z: 29
        visible: functionList.visible
        onPressed: functionList.close()
    }
    FunctionList {
        id: functionList
        objectName: "functionList"
        z: 30
        visible: false
        x: toolbarIWidget.width + 6 * mainDefalut.sr
        y: parent.height - height - 12 * mainDefalut.sr
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
        onSigChangeColor: mainDefalut.sigChangeColor(colors)
        onSigCustomChangeColor: mainDefalut.sigCustomChangeColor(colors)
        onSigChangeTheme: mainDefalut.handlChangeTheme(themes)
        onSigSetBasic: mainDefalut.sigSetBasic()
        onSigLogout: mainDefalut.sigLogout()
        onSigQuit: mainDefalut.closeRequestedFromMenu()
    }
    function closeRequestedFromMenu() {
        exitView.open()
    }

    ExitView {
        id: exitView
        objectName: "exitView"
        anchors.fill: parent
        z: 40
        loginModel: mainDefalut.loginModel
        skinColors: mainDefalut.skinColors
        onSigNarrow: {
            visible = false
            mainDefalut.sigHideToTray()
        }
        onSigQuit: mainDefalut.sigQuitClient()
    }
}

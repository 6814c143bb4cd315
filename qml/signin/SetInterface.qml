import QtQuick 2.12
import ConfigData 1.0
import LoginRequest 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// Server settings: the saved server addresses, a server test and the interface language that
// the chosen server offers.
Rectangle {
    id: setInterface
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property var servers: []
    property string selectedLang: ""
    property var langCodes: []
    // False from a request of the server's languages until its answer.
    property bool languagesLoaded: false
    property bool checking: false
    property string resultText: ""
    property bool resultOk: false
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property bool dark: pal.dark
    readonly property color textColor: pal.text
    readonly property color subColor: pal.sub
    readonly property color fieldColor: pal.input
    readonly property color lineColor: pal.fieldBorder

    property string tip_server_set: qsTr("服务器设置")
    property string tip_remove_server: qsTr("删除服务器")
    property string tip_input_server_address: qsTr("请输入OA服务器地址")
    property string tip_test_server: qsTr("测试服务器地址")
    property string tip_server_address_error: qsTr("服务器地址不能为空")
    property string tip_select_langue: qsTr("选择语言")
    property string tip_server_address: qsTr("服务器地址")
    property string tip_ok: qsTr("确定")
    property string tip_cancel: qsTr("取消")
    property string tip_no_contents: qsTr("暂无内容")

    signal sigCancelBtn()
    // A server check starts: a certificate declined before may be asked about again.
    signal sigCheckStarted()

    color: pal.pane

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function plainAddress(address) { return configData.plainServerAddress(address) }
    function showResult(ok, text) {
        resultOk = ok
        resultText = text
        tipTime.restart()
    }
    function reload() {
        servers = configData.getServerAddress()
        var current = plainAddress(configData.getCurrentMainFile("currentServerIp"))
        addressField.text = current === "https:/" ? "" : current
        selectedLang = current !== "" ? configData.getServerAddressLangue(current) : ""
        resultText = ""
        languagesLoaded = false
        if (addressField.text !== "")
            httplanguagePackage.getLangPackages(addressField.text)
        addressField.forceActiveFocus()
    }
    function testServer() {
        var address = plainAddress(addressField.text)
        if (address === "") {
            showResult(false, tip_server_address_error)
            return
        }
        checking = true
        sigCheckStarted()
        checkTimeout.restart()
        loginRequest.checkServerIp(configData.serverCheckUrl(address))
        httplanguagePackage.getLangPackages(address)
    }
    function chooseLanguage(code) {
        selectedLang = code
        var address = plainAddress(addressField.text)
        if (address !== "")
            httplanguagePackage.getLangPackagesFile(code, address)
    }
    function save() {
        var address = plainAddress(addressField.text)
        if (address === "") {
            showResult(false, tip_server_address_error)
            addressField.forceActiveFocus()
            return
        }
        configData.saveServer(address, selectedLang)
        if (selectedLang !== "")
            httplanguagePackage.getLangPackagesFile(selectedLang, address)
        sigCancelBtn()
    }

    ConfigData {
        id: configData
        onSigAddServerAddress: setInterface.servers = getServerAddress()
    }
    LoginRequest {
        id: loginRequest
        onSigCheckServerStatus: {
            if (!setInterface.checking)
                return
            setInterface.checking = false
            checkTimeout.stop()
            setInterface.showResult(status, infors)
        }
    }
    LanguageTexts {
        id: languageTexts
        target: setInterface
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueList: {
            setInterface.languagesLoaded = true
            setInterface.langCodes = getLangKeys()
            if (setInterface.selectedLang === "" && setInterface.langCodes.length > 0)
                setInterface.selectedLang = setInterface.langCodes[0]
        }
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // The test result fades after a while.
    Timer {
        id: tipTime
        interval: 3000
        onTriggered: setInterface.resultText = ""
    }
    // Typing pauses before the languages of the typed server are asked for.
    Timer {
        id: httplanguagePackageTimer
        interval: 1500
        onTriggered: {
            var address = setInterface.plainAddress(addressField.text)
            if (address.length > 3)
                httplanguagePackage.getLangPackages(address)
        }
    }
    // A test that never hears back ends as a failure.
    Timer {
        id: checkTimeout
        interval: 15000
        onTriggered: {
            setInterface.checking = false
            setInterface.showResult(false, languageTexts.text("server_address_errors", "服务器地址错误"))
        }
    }

    focus: visible
    Keys.onEscapePressed: sigCancelBtn()

    Column {
        anchors.fill: parent
        anchors.leftMargin: 28 * sr
        anchors.rightMargin: 28 * sr
        anchors.topMargin: 14 * sr
        spacing: 10 * sr

        Text {
            objectName: "serverTitle"
            text: setInterface.tip_server_set
            font.pixelSize: 16 * setInterface.sr
            font.bold: true
            color: setInterface.textColor
        }

        Row {
            width: parent.width
            spacing: 8 * setInterface.sr
            TextBox {
                id: addressField
                objectName: "serverAddress"
                width: parent.width - testButton.width - parent.spacing
                height: 38 * setInterface.sr
                leftPadding: 34 * setInterface.sr
                font.pixelSize: 13 * setInterface.sr
                color: setInterface.textColor
                placeholderText: setInterface.tip_input_server_address
                placeholderTextColor: setInterface.subColor
                accessibleName: setInterface.tip_server_address
                selectByMouse: true
                selectionColor: setInterface.skinColors
                onTextEdited: httplanguagePackageTimer.restart()
                onAccepted: setInterface.testServer()
                radius: 4 * setInterface.sr
                backgroundColor: setInterface.fieldColor
                borderColor: setInterface.lineColor
                focusBorderColor: setInterface.skinColors
                Image {
                    x: 10 * setInterface.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 16 * setInterface.sr
                    height: width
                    sourceSize: Qt.size(width * 2, height * 2)
                    source: "qrc:/images/server.svg"
                }
            }
            Rectangle {
                id: testButton
                width: Math.max(76 * setInterface.sr, testLabel.implicitWidth + 20 * setInterface.sr)
                height: 38 * setInterface.sr
                radius: 4 * setInterface.sr
                activeFocusOnTab: true
                Accessible.role: Accessible.Button
                Accessible.name: setInterface.tip_test_server
                Accessible.onPressAction: setInterface.testServer()
                color: testArea.pressed ? (setInterface.pal.pressed)
                       : testArea.containsMouse || activeFocus ? (setInterface.pal.selected) : "transparent"
                border.color: setInterface.skinColors
                Keys.onReturnPressed: setInterface.testServer()
                Keys.onSpacePressed: setInterface.testServer()
                Text {
                    textFormat: Text.PlainText
                    id: testLabel
                    anchors.centerIn: parent
                    width: Math.min(implicitWidth, 150 * setInterface.sr)
                    text: setInterface.checking ? "· · ·" : setInterface.tip_test_server
                    wrapMode: Text.WordWrap
                    horizontalAlignment: Text.AlignHCenter
                    font.pixelSize: 12 * setInterface.sr
                    color: setInterface.dark ? Style.darkAction : setInterface.skinColors
                }
                MouseArea {
                    id: testArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: setInterface.testServer()
                }
            }
        }

        Text {
            textFormat: Text.PlainText
            objectName: "serverResult"
            width: parent.width
            height: 14 * setInterface.sr
            text: setInterface.resultText
            elide: Text.ElideRight
            font.pixelSize: 12 * setInterface.sr
            color: setInterface.resultOk ? Style.testPassed : Style.danger
        }

        Text {
            text: setInterface.tip_select_langue
            font.pixelSize: 13 * setInterface.sr
            color: setInterface.subColor
        }
        Flow {
            width: parent.width
            spacing: 8 * setInterface.sr
            Repeater {
                model: setInterface.langCodes
                Rectangle {
                    objectName: "lang_" + modelData
                    property bool chosen: setInterface.selectedLang === modelData
                    width: langName.implicitWidth + 26 * setInterface.sr
                    height: 28 * setInterface.sr
                    radius: height / 2
                    activeFocusOnTab: true
                    Accessible.role: Accessible.RadioButton
                    Accessible.name: langName.text
                    Accessible.checkable: true
                    Accessible.checked: chosen
                    Accessible.onPressAction: setInterface.chooseLanguage(modelData)
                    Accessible.onToggleAction: setInterface.chooseLanguage(modelData)
                    color: chosen ? setInterface.skinColors : (langArea.containsMouse || activeFocus ? (setInterface.pal.hover) : setInterface.fieldColor)
                    border.color: chosen ? setInterface.skinColors : setInterface.lineColor
                    Behavior on color { ColorAnimation { duration: 120 } }
                    Keys.onSpacePressed: setInterface.chooseLanguage(modelData)
                    Keys.onReturnPressed: setInterface.chooseLanguage(modelData)
                    Text {
                        textFormat: Text.PlainText
                        id: langName
                        anchors.centerIn: parent
                        text: httplanguagePackage.getLangName(modelData) || modelData
                        font.pixelSize: 13 * setInterface.sr
                        color: parent.chosen ? Style.onSkin : setInterface.textColor
                    }
                    MouseArea {
                        id: langArea
                        anchors.fill: parent
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: setInterface.chooseLanguage(modelData)
                    }
                }
            }
            Text {
                visible: setInterface.langCodes.length === 0
                height: 28 * setInterface.sr
                verticalAlignment: Text.AlignVCenter
                text: "—"
                color: setInterface.subColor
                font.pixelSize: 13 * setInterface.sr
            }
        }

        Text {
            text: setInterface.tip_server_address
            font.pixelSize: 13 * setInterface.sr
            color: setInterface.subColor
        }
        Rectangle {
            width: parent.width
            height: 66 * setInterface.sr
            radius: 4 * setInterface.sr
            color: "transparent"
            border.color: setInterface.lineColor
            ListView {
                id: serverList
                anchors.fill: parent
                anchors.margins: 1
                clip: true
                model: setInterface.servers
                boundsBehavior: Flickable.StopAtBounds
                Accessible.role: Accessible.List
                Accessible.name: setInterface.tip_server_address
                delegate: Rectangle {
                    id: serverRow
                    width: ListView.view.width
                    height: 27 * setInterface.sr
                    property bool current: setInterface.plainAddress(addressField.text) === modelData
                    function remove() {
                        configData.removeServerAddress(modelData)
                        setInterface.servers = configData.getServerAddress()
                    }
                    activeFocusOnTab: true
                    Keys.onSpacePressed: serverArea.choose()
                    Keys.onReturnPressed: serverArea.choose()
                    Keys.onEnterPressed: serverArea.choose()
                    Keys.onDeletePressed: remove()
                    Accessible.role: Accessible.ListItem
                    Accessible.name: modelData
                    Accessible.selectable: true
                    Accessible.selected: current
                    Accessible.onPressAction: serverArea.choose()
                    color: current ? (setInterface.pal.selected)
                                   : serverArea.containsMouse ? (setInterface.pal.input) : "transparent"
                    Rectangle {
                        visible: parent.current
                        width: 3 * setInterface.sr
                        height: parent.height
                        color: setInterface.skinColors
                    }
                    Text {
                        textFormat: Text.PlainText
                        x: 12 * setInterface.sr
                        anchors.verticalCenter: parent.verticalCenter
                        width: parent.width - 70 * setInterface.sr
                        text: modelData
                        elide: Text.ElideMiddle
                        font.pixelSize: 12 * setInterface.sr
                        color: setInterface.textColor
                    }
                    Text {
                        textFormat: Text.PlainText
                        anchors.right: serverRemove.left
                        anchors.rightMargin: 8 * setInterface.sr
                        anchors.verticalCenter: parent.verticalCenter
                        text: configData.getServerAddressLangue(modelData)
                        font.pixelSize: 11 * setInterface.sr
                        color: setInterface.subColor
                    }
                    MouseArea {
                        id: serverArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: choose()
                        function choose() {
                            addressField.text = modelData
                            setInterface.selectedLang = configData.getServerAddressLangue(modelData)
                            setInterface.langCodes = []
                            httplanguagePackage.getLangPackages(modelData)
                        }
                    }
                    Text {
                        id: serverRemove
                        anchors.right: parent.right
                        anchors.rightMargin: 10 * setInterface.sr
                        anchors.verticalCenter: parent.verticalCenter
                        text: "\u2715"
                        font.pixelSize: 11 * setInterface.sr
                        color: removeArea.containsMouse ? Style.danger : setInterface.subColor
                        opacity: serverArea.containsMouse || removeArea.containsMouse || serverRow.activeFocus ? 1 : 0.4
                        // Delete on the keyboard's row does the same.
                        Accessible.role: Accessible.Button
                        Accessible.name: setInterface.tip_remove_server + " " + modelData
                        Accessible.onPressAction: serverRow.remove()
                        MouseArea {
                            id: removeArea
                            anchors.fill: parent
                            anchors.margins: -6 * setInterface.sr
                            hoverEnabled: true
                            onClicked: serverRow.remove()
                        }
                    }
                }
                Text {
                    anchors.centerIn: parent
                    visible: serverList.count === 0
                    text: setInterface.tip_no_contents
                    font.pixelSize: 12 * setInterface.sr
                    color: setInterface.subColor
                }
            }
            ScrollHandle {
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.bottom: parent.bottom
                anchors.margins: 2
                flickable: serverList
                Accessible.name: setInterface.tip_server_address
            }
        }
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: 28 * sr
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 16 * sr
        spacing: 10 * sr
        Repeater {
            model: 2
            Rectangle {
                objectName: index === 1 ? "serverOk" : "serverCancel"
                property bool primary: index === 1
                width: Math.max(84 * setInterface.sr, buttonText.implicitWidth + 28 * setInterface.sr)
                height: 34 * setInterface.sr
                radius: 4 * setInterface.sr
                activeFocusOnTab: true
                color: primary ? (buttonArea.pressed ? setInterface.hextoPressHex(setInterface.skinColors)
                                  : buttonArea.containsMouse || activeFocus ? Qt.lighter(setInterface.skinColors, 1.08) : setInterface.skinColors)
                               : (buttonArea.pressed ? (setInterface.pal.pressed)
                                  : buttonArea.containsMouse || activeFocus ? (setInterface.pal.hover) : "transparent")
                border.color: primary ? "transparent" : setInterface.lineColor
                function activate() { primary ? setInterface.save() : setInterface.sigCancelBtn() }
                Accessible.role: Accessible.Button
                Accessible.name: buttonText.text
                Accessible.onPressAction: activate()
                Keys.onReturnPressed: activate()
                Keys.onSpacePressed: activate()
                Text {
                    textFormat: Text.PlainText
                    id: buttonText
                    anchors.centerIn: parent
                    text: primary ? setInterface.tip_ok : setInterface.tip_cancel
                    font.pixelSize: 13 * setInterface.sr
                    color: primary ? Style.onSkin : setInterface.textColor
                }
                MouseArea {
                    id: buttonArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: parent.activate()
                }
            }
        }
    }
}

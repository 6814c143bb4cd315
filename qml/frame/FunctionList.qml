import QtQuick 2.12
import ConfigData 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The settings drop-down of the toolbar: skin, theme, version information, auto-login, system
// settings, log out and quit.
Rectangle {
    id: functionList
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // "" for the entries, or the open sub-page: "skin" or "theme"
    property string page: ""
    property bool autoLogin: false
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property string tip_skin_selection: qsTr("皮肤选择")
    property string tip_topic_selection: qsTr("主题选择")
    property string tip_version_information: qsTr("版本信息")
    property string tip_auto_logon: qsTr("自动登录")
    property string tip_system_setup: qsTr("系统设置")
    property string tip_logout: qsTr("退出登录")
    property string tip_exit: qsTr("退出")
    property string tip_back: qsTr("返回")

    signal sigChangeColor(string colors)
    signal sigCustomChangeColor(string colors)
    signal sigChangeTheme(int themes)
    signal sigSetBasic()
    signal sigVersionInfor()
    signal sigLogout()
    signal sigQuit()
    signal sigClose()

    width: 248 * sr
    height: content.implicitHeight + 16 * sr
    radius: Style.radiusCard
    color: pal.card
    border.color: pal.cardBorder
    Behavior on height { NumberAnimation { duration: 140; easing.type: Easing.OutCubic } }
    // The size animation has reached its end (what the drop-down shows no longer moves).
    readonly property bool settled: height === content.implicitHeight + 16 * sr
    clip: true

    // What an entry does, by click, Return or Space.
    function activate(key) {
        if (key === "skin" || key === "theme") {
            page = key
        } else if (key === "version") {
            close()
            sigVersionInfor()
        } else if (key === "auto") {
            autoLogin = !autoLogin
            configData.setCurrentMainFile(autoLogin ? "true" : "false", "autoLogin")
            if (autoLogin)
                configData.setCurrentMainFile("true", "rememberPassword")
        } else if (key === "system") {
            close()
            sigSetBasic()
        } else if (key === "logout") {
            close()
            sigLogout()
        } else {
            close()
            sigQuit()
        }
    }
    // "skin-custom" opens the skins with the custom picker.
    function open(startPage) {
        page = startPage === "skin-custom" ? "skin" : startPage || ""
        skinColor.customOpen = startPage === "skin-custom"
        autoLogin = configData.getCurrentMainFile("autoLogin") === "true"
        visible = true
        forceActiveFocus()
    }
    function close() {
        visible = false
        sigClose()
    }

    Keys.onEscapePressed: page !== "" ? page = "" : close()

    ConfigData { id: configData }
    LanguageTexts { id: languageTexts; target: functionList; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Column {
        id: content
        x: 8 * sr
        y: 8 * sr
        width: parent.width - 16 * sr

        // Sub-page title with the way back.
        Rectangle {
            visible: functionList.page !== ""
            width: parent.width
            height: 36 * functionList.sr
            radius: Style.radius
            color: backArea.containsMouse || activeFocus ? functionList.pal.hover : "transparent"
            activeFocusOnTab: visible
            Accessible.role: Accessible.Button
            Accessible.name: functionList.page === "skin" ? functionList.tip_skin_selection : functionList.tip_topic_selection
            Accessible.onPressAction: functionList.page = ""
            Keys.onReturnPressed: functionList.page = ""
            Keys.onEnterPressed: functionList.page = ""
            Keys.onSpacePressed: functionList.page = ""
            Text {
                textFormat: Text.PlainText
                x: 10 * functionList.sr
                anchors.verticalCenter: parent.verticalCenter
                text: "\u2039  " + (functionList.page === "skin" ? functionList.tip_skin_selection : functionList.tip_topic_selection)
                font.pixelSize: Style.fontLarge
                font.bold: true
                color: functionList.pal.text
            }
            MouseArea {
                id: backArea
                anchors.fill: parent
                hoverEnabled: true
                onClicked: functionList.page = ""
            }
        }

        // The entries.
        Repeater {
            model: functionList.page === "" ? [
                { key: "skin", icon: "skinmenu" }, { key: "theme", icon: "theme" }, { key: "version", icon: "version" },
                { key: "auto", icon: "autologin" }, { key: "system", icon: "systemset" }, { key: "logout", icon: "logout" },
                { key: "exit", icon: "exitmenu" }] : []
            Rectangle {
                objectName: "entry_" + modelData.key
                readonly property string label: modelData.key === "skin" ? functionList.tip_skin_selection
                          : modelData.key === "theme" ? functionList.tip_topic_selection
                          : modelData.key === "version" ? functionList.tip_version_information
                          : modelData.key === "auto" ? functionList.tip_auto_logon
                          : modelData.key === "system" ? functionList.tip_system_setup
                          : modelData.key === "logout" ? functionList.tip_logout : functionList.tip_exit
                width: content.width
                height: 38 * functionList.sr
                radius: Style.radius
                color: entryArea.pressed ? functionList.pal.pressed
                       : entryArea.containsMouse || activeFocus ? functionList.pal.hover : "transparent"
                activeFocusOnTab: true
                Accessible.role: modelData.key === "auto" ? Accessible.CheckBox : Accessible.MenuItem
                Accessible.name: label
                Accessible.checkable: modelData.key === "auto"
                Accessible.checked: modelData.key === "auto" && functionList.autoLogin
                Accessible.onPressAction: functionList.activate(modelData.key)
                Keys.onReturnPressed: functionList.activate(modelData.key)
                Keys.onEnterPressed: functionList.activate(modelData.key)
                Keys.onSpacePressed: functionList.activate(modelData.key)
                Rectangle {
                    visible: modelData.key === "logout"
                    width: parent.width
                    height: 1
                    color: functionList.pal.line
                    y: -1
                }
                Image {
                    x: 10 * functionList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 17 * functionList.sr
                    height: width
                    sourceSize: Qt.size(width * 2, height * 2)
                    source: "qrc:/images/" + modelData.icon + ".svg"
                    opacity: functionList.pal.dark ? 0.85 : 1
                }
                Text {
                    textFormat: Text.PlainText
                    x: 38 * functionList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - x - 44 * functionList.sr
                    elide: Text.ElideRight
                    text: parent.label
                    font.pixelSize: Style.fontBody
                    color: modelData.key === "exit" ? Style.danger : functionList.pal.text
                }
                // A switch for auto-login, an arrow for the sub-pages.
                Rectangle {
                    visible: modelData.key === "auto"
                    anchors.right: parent.right
                    anchors.rightMargin: 10 * functionList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 30 * functionList.sr
                    height: 17 * functionList.sr
                    radius: height / 2
                    color: functionList.autoLogin ? functionList.skinColors : functionList.pal.fieldBorder
                    Behavior on color { ColorAnimation { duration: 120 } }
                    Rectangle {
                        width: parent.height - 4 * functionList.sr
                        height: width
                        radius: width / 2
                        y: 2 * functionList.sr
                        x: functionList.autoLogin ? parent.width - width - 2 * functionList.sr : 2 * functionList.sr
                        color: Style.onSkin
                        Behavior on x { NumberAnimation { duration: 120 } }
                    }
                }
                Text {
                    visible: modelData.key === "skin" || modelData.key === "theme"
                    anchors.right: parent.right
                    anchors.rightMargin: 12 * functionList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    text: "\u203a"
                    font.pixelSize: Style.fontTitle
                    color: functionList.pal.sub
                }
                MouseArea {
                    id: entryArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: functionList.activate(modelData.key)
                }
            }
        }

        // Skins: the seven fixed colours and the custom picker.
        SkinColor {
            id: skinColor
            visible: functionList.page === "skin"
            width: parent.width
            loginModel: functionList.loginModel
            skinColors: functionList.skinColors
            onSigChangeColor: functionList.sigChangeColor(colors)
            onSigCustomChangeColor: functionList.sigCustomChangeColor(colors)
        }

        // Themes.
        ThemeView {
            visible: functionList.page === "theme"
            width: parent.width
            compact: true
            loginModel: functionList.loginModel
            skinColors: functionList.skinColors
            onSigChangeTheme: functionList.sigChangeTheme(themes)
        }
    }
}

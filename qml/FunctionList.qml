import QtQuick 2.12
import ConfigData 1.0
import HttplanguagePackage 1.0

// The settings drop-down of the toolbar: skin, theme, version information, auto-login, system
// settings, log out and quit.
Rectangle {
    id: functionList
    property int loginModel: 0
    property string skinColors: "#0183FF"
    // "" for the entries, or the open sub-page: "skin", "theme", "version"
    property string page: ""
    property bool autoLogin: false
    property bool customOpen: false
    readonly property real sr: Math.max(1, screenRate)
    readonly property bool dark: loginModel === 2
    readonly property color textColor: dark ? "#e6e8ef" : "#1f2d3d"
    readonly property color subColor: dark ? "#9096a8" : "#8a96a8"
    readonly property color hoverColor: dark ? "#2d2f3a" : "#f0f4fa"
    readonly property var skinValues: ["#323448", "#0183FF", "#4E89F9", "#87B94A", "#F14034", "#F46038", "#F5AB16"]
    readonly property var hueStops: ["#ff0000", "#ff6000", "#ffc000", "#deff00", "#7eff00", "#1eff00", "#00ff42", "#00ffa2",
        "#00fcff", "#009cff", "#003cff", "#2400ff", "#8400ff", "#e400ff", "#ff00ba", "#ff005a"]

    property string tip_skin_selection: qsTr("皮肤选择")
    property string tip_topic_selection: qsTr("主题选择")
    property string tip_version_information: qsTr("版本信息")
    property string tip_auto_logon: qsTr("自动登录")
    property string tip_system_setup: qsTr("系统设置")
    property string tip_logout: qsTr("退出登录")
    property string tip_exit: qsTr("退出")
    property string tip_back: qsTr("返回")
    property string tip_curtain_black: qsTr("幕黑")
    property string tip_sea_blue: qsTr("海蓝")
    property string tip_lake_blue: qsTr("湖蓝")
    property string tip_light_green: qsTr("光绿")
    property string tip_fireworks: qsTr("焰火")
    property string tip_sunset_glow: qsTr("晚霞")
    property string tip_orange: qsTr("缤橙")
    property string tip_custom_color: qsTr("自定义")
    property string tip_standard: qsTr("标准")
    property string tip_spring_breeze: qsTr("春风")
    property string tip_ink_black: qsTr("墨黑")
    property string tip_spring_theme_infor: qsTr("春光正好，感受清新气息~")
    property string tip_blackness_theme_infor: qsTr("酷炫墨黑，开启个性办公~")
    property string tip_current_version: qsTr("当前版本")
    property string tip_current_version_infor: qsTr("当前版本已是最新版本，无需升级")
    property string tip_version_proposal: qsTr("建议您立即升级以获得更好的体验！")

    signal sigChangeColor(string colors)
    signal sigCustomChangeColor(string colors)
    signal sigChangeTheme(int themes)
    signal sigSetBasic()
    signal sigLogout()
    signal sigQuit()
    signal sigClose()

    width: 248 * sr
    height: content.implicitHeight + 16 * sr
    radius: 8 * sr
    color: dark ? "#23242c" : "#ffffff"
    border.color: dark ? "#3a3c48" : "#e1e6ed"
    Behavior on height { NumberAnimation { duration: 140; easing.type: Easing.OutCubic } }
    clip: true

    function hextoPressHex(hex) {
        return Qt.darker(hex, 1.18).toString()
    }
    function langText(key, fallback) {
        var text = httplanguagePackage.getLangFileName(key)
        return text !== "" ? text : fallback
    }
    function open(startPage) {
        page = startPage || ""
        customOpen = false
        autoLogin = configData.getCurrentMainFile("autoLogin") === "true"
        visible = true
        forceActiveFocus()
    }
    function close() {
        visible = false
        sigClose()
    }
    function skinName(i) {
        return [tip_curtain_black, tip_sea_blue, tip_lake_blue, tip_light_green, tip_fireworks, tip_sunset_glow, tip_orange][i]
    }
    // The colour at a place (0..1) of the hue strip.
    function hueAt(t) {
        var n = hueStops.length - 1
        var pos = Math.max(0, Math.min(1, t)) * n
        var i = Math.min(n - 1, Math.floor(pos))
        var f = pos - i
        function channel(hex, k) { return parseInt(hex.substr(1 + 2 * k, 2), 16) }
        function hex2(v) { var s = Math.round(v).toString(16); return s.length < 2 ? "0" + s : s }
        var text = "#"
        for (var k = 0; k < 3; ++k) {
            var a = channel(hueStops[i], k)
            text += hex2(a + (channel(hueStops[i + 1], k) - a) * f)
        }
        return text
    }

    Keys.onEscapePressed: page !== "" ? page = "" : close()

    ConfigData { id: configData }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: applyTexts()
        Component.onCompleted: applyTexts()
        function applyTexts() {
            var keys = ["skin_selection", "topic_selection", "version_information", "auto_logon", "system_setup", "logout",
                        "exit", "back", "curtain_black", "sea_blue", "lake_blue", "light_green", "fireworks", "sunset_glow",
                        "orange", "custom_color", "standard", "spring_breeze", "ink_black", "spring_theme_infor",
                        "blackness_theme_infor", "current_version", "current_version_infor", "version_proposal"]
            for (var i = 0; i < keys.length; ++i)
                functionList["tip_" + keys[i]] = langText(keys[i], functionList["tip_" + keys[i]])
        }
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
            radius: 4 * functionList.sr
            color: backArea.containsMouse ? functionList.hoverColor : "transparent"
            Text {
                x: 10 * functionList.sr
                anchors.verticalCenter: parent.verticalCenter
                text: "\u2039  " + (functionList.page === "skin" ? functionList.tip_skin_selection
                                   : functionList.page === "theme" ? functionList.tip_topic_selection : functionList.tip_version_information)
                font.pixelSize: 14 * functionList.sr
                font.bold: true
                color: functionList.textColor
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
                width: content.width
                height: 38 * functionList.sr
                radius: 4 * functionList.sr
                color: entryArea.pressed ? Qt.darker(functionList.hoverColor, 1.05) : entryArea.containsMouse ? functionList.hoverColor : "transparent"
                Rectangle {
                    visible: modelData.key === "logout"
                    width: parent.width
                    height: 1
                    color: functionList.dark ? "#32343f" : "#edf0f4"
                    y: -1
                }
                Image {
                    x: 10 * functionList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 17 * functionList.sr
                    height: width
                    sourceSize: Qt.size(width * 2, height * 2)
                    source: "qrc:/images/" + modelData.icon + ".svg"
                    opacity: functionList.dark ? 0.85 : 1
                }
                Text {
                    x: 38 * functionList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - x - 44 * functionList.sr
                    elide: Text.ElideRight
                    text: modelData.key === "skin" ? functionList.tip_skin_selection
                          : modelData.key === "theme" ? functionList.tip_topic_selection
                          : modelData.key === "version" ? functionList.tip_version_information
                          : modelData.key === "auto" ? functionList.tip_auto_logon
                          : modelData.key === "system" ? functionList.tip_system_setup
                          : modelData.key === "logout" ? functionList.tip_logout : functionList.tip_exit
                    font.pixelSize: 13 * functionList.sr
                    color: modelData.key === "exit" ? "#e5483d" : functionList.textColor
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
                    color: functionList.autoLogin ? functionList.skinColors : (functionList.dark ? "#4a4c58" : "#cfd6e0")
                    Behavior on color { ColorAnimation { duration: 120 } }
                    Rectangle {
                        width: parent.height - 4 * functionList.sr
                        height: width
                        radius: width / 2
                        y: 2 * functionList.sr
                        x: functionList.autoLogin ? parent.width - width - 2 * functionList.sr : 2 * functionList.sr
                        color: "#ffffff"
                        Behavior on x { NumberAnimation { duration: 120 } }
                    }
                }
                Text {
                    visible: modelData.key === "skin" || modelData.key === "theme" || modelData.key === "version"
                    anchors.right: parent.right
                    anchors.rightMargin: 12 * functionList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    text: "\u203a"
                    font.pixelSize: 16 * functionList.sr
                    color: functionList.subColor
                }
                MouseArea {
                    id: entryArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: {
                        var key = modelData.key
                        if (key === "skin" || key === "theme" || key === "version") {
                            functionList.page = key
                        } else if (key === "auto") {
                            functionList.autoLogin = !functionList.autoLogin
                            configData.setCurrentMainFile(functionList.autoLogin ? "true" : "false", "autoLogin")
                            if (functionList.autoLogin)
                                configData.setCurrentMainFile("true", "rememberPassword")
                        } else if (key === "system") {
                            functionList.close()
                            functionList.sigSetBasic()
                        } else if (key === "logout") {
                            functionList.close()
                            functionList.sigLogout()
                        } else {
                            functionList.close()
                            functionList.sigQuit()
                        }
                    }
                }
            }
        }

        // Skins: seven fixed colours and a custom one.
        Grid {
            visible: functionList.page === "skin"
            columns: 4
            spacing: 8 * functionList.sr
            leftPadding: 6 * functionList.sr
            topPadding: 6 * functionList.sr
            bottomPadding: 6 * functionList.sr
            Repeater {
                model: 8
                Column {
                    objectName: "skin_" + index
                    spacing: 4 * functionList.sr
                    property string value: index < 7 ? functionList.skinValues[index] : ""
                    property bool chosen: index < 7 ? functionList.skinColors.toUpperCase() === value.toUpperCase()
                                                    : functionList.skinValues.indexOf(functionList.skinColors.toUpperCase()) < 0
                    Rectangle {
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: 46 * functionList.sr
                        height: 32 * functionList.sr
                        radius: 5 * functionList.sr
                        color: index < 7 ? parent.value : "transparent"
                        gradient: index < 7 ? null : customGradient
                        border.width: parent.chosen ? 2 * functionList.sr : 0
                        border.color: functionList.dark ? "#ffffff" : "#1f2d3d"
                        scale: swatchArea.pressed ? 0.94 : swatchArea.containsMouse ? 1.06 : 1
                        Behavior on scale { NumberAnimation { duration: 90 } }
                        Image {
                            visible: parent.parent.chosen
                            anchors.centerIn: parent
                            width: 16 * functionList.sr
                            height: width
                            sourceSize: Qt.size(width * 2, height * 2)
                            source: "qrc:/images/check.svg"
                        }
                        MouseArea {
                            id: swatchArea
                            anchors.fill: parent
                            hoverEnabled: true
                            cursorShape: Qt.PointingHandCursor
                            onClicked: {
                                if (index < 7) {
                                    functionList.customOpen = false
                                    functionList.sigChangeColor(parent.parent.value)
                                } else {
                                    functionList.customOpen = !functionList.customOpen
                                }
                            }
                        }
                    }
                    Text {
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: 52 * functionList.sr
                        horizontalAlignment: Text.AlignHCenter
                        elide: Text.ElideRight
                        text: index < 7 ? functionList.skinName(index) : functionList.tip_custom_color
                        font.pixelSize: 11 * functionList.sr
                        color: functionList.subColor
                    }
                }
            }
        }
        Gradient {
            id: customGradient
            orientation: Gradient.Horizontal
            GradientStop { position: 0.0; color: "#8A38AC" }
            GradientStop { position: 0.25; color: "#A73389" }
            GradientStop { position: 0.5; color: "#FB2421" }
            GradientStop { position: 0.75; color: "#FC701A" }
            GradientStop { position: 1.0; color: "#FD8D17" }
        }
        // Custom colour: a hue strip.
        Item {
            visible: functionList.page === "skin" && functionList.customOpen
            width: parent.width
            height: 34 * functionList.sr
            Rectangle {
                id: hueStrip
                objectName: "hueStrip"
                x: 6 * functionList.sr
                y: 4 * functionList.sr
                width: parent.width - 12 * functionList.sr
                height: 20 * functionList.sr
                radius: 4 * functionList.sr
                gradient: Gradient {
                    orientation: Gradient.Horizontal
                    GradientStop { position: 0 / 15; color: "#ff0000" }
                    GradientStop { position: 1 / 15; color: "#ff6000" }
                    GradientStop { position: 2 / 15; color: "#ffc000" }
                    GradientStop { position: 3 / 15; color: "#deff00" }
                    GradientStop { position: 4 / 15; color: "#7eff00" }
                    GradientStop { position: 5 / 15; color: "#1eff00" }
                    GradientStop { position: 6 / 15; color: "#00ff42" }
                    GradientStop { position: 7 / 15; color: "#00ffa2" }
                    GradientStop { position: 8 / 15; color: "#00fcff" }
                    GradientStop { position: 9 / 15; color: "#009cff" }
                    GradientStop { position: 10 / 15; color: "#003cff" }
                    GradientStop { position: 11 / 15; color: "#2400ff" }
                    GradientStop { position: 12 / 15; color: "#8400ff" }
                    GradientStop { position: 13 / 15; color: "#e400ff" }
                    GradientStop { position: 14 / 15; color: "#ff00ba" }
                    GradientStop { position: 15 / 15; color: "#ff005a" }
                }
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.CrossCursor
                    // Pure hues are too bright behind white text; the chosen colour is deepened.
                    onClicked: functionList.sigCustomChangeColor(Qt.darker(functionList.hueAt(mouse.x / width), 1.25).toString())
                }
            }
        }

        // Themes.
        Repeater {
            model: functionList.page === "theme" ? 3 : 0
            Rectangle {
                objectName: "theme_" + index
                property bool chosen: functionList.loginModel === index
                width: content.width
                height: 58 * functionList.sr
                radius: 6 * functionList.sr
                color: chosen ? (functionList.dark ? "#2d2f3a" : "#eef4ff") : themeArea.containsMouse ? functionList.hoverColor : "transparent"
                Rectangle {
                    id: preview
                    x: 8 * functionList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    width: 54 * functionList.sr
                    height: 40 * functionList.sr
                    radius: 4 * functionList.sr
                    border.color: functionList.dark ? "#3a3c48" : "#dfe4eb"
                    color: index === 2 ? "#1c1d24" : index === 1 ? "#eef7e4" : "#ffffff"
                    Rectangle {
                        width: 12 * functionList.sr
                        height: parent.height
                        radius: parent.radius
                        color: index === 2 ? "#17181e" : functionList.skinColors
                    }
                    Rectangle {
                        x: 16 * functionList.sr; y: 8 * functionList.sr
                        width: 30 * functionList.sr; height: 4 * functionList.sr; radius: 2 * functionList.sr
                        color: index === 2 ? "#3a3c48" : "#d6dde6"
                    }
                    Rectangle {
                        x: 16 * functionList.sr; y: 18 * functionList.sr
                        width: 22 * functionList.sr; height: 4 * functionList.sr; radius: 2 * functionList.sr
                        color: index === 2 ? "#3a3c48" : "#d6dde6"
                    }
                    Image {
                        visible: index === 1
                        anchors.right: parent.right
                        anchors.bottom: parent.bottom
                        anchors.margins: 3 * functionList.sr
                        width: 13 * functionList.sr
                        height: width
                        sourceSize: Qt.size(width * 2, height * 2)
                        source: "qrc:/images/leaf.svg"
                    }
                }
                Column {
                    anchors.left: preview.right
                    anchors.leftMargin: 10 * functionList.sr
                    anchors.right: parent.right
                    anchors.rightMargin: 8 * functionList.sr
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 3 * functionList.sr
                    Text {
                        text: [functionList.tip_standard, functionList.tip_spring_breeze, functionList.tip_ink_black][index]
                        font.pixelSize: 13 * functionList.sr
                        font.bold: parent.parent.chosen
                        color: functionList.textColor
                    }
                    Text {
                        width: parent.width
                        visible: index > 0
                        text: index === 1 ? functionList.tip_spring_theme_infor : functionList.tip_blackness_theme_infor
                        wrapMode: Text.WordWrap
                        maximumLineCount: 2
                        elide: Text.ElideRight
                        font.pixelSize: 11 * functionList.sr
                        color: functionList.subColor
                    }
                }
                MouseArea {
                    id: themeArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: functionList.sigChangeTheme(index)
                }
            }
        }

        // Version information.
        Column {
            visible: functionList.page === "version"
            width: parent.width
            padding: 10 * functionList.sr
            spacing: 8 * functionList.sr
            Row {
                spacing: 10 * functionList.sr
                Image {
                    width: 36 * functionList.sr
                    height: width
                    sourceSize: Qt.size(width * 2, height * 2)
                    source: "qrc:/images/logo.svg"
                }
                Column {
                    anchors.verticalCenter: parent.verticalCenter
                    Text {
                        text: "tarnex"
                        font.pixelSize: 14 * functionList.sr
                        font.bold: true
                        color: functionList.textColor
                    }
                    Text {
                        objectName: "versionText"
                        text: functionList.tip_current_version + "  " + curretnVersionInfor
                        font.pixelSize: 12 * functionList.sr
                        color: functionList.subColor
                    }
                }
            }
            Text {
                width: parent.width - 20 * functionList.sr
                wrapMode: Text.WordWrap
                text: newVersionInfor !== "" && newVersionInfor !== curretnVersionInfor
                      ? functionList.tip_version_proposal + " (" + newVersionInfor + ")" : functionList.tip_current_version_infor
                font.pixelSize: 12 * functionList.sr
                color: functionList.textColor
            }
        }
    }
}

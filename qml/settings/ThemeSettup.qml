import QtQuick 2.12
import HttplanguagePackage 1.0
import "style"
import "controls"

// The settings window's second page: the themes with their previews, and the skins with the
// custom colour picker. A change is taken at once; a tick beside the title says so for a while.
Item {
    id: themeSettup
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // Which section last took a change: "theme", "skin" or "" (none shown).
    property string applied: ""
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    property string tip_topic_selection: qsTr("主题选择")
    property string tip_skin_selection: qsTr("皮肤选择")

    signal sigChangeTheme(int themes)
    signal sigChangeColor(string colors)
    signal sigCustomChangeColor(string colors)

    implicitWidth: 480 * sr
    onSkinColorsChanged: appliedMark.requestPaint()
    implicitHeight: column.implicitHeight

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function markApplied(section) {
        applied = section
        appliedMark.requestPaint()
        canvastimer.restart()
    }
    // The first control of the page, for the window's Tab order.
    function focusFirst() {
        themeView.focusTheme(loginModel)
    }

    LanguageTexts { id: languageTexts; target: themeSettup; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // The tick of a taken change stays for two seconds.
    Timer {
        id: canvastimer
        interval: 2000
        onTriggered: themeSettup.applied = ""
    }

    // A round tick in the skin colour, drawn beside the title of the section that changed.
    Canvas {
        id: appliedMark
        objectName: "appliedMark"
        parent: themeSettup.applied === "skin" ? skinTitle : themeTitle
        visible: themeSettup.applied !== ""
        x: parent.implicitWidth + 8 * themeSettup.sr
        anchors.verticalCenter: parent.verticalCenter
        width: 14 * themeSettup.sr
        height: width
        onParentChanged: requestPaint()
        onPaint: {
            var ctx = getContext("2d")
            ctx.reset()
            ctx.fillStyle = themeSettup.skinColors
            ctx.beginPath()
            ctx.arc(width / 2, height / 2, width / 2, 0, 2 * Math.PI)
            ctx.fill()
            ctx.strokeStyle = String(Style.onSkin)
            ctx.lineWidth = Math.max(1, 1.6 * themeSettup.sr)
            ctx.beginPath()
            ctx.moveTo(width * 0.27, height * 0.52)
            ctx.lineTo(width * 0.44, height * 0.68)
            ctx.lineTo(width * 0.74, height * 0.36)
            ctx.stroke()
        }
    }

    Column {
        id: column
        width: parent.width
        spacing: 10 * themeSettup.sr

        Text {
            id: themeTitle
            text: themeSettup.tip_topic_selection
            font.pixelSize: Style.fontLarge
            font.bold: true
            color: themeSettup.pal.text
        }
        ThemeView {
            id: themeView
            objectName: "settingsThemes"
            width: parent.width
            compact: false
            loginModel: themeSettup.loginModel
            skinColors: themeSettup.skinColors
            onSigChangeTheme: {
                themeSettup.sigChangeTheme(themes)
                themeSettup.markApplied("theme")
            }
        }
        Item { width: 1; height: 6 * themeSettup.sr }
        Text {
            id: skinTitle
            text: themeSettup.tip_skin_selection
            font.pixelSize: Style.fontLarge
            font.bold: true
            color: themeSettup.pal.text
        }
        SkinColor {
            id: skinColor
            objectName: "settingsSkins"
            width: parent.width
            columns: 4
            swatchWidth: 64 * themeSettup.sr
            labelWidth: (parent.width - 3 * 8 * themeSettup.sr) / 4
            loginModel: themeSettup.loginModel
            skinColors: themeSettup.skinColors
            onSigChangeColor: {
                themeSettup.sigChangeColor(colors)
                themeSettup.markApplied("skin")
            }
            onSigCustomChangeColor: {
                themeSettup.sigCustomChangeColor(colors)
                themeSettup.markApplied("skin")
            }
        }
    }
}

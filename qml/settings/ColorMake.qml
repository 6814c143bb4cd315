import QtQuick 2.12
import HttplanguagePackage 1.0
import SkinColours 1.0
import "style"
import "controls"

// The custom skin colour: a place on the hue strip and a depth below it. A choice on the strip
// is taken at once; arrows move along the strip and Return takes the colour shown.
Item {
    id: colorMake
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // The place on the hue strip (0..1) and how much deeper than the pure hue (0..1).
    property real hue: 0.6
    property real depth: 0.25
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property string pickedColor: shade(hueAt(hue), depth)

    property string tip_color_value: qsTr("颜色值")
    property string tip_custom_color: qsTr("自定义")

    signal sigCustomChangeColor(string colors)

    implicitWidth: 260 * sr
    implicitHeight: column.implicitHeight

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    // The colour at a place (0..1) of the hue strip, between its neighbouring stops.
    function hueAt(t) { return SkinColours.hueAt(Style.hueStrip, t) }
    // Pure hues are too bright behind white text, so the colour is deepened by `amount`.
    function shade(hex, amount) { return SkinColours.shade(hex, amount) }
    function apply() {
        sigCustomChangeColor(pickedColor)
    }

    LanguageTexts { id: languageTexts; target: colorMake; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Column {
        id: column
        width: parent.width
        spacing: 8 * colorMake.sr
        topPadding: 4 * colorMake.sr
        bottomPadding: 4 * colorMake.sr

        // The hue strip.
        Rectangle {
            id: hueStrip
            objectName: "hueStrip"
            width: parent.width
            height: 20 * colorMake.sr
            radius: Style.radius
            activeFocusOnTab: true
            border.width: activeFocus ? Math.max(1, 1.5 * colorMake.sr) : 0
            border.color: colorMake.pal.text
            Accessible.role: Accessible.Slider
            Accessible.name: colorMake.tip_custom_color
            Accessible.description: colorMake.pickedColor
            Keys.onLeftPressed: colorMake.hue = Math.max(0, colorMake.hue - 1 / 60)
            Keys.onRightPressed: colorMake.hue = Math.min(1, colorMake.hue + 1 / 60)
            Keys.onReturnPressed: colorMake.apply()
            Keys.onEnterPressed: colorMake.apply()
            Keys.onSpacePressed: colorMake.apply()
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0 / 15; color: Style.hueStrip[0] }
                GradientStop { position: 1 / 15; color: Style.hueStrip[1] }
                GradientStop { position: 2 / 15; color: Style.hueStrip[2] }
                GradientStop { position: 3 / 15; color: Style.hueStrip[3] }
                GradientStop { position: 4 / 15; color: Style.hueStrip[4] }
                GradientStop { position: 5 / 15; color: Style.hueStrip[5] }
                GradientStop { position: 6 / 15; color: Style.hueStrip[6] }
                GradientStop { position: 7 / 15; color: Style.hueStrip[7] }
                GradientStop { position: 8 / 15; color: Style.hueStrip[8] }
                GradientStop { position: 9 / 15; color: Style.hueStrip[9] }
                GradientStop { position: 10 / 15; color: Style.hueStrip[10] }
                GradientStop { position: 11 / 15; color: Style.hueStrip[11] }
                GradientStop { position: 12 / 15; color: Style.hueStrip[12] }
                GradientStop { position: 13 / 15; color: Style.hueStrip[13] }
                GradientStop { position: 14 / 15; color: Style.hueStrip[14] }
                GradientStop { position: 15 / 15; color: Style.hueStrip[15] }
            }
            // The marker of the chosen place.
            Rectangle {
                x: colorMake.hue * (parent.width - width)
                y: -2 * colorMake.sr
                width: 6 * colorMake.sr
                height: parent.height + 4 * colorMake.sr
                radius: 2 * colorMake.sr
                color: "transparent"
                border.width: Math.max(1, 1.5 * colorMake.sr)
                border.color: Style.onSkin
            }
            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.CrossCursor
                function place(x) { colorMake.hue = Math.max(0, Math.min(1, x / width)) }
                onPressed: place(mouse.x)
                onPositionChanged: if (pressed) place(mouse.x)
                onReleased: colorMake.apply()
            }
        }

        // The depth strip: from the pure hue to a deep shade of it.
        Rectangle {
            id: depthStrip
            objectName: "depthStrip"
            width: parent.width
            height: 12 * colorMake.sr
            radius: height / 2
            activeFocusOnTab: true
            border.width: activeFocus ? Math.max(1, 1.5 * colorMake.sr) : 0
            border.color: colorMake.pal.text
            Accessible.role: Accessible.Slider
            Accessible.name: colorMake.tip_color_value
            Keys.onLeftPressed: colorMake.depth = Math.max(0, colorMake.depth - 0.05)
            Keys.onRightPressed: colorMake.depth = Math.min(1, colorMake.depth + 0.05)
            Keys.onReturnPressed: colorMake.apply()
            Keys.onEnterPressed: colorMake.apply()
            Keys.onSpacePressed: colorMake.apply()
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0; color: colorMake.hueAt(colorMake.hue) }
                GradientStop { position: 1; color: colorMake.shade(colorMake.hueAt(colorMake.hue), 1) }
            }
            Rectangle {
                x: colorMake.depth * (parent.width - width)
                anchors.verticalCenter: parent.verticalCenter
                width: parent.height + 4 * colorMake.sr
                height: width
                radius: width / 2
                color: colorMake.pickedColor
                border.width: Math.max(1, 2 * colorMake.sr)
                border.color: Style.onSkin
            }
            MouseArea {
                anchors.fill: parent
                anchors.topMargin: -4 * colorMake.sr
                anchors.bottomMargin: -4 * colorMake.sr
                function place(x) { colorMake.depth = Math.max(0, Math.min(1, x / width)) }
                onPressed: place(mouse.x)
                onPositionChanged: if (pressed) place(mouse.x)
                onReleased: colorMake.apply()
            }
        }

        // What will be taken.
        Row {
            spacing: 8 * colorMake.sr
            Rectangle {
                objectName: "customPreview"
                anchors.verticalCenter: parent.verticalCenter
                width: 22 * colorMake.sr
                height: width
                radius: Style.radiusSmall
                color: colorMake.pickedColor
            }
            Text {
                textFormat: Text.PlainText
                anchors.verticalCenter: parent.verticalCenter
                text: colorMake.tip_color_value + "  " + colorMake.pickedColor.toUpperCase()
                font.pixelSize: Style.fontSmall
                color: colorMake.pal.sub
            }
        }
    }
}

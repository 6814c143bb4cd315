import QtQuick 2.12
import HttplanguagePackage 1.0
import SkinColours 1.0
import "style"
import "controls"

// The skin choice: the seven fixed skins and a custom one, whose colour picker opens below.
// Arrows move between the swatches; Space or Return takes one.
Item {
    id: skinColor
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property int columns: 4
    property bool customOpen: false
    property real swatchWidth: 46 * sr
    property real labelWidth: swatchWidth + 6 * sr
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property bool customChosen: indexOfSkin(skinColors) < 0

    property string tip_curtain_black: qsTr("幕黑")
    property string tip_sea_blue: qsTr("海蓝")
    property string tip_lake_blue: qsTr("湖蓝")
    property string tip_light_green: qsTr("光绿")
    property string tip_fireworks: qsTr("焰火")
    property string tip_sunset_glow: qsTr("晚霞")
    property string tip_orange: qsTr("缤橙")
    property string tip_custom_color: qsTr("自定义")

    signal sigChangeColor(string colors)
    signal sigCustomChangeColor(string colors)

    implicitWidth: grid.implicitWidth
    implicitHeight: column.implicitHeight

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function indexOfSkin(hex) { return SkinColours.indexOfSkin(Style.skins, hex) }
    function skinName(i) {
        return i < Style.skins.length ? skinColor["tip_" + Style.skins[i].key] : tip_custom_color
    }
    function choose(i) {
        if (i < Style.skins.length) {
            customOpen = false
            sigChangeColor(Style.skins[i].color)
        } else {
            customOpen = !customOpen
        }
    }
    function focusSwatch(i) {
        var count = swatches.count
        var item = swatches.itemAt((i + count) % count)
        if (item)
            item.children[0].forceActiveFocus()
    }

    LanguageTexts { id: languageTexts; target: skinColor; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Column {
        id: column
        width: parent.width
        spacing: 8 * skinColor.sr

        Grid {
            id: grid
            columns: skinColor.columns
            spacing: 8 * skinColor.sr
            topPadding: 6 * skinColor.sr
            bottomPadding: 2 * skinColor.sr
            Repeater {
                id: swatches
                model: Style.skins.length + 1
                // The swatch comes first among the children: tests and focus moves use it.
                Column {
                    objectName: "skin_" + index
                    spacing: 4 * skinColor.sr
                    readonly property bool custom: index === Style.skins.length
                    readonly property bool chosen: custom ? skinColor.customChosen
                                                          : skinColor.indexOfSkin(skinColor.skinColors) === index
                    Rectangle {
                        id: swatch
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: skinColor.swatchWidth
                        height: 32 * skinColor.sr
                        radius: 5 * skinColor.sr
                        color: parent.custom ? "transparent" : Style.skins[index].color
                        border.width: parent.chosen || activeFocus ? 2 * skinColor.sr : 0
                        border.color: activeFocus ? skinColor.skinColors : skinColor.pal.text
                        scale: swatchArea.pressed ? 0.94 : swatchArea.containsMouse ? 1.06 : 1
                        Behavior on scale { NumberAnimation { duration: 90 } }
                        activeFocusOnTab: true
                        Accessible.role: parent.custom ? Accessible.Button : Accessible.RadioButton
                        Accessible.name: skinColor.skinName(index)
                        Accessible.checkable: !parent.custom
                        Accessible.checked: parent.chosen
                        Accessible.onPressAction: skinColor.choose(index)
                        Keys.onSpacePressed: skinColor.choose(index)
                        Keys.onReturnPressed: skinColor.choose(index)
                        Keys.onEnterPressed: skinColor.choose(index)
                        Keys.onLeftPressed: skinColor.focusSwatch(index - 1)
                        Keys.onRightPressed: skinColor.focusSwatch(index + 1)
                        Keys.onUpPressed: skinColor.focusSwatch(index - skinColor.columns)
                        Keys.onDownPressed: skinColor.focusSwatch(index + skinColor.columns)
                        // The custom swatch shows the spread of colours it leads to.
                        Rectangle {
                            visible: swatch.parent.custom
                            anchors.fill: parent
                            anchors.margins: parent.border.width
                            radius: parent.radius
                            gradient: Gradient {
                                orientation: Gradient.Horizontal
                                GradientStop { position: 0.0; color: Style.customSkinGradient[0] }
                                GradientStop { position: 0.25; color: Style.customSkinGradient[1] }
                                GradientStop { position: 0.5; color: Style.customSkinGradient[2] }
                                GradientStop { position: 0.75; color: Style.customSkinGradient[3] }
                                GradientStop { position: 1.0; color: Style.customSkinGradient[4] }
                            }
                        }
                        Image {
                            visible: parent.parent.chosen
                            anchors.centerIn: parent
                            width: 16 * skinColor.sr
                            height: width
                            sourceSize: Qt.size(width * 2, height * 2)
                            source: "qrc:/images/check.svg"
                        }
                        MouseArea {
                            id: swatchArea
                            anchors.fill: parent
                            hoverEnabled: true
                            cursorShape: Qt.PointingHandCursor
                            onClicked: skinColor.choose(index)
                        }
                    }
                    Text {
                        textFormat: Text.PlainText
                        anchors.horizontalCenter: parent.horizontalCenter
                        width: skinColor.labelWidth
                        horizontalAlignment: Text.AlignHCenter
                        // Long names take two lines; a word a little too long reaches into the gap.
                        wrapMode: Text.WordWrap
                        maximumLineCount: 2
                        text: skinColor.skinName(index)
                        font.pixelSize: Style.fontTiny
                        color: skinColor.pal.sub
                    }
                }
            }
        }
        ColorMake {
            id: colorMake
            objectName: "colorMake"
            visible: skinColor.customOpen
            width: Math.min(parent.width, grid.width)
            loginModel: skinColor.loginModel
            skinColors: skinColor.skinColors
            onSigCustomChangeColor: skinColor.sigCustomChangeColor(colors)
        }
    }
}

import QtQuick 2.12
import HttplanguagePackage 1.0
import "style"
import "controls"

// The three themes, each with a small picture of the frame in its colours: rows in the
// drop-down (compact), tiles side by side in the settings window. Arrows move between them;
// Space or Return takes one.
Item {
    id: themeView
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property bool compact: true
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property real gap: 10 * sr

    property string tip_standard: qsTr("标准")
    property string tip_spring_breeze: qsTr("春风")
    property string tip_ink_black: qsTr("墨黑")
    property string tip_standard_theme_infor: qsTr("简洁明快，专注高效办公~")
    property string tip_spring_theme_infor: qsTr("春光正好，感受清新气息~")
    property string tip_blackness_theme_infor: qsTr("酷炫墨黑，开启个性办公~")

    signal sigChangeTheme(int themes)

    implicitWidth: compact ? 232 * sr : 3 * 150 * sr + 2 * gap
    implicitHeight: layout.implicitHeight

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function themeName(i) {
        return [tip_standard, tip_spring_breeze, tip_ink_black][i]
    }
    function themeInfor(i) {
        return [tip_standard_theme_infor, tip_spring_theme_infor, tip_blackness_theme_infor][i]
    }
    function focusTheme(i) {
        var item = tiles.itemAt((i + 3) % 3)
        if (item)
            item.forceActiveFocus()
    }

    LanguageTexts { id: languageTexts; target: themeView; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Grid {
        id: layout
        width: parent.width
        columns: themeView.compact ? 1 : 3
        spacing: themeView.compact ? 2 * themeView.sr : themeView.gap
        Repeater {
            id: tiles
            model: 3
            Rectangle {
                id: tile
                objectName: "theme_" + index
                readonly property bool chosen: themeView.loginModel === index
                readonly property var tpal: Style.palette(index)
                width: themeView.compact ? layout.width : (layout.width - 2 * themeView.gap) / 3
                height: themeView.compact ? Math.max(58 * themeView.sr, texts.implicitHeight + 14 * themeView.sr)
                                          : preview.height + texts.implicitHeight + 26 * themeView.sr
                radius: 6 * themeView.sr
                color: chosen ? themeView.pal.selected : tileArea.containsMouse ? themeView.pal.hover : "transparent"
                border.width: activeFocus || (chosen && !themeView.compact) ? Math.max(1, 1.5 * themeView.sr) : 0
                border.color: activeFocus ? themeView.skinColors : themeView.pal.cardBorder
                activeFocusOnTab: true
                Accessible.role: Accessible.RadioButton
                Accessible.name: themeView.themeName(index)
                Accessible.description: themeView.themeInfor(index)
                Accessible.checkable: true
                Accessible.checked: chosen
                Accessible.onPressAction: themeView.sigChangeTheme(index)
                Keys.onSpacePressed: themeView.sigChangeTheme(index)
                Keys.onReturnPressed: themeView.sigChangeTheme(index)
                Keys.onEnterPressed: themeView.sigChangeTheme(index)
                Keys.onLeftPressed: themeView.focusTheme(index - 1)
                Keys.onRightPressed: themeView.focusTheme(index + 1)
                Keys.onUpPressed: themeView.focusTheme(index - 1)
                Keys.onDownPressed: themeView.focusTheme(index + 1)

                // A small picture of the frame in this theme: toolbar, list and a conversation.
                Rectangle {
                    id: preview
                    x: 8 * themeView.sr
                    y: themeView.compact ? (parent.height - height) / 2 : 8 * themeView.sr
                    width: themeView.compact ? 56 * themeView.sr : parent.width - 16 * themeView.sr
                    height: themeView.compact ? 40 * themeView.sr : width * 0.62
                    radius: 4 * themeView.sr
                    clip: true
                    color: tile.tpal.pane
                    border.color: tile.tpal.cardBorder
                    readonly property real u: width / 56
                    Rectangle {
                        id: miniToolbar
                        width: 11 * preview.u
                        height: parent.height
                        color: index === 2 ? tile.tpal.list : themeView.skinColors
                        Repeater {
                            model: 3
                            Rectangle {
                                x: 3 * preview.u
                                y: (6 + index * 7) * preview.u
                                width: 5 * preview.u
                                height: width
                                radius: width / 2
                                color: Style.glass(index === 0 ? 0.9 : 0.5)
                            }
                        }
                    }
                    Rectangle {
                        id: miniList
                        x: miniToolbar.width
                        width: 15 * preview.u
                        height: parent.height
                        color: tile.tpal.list
                        Repeater {
                            model: 4
                            Rectangle {
                                x: 2 * preview.u
                                y: (4 + index * 8) * preview.u
                                width: parent.width - 4 * preview.u
                                height: 4 * preview.u
                                radius: height / 2
                                color: index === 0 ? tile.tpal.selected : tile.tpal.line
                            }
                        }
                    }
                    Rectangle {
                        x: miniList.x + miniList.width + 4 * preview.u
                        y: 8 * preview.u
                        width: 16 * preview.u
                        height: 5 * preview.u
                        radius: 2 * preview.u
                        color: tile.tpal.bubbleIn
                    }
                    Rectangle {
                        x: parent.width - width - 4 * preview.u
                        y: 17 * preview.u
                        width: 14 * preview.u
                        height: 5 * preview.u
                        radius: 2 * preview.u
                        color: themeView.skinColors
                    }
                    Rectangle {
                        x: miniList.x + miniList.width
                        y: parent.height - height
                        width: parent.width - x
                        height: 8 * preview.u
                        color: tile.tpal.field
                    }
                    Image {
                        visible: index === 1
                        anchors.right: parent.right
                        anchors.top: parent.top
                        anchors.margins: 2 * preview.u
                        width: 10 * preview.u
                        height: width
                        sourceSize: Qt.size(width * 2, height * 2)
                        source: "qrc:/images/leaf.svg"
                    }
                    Image {
                        visible: tile.chosen && !themeView.compact
                        anchors.right: parent.right
                        anchors.bottom: parent.bottom
                        anchors.margins: 3 * preview.u
                        width: 16 * themeView.sr
                        height: width
                        sourceSize: Qt.size(width * 2, height * 2)
                        source: "qrc:/images/check.svg"
                    }
                }
                Column {
                    id: texts
                    x: themeView.compact ? preview.x + preview.width + 10 * themeView.sr : 10 * themeView.sr
                    y: themeView.compact ? (parent.height - height) / 2 : preview.y + preview.height + 8 * themeView.sr
                    width: themeView.compact ? parent.width - x - 8 * themeView.sr : parent.width - 20 * themeView.sr
                    spacing: 3 * themeView.sr
                    Text {
                        textFormat: Text.PlainText
                        width: parent.width
                        text: themeView.themeName(index)
                        elide: Text.ElideRight
                        font.pixelSize: Style.fontBody
                        font.bold: tile.chosen
                        color: themeView.pal.text
                    }
                    Text {
                        textFormat: Text.PlainText
                        width: parent.width
                        text: themeView.themeInfor(index)
                        wrapMode: Text.WordWrap
                        maximumLineCount: themeView.compact ? 2 : 3
                        elide: Text.ElideRight
                        font.pixelSize: Style.fontTiny
                        color: themeView.pal.sub
                    }
                }
                MouseArea {
                    id: tileArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: themeView.sigChangeTheme(index)
                }
            }
        }
    }
}

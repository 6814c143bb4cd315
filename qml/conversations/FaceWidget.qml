import QtQuick 2.12
import QtQuick.Controls 2.5
import ConfigData 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// The emoticon picker: one page per face group of the settings store. A choice is handed to the
// editor as the emoticon's name and picture URL; Escape or a choice closes the picker.
Rectangle {
    id: faceWidget
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    property var groups: []
    property int currentGroup: 0
    property string imageBase: ""
    property string tip_expression: qsTr("表情")

    signal sigSelectFace(string names, string paths)
    signal sigClosed()

    function hextoPressHex(hex) { return Style.pressed(hex) }
    function open() {
        if (groups.length === 0)
            load()
        visible = true
        faceGrid.forceActiveFocus()
    }
    function close() {
        if (!visible)
            return
        visible = false
        sigClosed()
    }
    function load() {
        imageBase = configData.getImagePath()
        groups = configData.getGroupInfor()
        currentGroup = 0
        faceGrid.model = groups.length > 0 ? configData.getImageNameList(groups[0]) : []
    }
    function showGroup(index) {
        currentGroup = index
        faceGrid.model = configData.getImageNameList(groups[index])
        faceGrid.currentIndex = 0
    }
    function choose(name) {
        sigSelectFace(name, imageBase + name + ".png")
        close()
    }

    visible: false
    width: 372 * sr
    height: 268 * sr
    radius: Style.radiusCard
    color: pal.card
    border.color: pal.cardBorder
    Accessible.role: Accessible.Dialog
    Accessible.name: tip_expression
    Keys.onEscapePressed: close()

    ConfigData { id: configData }
    LanguageTexts { id: languageTexts; target: faceWidget; languagePackage: httplanguagePackage }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }
    // Presses on the card stay on the card.
    MouseArea { anchors.fill: parent }

    GridView {
        id: faceGrid
        objectName: "faceGrid"
        anchors.fill: parent
        anchors.margins: 10 * faceWidget.sr
        anchors.bottomMargin: groupBar.height + 10 * faceWidget.sr
        cellWidth: Math.floor(width / 10)
        cellHeight: 34 * faceWidget.sr
        clip: true
        keyNavigationWraps: true
        activeFocusOnTab: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { Accessible.name: parent ? parent.Accessible.name : "" }
        Accessible.role: Accessible.List
        Accessible.name: faceWidget.tip_expression
        Keys.onReturnPressed: if (currentIndex >= 0) faceWidget.choose(model[currentIndex])
        Keys.onEnterPressed: if (currentIndex >= 0) faceWidget.choose(model[currentIndex])
        Keys.onSpacePressed: if (currentIndex >= 0) faceWidget.choose(model[currentIndex])
        Keys.onEscapePressed: faceWidget.close()
        delegate: Rectangle {
            objectName: "face_" + modelData
            width: faceGrid.cellWidth
            height: faceGrid.cellHeight
            radius: Style.radius
            color: faceArea.containsMouse || (faceGrid.activeFocus && GridView.isCurrentItem) ? faceWidget.pal.hover : "transparent"
            Accessible.role: Accessible.Button
            Accessible.name: modelData
            Accessible.onPressAction: faceWidget.choose(modelData)
            Image {
                anchors.centerIn: parent
                width: 24 * faceWidget.sr
                height: width
                sourceSize: Qt.size(48, 48)
                asynchronous: true
                source: faceWidget.imageBase + modelData + ".png"
            }
            MouseArea {
                id: faceArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: faceWidget.choose(modelData)
            }
            ToolTip.visible: faceArea.containsMouse
            ToolTip.delay: 700
            ToolTip.text: modelData
        }
    }
    // One tab per face group.
    Rectangle {
        id: groupBar
        anchors.bottom: parent.bottom
        width: parent.width
        height: 36 * faceWidget.sr
        radius: Style.radiusCard
        color: faceWidget.pal.list
        Rectangle { width: parent.width; height: 1; color: faceWidget.pal.line }
        Row {
            x: 8 * faceWidget.sr
            height: parent.height
            spacing: 4 * faceWidget.sr
            Repeater {
                model: faceWidget.groups
                Rectangle {
                    objectName: "faceGroup_" + index
                    anchors.verticalCenter: parent.verticalCenter
                    width: groupText.implicitWidth + 18 * faceWidget.sr
                    height: 26 * faceWidget.sr
                    radius: Style.radius
                    activeFocusOnTab: true
                    color: index === faceWidget.currentGroup ? faceWidget.pal.selected
                                                              : groupArea.containsMouse || activeFocus ? faceWidget.pal.hover : "transparent"
                    Accessible.role: Accessible.PageTab
                    Accessible.name: modelData
                    Accessible.onPressAction: faceWidget.showGroup(index)
                    Keys.onReturnPressed: faceWidget.showGroup(index)
                    Keys.onSpacePressed: faceWidget.showGroup(index)
                    Keys.onEscapePressed: faceWidget.close()
                    Text {
                        textFormat: Text.PlainText
                        id: groupText
                        anchors.centerIn: parent
                        text: modelData
                        font.pixelSize: Style.fontSmall
                        color: index === faceWidget.currentGroup ? faceWidget.skinColors : faceWidget.pal.muted
                    }
                    MouseArea {
                        id: groupArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: faceWidget.showGroup(index)
                    }
                }
            }
        }
    }
}

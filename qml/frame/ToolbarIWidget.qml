import QtQuick 2.12
import RoundPicture 1.0
import "style"
import "controls"

// The toolbar at the left of the main frame: avatar, the section buttons with the unread badge,
// and at the bottom the portal jump, skins and the settings list.
Rectangle {
    id: toolbarIWidget
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property int currentIndex: 0
    property int unreadNumber: 0
    property string avatarPath: "qrc:/images/defaulticon.png"
    property bool online: true
    // The buttons' names: the four sections, then the portal, the skins and the settings list.
    property var tipTexts: ["", "", "", "", "", "", ""]
    property int hoverIndex: -1
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property bool dark: pal.dark

    signal sigSelectSection(int types)
    signal sigSetList()
    signal sigSkinList()
    signal sigJumpPortal()
    signal sigTipInforPostion(int types, int mouseXpos, int mouseYpos)
    signal sigHideTip()
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }

    gradient: Gradient {
        GradientStop { position: 0.0; color: toolbarIWidget.dark ? toolbarIWidget.pal.toolbarTop : Qt.lighter(toolbarIWidget.skinColors, 1.06) }
        GradientStop { position: 1.0; color: toolbarIWidget.dark ? toolbarIWidget.pal.toolbarBottom : toolbarIWidget.hextoPressHex(toolbarIWidget.skinColors) }
    }
    // With rounded window corners (radius set) only the left ones round: this strip squares the
    // right side where the toolbar meets the panes.
    Rectangle {
        visible: toolbarIWidget.radius > 0
        anchors.right: parent.right
        width: toolbarIWidget.radius
        height: parent.height
        gradient: toolbarIWidget.gradient
    }

    // Dragging the bar moves the window.
    DragArea {
        anchors.fill: parent
        onDragged: {
            toolbarIWidget.modifyXposition(dx)
            toolbarIWidget.modifyYposition(dy)
        }
    }

    FunctionLeftanimation {
        width: parent.width
        height: 200 * toolbarIWidget.sr
        visible: toolbarIWidget.loginModel === 1
        running: visible && toolbarIWidget.visible
    }

    // The tip names a button once the cursor has rested on it.
    Timer {
        id: tipInforFuntion
        interval: 800
        property int types: -1
        property point place
        onTriggered: if (types >= 0) toolbarIWidget.sigTipInforPostion(types, place.x, place.y)
    }
    function hovered(types, item, inside) {
        if (inside) {
            hoverIndex = types
            var p = item.mapToItem(toolbarIWidget, item.width, item.height / 2)
            tipInforFuntion.types = types
            tipInforFuntion.place = Qt.point(p.x, p.y)
            tipInforFuntion.restart()
        } else if (hoverIndex === types) {
            hoverIndex = -1
            tipInforFuntion.stop()
            sigHideTip()
        }
    }

    Rectangle {
        id: avatar
        anchors.horizontalCenter: parent.horizontalCenter
        y: 30 * sr
        width: 40 * sr
        height: width
        radius: width / 2
        color: Style.glass(0.7)
        RoundPicture {
            id: avatarImage
            objectName: "toolbarAvatar"
            anchors.fill: parent
            anchors.margins: Math.max(1, 1.5 * toolbarIWidget.sr)
            source: toolbarIWidget.avatarPath
            fallback: "qrc:/images/defaulticon.png"
        }
    }
    Rectangle {
        anchors.right: avatar.right
        anchors.bottom: avatar.bottom
        width: 11 * sr
        height: width
        radius: width / 2
        color: toolbarIWidget.online ? Style.toolbarOnline : Style.toolbarOffline
        border.color: Style.onSkin
        border.width: Math.max(1, 1.5 * sr)
    }

    Column {
        id: sections
        anchors.top: avatar.bottom
        anchors.topMargin: 26 * sr
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 10 * sr
        Repeater {
            model: ["message", "group", "organization", "menu"]
            Rectangle {
                id: sectionButton
                objectName: "section_" + modelData
                property bool selected: toolbarIWidget.currentIndex === index
                width: 44 * toolbarIWidget.sr
                height: width
                radius: 8 * toolbarIWidget.sr
                function choose() {
                    toolbarIWidget.currentIndex = index
                    toolbarIWidget.sigSelectSection(index)
                }
                activeFocusOnTab: true
                Keys.onReturnPressed: choose()
                Keys.onEnterPressed: choose()
                Keys.onSpacePressed: choose()
                Accessible.role: Accessible.PageTab
                Accessible.name: toolbarIWidget.tipTexts[index] + (index === 0 && toolbarIWidget.unreadNumber > 0
                                                                   ? ", " + badgeText.text : "")
                Accessible.checkable: true
                Accessible.checked: selected
                Accessible.onPressAction: choose()
                border.width: activeFocus ? Math.max(1, 1.5 * toolbarIWidget.sr) : 0
                border.color: Style.onSkin
                color: selected ? Style.glass(toolbarIWidget.dark ? 0.12 : 0.24)
                       : sectionArea.pressed ? Style.shade(0.15)
                       : sectionArea.containsMouse ? Style.glass(0.12) : "transparent"
                Behavior on color { ColorAnimation { duration: 120 } }
                Rectangle {
                    visible: sectionButton.selected && toolbarIWidget.dark
                    anchors.left: parent.left
                    anchors.verticalCenter: parent.verticalCenter
                    anchors.leftMargin: -10 * toolbarIWidget.sr
                    width: 3 * toolbarIWidget.sr
                    height: parent.height * 0.6
                    radius: width
                    color: toolbarIWidget.skinColors === Style.curtainBlack ? Style.curtainMark : toolbarIWidget.skinColors
                }
                Image {
                    anchors.centerIn: parent
                    width: 24 * toolbarIWidget.sr
                    height: width
                    sourceSize: Qt.size(width * 2, height * 2)
                    source: "qrc:/images/" + modelData + ".svg"
                    opacity: sectionButton.selected || sectionArea.containsMouse ? 1 : 0.78
                }
                Rectangle {
                    objectName: "unreadBadge"
                    visible: index === 0 && toolbarIWidget.unreadNumber > 0
                    x: parent.width - width * 0.7
                    y: -3 * toolbarIWidget.sr
                    height: 17 * toolbarIWidget.sr
                    width: Math.max(height, badgeText.implicitWidth + 9 * toolbarIWidget.sr)
                    radius: height / 2
                    color: Style.danger
                    border.color: Style.onSkin
                    border.width: Math.max(1, toolbarIWidget.sr)
                    Text {
                        textFormat: Text.PlainText
                        id: badgeText
                        anchors.centerIn: parent
                        text: toolbarIWidget.unreadNumber > 99 ? "99+" : String(toolbarIWidget.unreadNumber)
                        color: Style.onSkin
                        font.pixelSize: 10 * toolbarIWidget.sr
                        font.bold: true
                    }
                }
                MouseArea {
                    id: sectionArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onContainsMouseChanged: toolbarIWidget.hovered(index, sectionButton, containsMouse)
                    onClicked: sectionButton.choose()
                }
            }
        }
    }

    Column {
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 18 * sr
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 8 * sr
        Repeater {
            model: ["portal", "skin", "list"]
            Rectangle {
                id: toolButton
                objectName: "tool_" + modelData
                width: 40 * toolbarIWidget.sr
                height: width
                radius: 8 * toolbarIWidget.sr
                function activate() {
                    toolbarIWidget.sigHideTip()
                    if (index === 0)
                        toolbarIWidget.sigJumpPortal()
                    else if (index === 1)
                        toolbarIWidget.sigSkinList()
                    else
                        toolbarIWidget.sigSetList()
                }
                activeFocusOnTab: true
                Keys.onReturnPressed: activate()
                Keys.onEnterPressed: activate()
                Keys.onSpacePressed: activate()
                Accessible.role: Accessible.Button
                Accessible.name: toolbarIWidget.tipTexts[4 + index]
                Accessible.onPressAction: activate()
                border.width: activeFocus ? Math.max(1, 1.5 * toolbarIWidget.sr) : 0
                border.color: Style.onSkin
                color: toolArea.pressed ? Style.shade(0.15) : toolArea.containsMouse ? Style.glass(0.14) : "transparent"
                Image {
                    anchors.centerIn: parent
                    width: 22 * toolbarIWidget.sr
                    height: width
                    sourceSize: Qt.size(width * 2, height * 2)
                    source: "qrc:/images/" + modelData + ".svg"
                    opacity: toolArea.containsMouse ? 1 : 0.78
                }
                MouseArea {
                    id: toolArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onContainsMouseChanged: toolbarIWidget.hovered(4 + index, toolButton, containsMouse)
                    onClicked: toolButton.activate()
                }
            }
        }
    }
}

import QtQuick 2.12
import QtQuick.Controls 2.5
import "../style"

// A square button showing an image; its tip is also what a screen reader announces.
Rectangle {
    id: button
    property url source
    property string tip: ""
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property bool checked: false
    property real iconSize: 20 * Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property bool hovered: area.containsMouse
    signal clicked()

    function activate() {
        if (enabled)
            clicked()
    }

    implicitWidth: 32 * Style.sr
    implicitHeight: 32 * Style.sr
    radius: Style.radius
    activeFocusOnTab: true
    opacity: enabled ? 1 : 0.45
    color: area.pressed ? pal.pressed : checked || area.containsMouse || activeFocus ? pal.hover : "transparent"
    border.color: activeFocus ? skinColors : "transparent"

    Accessible.role: Accessible.Button
    Accessible.name: tip
    Accessible.onPressAction: activate()
    Keys.onReturnPressed: { event.accepted = true; activate() }
    Keys.onEnterPressed: { event.accepted = true; activate() }
    Keys.onSpacePressed: { event.accepted = true; activate() }

    Image {
        anchors.centerIn: parent
        width: button.iconSize
        height: button.iconSize
        sourceSize: Qt.size(width * 2, height * 2)
        source: button.source
        opacity: button.pal.dark ? 0.85 : 1
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: button.activate()
    }
    ToolTip.visible: button.tip !== "" && area.containsMouse
    ToolTip.delay: 600
    ToolTip.text: button.tip
}

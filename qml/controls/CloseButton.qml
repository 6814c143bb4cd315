import QtQuick 2.12
import "../style"

// The cross that closes a card or a window; red while hovered.
Item {
    id: button
    property string accessibleName: qsTr("关闭")
    property int loginModel: 0
    property bool filled: false // a red square under the cross, as window title bars have
    readonly property var pal: Style.palette(loginModel)
    signal clicked()

    function activate() {
        if (enabled)
            clicked()
    }

    implicitWidth: (filled ? 44 : 24) * Style.sr
    implicitHeight: (filled ? 32 : 24) * Style.sr
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.onPressAction: activate()
    Keys.onReturnPressed: { event.accepted = true; activate() }
    Keys.onEnterPressed: { event.accepted = true; activate() }
    Keys.onSpacePressed: { event.accepted = true; activate() }

    Rectangle {
        anchors.fill: parent
        radius: button.filled ? 0 : Style.radius
        color: area.pressed ? (button.filled ? Style.dangerPressed : button.pal.pressed)
                            : area.containsMouse || button.activeFocus ? (button.filled ? Style.danger : button.pal.hover)
                                                                      : "transparent"
    }
    Repeater {
        model: [45, -45]
        Rectangle {
            anchors.centerIn: parent
            width: 13 * Style.sr
            height: Math.max(1, 1.3 * Style.sr)
            rotation: modelData
            antialiasing: true
            color: button.filled && (area.containsMouse || button.activeFocus) ? Style.onSkin
                   : area.containsMouse ? Style.danger : button.pal.sub
        }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        anchors.margins: button.filled ? 0 : -4 * Style.sr
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: button.activate()
    }
}

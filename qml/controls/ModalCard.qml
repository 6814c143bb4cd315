import QtQuick 2.12
import "../style"

// A card over a dimmed window: a press outside or Escape closes it. The card's content is given
// as children; `cardWidth` and `cardHeight` size it.
Rectangle {
    id: modal
    property int loginModel: 0
    property string title: ""
    property real cardWidth: 360 * Style.sr
    property real cardHeight: 220 * Style.sr
    property bool closeOnOutside: true
    property bool showClose: true
    property string closeName: qsTr("关闭")
    readonly property var pal: Style.palette(loginModel)
    default property alias content: body.data
    readonly property alias card: card
    signal closed()

    function open() {
        visible = true
        forceActiveFocus()
    }
    function close() {
        if (!visible)
            return
        visible = false
        closed()
    }

    visible: false
    color: pal.mask
    opacity: visible ? 1 : 0
    Behavior on opacity { NumberAnimation { duration: 120 } }
    Keys.onEscapePressed: close()
    // A window's Escape shortcut would otherwise close the whole window under the card.
    Keys.onShortcutOverride: event.accepted = visible && event.key === Qt.Key_Escape

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        onClicked: if (modal.closeOnOutside) modal.close()
        onWheel: wheel.accepted = true
    }
    Rectangle {
        id: card
        anchors.centerIn: parent
        width: modal.cardWidth
        height: modal.cardHeight
        radius: Style.radiusCard
        color: modal.pal.card
        border.color: modal.pal.cardBorder
        scale: modal.visible ? 1 : 0.96
        Behavior on scale { NumberAnimation { duration: 140; easing.type: Easing.OutCubic } }
        Accessible.role: Accessible.Dialog
        Accessible.name: modal.title
        MouseArea { anchors.fill: parent; onWheel: wheel.accepted = false }
        Text {
            textFormat: Text.PlainText
            id: titleText
            visible: modal.title !== ""
            x: 22 * Style.sr
            y: 18 * Style.sr
            width: parent.width - 70 * Style.sr
            // Laid out once the card shows: a closed card costs no shaping.
            text: modal.visible ? modal.title : ""
            elide: Text.ElideRight
            font.pixelSize: Style.fontTitle
            color: modal.pal.text
        }
        CloseButton {
            visible: modal.showClose
            anchors.right: parent.right
            anchors.top: parent.top
            anchors.margins: 12 * Style.sr
            loginModel: modal.loginModel
            accessibleName: modal.closeName
            onClicked: modal.close()
        }
        Item {
            id: body
            anchors.fill: parent
            anchors.topMargin: modal.title !== "" ? 52 * Style.sr : 0
        }
    }
}

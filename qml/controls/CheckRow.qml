import QtQuick 2.12
import "../style"

// A check box with its text; the whole row toggles, by click, Space or Return. The owner keeps
// the state: toggled() asks for the new one and `checked` stays bound to what the owner holds,
// so a state the owner refuses or changes elsewhere is what the box shows.
Item {
    id: row
    property string text: ""
    property bool checked: false
    property string skinColors: Style.defaultSkin
    property int loginModel: 0
    property real fontSize: Style.fontSmall
    readonly property var pal: Style.palette(loginModel)
    signal toggled(bool checked)

    function toggle() {
        if (!enabled)
            return
        toggled(!checked)
    }

    implicitWidth: box.width + 8 * Style.sr + label.implicitWidth
    implicitHeight: Math.max(box.height, label.implicitHeight) + 4 * Style.sr
    activeFocusOnTab: true
    opacity: enabled ? 1 : 0.5

    Accessible.role: Accessible.CheckBox
    Accessible.name: text
    Accessible.checkable: true
    Accessible.checked: checked
    Accessible.onPressAction: toggle()
    Accessible.onToggleAction: toggle()
    Keys.onSpacePressed: { event.accepted = true; toggle() }
    Keys.onReturnPressed: { event.accepted = true; toggle() }
    Keys.onEnterPressed: { event.accepted = true; toggle() }

    Rectangle {
        id: box
        anchors.verticalCenter: parent.verticalCenter
        width: 15 * Style.sr
        height: width
        radius: Style.radiusSmall
        color: row.checked ? row.skinColors : "transparent"
        border.width: row.activeFocus ? Math.max(1, 1.5 * Style.sr) : 1
        border.color: row.checked || row.activeFocus ? row.skinColors : Style.checkBorder
        Image {
            anchors.fill: parent
            anchors.margins: 2 * Style.sr
            sourceSize: Qt.size(width * 2, height * 2)
            source: "qrc:/images/check.svg"
            visible: row.checked
        }
    }
    Text {
        textFormat: Text.PlainText
        id: label
        anchors.left: box.right
        anchors.leftMargin: 8 * Style.sr
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        text: row.text
        elide: Text.ElideRight
        font.pixelSize: row.fontSize
        color: row.pal.muted
    }
    MouseArea {
        anchors.fill: parent
        anchors.margins: -3 * Style.sr
        cursorShape: Qt.PointingHandCursor
        onClicked: row.toggle()
    }
}

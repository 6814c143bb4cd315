import QtQuick 2.12
import "../style"

// The red count of unread items; hidden at zero, "99+" above 99.
Rectangle {
    id: badge
    property int count: 0
    visible: count > 0
    implicitWidth: Math.max(implicitHeight, label.implicitWidth + 10 * Style.sr)
    implicitHeight: 17 * Style.sr
    radius: implicitHeight / 2
    color: Style.danger
    Accessible.role: Accessible.StaticText
    Accessible.name: label.text
    Text {
        textFormat: Text.PlainText
        id: label
        anchors.centerIn: parent
        text: badge.count > 99 ? "99+" : String(badge.count)
        font.pixelSize: Style.fontTiny
        color: Style.onSkin
    }
}

import QtQuick 2.12

// The message editor. (Placeholder until the view is built.)
Rectangle {
    id: editBox
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

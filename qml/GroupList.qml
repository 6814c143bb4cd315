import QtQuick 2.12

// The user's groups. (Placeholder until the view is built.)
Rectangle {
    id: groupList
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

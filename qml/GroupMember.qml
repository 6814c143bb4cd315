import QtQuick 2.12

// The member side bar of a group conversation. (Placeholder until the view is built.)
Rectangle {
    id: groupMember
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

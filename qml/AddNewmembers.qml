import QtQuick 2.12

// Adding members to a group. (Placeholder until the view is built.)
Rectangle {
    id: addNewmembers
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
    visible: false
    function open(groupId) {}
}

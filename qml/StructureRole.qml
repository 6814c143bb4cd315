import QtQuick 2.12

// Roles. (Placeholder until the view is built.)
Rectangle {
    id: structureRole
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

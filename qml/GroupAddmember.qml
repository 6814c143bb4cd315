import QtQuick 2.12

// The new-group dialog. (Placeholder until the view is built.)
Rectangle {
    id: groupAddmember
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

import QtQuick 2.12

// A group card. (Placeholder until the view is built.)
Rectangle {
    id: groupPersonnelinfor
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

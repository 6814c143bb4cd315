import QtQuick 2.12

// Skin colour choice. (Placeholder until the view is built.)
Rectangle {
    id: skinColor
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

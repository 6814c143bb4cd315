import QtQuick 2.12

// Custom colour picker. (Placeholder until the view is built.)
Rectangle {
    id: colorMake
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

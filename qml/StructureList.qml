import QtQuick 2.12

// The organisation tree. (Placeholder until the view is built.)
Rectangle {
    id: structureList
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

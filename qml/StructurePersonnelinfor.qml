import QtQuick 2.12

// A person card of the organisation. (Placeholder until the view is built.)
Rectangle {
    id: structurePersonnelinfor
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

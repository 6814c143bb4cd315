import QtQuick 2.12

// Update-finished page. (Placeholder until the view is built.)
Rectangle {
    id: updateComplete
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

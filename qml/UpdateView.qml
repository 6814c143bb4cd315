import QtQuick 2.12

// New-version page. (Placeholder until the view is built.)
Rectangle {
    id: updateView
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

import QtQuick 2.12

// Basic settings. (Placeholder until the view is built.)
Rectangle {
    id: basicSettup
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

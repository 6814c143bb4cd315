import QtQuick 2.12

// A theme preview. (Placeholder until the view is built.)
Rectangle {
    id: themeView
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

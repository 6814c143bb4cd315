import QtQuick 2.12

// Themes and skins settings. (Placeholder until the view is built.)
Rectangle {
    id: themeSettup
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

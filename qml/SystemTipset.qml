import QtQuick 2.12

// The settings window's pages. (Placeholder until the view is built.)
Rectangle {
    id: systemTipset
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

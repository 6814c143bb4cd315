import QtQuick 2.12

// In-client update download. (Placeholder until the view is built.)
Rectangle {
    id: updateWidget
    property int loginModel: 0
    property string skinColors: "#0183FF"
    signal sigShowMainWidget()
    color: "transparent"
    visible: false
}

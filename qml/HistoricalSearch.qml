import QtQuick 2.12

// Recent search terms. (Placeholder until the view is built.)
Rectangle {
    id: historicalSearch
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

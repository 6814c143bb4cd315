import QtQuick 2.12

// Search results over the organisation. (Placeholder until the view is built.)
Rectangle {
    id: queryData
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

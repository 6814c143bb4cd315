import QtQuick 2.12

// The open conversation. (Placeholder until the view is built.)
Rectangle {
    id: chatRecord
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

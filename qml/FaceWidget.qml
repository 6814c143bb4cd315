import QtQuick 2.12

// The emoticon picker. (Placeholder until the view is built.)
Rectangle {
    id: faceWidget
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

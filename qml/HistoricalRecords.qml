import QtQuick 2.12

// The history browser. (Placeholder until the view is built.)
Rectangle {
    id: historicalRecords
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

import QtQuick 2.12

// Departments. (Placeholder until the view is built.)
Rectangle {
    id: structureDepartment
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

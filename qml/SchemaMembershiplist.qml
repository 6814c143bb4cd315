import QtQuick 2.12

// Members of a department or role. (Placeholder until the view is built.)
Rectangle {
    id: schemaMembershiplist
    property int loginModel: 0
    property string skinColors: "#0183FF"
    color: "transparent"
}

import QtQuick 2.12

// System reminders by module. (Placeholder until the view is built.)
Rectangle {
    id: systemMessage
    property int loginModel: 0
    property string skinColors: "#0183FF"
    signal sigJumpBrowser(string browsers)
    color: "transparent"
    function activate() {}
}

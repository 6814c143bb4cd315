import QtQuick 2.12

// The module menu. (Placeholder until the view is built.)
Rectangle {
    id: menuDefault
    property int loginModel: 0
    property string skinColors: "#0183FF"
    signal sigSendChatInformation(string ids, string names, string types)
    signal sigJumpBrowser(string browsers)
    signal modifyXposition(int positions)
    signal modifyYposition(int positions)
    color: "transparent"
    function activate() {}
}

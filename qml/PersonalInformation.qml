import QtQuick 2.12

// A person card. (Placeholder until the view is built.)
Rectangle {
    id: personalInformation
    property int loginModel: 0
    property string skinColors: "#0183FF"
    signal sigSendChatInformation(string ids, string names, string types)
    color: "transparent"
    visible: false
    function open(userId) {}
}

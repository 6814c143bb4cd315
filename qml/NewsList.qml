import QtQuick 2.12

// Recent conversations. (Placeholder until the view is built.)
Rectangle {
    id: newsList
    property int loginModel: 0
    property string skinColors: "#0183FF"
    property int unreadTotal: 0
    signal sigSendInfor(string typesa, string names, string ids)
    signal sigSendpersonalInfor(string infora, string inforb, bool jumpm, string types)
    signal sigOpenSystemMessage()
    signal sigTipInfors(string names, string contents, bool reflush)
    signal sigDataUnreadNumber(string ids, string names, string unreads, string paths, string types)
    color: "transparent"
    function loginSuccess() {}
    function reload() {}
    function openConversation(types, names, ids) {}
}

import QtQuick 2.12

// Version information. (Placeholder until the view is built.)
Rectangle {
    id: versionPopup
    property int loginModel: 0
    property string skinColors: "#0183FF"
    signal sigUpdataNewView()
    color: "transparent"
    visible: false
    function open() {}
}

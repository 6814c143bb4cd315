import QtQuick 2.12
import QtQuick.Window 2.12

// The built-in browser window. (Placeholder until the browser is built.)
Window {
    id: browserWindow
    property int loginModel: 0
    property string skinColors: "#0183FF"
}

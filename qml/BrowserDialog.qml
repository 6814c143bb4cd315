import QtQuick 2.12
import QtQuick.Window 2.12

// Pop-up web dialog. (Placeholder until the view is built.)
Window {
    id: browserDialog
    property int loginModel: 0
    property string skinColors: "#0183FF"
}

import QtQuick 2.12

// The watermark over the conversation. (Placeholder until the view is built.)
Item {
    id: watermarkView
    property int loginModel: 0
    property string skinColors: "#0183FF"
}

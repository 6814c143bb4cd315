import QtQuick 2.12

// A round progress indicator. (Placeholder until the view is built.)
Canvas {
    id: circularProgress
    property color arcColor: "#0183FF"
    property color arcBackgroundColor: "#e6e9ef"
    property real arcWidth: 3
    property real progress: 0
    property real radius: Math.min(width, height) / 2
    property bool anticlockwise: false
}

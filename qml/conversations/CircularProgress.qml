import QtQuick 2.12
import "style"

// A round progress indicator: a full ring in the background colour and an arc for the part done,
// starting at the top. `progress` runs from 0 to 1.
Canvas {
    id: circularProgress
    property color arcColor: Style.defaultSkin
    property color arcBackgroundColor: Style.standardPalette.line
    property real arcWidth: 3
    property real progress: 0
    property real radius: Math.min(width, height) / 2
    property bool anticlockwise: false

    implicitWidth: 28
    implicitHeight: 28
    Accessible.role: Accessible.ProgressBar
    Accessible.name: Math.round(Math.max(0, Math.min(1, progress)) * 100) + "%"

    onProgressChanged: requestPaint()
    onArcColorChanged: requestPaint()
    onArcBackgroundColorChanged: requestPaint()
    onArcWidthChanged: requestPaint()
    onRadiusChanged: requestPaint()
    onAnticlockwiseChanged: requestPaint()

    onPaint: {
        var ctx = getContext("2d")
        ctx.reset()
        var r = Math.max(0, radius - arcWidth / 2)
        var cx = width / 2
        var cy = height / 2
        ctx.lineWidth = arcWidth
        ctx.lineCap = "round"
        ctx.strokeStyle = arcBackgroundColor
        ctx.beginPath()
        ctx.arc(cx, cy, r, 0, 2 * Math.PI, false)
        ctx.stroke()
        var done = Math.max(0, Math.min(1, progress))
        if (done <= 0)
            return
        var start = -Math.PI / 2
        var sweep = 2 * Math.PI * done
        ctx.strokeStyle = arcColor
        ctx.beginPath()
        ctx.arc(cx, cy, r, start, anticlockwise ? start - sweep : start + sweep, anticlockwise)
        ctx.stroke()
    }
}

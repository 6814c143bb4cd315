import QtQuick 2.12
import "style"

// Leaves drifting down across the login header in the spring-breeze theme.
Item {
    id: fallenleavesView
    property bool running: true
    readonly property real sr: Style.sr
    clip: true

    Repeater {
        model: 7
        Image {
            id: leaf
            property real startX: (index * 0.15 + 0.04) * fallenleavesView.width
            property int duration: 5200 + (index * 911) % 2600
            width: (12 + (index * 5) % 9) * fallenleavesView.sr
            height: width
            sourceSize: Qt.size(width * 2, height * 2)
            source: index % 3 === 2 ? "qrc:/images/leafautumn.svg" : "qrc:/images/leaf.svg"
            opacity: 0.85
            x: startX
            y: -height
            ParallelAnimation {
                running: fallenleavesView.running && fallenleavesView.width > 0
                loops: Animation.Infinite
                NumberAnimation {
                    target: leaf; property: "y"
                    from: -leaf.height - (index * 37) % 120 * fallenleavesView.sr
                    to: fallenleavesView.height + leaf.height
                    duration: leaf.duration
                }
                SequentialAnimation {
                    NumberAnimation { target: leaf; property: "x"; from: leaf.startX; to: leaf.startX + 26 * fallenleavesView.sr; duration: leaf.duration / 2; easing.type: Easing.InOutSine }
                    NumberAnimation { target: leaf; property: "x"; to: leaf.startX; duration: leaf.duration / 2; easing.type: Easing.InOutSine }
                }
                NumberAnimation { target: leaf; property: "rotation"; from: index * 40; to: index * 40 + 300; duration: leaf.duration }
            }
        }
    }
}

import QtQuick 2.12
import "style"

// Leaves floating slowly upward behind the main frame's panes in the spring-breeze theme.
Item {
    id: springbreezeView
    property bool running: true
    readonly property real sr: Style.sr
    clip: true

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0.0; color: Style.springPalette.meadowTop }
            GradientStop { position: 1.0; color: Style.springPalette.meadowBottom }
        }
    }
    Repeater {
        model: 6
        Image {
            id: leaf
            property real baseX: ((index * 0.17) % 1) * springbreezeView.width
            property int duration: 14000 + (index * 1733) % 6000
            width: (18 + (index * 7) % 14) * springbreezeView.sr
            height: width
            sourceSize: Qt.size(width * 2, height * 2)
            source: "qrc:/images/leaf.svg"
            opacity: 0.22
            x: baseX
            y: springbreezeView.height
            ParallelAnimation {
                running: springbreezeView.running && springbreezeView.height > 0
                loops: Animation.Infinite
                NumberAnimation {
                    target: leaf; property: "y"
                    from: springbreezeView.height + (index * 53) % 200 * springbreezeView.sr
                    to: -leaf.height
                    duration: leaf.duration
                }
                SequentialAnimation {
                    NumberAnimation { target: leaf; property: "x"; from: leaf.baseX; to: leaf.baseX + 40 * springbreezeView.sr; duration: leaf.duration / 2; easing.type: Easing.InOutSine }
                    NumberAnimation { target: leaf; property: "x"; to: leaf.baseX; duration: leaf.duration / 2; easing.type: Easing.InOutSine }
                }
                NumberAnimation { target: leaf; property: "rotation"; from: -20 + index * 30; to: 40 + index * 30; duration: leaf.duration }
            }
        }
    }
}

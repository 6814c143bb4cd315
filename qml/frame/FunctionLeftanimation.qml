import QtQuick 2.12
import "style"

// Sunlight at the top of the toolbar in the spring-breeze theme: a warm glow and slow rays.
Item {
    id: functionLeftanimation
    property bool running: true
    readonly property real sr: Style.sr
    clip: true

    Rectangle {
        id: sun
        x: -width * 0.35
        y: -height * 0.35
        width: 90 * functionLeftanimation.sr
        height: width
        radius: width / 2
        gradient: Gradient {
            GradientStop { position: 0.0; color: Style.springPalette.sunGlow }
            GradientStop { position: 1.0; color: Style.springPalette.sunGlowClear }
        }
        opacity: 0.55
        SequentialAnimation on opacity {
            running: functionLeftanimation.running
            loops: Animation.Infinite
            NumberAnimation { to: 0.8; duration: 2600; easing.type: Easing.InOutSine }
            NumberAnimation { to: 0.45; duration: 2600; easing.type: Easing.InOutSine }
        }
    }
    Item {
        x: sun.x + sun.width / 2
        y: sun.y + sun.height / 2
        RotationAnimation on rotation {
            running: functionLeftanimation.running
            loops: Animation.Infinite
            from: 0; to: 360; duration: 60000
        }
        Repeater {
            model: 8
            Rectangle {
                width: 110 * functionLeftanimation.sr
                height: 3 * functionLeftanimation.sr
                radius: height / 2
                transformOrigin: Item.Left
                rotation: index * 45
                gradient: Gradient {
                    orientation: Gradient.Horizontal
                    GradientStop { position: 0.0; color: Style.springPalette.sunRay }
                    GradientStop { position: 1.0; color: Style.springPalette.sunRayClear }
                }
            }
        }
    }
}

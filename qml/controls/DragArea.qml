import QtQuick 2.12

// The part of a frameless window's title that moves the window: while the left button is held,
// every move reports how far the pointer is from where it was pressed, and the document hands
// that on to whoever places the window (its modifyXposition/modifyYposition signals).
MouseArea {
    id: area
    signal dragged(real dx, real dy)
    property point origin
    onPressed: origin = Qt.point(mouse.x, mouse.y)
    onPositionChanged: area.dragged(mouse.x - origin.x, mouse.y - origin.y)
}

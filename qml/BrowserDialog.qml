import QtQuick 2.12
import QtQuick.Window 2.12
import QtWebEngine 1.8
import "style"

// A pop-up web dialog: a page that a browser page opened with dialog features. Its view exists
// only once it has a profile, like the browser window's.
Window {
    id: browserDialog
    objectName: "browserDialog"
    property int loginModel: 0
    property string skinColors: "#0183FF"
    property QtObject profile: null
    readonly property QtObject currentWebView: webLoader.item
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)

    width: 640 * sr
    height: 480 * sr
    minimumWidth: 240 * sr
    minimumHeight: 160 * sr
    flags: Qt.Dialog
    title: currentWebView && currentWebView.title !== "" ? currentWebView.title : ""
    color: pal.pane

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }

    onClosing: destroyTimer.start()
    Timer {
        id: destroyTimer
        interval: 0
        onTriggered: browserDialog.destroy()
    }
    Shortcut {
        sequence: "Esc"
        onActivated: browserDialog.close()
    }

    Loader {
        id: webLoader
        anchors.fill: parent
        active: browserDialog.profile !== null
        sourceComponent: WebEngineView {
            objectName: "dialogWebView"
            profile: browserDialog.profile
            focus: true
            // A page may size its pop-up.
            onGeometryChangeRequested: {
                browserDialog.x = geometry.x
                browserDialog.y = geometry.y
                browserDialog.width = Math.max(browserDialog.minimumWidth, geometry.width)
                browserDialog.height = Math.max(browserDialog.minimumHeight, geometry.height)
            }
            onWindowCloseRequested: browserDialog.close()
        }
    }
}

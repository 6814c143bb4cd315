import QtQuick 2.12
import QtQuick.Window 2.12
import QtWebEngine 1.8
import PinnedOriginCheck 1.0
import BrowserGuard 1.0
import "style"

// A pop-up web dialog: a page that a browser page opened with dialog features. Its view exists
// only once it has a profile, like the browser window's.
Window {
    id: browserDialog
    objectName: "browserDialog"
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
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
            onCertificateError: pinnedCheck.hold(error)
            onNavigationRequested: {
                var refused = tokenGuard.refusalFor(request.url)
                if (refused !== "") {
                    request.action = WebEngineNavigationRequest.IgnoreRequest
                    dialogNote.text = refused
                }
            }
            onLoadingChanged: {
                if (loadRequest.status === WebEngineView.LoadSucceededStatus)
                    dialogNote.text = ""
            }
        }
    }
    // As in the browser window: a certificate that does not verify is taken only from the
    // pinned server, and a refusal says why.
    BrowserGuard { id: tokenGuard }
    PinnedOriginCheck {
        id: pinnedCheck
        onRefused: dialogNote.text = reason
    }
    Text {
        id: dialogNote
        objectName: "dialogPageNote"
        visible: text !== ""
        anchors.centerIn: webLoader
        width: Math.min(implicitWidth, webLoader.width - 40 * browserDialog.sr)
        wrapMode: Text.Wrap
        textFormat: Text.PlainText
        font.pixelSize: Style.fontBody
        color: Style.danger
        Accessible.role: Accessible.StaticText
        Accessible.name: text
    }
}

import QtQuick 2.12
import "style"

// Factory of the built-in browser's windows and pop-up dialogs, with the default and the
// off-the-record web profiles. Nothing of the web engine is loaded until the first page is
// opened: the browser documents and the profiles are created from their files on demand, so
// the client runs without a web engine process until then.
QtObject {
    id: applicationRoot
    objectName: "applicationRoot"
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // The open browser windows, oldest first.
    property var windows: []
    readonly property int windowCount: windows.length
    property QtObject profiles: null
    readonly property QtObject defaultProfile: profiles ? profiles.defaultProfile : null
    readonly property QtObject otrProfile: profiles ? profiles.otrProfile : null
    property Component browserWindowComponent: null
    property Component browserDialogComponent: null
    // The last failure to create a browser document, for the log and the tests.
    property string lastError: ""
    signal sigOpenExternally(string url)

    function component(name, existing) {
        if (existing !== null)
            return existing
        var made = Qt.createComponent(Qt.resolvedUrl(name + ".qml"))
        if (made.status !== Component.Ready) {
            lastError = made.errorString()
            console.warn("built-in browser:", lastError)
            return null
        }
        return made
    }
    function profile(offTheRecord) {
        if (profiles === null) {
            var made = component("BrowserProfiles", null)
            if (made === null)
                return null
            profiles = made.createObject(applicationRoot)
            profiles.downloadRequested.connect(applicationRoot.routeDownload)
        }
        return profiles.profile(offTheRecord === true)
    }

    // A new, empty browser window on the given profile (the default one when none is given).
    function createWindow(webProfile) {
        browserWindowComponent = component("BrowserWindow", browserWindowComponent)
        if (browserWindowComponent === null)
            return null
        var chosen = webProfile ? webProfile : profile(false)
        var window = browserWindowComponent.createObject(applicationRoot, {
            applicationRoot: applicationRoot,
            profile: chosen,
            loginModel: applicationRoot.loginModel,
            skinColors: applicationRoot.skinColors
        })
        if (window === null)
            return null
        window.sigClosed.connect(function() { applicationRoot.forget(window) })
        var list = windows.slice()
        list.push(window)
        windows = list
        return window
    }
    // A pop-up web dialog (a page's window.open with dialog features).
    function createDialog(webProfile) {
        browserDialogComponent = component("BrowserDialog", browserDialogComponent)
        if (browserDialogComponent === null)
            return null
        return browserDialogComponent.createObject(applicationRoot, {
            profile: webProfile ? webProfile : profile(false),
            loginModel: applicationRoot.loginModel,
            skinColors: applicationRoot.skinColors
        })
    }
    // Opens the page in the newest browser window, making one when there is none.
    function loadUrl(url) {
        if (String(url) === "")
            return
        var window = windows.length > 0 ? windows[windows.length - 1] : createWindow(null)
        if (window === null) {
            // Without the built-in browser the page still opens, in the system one, through
            // the window's link opener.
            sigOpenExternally(String(url))
            return
        }
        window.loadPage(url)
        window.showPage()
    }
    function forget(window) {
        var list = []
        for (var i = 0; i < windows.length; ++i) {
            if (windows[i] !== window)
                list.push(windows[i])
        }
        windows = list
    }
    // A download goes to the window the user works in: the active one, else the newest.
    function routeDownload(download) {
        var target = null
        for (var i = windows.length - 1; i >= 0; --i) {
            if (windows[i].active) {
                target = windows[i]
                break
            }
        }
        if (target === null && windows.length > 0)
            target = windows[windows.length - 1]
        if (target === null)
            target = createWindow(null)
        if (target === null) {
            download.cancel()
            return
        }
        target.onDownloadRequested(download)
    }

    onLoginModelChanged: {
        for (var i = 0; i < windows.length; ++i)
            windows[i].loginModel = loginModel
    }
    onSkinColorsChanged: {
        for (var i = 0; i < windows.length; ++i)
            windows[i].skinColors = skinColors
    }
}

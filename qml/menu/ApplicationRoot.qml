import QtQuick 2.12
import BrowserWindowList 1.0
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
    readonly property BrowserWindowList windowList: BrowserWindowList {}
    readonly property var windows: windowList.windows
    readonly property int windowCount: windowList.count
    property QtObject profiles: null
    readonly property QtObject defaultProfile: profiles ? profiles.defaultProfile : null
    readonly property QtObject otrProfile: profiles ? profiles.otrProfile : null
    // The last failure to create a browser document, for the log and the tests.
    readonly property string lastError: windowList.lastError
    signal sigOpenExternally(string url)
    function profile(offTheRecord) {
        if (profiles === null) {
            profiles = windowList.make("BrowserProfiles", applicationRoot, {})
            if (profiles === null)
                return null
            profiles.downloadRequested.connect(applicationRoot.routeDownload)
        }
        return profiles.profile(offTheRecord === true)
    }
    // A new, empty browser window on the given profile (the default one when none is given).
    function createWindow(webProfile) {
        var window = windowList.make("BrowserWindow", applicationRoot, {
            applicationRoot: applicationRoot,
            profile: webProfile ? webProfile : profile(false),
            loginModel: applicationRoot.loginModel,
            skinColors: applicationRoot.skinColors
        })
        windowList.add(window)
        return window
    }
    // A pop-up web dialog (a page's window.open with dialog features).
    function createDialog(webProfile) {
        return windowList.make("BrowserDialog", applicationRoot, {
            profile: webProfile ? webProfile : profile(false),
            loginModel: applicationRoot.loginModel,
            skinColors: applicationRoot.skinColors
        })
    }
    // Opens the page in the newest browser window, making one when there is none.
    function loadUrl(url) {
        if (String(url) === "")
            return
        var window = windowList.newest() || createWindow(null)
        if (window === null) {
            // Without the built-in browser the page still opens, in the system one, through
            // the window's link opener.
            sigOpenExternally(String(url))
            return
        }
        window.loadPage(url)
        window.showPage()
    }
    // A download goes to the window the user works in: the active one, else the newest.
    function routeDownload(download) {
        var target = windowList.current() || createWindow(null)
        if (target === null)
            download.cancel()
        else
            target.onDownloadRequested(download)
    }
    onLoginModelChanged: windowList.setEach("loginModel", loginModel)
    onSkinColorsChanged: windowList.setEach("skinColors", skinColors)
}

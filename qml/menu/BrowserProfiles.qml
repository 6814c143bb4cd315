import QtQuick 2.12
import QtWebEngine 1.8

// The built-in browser's two web profiles, each made when first asked for: the default one
// keeps cookies and cache on disk, so the web client stays signed in between pages; the
// off-the-record one keeps nothing. Their downloads are handed to `downloadRequested`.
QtObject {
    id: browserProfiles
    property QtObject defaultProfile: null
    property QtObject otrProfile: null
    signal downloadRequested(QtObject download)

    function profile(offTheRecord) {
        if (offTheRecord) {
            if (otrProfile === null)
                otrProfile = made(otrComponent)
            return otrProfile
        }
        if (defaultProfile === null)
            defaultProfile = made(defaultComponent)
        return defaultProfile
    }
    function made(component) {
        var created = component.createObject(browserProfiles)
        created.downloadRequested.connect(browserProfiles.downloadRequested)
        return created
    }

    property Component defaultComponent: Component {
        WebEngineProfile {
            storageName: "tarnex"
            offTheRecord: false
            httpCacheType: WebEngineProfile.DiskHttpCache
            persistentCookiesPolicy: WebEngineProfile.AllowPersistentCookies
        }
    }
    property Component otrComponent: Component {
        WebEngineProfile {
            offTheRecord: true
        }
    }
}

import QtQuick 2.12
import ConfigData 1.0

// One look at the update feed for the version dialog and the update dialog: `answered` comes
// once per check() with the feed's version (empty when the feed failed or did not answer in
// time) and the rest of its entry. A newer check replaces a running one.
QtObject {
    id: updateFeed
    property int timeLimit: 35000
    property QtObject checker: null

    signal answered(string version, string packageUrl, string packageName, string notes, string text)

    // Dotted versions compared part by part: "5.0.0.10" is older than "5.0.1.0".
    function isNewer(candidate, current) { return versions.isNewerVersion(candidate, current) }
    // A ConfigData answers its first feed request only, so each check has its own.
    function check() {
        drop()
        checker = checkerComponent.createObject(updateFeed)
        limit.restart()
        checker.getVersionInfor()
    }
    function drop() {
        limit.stop()
        if (checker)
            checker.destroy()
        checker = null
    }
    function finish(source, version, url, name, notes, text) {
        if (source !== checker)
            return
        drop()
        answered(version, url, name, notes.replace(/\n+$/, ""), text)
    }

    property ConfigData versions: ConfigData {}
    property Component checkerComponent: Component {
        ConfigData {
            id: feedChecker
            onSigUpdateDataInfor: updateFeed.finish(feedChecker, newVersionInfors, downloadFilePaths, downloadFileNames,
                                                    versionDescriptions, httpContentss)
        }
    }
    // A feed that never answers is reported, not waited for.
    property Timer limit: Timer {
        interval: updateFeed.timeLimit
        onTriggered: updateFeed.finish(updateFeed.checker, "", "", "", "", "")
    }
}

import QtQuick 2.12
import QtQuick.Window 2.12
import QtQuick.Controls 2.5
import QtWebEngine 1.8
import ConfigData 1.0
import MessageFilestoreitem 1.0
import HttplanguagePackage 1.0
import HandlUrl 1.0
import PinnedOriginCheck 1.0
import BrowserGuard 1.0
import BrowserDownloads 1.0
import "style"
import "controls"

// The built-in browser: one page with back, forward, reload and its address, and the downloads
// of its profile, saved into the download folder of the settings with their progress and
// opened from the list. The page view exists only once the window has a profile, so a window
// made without one (as the document test does) starts no web engine.
Window {
    id: browserWindow
    objectName: "browserWindow"
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property QtObject applicationRoot: null
    property QtObject profile: null
    // The folder downloads go to: the settings' choice, read again for every download so a
    // change in the settings holds for a window that is already open.
    property string downloadPath: "C:/Users/Administrator/Downloads"
    property string pendingUrl: ""
    readonly property QtObject webView: webLoader.item
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property int runningDownloads: downloadModel.running
    property bool downloadsShown: false

    property string tip_back: qsTr("返回")
    property string tip_browser_forward: qsTr("前进")
    property string tip_browser_reload: qsTr("刷新")
    property string tip_browser_stop: qsTr("停止")
    property string tip_download: qsTr("下载")
    property string tip_openfile: qsTr("打开文件")
    property string tip_cancel: qsTr("取消")
    property string tip_success: qsTr("成功")
    property string tip_fileexits: qsTr("文件不存在")
    property string tip_download_position: qsTr("下载位置")
    property string tip_browser_clear: qsTr("清空")
    property string tip_browser_failed: qsTr("下载失败")
    property string tip_browser_no_downloads: qsTr("暂无下载")
    property string tip_browser_page_failed: qsTr("页面加载失败")

    signal sigClosed()

    width: 1100 * sr
    height: 760 * sr
    minimumWidth: 480 * sr
    minimumHeight: 360 * sr
    title: webView && webView.title !== "" ? webView.title : "tarnex"
    color: pal.pane

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function loadPage(url) {
        var target = handlUrl.pageUrl(url)
        if (webView)
            webView.url = target
        else
            pendingUrl = target
    }
    function showPage() {
        if (visibility === Window.Minimized)
            showNormal()
        else
            show()
        raise()
        requestActivate()
    }
    function closeWindow() {
        close()
    }

    // A download of this window's profile: saved under a free name in the download folder.
    function onDownloadRequested(download) {
        readDownloadPath()
        downloadModel.add(download, downloadPath)
        downloadsShown = true
        showPage()
    }
    // Takes the finished, cancelled and failed downloads off the list; running ones stay.
    function clearDownload() {
        downloadModel.clearFinished()
    }
    function cancelDownload(row) {
        downloadModel.cancel(row)
    }
    function openDownload(row) {
        var path = downloadModel.filePath(row)
        if (path === "")
            return
        downloadNote.text = messageFilestoreitem.jusitFileExits(path) ? "" : tip_fileexits
        if (downloadNote.text === "")
            messageFilestoreitem.openFile(path)
    }
    function readDownloadPath() {
        downloadPath = configData.getBrowserPath("browserPath") || downloadPath
    }
    Component.onCompleted: readDownloadPath()
    onClosing: {
        sigClosed()
        // The page and its engine resources go with the window.
        destroyTimer.start()
    }
    Timer {
        id: destroyTimer
        interval: 0
        onTriggered: browserWindow.destroy()
    }

    ConfigData { id: configData }
    MessageFilestoreitem { id: messageFilestoreitem }
    HandlUrl { id: handlUrl }
    BrowserDownloads { id: downloadModel }
    LanguageTexts {
        id: languageTexts
        target: browserWindow
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    Shortcut {
        sequence: "Esc"
        onActivated: browserWindow.downloadsShown ? browserWindow.downloadsShown = false : browserWindow.closeWindow()
    }
    Shortcut {
        sequences: [StandardKey.Refresh]
        onActivated: if (browserWindow.webView) browserWindow.webView.reload()
    }
    Shortcut {
        sequences: [StandardKey.Back]
        onActivated: if (browserWindow.webView) browserWindow.webView.goBack()
    }

    // The tool bar: navigation, the address and the downloads.
    Rectangle {
        id: toolBar
        width: parent.width
        height: 46 * browserWindow.sr
        color: browserWindow.pal.list
        Row {
            id: navButtons
            x: 8 * browserWindow.sr
            anchors.verticalCenter: parent.verticalCenter
            spacing: 4 * browserWindow.sr
            Repeater {
                model: ["back", "forward", "reload"]
                Rectangle {
                    objectName: "browser_" + modelData
                    readonly property bool usable: browserWindow.webView !== null
                        && (modelData === "back" ? browserWindow.webView.canGoBack
                            : modelData === "forward" ? browserWindow.webView.canGoForward : true)
                    readonly property string label: modelData === "back" ? browserWindow.tip_back
                        : modelData === "forward" ? browserWindow.tip_browser_forward
                        : browserWindow.webView && browserWindow.webView.loading ? browserWindow.tip_browser_stop
                        : browserWindow.tip_browser_reload
                    width: 32 * browserWindow.sr
                    height: width
                    radius: Style.radius
                    opacity: usable ? 1 : 0.4
                    color: navArea.pressed ? browserWindow.pal.pressed
                           : navArea.containsMouse || activeFocus ? browserWindow.pal.hover : "transparent"
                    border.color: activeFocus ? browserWindow.skinColors : "transparent"
                    activeFocusOnTab: true
                    Accessible.role: Accessible.Button
                    Accessible.name: label
                    Accessible.onPressAction: activate()
                    Keys.onReturnPressed: activate()
                    Keys.onSpacePressed: activate()
                    function activate() {
                        var view = browserWindow.webView
                        if (!view || !usable)
                            return
                        if (modelData === "back")
                            view.goBack()
                        else if (modelData === "forward")
                            view.goForward()
                        else if (view.loading)
                            view.stop()
                        else
                            view.reload()
                    }
                    // Arrows are two strokes; reload is an open ring with a head.
                    Item {
                        anchors.centerIn: parent
                        width: 14 * browserWindow.sr
                        height: width
                        visible: modelData !== "reload"
                        rotation: modelData === "forward" ? 180 : 0
                        Rectangle {
                            x: 2 * browserWindow.sr
                            y: parent.height / 2 - height / 2
                            width: parent.width - 2 * browserWindow.sr
                            height: Math.max(1, 1.6 * browserWindow.sr)
                            color: browserWindow.pal.muted
                        }
                        Rectangle {
                            x: 2 * browserWindow.sr
                            y: parent.height / 2 - height / 2
                            width: 8 * browserWindow.sr
                            height: Math.max(1, 1.6 * browserWindow.sr)
                            rotation: -45
                            transformOrigin: Item.Left
                            antialiasing: true
                            color: browserWindow.pal.muted
                        }
                        Rectangle {
                            x: 2 * browserWindow.sr
                            y: parent.height / 2 - height / 2
                            width: 8 * browserWindow.sr
                            height: Math.max(1, 1.6 * browserWindow.sr)
                            rotation: 45
                            transformOrigin: Item.Left
                            antialiasing: true
                            color: browserWindow.pal.muted
                        }
                    }
                    Rectangle {
                        visible: modelData === "reload"
                        anchors.centerIn: parent
                        width: 13 * browserWindow.sr
                        height: width
                        radius: width / 2
                        color: "transparent"
                        border.width: Math.max(1, 1.6 * browserWindow.sr)
                        border.color: browserWindow.pal.muted
                        Rectangle {
                            x: parent.width * 0.55
                            y: -2 * browserWindow.sr
                            width: 6 * browserWindow.sr
                            height: 5 * browserWindow.sr
                            color: toolBar.color
                        }
                    }
                    MouseArea {
                        id: navArea
                        anchors.fill: parent
                        hoverEnabled: true
                        onClicked: parent.activate()
                    }
                }
            }
        }
        TextField {
            id: addressField
            objectName: "browserAddress"
            anchors.left: navButtons.right
            anchors.leftMargin: 8 * browserWindow.sr
            anchors.right: downloadButton.left
            anchors.rightMargin: 8 * browserWindow.sr
            anchors.verticalCenter: parent.verticalCenter
            implicitHeight: 30 * browserWindow.sr
            leftPadding: 12 * browserWindow.sr
            font.pixelSize: Style.fontSmall
            color: browserWindow.pal.text
            selectByMouse: true
            selectionColor: browserWindow.skinColors
            text: browserWindow.webView ? String(browserWindow.webView.url) : browserWindow.pendingUrl
            Accessible.role: Accessible.EditableText
            Accessible.name: text
            background: Rectangle {
                radius: height / 2
                color: browserWindow.pal.field
                border.color: addressField.activeFocus ? browserWindow.skinColors : "transparent"
            }
            onAccepted: browserWindow.loadPage(text)
        }
        Rectangle {
            id: downloadButton
            objectName: "downloadButton"
            anchors.right: parent.right
            anchors.rightMargin: 10 * browserWindow.sr
            anchors.verticalCenter: parent.verticalCenter
            width: downloadLabel.implicitWidth + 40 * browserWindow.sr
            height: 30 * browserWindow.sr
            radius: Style.radius
            color: downloadArea.pressed ? browserWindow.pal.pressed
                   : browserWindow.downloadsShown || downloadArea.containsMouse || activeFocus ? browserWindow.pal.hover : "transparent"
            border.color: activeFocus ? browserWindow.skinColors : "transparent"
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: downloadLabel.text
            Accessible.onPressAction: browserWindow.downloadsShown = !browserWindow.downloadsShown
            Keys.onReturnPressed: browserWindow.downloadsShown = !browserWindow.downloadsShown
            Keys.onSpacePressed: browserWindow.downloadsShown = !browserWindow.downloadsShown
            // A down arrow into a tray.
            Item {
                x: 10 * browserWindow.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 14 * browserWindow.sr
                height: width
                Rectangle {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: Math.max(1, 1.6 * browserWindow.sr)
                    height: parent.height * 0.7
                    color: browserWindow.runningDownloads > 0 ? browserWindow.skinColors : browserWindow.pal.muted
                }
                Rectangle {
                    anchors.bottom: parent.bottom
                    width: parent.width
                    height: Math.max(1, 1.6 * browserWindow.sr)
                    color: browserWindow.pal.muted
                }
            }
            Text {
                textFormat: Text.PlainText
                id: downloadLabel
                x: 30 * browserWindow.sr
                anchors.verticalCenter: parent.verticalCenter
                text: browserWindow.tip_download + (downloadModel.count > 0 ? " " + downloadModel.count : "")
                font.pixelSize: Style.fontSmall
                color: browserWindow.pal.text
            }
            MouseArea {
                id: downloadArea
                anchors.fill: parent
                hoverEnabled: true
                onClicked: browserWindow.downloadsShown = !browserWindow.downloadsShown
            }
        }
        // Page load progress along the bottom edge.
        Rectangle {
            anchors.bottom: parent.bottom
            height: 2 * browserWindow.sr
            visible: browserWindow.webView !== null && browserWindow.webView.loading
            width: browserWindow.webView ? parent.width * browserWindow.webView.loadProgress / 100 : 0
            color: browserWindow.skinColors
        }
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 1
            color: browserWindow.pal.line
            z: -1
        }
    }

    Loader {
        id: webLoader
        anchors.top: toolBar.bottom
        anchors.bottom: parent.bottom
        width: parent.width
        active: browserWindow.profile !== null
        sourceComponent: WebEngineView {
            objectName: "webView"
            profile: browserWindow.profile
            focus: true
            Component.onCompleted: if (browserWindow.pendingUrl !== "") url = browserWindow.pendingUrl
            onLoadingChanged: {
                if (loadRequest.status === WebEngineView.LoadFailedStatus) {
                    var guarded = tokenGuard.refusalFor(loadRequest.url)
                    pageNote.text = browserWindow.refusedReason !== "" ? browserWindow.refusedReason
                                    : guarded !== "" ? guarded
                                    : browserWindow.tip_browser_page_failed + ": " + loadRequest.errorString
                }
                else if (loadRequest.status === WebEngineView.LoadSucceededStatus)
                    pageNote.text = ""
                if (loadRequest.status !== WebEngineView.LoadStartedStatus)
                    browserWindow.refusedReason = ""
            }
            // Pages that open windows: dialogs get a dialog, everything else a browser window.
            onNewViewRequested: {
                var root = browserWindow.applicationRoot
                if (!root)
                    return
                if (request.destination === WebEngineView.NewViewInDialog) {
                    var dialog = root.createDialog(browserWindow.profile)
                    if (dialog && dialog.currentWebView) {
                        request.openIn(dialog.currentWebView)
                        dialog.show()
                    }
                } else {
                    var window = root.createWindow(browserWindow.profile)
                    if (window && window.webView) {
                        request.openIn(window.webView)
                        window.showPage()
                    }
                }
            }
            onWindowCloseRequested: browserWindow.closeWindow()
            onCertificateError: pinnedCheck.hold(error)
            // The address of a page (its fragment too, which the page itself reads) never takes
            // the sign-in token to another origin; the profile's guard covers what pages load.
            onNavigationRequested: {
                var refused = tokenGuard.refusalFor(request.url)
                if (refused !== "") {
                    request.action = WebEngineNavigationRequest.IgnoreRequest
                    pageNote.text = refused
                }
            }
        }
    }
    // A page whose certificate does not verify loads only when it is the pinned server's; any
    // other is refused, and the page note says why.
    property string refusedReason: ""
    BrowserGuard { id: tokenGuard }
    PinnedOriginCheck {
        id: pinnedCheck
        onRefused: browserWindow.refusedReason = reason
    }
    Text {
        id: pageNote
        objectName: "browserPageNote"
        visible: text !== ""
        anchors.centerIn: webLoader
        width: Math.min(implicitWidth, webLoader.width - 40 * browserWindow.sr)
        wrapMode: Text.Wrap
        textFormat: Text.PlainText
        Accessible.role: Accessible.StaticText
        Accessible.name: text
        font.pixelSize: Style.fontBody
        color: Style.danger
    }

    // The downloads, over the right of the page.
    Rectangle {
        id: downloadPanel
        objectName: "downloadPanel"
        visible: browserWindow.downloadsShown
        anchors.top: toolBar.bottom
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        width: Math.min(parent.width, 340 * browserWindow.sr)
        color: browserWindow.pal.card
        border.color: browserWindow.pal.cardBorder
        Accessible.role: Accessible.Pane
        Accessible.name: browserWindow.tip_download
        Item {
            id: panelTitle
            width: parent.width
            height: 44 * browserWindow.sr
            Text {
                x: 14 * browserWindow.sr
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width - x - clearButton.width - 24 * browserWindow.sr
                elide: Text.ElideRight
                text: browserWindow.tip_download
                font.pixelSize: Style.fontLarge
                font.bold: true
                color: browserWindow.pal.text
            }
            SkinButton {
                id: clearButton
                objectName: "clearDownloadButton"
                anchors.right: parent.right
                anchors.rightMargin: 10 * browserWindow.sr
                anchors.verticalCenter: parent.verticalCenter
                implicitHeight: 26 * browserWindow.sr
                primary: false
                fontSize: Style.fontSmall
                text: browserWindow.tip_browser_clear
                loginModel: browserWindow.loginModel
                skinColors: browserWindow.skinColors
                onClicked: browserWindow.clearDownload()
            }
        }
        Text {
            textFormat: Text.PlainText
            id: folderText
            x: 14 * browserWindow.sr
            anchors.top: panelTitle.bottom
            width: parent.width - 28 * browserWindow.sr
            elide: Text.ElideMiddle
            text: browserWindow.tip_download_position + ": " + browserWindow.downloadPath
            font.pixelSize: Style.fontTiny
            color: browserWindow.pal.sub
        }
        Text {
            id: downloadNote
            x: 14 * browserWindow.sr
            anchors.top: folderText.bottom
            anchors.topMargin: visible ? 4 * browserWindow.sr : 0
            height: visible ? implicitHeight : 0
            visible: text !== ""
            font.pixelSize: Style.fontSmall
            color: Style.danger
        }
        ListView {
            id: downloadList
            objectName: "downloadList"
            anchors.top: downloadNote.bottom
            anchors.topMargin: 8 * browserWindow.sr
            anchors.bottom: parent.bottom
            width: parent.width
            clip: true
            model: downloadModel
            activeFocusOnTab: true
            keyNavigationEnabled: true
            Accessible.role: Accessible.List
            Accessible.name: browserWindow.tip_download
            Keys.onReturnPressed: browserWindow.openDownload(currentIndex)
            Keys.onDeletePressed: browserWindow.cancelDownload(currentIndex)
            delegate: Rectangle {
                id: downloadRow
                objectName: "download_" + index
                readonly property bool done: model.done
                readonly property bool running: model.running
                width: ListView.view.width
                height: rowColumn.implicitHeight + 18 * browserWindow.sr
                color: downloadRow.ListView.isCurrentItem && downloadList.activeFocus ? browserWindow.pal.hover : "transparent"
                Accessible.role: Accessible.ListItem
                Accessible.name: model.fileName + " " + stateText.text
                Column {
                    id: rowColumn
                    x: 14 * browserWindow.sr
                    y: 9 * browserWindow.sr
                    width: parent.width - 28 * browserWindow.sr
                    spacing: 5 * browserWindow.sr
                    Text {
                        textFormat: Text.PlainText
                        width: parent.width
                        text: model.fileName
                        elide: Text.ElideMiddle
                        font.pixelSize: Style.fontBody
                        color: browserWindow.pal.text
                    }
                    ProgressBar {
                        objectName: "downloadProgress_" + index
                        width: parent.width
                        from: 0
                        to: 1
                        value: model.total > 0 ? model.received / model.total : (downloadRow.done ? 1 : 0)
                        indeterminate: downloadRow.running && model.total <= 0
                        Accessible.name: browserWindow.tip_download + " " + model.fileName
                    }
                    Item {
                        width: parent.width
                        height: Math.max(stateText.implicitHeight, actionText.implicitHeight)
                        Text {
                            textFormat: Text.PlainText
                            id: stateText
                            objectName: "downloadState_" + index
                            anchors.left: parent.left
                            anchors.right: actionText.left
                            anchors.rightMargin: 8 * browserWindow.sr
                            elide: Text.ElideRight
                            text: downloadRow.done ? browserWindow.tip_success + " · " + downloadModel.sizeText(model.received)
                                  : downloadRow.running ? downloadModel.sizeText(model.received) + " / " + downloadModel.sizeText(model.total)
                                  : model.downloadState === WebEngineDownloadItem.DownloadCancelled ? browserWindow.tip_cancel
                                  : browserWindow.tip_browser_failed
                            font.pixelSize: Style.fontSmall
                            color: downloadRow.done || downloadRow.running ? browserWindow.pal.sub : Style.danger
                        }
                        Text {
                            textFormat: Text.PlainText
                            id: actionText
                            objectName: "downloadAction_" + index
                            anchors.right: parent.right
                            visible: downloadRow.done || downloadRow.running
                            text: downloadRow.done ? browserWindow.tip_openfile : browserWindow.tip_cancel
                            font.pixelSize: Style.fontSmall
                            font.underline: actionArea.containsMouse
                            color: browserWindow.skinColors
                            Accessible.role: Accessible.Button
                            Accessible.name: text
                            Accessible.onPressAction: downloadRow.done ? browserWindow.openDownload(index) : browserWindow.cancelDownload(index)
                            MouseArea {
                                id: actionArea
                                anchors.fill: parent
                                anchors.margins: -4 * browserWindow.sr
                                hoverEnabled: true
                                cursorShape: Qt.PointingHandCursor
                                onClicked: downloadRow.done ? browserWindow.openDownload(index) : browserWindow.cancelDownload(index)
                            }
                        }
                    }
                }
            }
            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                y: 20 * browserWindow.sr
                visible: downloadModel.count === 0
                text: browserWindow.tip_browser_no_downloads
                font.pixelSize: Style.fontSmall
                color: browserWindow.pal.sub
            }
        }
    }
}

import QtQuick 2.12
import QtTest 1.12
import ConfigData 1.0
import "../common"

// System reminders, the new-reminder tip and the module menu in the real window, against the
// reference server; pages open in the built-in browser.
FlowCase {
    id: flow
    name: "Reminders"

    ConfigData { id: configData }

    function serverState() {
        return hook("reminders-state", { user_id: "10001" })
    }
    function frameBrowser() {
        var resources = frame().resources
        for (var i = 0; i < resources.length; ++i) {
            if (resources[i].objectName === "applicationRoot")
                return resources[i]
        }
        return null
    }
    function trayTip() {
        for (var i = 0; i < win.data.length; ++i) {
            if (win.data[i].objectName === "systemTrayInfor")
                return win.data[i]
        }
        return null
    }
    // Keys go to the focused window; a browser window may have had it.
    function activateMain() {
        win.requestActivate()
        tryCompare(win, "active", true)
    }
    function openSystemMessages() {
        find(frame(), "messageSection").showSystemMessages = true
        var list = item("systemMessageList")
        tryVerify(function() { return list.visible && list.count > 0 }, 15000, "reminders listed")
        return list
    }
    function rows(list) {
        var found = []
        for (var i = 0; i < list.count; ++i)
            found.push(list.model.get(i))
        return found
    }
    // The page the newest built-in browser window shows, once it has loaded.
    function loadedPage(root) {
        tryVerify(function() { return root.windowCount > 0 }, 15000, "a browser window opened")
        var window = root.windows[root.windowCount - 1]
        tryVerify(function() { return window.webView !== null }, 10000)
        tryVerify(function() { return !window.webView.loading && window.webView.title.indexOf("Web") !== -1 },
                  60000, "the web client page loaded")
        return window
    }
    function pageTitle(view) {
        var result = { text: null }
        view.runJavaScript("document.getElementById('title').textContent", function(text) { result.text = text })
        tryVerify(function() { return result.text !== null }, 10000)
        return result.text
    }

    function initTestCase() {
        // Pages go to the built-in browser, whatever a developer's own settings say.
        configData.setCurrentMainFile("false", "systemBrowser")
        hook("reminders-reset")
    }
    // The window is a temporary object of each case, so each case signs in.
    function init() {
        openWindow()
        signIn("zhangwei")
    }
    function cleanup() {
        var root = win && frame() ? frameBrowser() : null
        while (root && root.windowCount > 0)
            root.windows[0].close()
        win = null
    }

    function test_1_readByModuleFilterAndMark() {
        var list = openSystemMessages()
        var state = serverState()
        verify(state.unread.total > 0, JSON.stringify(state))
        // The counts are the server's.
        tryCompare(item("moduleUnread_all"), "count", state.unread.total, 10000)
        tryCompare(item("moduleUnread_flow"), "count", state.unread.module.flow, 10000)

        // One module: only its reminders, a page at a time, then the rest on "load more".
        mouseClick(item("module_flow"))
        tryVerify(function() { return list.count > 0 && rows(list).every(function(r) { return r.smsMenu === "flow" }) })
        var view = find(frame(), "systemMessage")
        tryCompare(view, "loading", false)
        var flowTotal = view.totalCount
        verify(flowTotal > list.count, "the demo's flow reminders span two pages: " + flowTotal)
        list.positionViewAtEnd()
        // The conversation view has a button of that name too: this one is the reminders'.
        var more = find(view, "loadMoreButton")
        verify(more !== null)
        tryVerify(function() {
            var at = more.mapToItem(list, 0, 0)
            return at.y >= 0 && at.y + more.height <= list.height
        }, 5000, "the footer is in view")
        mouseClick(more)
        tryCompare(list, "count", flowTotal, 10000)
        list.positionViewAtBeginning()

        // Unread only.
        mouseClick(item("unreadFilter"))
        tryVerify(function() { return !view.loading && list.count === state.unread.module.flow }, 10000)
        verify(rows(list).every(function(r) { return !r.isRead }))

        // One read: by its link, and the server has it.
        var first = list.model.get(0).remindId
        mouseClick(item("markRead_" + first))
        tryVerify(function() { return serverState().read.indexOf(Number(first)) !== -1 }, 10000, "read on the server")
        tryCompare(item("moduleUnread_flow"), "count", state.unread.module.flow - 1, 10000)
        tryCompare(find(list, "remindDot_" + first), "visible", false)

        // All of the module read, then everything.
        mouseClick(item("markAllReadButton"))
        tryVerify(function() { return serverState().unread.module.flow === 0 }, 10000, "flow read on the server")
        tryCompare(item("moduleUnread_flow"), "count", 0, 10000)
        mouseClick(item("module_all"))
        tryVerify(function() { return !view.loading })
        verify(serverState().unread.total > 0)
        mouseClick(item("markAllReadButton"))
        tryVerify(function() { return serverState().unread.total === 0 }, 15000, "everything read on the server")
        tryCompare(item("moduleUnread_all"), "count", 0, 10000)
        mouseClick(item("unreadFilter"))
        tryCompare(view, "unreadOnly", false)
    }

    function test_2_keyboardOpensAReminderPage() {
        hook("reminders-reset")
        var list = openSystemMessages()
        var view = find(frame(), "systemMessage")
        view.activate()
        tryVerify(function() { return !view.loading && list.count > 1 })
        activateMain()
        list.forceActiveFocus()
        list.currentIndex = 0
        keyClick(Qt.Key_Down)
        compare(list.currentIndex, 1)
        var chosen = list.model.get(1)
        keyClick(Qt.Key_Return)
        var window = loadedPage(frameBrowser())
        var url = String(window.webView.url)
        verify(url.indexOf("module=" + chosen.smsMenu) !== -1 && url.indexOf("params=" + chosen.remindId) !== -1, url)
        compare(pageTitle(window.webView), "系统提醒")
        tryVerify(function() { return serverState().read.indexOf(Number(chosen.remindId)) !== -1 }, 10000)
        window.close()
        tryCompare(frameBrowser(), "windowCount", 0)
    }

    function test_3_newReminderRaisesTheTip() {
        var added = hook("reminders-add", { sms_menu: "flow", sms_type: "flow_todo", content: "王芳提交的《差旅报销》等待您办理",
                                            recipients: ["10001"] })
        verify(added.ok, JSON.stringify(added))
        var pushed = hook("push-system", { to: "10001", recipients: ["10001"], content: "王芳提交的《差旅报销》等待您办理",
                                           params: String(added.id), sms_menu: "flow", sms_type: "flow_todo" })
        compare(pushed.sockets, 1)
        var tip = trayTip()
        verify(tip !== null)
        tryCompare(tip, "visible", true, 15000)
        compare(tip.noticeTitle, "系统消息提醒")
        compare(tip.noticeText, "王芳提交的《差旅报销》等待您办理")
        compare(tip.noticeModule, "流程中心")
        // Clicking the tip opens the reminder's page.
        mouseClick(find(tip.contentItem, "trayNoticeArea"))
        tryCompare(tip, "visible", false)
        var window = loadedPage(frameBrowser())
        var url = String(window.webView.url)
        verify(url.indexOf("params=" + added.id) !== -1 && url.indexOf("module=flow") !== -1, url)
        tryVerify(function() { return serverState().read.indexOf(added.id) !== -1 }, 10000, "the page read it")
        window.close()
        tryCompare(frameBrowser(), "windowCount", 0)
    }

    function test_4_menuOpensTheBuiltInBrowser() {
        var root = frameBrowser()
        verify(root !== null)
        frame().currentSection = 3
        var menu = item("menuList")
        tryVerify(function() { return menu.count > 0 }, 10000)
        // A menu with entries opens in place; its entry opens by keyboard.
        mouseClick(item("menuEntry_101"))
        item("menuEntry_1011")
        activateMain()
        menu.forceActiveFocus()
        for (var i = 0; i < menu.count && menu.model.get(menu.currentIndex).menuId !== "1011"; ++i)
            keyClick(Qt.Key_Down)
        compare(menu.model.get(menu.currentIndex).menuId, "1011")
        keyClick(Qt.Key_Return)
        var window = loadedPage(root)
        var url = String(window.webView.url)
        verify(url.indexOf("module_id=101") !== -1 && url.indexOf("menu_id=1011") !== -1, url)
        compare(pageTitle(window.webView), "菜单页面")
        // It is a common function now.
        item("commonEntry_1011")

        // A second entry reuses the window; Escape closes it.
        mouseClick(item("menuEntry_103"))
        tryVerify(function() { return String(window.webView.url).indexOf("menu_id=103") !== -1 }, 15000)
        compare(root.windowCount, 1)
        window.requestActivate()
        tryCompare(window, "active", true)
        keyClick(Qt.Key_Escape)
        tryCompare(root, "windowCount", 0)

        // The search finds entries at any depth by name or initials.
        activateMain()
        var search = item("menuSearch")
        search.forceActiveFocus()
        typeText("fwng")
        keyClick(Qt.Key_Return)
        tryVerify(function() { return menu.count === 1 && menu.model.get(0).menuId === "1012" })
        clearField(search)
        keyClick(Qt.Key_Return)
        tryVerify(function() { return menu.count > 1 })
    }

    function test_5_downloadIntoTheDownloadFolder() {
        var root = frameBrowser()
        var folder = configData.getBrowserPath("browserPath")
        var size = 3 * 1024 * 1024
        var made = hook("files-create", { name: "季度报告.bin", size: size })
        var window = root.createWindow(null)
        window.showPage()
        window.loadPage(testServer.address + "/tarnex10/server/public/api/attachment/index/" + made.attachment_id
                        + "?operate=download&api_token=" + configData.getToken())
        var list = find(window.contentItem, "downloadList")
        tryCompare(list, "count", 1, 30000)
        tryCompare(find(window.contentItem, "downloadPanel"), "visible", true)
        var progress = find(window.contentItem, "downloadProgress_0")
        tryCompare(progress, "value", 1, 60000)
        // Every byte can be in before the download is finished: the action tells.
        tryCompare(find(window.contentItem, "downloadAction_0"), "text", "打开文件", 30000)
        var row = list.model.get(0)
        compare(row.filePath, folder + "/季度报告.bin")
        compare(row.received, size)
        verify(configData.judgeFileExits(row.filePath), row.filePath)
        // The same file again gets a free name beside the first.
        window.loadPage(testServer.address + "/tarnex10/server/public/api/attachment/index/" + made.attachment_id
                        + "?operate=download&api_token=" + configData.getToken())
        tryCompare(list, "count", 2, 30000)
        tryCompare(find(window.contentItem, "downloadAction_1"), "text", "打开文件", 60000)
        compare(list.model.get(1).filePath, folder + "/季度报告 (1).bin")
        verify(configData.judgeFileExits(list.model.get(1).filePath))
        window.clearDownload()
        compare(list.count, 0)
        window.close()
        tryCompare(root, "windowCount", 0)
    }

    // Two downloads of one name under way at once (their files not written yet) still get two
    // names, and a running one is cancelled from its row.
    function test_6_concurrentDownloadsAndCancel() {
        var root = frameBrowser()
        var folder = configData.getBrowserPath("browserPath")
        var made = hook("files-create", { name: "并行下载.bin", size: 2 * 1024 * 1024 })
        hook("files-reset")
        hook("files", { download: "stall" })
        var window = root.createWindow(null)
        window.showPage()
        var url = testServer.address + "/tarnex10/server/public/api/attachment/index/" + made.attachment_id
                  + "?operate=download&api_token=" + configData.getToken()
        var list = find(window.contentItem, "downloadList")
        window.loadPage(url)
        tryCompare(list, "count", 1, 30000)
        window.loadPage(url)
        tryCompare(list, "count", 2, 30000)
        tryVerify(function() { return hook("files-stalled").stalled === 2 }, 30000, "both under way")
        compare(list.model.get(0).filePath, folder + "/并行下载.bin")
        compare(list.model.get(1).filePath, folder + "/并行下载 (1).bin")
        var action = find(window.contentItem, "downloadAction_1")
        tryCompare(action, "text", "取消")
        mouseClick(action)
        tryCompare(find(window.contentItem, "downloadState_1"), "text", "取消", 10000)
        window.cancelDownload(0)
        tryCompare(find(window.contentItem, "downloadState_0"), "text", "取消", 10000)
        verify(!configData.judgeFileExits(folder + "/并行下载 (1).bin"))
        // Cleared rows are gone, and the window closes.
        window.clearDownload()
        compare(list.count, 0)
        hook("files-reset")
        window.close()
        tryCompare(root, "windowCount", 0)
    }

    // The sign-in token stays with the server: a page of another host whose address carries it
    // is never requested and the window says why, while that host without it is reached.
    function test_7_tokenNeverGoesToAnotherHost() {
        var root = frameBrowser()
        var foreign = foreignHost.address()
        var hitsBefore = foreignHost.hits()
        root.loadUrl(foreign + "/page?api_token=" + configData.getToken())
        tryVerify(function() { return root.windowCount > 0 }, 15000, "a browser window opened")
        var window = root.windows[root.windowCount - 1]
        var note = find(window.contentItem, "browserPageNote")
        tryVerify(function() { return note.text.indexOf("登录凭据") >= 0 }, 60000, note.text)
        compare(foreignHost.hits(), hitsBefore, "the token reached another host")
        window.loadPage(foreign + "/page")
        tryVerify(function() { return foreignHost.hits() > hitsBefore }, 60000, "the other host without the token")
    }


    // With the system's browser chosen, a reminder's page leaves through the link opener: the
    // own server's page opens there at once, and no built-in window appears.
    function test_8_systemBrowserThroughTheOpener() {
        configData.setCurrentMainFile("true", "systemBrowser")
        var opensBefore = desktopOpens.opened().length
        var list = openSystemMessages()
        var view = find(frame(), "systemMessage")
        tryVerify(function() { return !view.loading && list.count > 0 })
        var chosen = list.model.get(0)
        view.openRemind(0)
        tryVerify(function() { return desktopOpens.opened().length > opensBefore }, 10000)
        configData.setCurrentMainFile("false", "systemBrowser")
        var url = desktopOpens.opened()[opensBefore]
        verify(url.indexOf("params=" + chosen.remindId) !== -1, url)
        compare(frameBrowser().windowCount, 0)
    }

}

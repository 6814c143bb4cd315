import QtQuick 2.12
import QtTest 1.12
import Qt.labs.platform 1.1 as Platform
import ConfigData 1.0
import "../common"

// The settings window, themes and skins, the version dialog and the in-client update, driven by
// keys and clicks in the real window; every setting is read back through a new ConfigData.
FlowCase {
    id: flow
    name: "Settings"

    Component { id: configComponent; ConfigData {} }

    // What a later start of the client would read.
    function stored() {
        return createTemporaryObject(configComponent, flow)
    }
    function localPath(url) {
        return decodeURIComponent(String(url)).replace(/^file:\/\//, "")
    }
    function settingsWindow() {
        var data = win.data
        for (var i = 0; i < data.length; ++i) {
            if (data[i].objectName === "settingsWindow")
                return data[i]
        }
        return null
    }
    function inSettings(name) {
        var sw = settingsWindow()
        var found = null
        tryVerify(function() {
            found = find(sw.contentItem, name)
            return found !== null
        }, 10000, "no item named " + name + " in the settings window")
        return found
    }
    // A click once the drop-down's size animation has settled (it moves what it shows).
    function clickSettled(target) {
        verify(target !== null)
        waitDropDownSettled()
        mouseClick(target)
    }
    function openDropDown(entry) {
        var frame = flow.frame()
        clickSettled(find(frame, "tool_list"))
        tryCompare(find(frame, "functionList"), "visible", true)
        clickSettled(find(frame, entry))
    }
    function openSettings() {
        openDropDown("entry_system")
        var sw = settingsWindow()
        tryCompare(sw, "visible", true)
        sw.requestActivate()
        tryCompare(sw, "active", true)
        return sw
    }
    function tab(expectedName) {
        keyClick(Qt.Key_Tab)
        var focused = settingsWindow().activeFocusItem
        verify(focused !== null, "nothing has the focus after Tab")
        // Choices sit inside a Loader that carries the name.
        var named = focused.objectName !== "" ? focused : focused.parent
        compare(named.objectName, expectedName)
        return focused
    }

    function init() {
        openWindow()
    }
    function cleanup() {
        testServer.hook("reset", {})
        win = null
    }

    // The rules the dialogs decide by, on the documents themselves.
    function test_0_versionsColoursAndPackageNames() {
        var popup = createTemporaryObject(Qt.createComponent("qrc:/VersionPopup.qml"), flow)
        verify(popup.isNewer("9.9.9.9", "5.0.0.4"))
        verify(popup.isNewer("5.0.1", "5.0.0.4"), "a shorter version can be newer")
        verify(!popup.isNewer("5.0.0.10", "5.0.1.0"), "parts compare as numbers")
        verify(popup.isNewer("5.0.0.10", "5.0.0.9"))
        verify(!popup.isNewer("5.0.0.4", "5.0.0.4"))
        verify(!popup.isNewer("", "5.0.0.4"))
        verify(!popup.isNewer("beta", "5.0.0.4"))

        var widget = createTemporaryObject(Qt.createComponent("qrc:/UpdateWidget.qml"), flow)
        compare(widget.fileNameOf("tarnex-9.9.9.9.zip", ""), "tarnex-9.9.9.9.zip")
        compare(widget.fileNameOf("", "http://h/p/tarnex-1.zip?x=1"), "tarnex-1.zip")
        compare(widget.fileNameOf("../../evil.zip", ""), "evil.zip")
        compare(widget.fileNameOf("..", ""), "")
        compare(widget.fileNameOf("a b.zip", ""), "")
        compare(widget.fileNameOf("", ""), "")

        var picker = createTemporaryObject(Qt.createComponent("qrc:/ColorMake.qml"), flow)
        compare(picker.hueAt(0), "#ff0000")
        compare(picker.hueAt(1), "#ff005a")
        compare(picker.hueAt(-3), "#ff0000")
        compare(picker.hueAt(4 / 15), "#7eff00")
        picker.hue = 0
        picker.depth = 0
        compare(picker.pickedColor, "#ff0000")
        picker.depth = 1
        compare(picker.pickedColor, "#7f0000")
    }

    function test_1_basicSettingsByKeys() {
        signIn("zhangwei")
        var sw = openSettings()
        var firstTab = inSettings("settingsTab_basic")
        tryVerify(function() { return firstTab.activeFocus }, 5000, "the window opens on its first page: " + sw.activeFocusItem)
        tab("settingsTab_theme")

        // Remember password, then auto-login (which needs it), then forgetting turns both off.
        var remember = inSettings("rememberSwitch")
        tab("rememberSwitch")
        if (remember.checked)
            keyClick(Qt.Key_Space)
        compare(remember.checked, false)
        compare(stored().getCurrentMainFile("rememberPassword"), "false")
        keyClick(Qt.Key_Return)
        compare(remember.checked, true)
        compare(stored().getCurrentMainFile("rememberPassword"), "true")

        var autoLogin = inSettings("autoLoginSwitch")
        tab("autoLoginSwitch")
        if (autoLogin.checked)
            keyClick(Qt.Key_Space)
        keyClick(Qt.Key_Space)
        compare(autoLogin.checked, true)
        compare(stored().getCurrentMainFile("autoLogin"), "true")
        keyClick(Qt.Key_Backtab)
        keyClick(Qt.Key_Space)
        compare(remember.checked, false)
        compare(autoLogin.checked, false, "auto-login cannot stay without the password")
        var config = stored()
        compare(config.getCurrentMainFile("autoLogin"), "false")
        compare(config.getCurrentMainFile("currentPassword"), "", "the saved password is forgotten")
        compare(config.getAccountPassword("zhangwei"), "")
        keyClick(Qt.Key_Tab)

        // Start with the system: the XDG entry in the private home comes and goes.
        var entry = localPath(Platform.StandardPaths.writableLocation(Platform.StandardPaths.GenericConfigLocation))
                + "/autostart/tarnex.desktop"
        tab("autostartSwitch")
        compare(stored().getStartCompany(), false)
        keyClick(Qt.Key_Space)
        compare(inSettings("autostartSwitch").checked, true)
        verify(stored().getStartCompany())
        verify(stored().judgeFileExits(entry), entry)
        keyClick(Qt.Key_Space)
        verify(!stored().getStartCompany())
        verify(!stored().judgeFileExits(entry))

        // The server's languages: English, then back to Chinese, by keys.
        inSettings("settingsLang_zh_CN")
        tab("settingsLang_en")
        keyClick(Qt.Key_Space)
        compare(stored().getServerAddressLangue(testServer.address), "en")
        tryCompare(inSettings("settingsTab_basic"), "label", "General", 10000)
        var chinese = inSettings("settingsLang_zh_CN")
        mouseClick(chinese)
        compare(stored().getServerAddressLangue(testServer.address), "zh_CN")
        chinese.item.forceActiveFocus()
        tryCompare(inSettings("settingsTab_basic"), "label", "基本设置", 10000)
        keyClick(Qt.Key_Tab)
        keyClick(Qt.Key_Backtab)
        verify(sw.activeFocusItem.parent.objectName.indexOf("settingsLang_") === 0)

        // The browser for module pages.
        var browser = inSettings("browserChoice")
        tab("browser_system")
        keyClick(Qt.Key_Space)
        compare(browser.systemBrowser, true)
        compare(stored().getCurrentMainFile("systemBrowser"), "true")
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Space)
        compare(browser.systemBrowser, false)
        compare(stored().getCurrentMainFile("systemBrowser"), "false")

        // The download folder through the folder dialog.
        tab("downloadFolderButton")
        keyClick(Qt.Key_Return)
        var dialog = inSettings("basicSettup").folderDialog
        tryCompare(dialog, "visible", true)
        var documents = Platform.StandardPaths.writableLocation(Platform.StandardPaths.DocumentsLocation)
        dialog.currentFolder = documents
        dialog.accept()
        tryCompare(dialog, "visible", false)
        compare(stored().getBrowserPath("browserPath"), localPath(documents))
        compare(inSettings("downloadFolderText").text, localPath(documents))
        sw.requestActivate()
        tryCompare(sw, "active", true)
        // The file dialog may leave the window without the keyboard: the mouse from here.
        mouseClick(inSettings("downloadFolderDefault"))
        var downloads = stored().getDefaultDownloadPath()
        verify(downloads !== "" && downloads !== localPath(documents))
        compare(stored().getBrowserPath("browserPath"), downloads)
        compare(inSettings("downloadFolderText").text, downloads)

        // What the close button does.
        var exitSwitch = inSettings("exitButtonSwitch")
        mouseClick(exitSwitch)
        verify(stored().getExitbtnStatus())
        mouseClick(exitSwitch)
        verify(!stored().getExitbtnStatus())
        mouseClick(exitSwitch)

        // The window closes; it opens again with what was stored.
        mouseClick(inSettings("settingsClose"))
        tryCompare(sw, "visible", false)
        openSettings()
        compare(exitSwitch.checked, true)
        compare(inSettings("downloadFolderText").text, downloads)
        compare(inSettings("rememberSwitch").checked, false)
        exitSwitch.forceActiveFocus()
        keyClick(Qt.Key_Space)
        verify(!stored().getExitbtnStatus())
        keyClick(Qt.Key_Escape)
        tryCompare(sw, "visible", false)
    }

    // The two notification switches: by click and by key, kept across a new opening.
    function test_1b_notificationSettings() {
        signIn("zhangwei")
        var sw = openSettings()
        var quiet = inSettings("doNotDisturbCheck")
        var hidden = inSettings("hidePreviewCheck")
        compare(quiet.checked, false)
        compare(hidden.checked, false)
        compare(quiet.Accessible.name, "免打扰：不显示新消息通知")

        // The page is laid out once the window is on screen; focus scrolls the row into view.
        tryVerify(function() { return quiet.width > 0 }, 5000, "the page is not laid out")
        quiet.forceActiveFocus()
        tryVerify(function() { return quiet.activeFocus }, 5000, "the row takes no focus")
        mouseClick(quiet)
        compare(stored().getCurrentMainFile("doNotDisturb"), "true")
        hidden.forceActiveFocus()
        keyClick(Qt.Key_Space)
        compare(stored().getCurrentMainFile("hidePreview"), "true")
        quiet.forceActiveFocus()
        keyClick(Qt.Key_Space)
        compare(stored().getCurrentMainFile("doNotDisturb"), "false")

        // What another view wrote is what the rows show when the window opens again.
        keyClick(Qt.Key_Escape)
        tryCompare(sw, "visible", false)
        stored().setCurrentMainFile("true", "doNotDisturb")
        openSettings()
        compare(quiet.checked, true)
        compare(hidden.checked, true)
        quiet.forceActiveFocus()
        mouseClick(quiet)
        hidden.forceActiveFocus()
        mouseClick(hidden)
        compare(stored().getCurrentMainFile("doNotDisturb"), "false")
        compare(stored().getCurrentMainFile("hidePreview"), "false")
        keyClick(Qt.Key_Escape)
        tryCompare(sw, "visible", false)
    }

    // "Clear history": asked once more; cancelling keeps it, confirming deletes it and the row
    // says so.
    SignalSpy { id: clearedSpy; signalName: "sigChatHistoryCleared" }
    function test_1c_clearHistory() {
        signIn("zhangwei")
        // Something in the history while it is deleted.
        var sent = testServer.hook("send-as", { from: "10002", to: "10001", msg: "记录里的一条" })
        verify(sent.ok, JSON.stringify(sent))
        clearedSpy.target = stored()
        clearedSpy.clear()
        var sw = openSettings()
        var button = inSettings("clearHistoryButton")
        var confirm = inSettings("clearHistoryConfirm")
        var state = inSettings("clearHistoryState")
        var page = inSettings("basicSettup")
        compare(state.text, page.tip_clear_chat_history_infor)
        compare(button.Accessible.name, page.tip_clear_chat_history)
        verify(!confirm.visible)
        tryVerify(function() { return button.width > 0 }, 5000, "the page is not laid out")

        // Cancelling by key deletes nothing.
        button.forceActiveFocus()
        tryCompare(button, "activeFocus", true)
        keyClick(Qt.Key_Space)
        tryCompare(confirm, "visible", true)
        var cancel = inSettings("clearHistoryCancel")
        cancel.forceActiveFocus()
        tryCompare(cancel, "activeFocus", true)
        keyClick(Qt.Key_Return)
        tryCompare(confirm, "visible", false)
        compare(clearedSpy.count, 0)
        compare(state.text, page.tip_clear_chat_history_infor)

        // Escape closes the question too.
        button.forceActiveFocus()
        tryCompare(button, "activeFocus", true)
        keyClick(Qt.Key_Space)
        tryCompare(confirm, "visible", true)
        tryCompare(confirm, "activeFocus", true)
        keyClick(Qt.Key_Escape)
        tryCompare(confirm, "visible", false)
        compare(clearedSpy.count, 0)

        // Confirmed: the history goes and the row says so.
        button.forceActiveFocus()
        tryCompare(button, "activeFocus", true)
        keyClick(Qt.Key_Return)
        tryCompare(confirm, "visible", true)
        var ok = inSettings("clearHistoryOk")
        compare(ok.Accessible.name, page.tip_ok)
        ok.forceActiveFocus()
        tryCompare(ok, "activeFocus", true)
        keyClick(Qt.Key_Return)
        tryCompare(confirm, "visible", false)
        clearedSpy.wait(10000)
        compare(clearedSpy.signalArguments[0][0], true)
        tryCompare(state, "text", page.tip_chat_history_cleared)
        keyClick(Qt.Key_Escape)
        tryCompare(sw, "visible", false)
    }

    function test_2_themesAndSkins() {
        signIn("zhangwei")
        var sw = openSettings()
        var firstTab = inSettings("settingsTab_basic")
        tryVerify(function() { return firstTab.activeFocus }, 5000, "focus on the tabs: " + sw.activeFocusItem)
        keyClick(Qt.Key_Down)
        verify(inSettings("settingsTab_theme").activeFocus)
        keyClick(Qt.Key_Space)
        var themes = inSettings("themeSettup")
        tryCompare(themes, "visible", true)

        // Themes: a click, then arrows and Space.
        mouseClick(find(themes, "theme_2"))
        compare(win.loginModel, 2)
        compare(stored().getCurrentMainFile("loginModel"), "2")
        verify(find(themes, "theme_2").chosen)
        compare(themes.applied, "theme")
        find(themes, "theme_2").forceActiveFocus()
        keyClick(Qt.Key_Left)
        keyClick(Qt.Key_Space)
        compare(win.loginModel, 1)
        compare(stored().getCurrentMainFile("loginModel"), "1")
        keyClick(Qt.Key_Left)
        keyClick(Qt.Key_Return)
        compare(win.loginModel, 0)
        // The tick of a taken change goes by itself.
        tryCompare(themes, "applied", "", 5000)

        // Skins: a click, arrows, then the custom colour over the hue strip.
        var skins = find(themes, "settingsSkins")
        mouseClick(find(skins, "skin_3").children[0])
        compare(win.skinColors.toUpperCase(), "#87B94A")
        compare(stored().getCurrentMainFile("skinColors").toUpperCase(), "#87B94A")
        find(skins, "skin_3").children[0].forceActiveFocus()
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Space)
        compare(win.skinColors.toUpperCase(), "#F14034")
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Return) // the custom one opens its picker
        var picker = find(skins, "colorMake")
        tryCompare(picker, "visible", true)
        var strip = find(picker, "hueStrip")
        mouseClick(strip, strip.width * 0.1, strip.height / 2)
        var custom = win.skinColors
        verify(skins.indexOfSkin(custom) < 0, "a custom colour was taken: " + custom)
        compare(stored().getCurrentMainFile("skinColors"), custom)
        compare(custom, picker.pickedColor)
        strip.forceActiveFocus()
        for (var i = 0; i < 10; ++i)
            keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Return)
        verify(win.skinColors !== custom, "the arrows moved along the strip")
        compare(stored().getCurrentMainFile("skinColors"), win.skinColors)

        // Back to the defaults for the other cases.
        mouseClick(find(skins, "skin_1").children[0])
        compare(win.skinColors.toUpperCase(), "#0183FF")
        verify(!picker.visible, "a fixed skin closes the picker")
        keyClick(Qt.Key_Escape)
        tryCompare(sw, "visible", false)
    }

    function test_3_versionAndUpdate() {
        signIn("zhangwei")
        var frame = flow.frame()
        // The version entry of the drop-down opens the version dialog with the newer version.
        openDropDown("entry_version")
        var popup = find(frame, "versionPopup")
        tryCompare(popup, "visible", true)
        tryCompare(popup, "phase", "newer", 15000)
        verify(find(popup, "versionStatus").text.indexOf("9.9.9.9") >= 0)
        compare(find(popup, "versionNotes").text, "优化登录与消息同步\n修复若干已知问题")
        compare(find(popup, "versionText").text, "当前版本  5.0.0.4")
        // Return presses the focused upgrade button: the update dialog takes over.
        keyClick(Qt.Key_Return)
        tryCompare(popup, "visible", false)
        var widget = item("updateWidget")
        tryCompare(widget, "visible", true)
        var view = find(widget, "updateView")
        tryCompare(view, "phase", "available", 15000)
        compare(find(view, "updateNotes").text, "优化登录与消息同步\n修复若干已知问题")

        // The download's progress against the package the server serves.
        var progress = find(widget, "updateProgress")
        keyClick(Qt.Key_Return)
        tryCompare(view, "phase", "downloading")
        tryCompare(progress, "value", 100, 30000)
        var complete = find(widget, "updateComplete")
        tryCompare(complete, "visible", true, 5000)
        var documents = localPath(Platform.StandardPaths.writableLocation(Platform.StandardPaths.DocumentsLocation))
        verify(stored().judgeFileExits(documents + "/morvane/tarnex/configupdate/tarnex-9.9.9.9.zip"),
               "the package is in the update folder")
        compare(complete.feedText.indexOf("\"version\":\"9.9.9.9\""), 1, complete.feedText)
        // The hand-over itself would start the updater and end this program: stop here.
        verify(find(complete, "installNowButton").activeFocus)
        keyClick(Qt.Key_Escape)
        tryCompare(widget, "visible", false)
    }

    function test_4_nothingNewerAndAFailedCheck() {
        signIn("zhangwei")
        var frame = flow.frame()
        hook("feed", { mode: "normal", version: "5.0.0.4" })
        openDropDown("entry_version")
        var popup = find(frame, "versionPopup")
        tryCompare(popup, "phase", "latest", 15000)
        compare(find(popup, "versionStatus").text, "当前版本已是最新版本，无需升级")
        keyClick(Qt.Key_Escape)
        tryCompare(popup, "visible", false)

        // The update dialog says the same.
        var widget = item("updateWidget")
        widget.open()
        var view = find(widget, "updateView")
        tryCompare(view, "phase", "latest", 15000)
        compare(find(view, "updateTitle").text, "当前版本已是最新版本，无需升级")
        keyClick(Qt.Key_Escape)
        tryCompare(widget, "visible", false)

        // A feed that answers nothing usable is a failed check, not "up to date".
        hook("feed", { mode: "empty" })
        openDropDown("entry_version")
        tryCompare(popup, "phase", "failed", 15000)
        compare(find(popup, "versionStatus").text, "检查更新失败，请稍后重试")
        hook("feed", { mode: "normal", version: "9.9.9.9" })
        keyClick(Qt.Key_Return) // retry
        tryCompare(popup, "phase", "newer", 15000)
        keyClick(Qt.Key_Escape)
        tryCompare(popup, "visible", false)
    }
}

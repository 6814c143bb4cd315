import QtQuick 2.12
import QtTest 1.12
import ConfigData 1.0

// The sign-in documents driven like a user would: keys into the fields, Enter, clicks.
TestCase {
    id: testCase
    name: "SignIn"
    when: windowShown
    width: 200
    height: 200

    property var win: null
    ConfigData { id: settingsStore }

    // True while `item` or anything inside it waits for its layout pass.
    function polishPending(item) {
        if (isPolishScheduled(item))
            return true
        for (var i = 0; i < item.children.length; ++i) {
            if (polishPending(item.children[i]))
                return true
        }
        return false
    }
    // Waits until the settings drop-down, when shown, has laid out and ended its size animation.
    function waitDropDownSettled() {
        var list = find(win.contentItem, "functionList")
        if (list !== null && list.visible)
            tryVerify(function() { return !polishPending(list) && list.settled }, 5000,
                      "the drop-down settles")
    }
    function find(item, name) {
        if (!item)
            return null
        if (item.objectName === name)
            return item
        var kids = item.children
        for (var i = 0; i < kids.length; ++i) {
            var found = find(kids[i], name)
            if (found)
                return found
        }
        if (item.contentItem && item.contentItem !== item) {
            var inContent = find(item.contentItem, name)
            if (inContent)
                return inContent
        }
        return null
    }
    function item(name) {
        var found = find(win.contentItem, name)
        verify(found !== null, "no item named " + name)
        return found
    }
    function typeText(text) {
        for (var i = 0; i < text.length; ++i)
            keyClick(text.charAt(i))
    }
    function clearField(field) {
        field.forceActiveFocus()
        field.selectAll()
        keyClick(Qt.Key_Backspace)
    }
    function openWindow() {
        var component = Qt.createComponent("qrc:/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        win = createTemporaryObject(component, testCase)
        verify(win !== null)
        win.requestActivate()
        tryCompare(win, "active", true)
        compare(win.loggedIn, false)
    }
    function signInByKeys(account, password) {
        var accountField = item("accountField")
        clearField(accountField)
        typeText(account)
        keyClick(Qt.Key_Tab)
        verify(item("passwordField").activeFocus, "Tab moves from the account to the password")
        clearField(item("passwordField"))
        typeText(password)
        keyClick(Qt.Key_Return)
    }
    // Clicks the named item (or the first child of `root` when the name is empty) once the
    // drop-down's size animation has settled: a click while it moves lands beside its target.
    function click(root, name) {
        var target = name === "" ? root.children[0] : find(root, name)
        verify(target !== null, "no item named " + name)
        waitDropDownSettled()
        mouseClick(target)
    }
    // The language package's list is in, and its choices are laid out.
    function waitForLanguages() {
        var setInterface = item("setInterface")
        tryCompare(setInterface, "languagesLoaded", true, 10000)
        tryVerify(function() {
            return find(setInterface, "lang_zh_CN") !== null && find(setInterface, "lang_en") !== null
                    && !polishPending(setInterface)
        }, 5000, "the language choices are laid out")
    }
    function logout() {
        var frame = win.contentItem.children[1].item // the main frame's loader
        click(frame, "tool_list")
        var list = find(frame, "functionList")
        tryCompare(list, "visible", true)
        click(frame, "entry_logout")
        tryCompare(win, "loggedIn", false, 10000)
        tryCompare(item("accountField"), "visible", true, 10000)
    }

    function init() {
        openWindow()
    }
    function cleanup() {
        win = null
    }

    function test_1_emptyFieldsAreExplained() {
        clearField(item("accountField"))
        keyClick(Qt.Key_Return)
        tryCompare(item("loginTip"), "text", "请先输入账号再登录")
        item("accountField").forceActiveFocus()
        typeText("zhangwei")
        clearField(item("passwordField"))
        keyClick(Qt.Key_Return)
        tryCompare(item("loginTip"), "text", "请输入密码")
    }

    function test_2_wrongPassword() {
        signInByKeys("zhangwei", "not-the-password")
        tryCompare(item("loginTip"), "text", "您输入的密码不正确 请重新输入", 30000)
        compare(win.loggedIn, false)
        verify(item("accountField").visible, "the form is back after a refusal")
    }

    function test_3_passwordSignInThemesSkinsLogout() {
        signInByKeys("zhangwei", "123456")
        tryCompare(win, "loggedIn", true, 30000)
        var frame = win.contentItem.children[1].item
        verify(frame !== null && frame.visible, "the main frame is shown")

        // Themes and skins from the settings drop-down.
        click(frame, "tool_list")
        click(frame, "entry_theme")
        click(frame, "theme_2")
        compare(win.loginModel, 2)
        compare(frame.loginModel, 2)
        click(frame, "theme_1")
        compare(win.loginModel, 1)
        keyClick(Qt.Key_Escape) // back to the entries
        click(frame, "entry_skin")
        click(find(frame, "skin_4"), "")
        compare(win.skinColors.toUpperCase(), "#F14034")
        click(find(frame, "skin_7"), "")
        click(frame, "hueStrip")
        verify(win.skinColors.toUpperCase() !== "#F14034", "a custom colour was taken")
        // Back to the defaults for the other cases.
        click(find(frame, "skin_1"), "")
        compare(win.skinColors.toUpperCase(), "#0183FF")
        keyClick(Qt.Key_Escape)
        click(frame, "entry_theme")
        click(frame, "theme_0")
        compare(win.loginModel, 0)
        keyClick(Qt.Key_Escape)
        keyClick(Qt.Key_Escape)
        tryCompare(find(frame, "functionList"), "visible", false)

        // The entries work by keyboard as well: Space switches auto-login and back.
        click(frame, "tool_list")
        var menu = find(frame, "functionList")
        var before = menu.autoLogin
        find(frame, "entry_auto").forceActiveFocus()
        keyClick(Qt.Key_Space)
        compare(menu.autoLogin, !before)
        keyClick(Qt.Key_Space)
        compare(menu.autoLogin, before)
        keyClick(Qt.Key_Escape)
        tryCompare(menu, "visible", false)

        logout()
        // A logout does not sign in again by itself: once the form has made its choice, no
        // request is on its way.
        var form = item("loginDetail")
        tryCompare(form, "autoLoginDecided", true, 5000)
        compare(form.pending, false)
        compare(win.loggedIn, false)

        // The account just used is saved; its list opens and closes from its button by keys.
        var saved = item("savedAccounts")
        tryCompare(saved, "visible", true)
        saved.forceActiveFocus()
        keyClick(Qt.Key_Space)
        tryCompare(saved, "open", true)
        keyClick(Qt.Key_Return)
        tryCompare(saved, "open", false)
        // Escape closes it too, and so does a press anywhere else.
        keyClick(Qt.Key_Space)
        tryCompare(saved, "open", true)
        keyClick(Qt.Key_Escape)
        tryCompare(saved, "open", false)
        keyClick(Qt.Key_Space)
        tryCompare(saved, "open", true)
        mouseClick(item("loginAvatar"))
        tryCompare(saved, "open", false)
    }

    function test_4_qrCodeSignIn() {
        mouseClick(item("qrCorner"))
        var code = item("qrCode")
        tryCompare(code, "visible", true, 15000)
        var answer = testServer.hook("qr-confirm", {})
        verify(answer.ok, JSON.stringify(answer))
        tryCompare(win, "loggedIn", true, 30000)
        logout()
    }

    function test_5_languageSwitch() {
        mouseClick(item("login_set"))
        var title = item("serverTitle")
        tryVerify(function() { return title.visible })
        compare(title.text, "服务器设置")
        waitForLanguages()
        mouseClick(item("lang_en"))
        tryCompare(title, "text", "Server settings", 10000)
        mouseClick(item("serverOk"))
        tryCompare(item("loginButton").children[0], "text", "Sign in")
        // And back to Chinese, once the settings button is back in its row and laid out.
        var settingsButton = item("login_set")
        tryVerify(function() { return settingsButton.visible && !polishPending(win.contentItem) },
                  5000, "the settings button is back")
        mouseClick(settingsButton)
        tryVerify(function() { return title.visible })
        waitForLanguages()
        mouseClick(item("lang_zh_CN"))
        tryCompare(title, "text", "服务器设置", 10000)
        mouseClick(item("serverOk"))
    }

    // A start where the server settings were left open shows them first; the password form,
    // made behind them, comes with OK and signs in.
    function test_6_startAtServerSettings() {
        win.destroy()
        win = null
        settingsStore.setCurrentMainFile("server", "loginView")
        openWindow()
        tryCompare(item("setInterface"), "visible", true)
        waitForLanguages()
        mouseClick(item("serverOk"))
        tryCompare(item("accountField"), "visible", true, 10000)
        signInByKeys("zhangwei", "123456")
        tryCompare(win, "loggedIn", true, 30000)
        logout()
    }
}

import QtQuick 2.12
import QtTest 1.12

// What every window flow needs: the real window, finding items by objectName, typing, and a
// password sign-in. A flow file says `import "../common"` and uses FlowCase as its TestCase.
TestCase {
    id: flow
    when: windowShown
    width: 200
    height: 200

    property var win: null

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
    // The named item, waiting for it to exist (lists fill and views load asynchronously).
    function item(name, timeout) {
        var found = null
        tryVerify(function() {
            found = find(win.contentItem, name)
            return found !== null
        }, timeout === undefined ? 10000 : timeout, "no item named " + name)
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
        win = createTemporaryObject(component, flow)
        verify(win !== null)
        win.requestActivate()
        tryCompare(win, "active", true)
    }
    // The main frame, once signed in.
    function frame() {
        return win.contentItem.children[1].item
    }
    function signIn(account, password) {
        var accountField = item("accountField")
        clearField(accountField)
        typeText(account)
        keyClick(Qt.Key_Tab)
        clearField(item("passwordField"))
        typeText(password === undefined ? "123456" : password)
        keyClick(Qt.Key_Return)
        tryCompare(win, "loggedIn", true, 30000)
        tryVerify(function() { return frame() !== null && frame().visible }, 10000)
    }
    function hook(name, body) {
        var answer = testServer.hook(name, body === undefined ? {} : body)
        verify(answer !== undefined, "hook " + name)
        return answer
    }
}

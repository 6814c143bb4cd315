import QtQuick 2.12
import QtTest 1.12

// The server's self-signed certificate is asked about at once (the window fetches the stored
// language from it). Declined, it is asked again at the sign-in; trusted by keyboard, the sign-in
// goes through and so does the messaging link.
TestCase {
    id: testCase
    name: "Certificate"
    when: windowShown
    width: 200
    height: 200

    property var win: null

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
        return null
    }
    function item(name) {
        var found = find(win.contentItem, name)
        verify(found !== null, "no item named " + name)
        return found
    }
    function clearField(field) {
        field.forceActiveFocus()
        field.selectAll()
        keyClick(Qt.Key_Backspace)
    }
    function typeText(text) {
        for (var i = 0; i < text.length; ++i)
            keyClick(text.charAt(i))
    }

    function test_trustByKeyboardThenSignIn() {
        var component = Qt.createComponent("qrc:/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        win = createTemporaryObject(component, testCase)
        verify(win !== null)
        win.requestActivate()
        tryCompare(win, "active", true)

        var prompt = item("certificatePrompt")
        tryCompare(prompt, "visible", true, 15000)
        compare(item("certificateServer").text, testServer.address)
        verify(/^([0-9A-F]{2}:){31}[0-9A-F]{2}$/.test(item("certificateFingerprint").text),
               item("certificateFingerprint").text)
        verify(!item("certificatePreviousFingerprint").visible, "nothing was trusted before")
        verify(item("certificateCancelButton").activeFocus, "the focus starts on cancel")

        // Declined: the form says why nothing happened.
        keyClick(Qt.Key_Escape)
        tryCompare(prompt, "visible", false)
        compare(item("loginTip").text, "未信任服务器证书，没有连接该服务器")

        // A sign-in asks again; while it asks, the form does not call the server address wrong.
        clearField(item("accountField"))
        typeText("zhangwei")
        keyClick(Qt.Key_Tab)
        clearField(item("passwordField"))
        typeText("123456")
        keyClick(Qt.Key_Return)
        tryCompare(prompt, "visible", true, 15000)
        tryCompare(item("loginDetail"), "pending", false, 15000)
        verify(item("loginTip").text !== "服务器地址错误", item("loginTip").text)

        // Trusted by keyboard, the sign-in runs again by itself.
        verify(item("certificateCancelButton").activeFocus, "the focus starts on cancel")
        keyClick(Qt.Key_Tab)
        verify(item("certificateTrustButton").activeFocus)
        keyClick(Qt.Key_Return)
        tryCompare(prompt, "visible", false)
        tryCompare(win, "loggedIn", true, 30000)
        verify(!prompt.visible, "a pinned server is not asked about again")

        // The messaging link to the https server is a wss one through the same pin: a
        // colleague's message arrives.
        var sent = testServer.hook("send-as", { from: "10002", to: "10001", msg: "加密链路上的一条" })
        verify(sent.ok, JSON.stringify(sent))
        tryVerify(function() { return find(win.contentItem, "conversation_10002") !== null }, 30000,
                  "the message over the encrypted link never arrived")
        win = null
    }
}

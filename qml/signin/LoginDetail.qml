import QtQuick 2.12
import QtQuick.Window 2.12
import RoundPicture 1.0
import SignInForm 1.0
import ConfigData 1.0
import LoginRequest 1.0
import AesIteminfor 1.0
import HttplanguagePackage 1.0
import "style"
import "controls"

// Account and password form with the saved-account drop-down, remember-password and auto-login.
Item {
    id: loginDetail
    objectName: "loginDetail"
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    property bool suppressAutoLogin: false
    // True while this form's own login request is outstanding; every LoginRequest also reports
    // when somebody else's sign-in completes, and those reports are not ours.
    property bool pending: false
    readonly property bool rememberPassword: formState.rememberPassword
    readonly property bool autoLogin: formState.autoLogin
    // Whether the form has made its one start-up choice to sign in by itself.
    readonly property bool autoLoginDecided: !autoTime.running
    // The account whose remembered password is being read ("" when none is), and whether a
    // sign-in waits for it.
    readonly property string passwordFor: formState.passwordFor
    readonly property bool loginAfterPassword: formState.loginAfterPassword
    property string tipText: ""
    readonly property var accounts: formState.accounts
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property bool dark: pal.dark
    readonly property color textColor: pal.text
    readonly property color subColor: pal.sub
    readonly property color fieldColor: pal.input
    readonly property color lineColor: pal.fieldBorder

    property string tip_log_in: qsTr("登录")
    property string tip_user_name_placeholder: qsTr("请输入账号")
    property string tip_password_placeholder: qsTr("请输入密码")
    property string tip_remember_password: qsTr("记住密码")
    property string tip_auto_logon: qsTr("自动登录")
    property string tip_set_server_login: qsTr("请先设置服务器再登录")
    property string tip_input_account_logon: qsTr("请先输入账号再登录")
    property string tip_password_error: qsTr("您输入的密码不正确 请重新输入")
    property string tip_server_disconnected: qsTr("服务器断开，请检查网络")
    property string tip_sacn_code_login: qsTr("扫描二维码安全登录")
    property string tip_server_address_errors: qsTr("服务器地址错误")
    property string tip_saved_accounts: qsTr("已保存的账号")
    property string tip_remove_account: qsTr("删除账号")
    property string tip_keychain_unavailable: qsTr("系统密钥环不可用，记住的密码将保存在本机配置文件中")

    signal sigLoginStart(string account)
    signal sigLoginSuccess(bool status, string errors)
    signal sigLoginName(string userId, string names)
    signal sigShowQrcode()

    // An Item, not a see-through Rectangle: its top lies over the header for the avatar, and
    // on the OpenGL path such a Rectangle left its whole area black, the header's end with it.

    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function showTip(text) {
        tipText = text
        popupTime.restart()
    }
    function avatarFor(account) { return configData.avatarUrl(configData.getAccountImage(account)) }
    // Fills the form from the settings of the current server.
    function reset() {
        pending = false
        tipText = ""
        accountField.text = formState.reset()
        passwordField.text = ""
        showStoreNotice()
        if (visible)
            (accountField.text === "" ? accountField : passwordField).forceActiveFocus()
    }
    // The remembered password arrives later (the keychain answers asynchronously).
    function passwordArrived(password, signIn) {
        // What the user typed meanwhile wins.
        if (passwordField.text === "")
            passwordField.text = password
        if (signIn)
            doLogin()
    }
    function askPassword() {
        showTip(tip_password_placeholder)
        passwordField.forceActiveFocus()
    }
    function showStoreNotice() {
        if (configData.takePasswordStoreNotice() !== "")
            showTip(tip_keychain_unavailable)
    }
    function chooseAccount(account) {
        accountField.text = account
        passwordField.text = ""
        formState.chooseAccount(account)
        accountPopup.close()
        passwordField.forceActiveFocus()
    }
    // Escape closes the saved accounts' list; with the list closed it goes on to the window.
    function closeAccounts(event) {
        if (accountPopup.visible)
            accountPopup.close()
        else
            event.accepted = false
    }
    function cancelLogin() {
        pending = false
    }
    function serverIsSet() { return configData.currentServerSet() }
    function doLogin() {
        if (pending)
            return
        var account = accountField.text.trim()
        // "wait": the sign-in follows the remembered password, which is on its way.
        var refusal = formState.refusal(account, passwordField.text)
        if (refusal !== "" && refusal !== "wait")
            showTip(loginDetail["tip_" + refusal])
        if (refusal === "input_account_logon")
            accountField.forceActiveFocus()
        else if (refusal === "password_placeholder")
            passwordField.forceActiveFocus()
        if (refusal !== "")
            return
        tipText = ""
        formState.start(account, passwordField.text)
        pending = true
        loginRequest.loginServer(account, passwordField.text)
        sigLoginStart(account)
    }

    Component.onCompleted: reset()

    ConfigData {
        id: configData
        onSigPasswordStoreNotice: loginDetail.showStoreNotice()
    }
    SignInForm {
        id: formState
        onPasswordArrived: loginDetail.passwordArrived(password, signIn)
        onPasswordMissing: if (signInWaited && passwordField.text === "") loginDetail.askPassword()
    }
    AesIteminfor { id: aesIteminfor }

    LoginRequest {
        id: loginRequest
        onSigLoginName: if (loginDetail.pending) loginDetail.sigLoginName(userId, names)
        onSigLoginStatus: {
            if (!loginDetail.pending)
                return
            loginDetail.pending = false
            var account = accountField.text.trim()
            if (status) {
                formState.succeeded(account, passwordField.text)
                loginDetail.sigLoginSuccess(true, "")
                return
            }
            // A transport failure names the server; any refusal of the server is a wrong password.
            var transport = errors === loginDetail.tip_server_address_errors || errors === "服务器地址错误"
            loginDetail.sigLoginSuccess(false, transport ? errors : loginDetail.tip_password_error)
        }
    }

    LanguageTexts {
        id: languageTexts
        target: loginDetail
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    // Auto-login once the window is up, when this server's settings ask for it.
    Timer {
        id: autoTime
        interval: 50
        running: true
        onTriggered: if (!loginDetail.suppressAutoLogin && formState.signsInByItself(accountField.text, passwordField.text)) loginDetail.doLogin()
    }
    // A fresh tip is highlighted for a moment so that a repeated one is noticed too.
    Timer {
        id: popupTime
        interval: 1000
    }

    // Avatar of the account being typed.
    Rectangle {
        id: avatarRing
        anchors.horizontalCenter: parent.horizontalCenter
        width: 80 * sr
        height: width
        radius: width / 2
        color: loginDetail.pal.pane
        RoundPicture {
            id: avatarImage
            objectName: "loginAvatar"
            anchors.fill: parent
            anchors.margins: 4 * sr
            source: loginDetail.avatarFor(accountField.text.trim())
            fallback: "qrc:/images/defaulticon.png"
        }
    }

    Column {
        id: form
        anchors.top: avatarRing.bottom
        anchors.topMargin: 18 * sr
        anchors.horizontalCenter: parent.horizontalCenter
        width: parent.width - 72 * sr
        spacing: 12 * sr

        // Account, with the saved accounts behind the arrow.
        TextBox {
            id: accountField
            objectName: "accountField"
            // Its list of saved accounts opens over the fields below it.
            z: 1
            width: parent.width
            height: 42 * sr
            leftPadding: 38 * sr
            rightPadding: 36 * sr
            font.pixelSize: 14 * sr
            color: loginDetail.textColor
            placeholderText: loginDetail.tip_user_name_placeholder
            placeholderTextColor: loginDetail.subColor
            accessibleName: loginDetail.tip_user_name_placeholder
            selectByMouse: true
            selectionColor: loginDetail.skinColors
            KeyNavigation.tab: passwordField
            onTextEdited: loginDetail.tipText = ""
            onAccepted: loginDetail.doLogin()
            Keys.onDownPressed: if (loginDetail.accounts.length > 0) accountPopup.open()
            Keys.onEscapePressed: loginDetail.closeAccounts(event)
            radius: 4 * loginDetail.sr
            backgroundColor: loginDetail.fieldColor
            borderColor: loginDetail.lineColor
            focusBorderColor: loginDetail.skinColors
            focusBorderWidth: Math.max(1, loginDetail.sr)
            Image {
                x: 12 * loginDetail.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 17 * loginDetail.sr
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: "qrc:/images/user.svg"
            }
            Rectangle {
                id: dropButton
                objectName: "savedAccounts"
                readonly property bool open: accountPopup.visible
                visible: loginDetail.accounts.length > 0
                anchors.right: parent.right
                anchors.rightMargin: 4 * loginDetail.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 30 * loginDetail.sr
                height: 30 * loginDetail.sr
                radius: 4 * loginDetail.sr
                color: dropArea.containsMouse ? (loginDetail.pal.pressed) : "transparent"
                border.width: activeFocus ? Math.max(1, loginDetail.sr) : 0
                border.color: loginDetail.skinColors
                // Reachable by Tab and by a reader's action, not only by the pointer.
                activeFocusOnTab: true
                function toggle() {
                    if (accountPopup.visible)
                        accountPopup.close()
                    else
                        accountPopup.open()
                }
                Keys.onSpacePressed: toggle()
                Keys.onReturnPressed: toggle()
                Keys.onEnterPressed: toggle()
                Keys.onEscapePressed: loginDetail.closeAccounts(event)
                Accessible.role: Accessible.ButtonDropDown
                Accessible.name: loginDetail.tip_saved_accounts
                Accessible.onPressAction: toggle()
                Rectangle {
                    anchors.centerIn: parent
                    anchors.verticalCenterOffset: -2 * loginDetail.sr
                    width: 7 * loginDetail.sr
                    height: width
                    rotation: accountPopup.visible ? 225 : 45
                    color: "transparent"
                    border.width: 0
                    Rectangle { width: parent.width; height: Math.max(1, 1.5 * loginDetail.sr); anchors.bottom: parent.bottom; color: loginDetail.subColor }
                    Rectangle { height: parent.height; width: Math.max(1, 1.5 * loginDetail.sr); anchors.right: parent.right; color: loginDetail.subColor }
                    Behavior on rotation { NumberAnimation { duration: 120 } }
                }
                MouseArea {
                    id: dropArea
                    anchors.fill: parent
                    hoverEnabled: true
                    cursorShape: Qt.PointingHandCursor
                    onClicked: dropButton.toggle()
                }
            }

            // The saved accounts, below the field; Escape or a press elsewhere closes the list.
            Rectangle {
                id: accountPopup
                function open() { visible = true }
                function close() { visible = false }
                visible: false
                y: accountField.height + 2 * loginDetail.sr
                width: accountField.width
                height: Math.min(4, loginDetail.accounts.length) * 44 * loginDetail.sr + 8 * loginDetail.sr
                radius: 4 * loginDetail.sr
                color: loginDetail.pal.card
                border.color: loginDetail.lineColor
                ListView {
                    anchors.fill: parent
                    anchors.margins: 4 * loginDetail.sr
                    clip: true
                    // Rows (and their avatars) only while the list is open.
                    model: accountPopup.visible ? loginDetail.accounts : []
                    boundsBehavior: Flickable.StopAtBounds
                    Accessible.role: Accessible.List
                    Accessible.name: loginDetail.tip_saved_accounts
                    delegate: Rectangle {
                        id: accountRow
                        width: ListView.view.width
                        height: 44 * loginDetail.sr
                        radius: 3 * loginDetail.sr
                        color: rowArea.containsMouse || activeFocus ? (loginDetail.pal.hover) : "transparent"
                        // The store's change signal has refreshed the list by the time this returns.
                        function remove() {
                            formState.removeAccount(modelData)
                            if (loginDetail.accounts.length === 0) {
                                // The row goes with the list: the keyboard stays in the field.
                                accountField.forceActiveFocus()
                                accountPopup.close()
                            }
                        }
                        activeFocusOnTab: true
                        Keys.onSpacePressed: loginDetail.chooseAccount(modelData)
                        Keys.onReturnPressed: loginDetail.chooseAccount(modelData)
                        Keys.onEnterPressed: loginDetail.chooseAccount(modelData)
                        Keys.onDeletePressed: remove()
                        Keys.onEscapePressed: {
                            // The row goes with the list: the keyboard returns to its button.
                            dropButton.forceActiveFocus()
                            accountPopup.close()
                        }
                        Accessible.role: Accessible.ListItem
                        Accessible.name: modelData
                        Accessible.onPressAction: loginDetail.chooseAccount(modelData)
                        Rectangle {
                            id: rowAvatar
                            x: 8 * loginDetail.sr
                            anchors.verticalCenter: parent.verticalCenter
                            width: 30 * loginDetail.sr
                            height: width
                            radius: width / 2
                            color: Style.avatarBack
                            RoundPicture {
                                id: rowImage
                                anchors.fill: parent
                                source: loginDetail.avatarFor(modelData)
                                fallback: "qrc:/images/defaulticon.png"
                            }
                        }
                        Text {
                            textFormat: Text.PlainText
                            anchors.left: rowAvatar.right
                            anchors.leftMargin: 10 * loginDetail.sr
                            anchors.right: removeButton.left
                            anchors.verticalCenter: parent.verticalCenter
                            text: modelData
                            elide: Text.ElideRight
                            font.pixelSize: 14 * loginDetail.sr
                            color: loginDetail.textColor
                        }
                        MouseArea {
                            id: rowArea
                            anchors.fill: parent
                            hoverEnabled: true
                            onClicked: loginDetail.chooseAccount(modelData)
                        }
                        Text {
                            id: removeButton
                            anchors.right: parent.right
                            anchors.rightMargin: 12 * loginDetail.sr
                            anchors.verticalCenter: parent.verticalCenter
                            text: "\u2715"
                            // Shown to the keyboard's row too; Delete removes it from there.
                            visible: rowArea.containsMouse || removeArea.containsMouse || accountRow.activeFocus
                            font.pixelSize: 12 * loginDetail.sr
                            color: removeArea.containsMouse ? Style.danger : loginDetail.subColor
                            Accessible.role: Accessible.Button
                            Accessible.name: loginDetail.tip_remove_account + " " + modelData
                            Accessible.onPressAction: accountRow.remove()
                            MouseArea {
                                id: removeArea
                                anchors.fill: parent
                                anchors.margins: -6 * loginDetail.sr
                                hoverEnabled: true
                                onClicked: accountRow.remove()
                            }
                        }
                    }
                }
            }
        }

        TextBox {
            id: passwordField
            objectName: "passwordField"
            // Past the saved accounts, their list closes.
            onActiveFocusChanged: if (activeFocus) accountPopup.close()
            width: parent.width
            height: 42 * sr
            leftPadding: 38 * sr
            font.pixelSize: 14 * sr
            color: loginDetail.textColor
            echoMode: TextInput.Password
            passwordCharacter: "\u25cf"
            placeholderText: loginDetail.tip_password_placeholder
            placeholderTextColor: loginDetail.subColor
            accessibleName: loginDetail.tip_password_placeholder
            selectionColor: loginDetail.skinColors
            KeyNavigation.tab: rememberBox
            KeyNavigation.backtab: accountField
            onTextEdited: loginDetail.tipText = ""
            onAccepted: loginDetail.doLogin()
            radius: 4 * loginDetail.sr
            backgroundColor: loginDetail.fieldColor
            borderColor: loginDetail.lineColor
            focusBorderColor: loginDetail.skinColors
            focusBorderWidth: Math.max(1, loginDetail.sr)
            Image {
                x: 12 * loginDetail.sr
                anchors.verticalCenter: parent.verticalCenter
                width: 17 * loginDetail.sr
                height: width
                sourceSize: Qt.size(width * 2, height * 2)
                source: "qrc:/images/lock.svg"
            }
        }

        // Remember password and auto-login; auto-login implies a remembered password.
        Item {
            id: boxes
            // English labels may not fit side by side; then they stack.
            property bool fits: loginDetail.rememberBox === null || loginDetail.autoBox === null
                                || loginDetail.rememberBox.width + loginDetail.autoBox.width + 16 * sr <= width
            width: parent.width
            height: (fits ? 22 : 48) * sr
            Repeater {
                model: 2
                Item {
                    id: box
                    property bool checked: index === 0 ? loginDetail.rememberPassword : loginDetail.autoLogin
                    x: index === 0 || !boxes.fits ? 0 : parent.width - width
                    y: index === 1 && !boxes.fits ? 26 * loginDetail.sr : 0
                    width: boxRow.implicitWidth
                    height: 22 * loginDetail.sr
                    activeFocusOnTab: true
                    Accessible.role: Accessible.CheckBox
                    Accessible.name: index === 0 ? loginDetail.tip_remember_password : loginDetail.tip_auto_logon
                    Accessible.checkable: true
                    Accessible.checked: checked
                    Accessible.onPressAction: toggle()
                    Accessible.onToggleAction: toggle()
                    Component.onCompleted: {
                        if (index === 0) loginDetail.rememberBox = box
                        else loginDetail.autoBox = box
                    }
                    function toggle() { index === 0 ? formState.toggleRemember() : formState.toggleAutoLogin() }
                    Keys.onSpacePressed: toggle()
                    Keys.onReturnPressed: loginDetail.doLogin()
                    Keys.onEnterPressed: loginDetail.doLogin()
                    Row {
                        id: boxRow
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 7 * loginDetail.sr
                        Rectangle {
                            anchors.verticalCenter: parent.verticalCenter
                            width: 15 * loginDetail.sr
                            height: width
                            radius: 3 * loginDetail.sr
                            color: box.checked ? loginDetail.skinColors : "transparent"
                            border.color: box.checked ? loginDetail.skinColors : (box.activeFocus ? loginDetail.skinColors : Style.checkBorder)
                            Behavior on color { ColorAnimation { duration: 100 } }
                            Image {
                                anchors.fill: parent
                                anchors.margins: 2 * loginDetail.sr
                                sourceSize: Qt.size(width * 2, height * 2)
                                source: "qrc:/images/check.svg"
                                visible: box.checked
                            }
                        }
                        Text {
                            textFormat: Text.PlainText
                            anchors.verticalCenter: parent.verticalCenter
                            text: index === 0 ? loginDetail.tip_remember_password : loginDetail.tip_auto_logon
                            font.pixelSize: 13 * loginDetail.sr
                            font.underline: box.activeFocus
                            color: loginDetail.subColor
                        }
                    }
                    MouseArea {
                        anchors.fill: parent
                        cursorShape: Qt.PointingHandCursor
                        onClicked: box.toggle()
                    }
                }
            }
        }

        Rectangle {
            id: loginButton
            objectName: "loginButton"
            width: parent.width
            height: 42 * sr
            radius: 4 * sr
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: loginDetail.tip_log_in
            Accessible.onPressAction: loginDetail.doLogin()
            color: loginArea.pressed ? loginDetail.hextoPressHex(loginDetail.skinColors)
                   : loginArea.containsMouse || activeFocus ? Qt.lighter(loginDetail.skinColors, 1.08) : loginDetail.skinColors
            Keys.onReturnPressed: loginDetail.doLogin()
            Keys.onEnterPressed: loginDetail.doLogin()
            Keys.onSpacePressed: loginDetail.doLogin()
            Text {
                anchors.centerIn: parent
                text: loginDetail.tip_log_in
                color: Style.onSkin
                font.pixelSize: 15 * loginDetail.sr
                font.letterSpacing: 2 * loginDetail.sr
            }
            MouseArea {
                id: loginArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: loginDetail.doLogin()
            }
        }

        // Why the last attempt did not go through.
        Item {
            width: parent.width
            height: 20 * sr
            Text {
                textFormat: Text.PlainText
                id: tipLabel
                objectName: "loginTip"
                anchors.centerIn: parent
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                text: loginDetail.tipText
                elide: Text.ElideRight
                font.pixelSize: 12 * loginDetail.sr
                color: Style.danger
                opacity: text === "" ? 0 : 1
                Behavior on opacity { NumberAnimation { duration: 150 } }
                scale: popupTime.running ? 1.04 : 1
                Behavior on scale { NumberAnimation { duration: 120 } }
            }
        }
    }
    property Item rememberBox: null
    property Item autoBox: null

    // The corner switches to the QR view.
    Rectangle {
        id: qrCorner
        objectName: "qrCorner"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        width: 46 * sr
        height: 46 * sr
        color: "transparent"
        clip: true
        Accessible.role: Accessible.Button
        Accessible.name: loginDetail.tip_sacn_code_login
        Accessible.onPressAction: loginDetail.sigShowQrcode()
        Rectangle {
            width: parent.width * 1.42
            height: width
            x: parent.width - width / 2
            y: parent.height - height / 2
            rotation: 45
            antialiasing: true
            color: qrArea.pressed ? loginDetail.hextoPressHex(loginDetail.skinColors)
                   : qrArea.containsMouse ? Qt.lighter(loginDetail.skinColors, 1.1) : loginDetail.skinColors
        }
        Image {
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 5 * loginDetail.sr
            width: 18 * loginDetail.sr
            height: width
            sourceSize: Qt.size(width * 2, height * 2)
            source: "qrc:/images/qrcode.svg"
        }
        MouseArea {
            id: qrArea
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: loginDetail.sigShowQrcode()
        }
    }
    // Beside the corner, which clips what it holds.
    HoverTip {
        anchors.right: qrCorner.left
        anchors.bottom: qrCorner.bottom
        anchors.bottomMargin: 6 * sr
        pal: loginDetail.pal
        text: loginDetail.tip_sacn_code_login
        hovered: qrArea.containsMouse
    }

    // The list closes when the form is left: another view, or the keyboard moving past it.
    onVisibleChanged: if (!visible) accountPopup.close()

    // A press anywhere outside the saved accounts (the header and its buttons too) closes their
    // list; the press itself goes on to what lies beneath. The field and its button keep theirs
    // (the button toggles the list).
    MouseArea {
        parent: loginDetail.Window.contentItem
        anchors.fill: parent
        // Over everything, so that it sees the press first.
        z: 1000
        enabled: accountPopup.visible
        onPressed: {
            var inField = accountField.contains(mapToItem(accountField, mouse.x, mouse.y))
            var inList = accountPopup.contains(mapToItem(accountPopup, mouse.x, mouse.y))
            if (!inField && !inList)
                accountPopup.close()
            mouse.accepted = false
        }
    }
}

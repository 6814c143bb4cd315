import QtQuick 2.12

// The main frame as the window shows it after a sign-in. The window loads it behind the sign-in
// view, so its documents cost the first frame nothing; the names it uses (windows, unreadModel,
// the tray's windows) are the window's.
MainDefalut {
    id: mainDefalut
    radius: windows.frameRadius
    loginModel: windows.loginModel
    skinColors: windows.skinColors
    onSigChangeTheme: windows.handlChangeTheme(themes)
    onSigChangeColor: windows.handlChangeColor(colors)
    onSigCustomChangeColor: windows.handlChangeColor(colors)
    onSigMinimumBtn: windows.showMinimized()
    onSigHideToTray: windows.hide()
    onSigQuitClient: windows.quitClient()
    onSigLogout: windows.logout()
    onSigSetBasic: tipSysytemSet.showSettings(0)
    onSigUpdataNewView: windows.updateDialog().open()
    onSigPictureInfor: systemTrayInfor.showPicture(windows.pictureSource(picturePath))
    onModifyXposition: windows.x += positions
    onModifyYposition: windows.y += positions
    onSigDataUnreadNumber: unreadModel.place(ids, names, unreads, paths, types)
    // A new message: a desktop notification (or the tray's balloon where none can be
    // shown); the tray's list and blinking follow the unread counts.
    onSigNotice: messageNotices.notifyMessage(ids, types, names, sender, msg, msgType)
    onSigSystemMassage: unreadModel.addSystem(times, menuName, paths)
}

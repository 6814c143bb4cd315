import QtQuick 2.12

// The settings window's pages as the window shows them. The window loads them behind the first
// frame, so their documents (and the plugins those import) cost the sign-in view nothing; the
// names they use (windows, tipSysytemSet) are the window's.
SystemTipset {
    objectName: "systemTipset"
    loginModel: windows.loginModel
    skinColors: windows.skinColors
    onSigChangeTheme: windows.handlChangeTheme(themes)
    onSigChangeColor: windows.handlChangeColor(colors)
    onSigCustomChangeColor: windows.handlChangeColor(colors)
    onSigClose: tipSysytemSet.close()
    onModifyXposition: tipSysytemSet.x += positions
    onModifyYposition: tipSysytemSet.y += positions
}

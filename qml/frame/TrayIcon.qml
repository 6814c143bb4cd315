import QtQuick 2.12
import Qt.labs.platform 1.1 as Platform

// The tray's icon and its menu; the window makes it once its first frame is shown. The names it
// uses (windows) are the window's.
Platform.SystemTrayIcon {
    // The icon comes first: a tray icon shown without one draws nothing.
    icon.source: windows.trayBlink ? "qrc:/images/logo.svg" : "qrc:/images/logoasa.ico"
    visible: true
    tooltip: windows.unreadTotal > 0 ? "tarnex (" + windows.unreadTotal + ")" : "tarnex"
    onActivated: if (reason === Platform.SystemTrayIcon.Trigger || reason === Platform.SystemTrayIcon.DoubleClick) windows.showWindow()
    menu: Platform.Menu {
        Platform.MenuItem {
            text: windows.tip_homepage
            onTriggered: windows.showWindow()
        }
        Platform.MenuSeparator {}
        Platform.MenuItem {
            text: windows.tip_exit
            onTriggered: windows.quitClient()
        }
    }
}

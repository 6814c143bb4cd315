import QtQuick 2.12

// Factory of the built-in browser's windows. (Placeholder until the browser is built.)
QtObject {
    id: applicationRoot
    property int loginModel: 0
    property string skinColors: "#0183FF"
    function loadUrl(url) {
        Qt.openUrlExternally(url)
    }
}

import QtQuick 2.12
import HttplanguagePackage 1.0
import "style"
import "controls"

// The organisation by role: the company, its roles and the people holding each, opened one
// role at a time from the organisation loaded at sign-in.
Item {
    id: structureRole
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias tree: roleTree
    readonly property string companyName: roleTree.companyName
    property var personFilter: null

    property string tip_no_contents: qsTr("暂无内容")
    property string tip_expanded: qsTr("已展开")
    property string tip_collapsed: qsTr("已折叠")
    property string tip_data_loading: qsTr("数据加载中")

    signal sigOpenPerson(string userId, string name, string infor)


    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }
    function activate() {
        roleTree.ensureLoaded()
    }
    function focusTree() {
        roleTree.focusTree()
    }

    LanguageTexts {
        id: languageTexts
        target: structureRole
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    SchemaMembershiplist {
        id: roleTree
        objectName: "roleTree"
        anchors.fill: parent
        loginModel: structureRole.loginModel
        skinColors: structureRole.skinColors
        treeTypes: "1"
        emptyText: structureRole.tip_no_contents
        expandedText: structureRole.tip_expanded
        collapsedText: structureRole.tip_collapsed
        loadingText: structureRole.tip_data_loading
        personFilter: structureRole.personFilter
        onSigOpenPerson: structureRole.sigOpenPerson(userId, name, infor)
    }
}

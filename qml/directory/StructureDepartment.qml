import QtQuick 2.12
import HttplanguagePackage 1.0
import "style"
import "controls"

// The organisation by department: the company, its departments and their people, opened one
// department at a time from the organisation loaded at sign-in.
Item {
    id: structureDepartment
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias tree: departmentTree
    readonly property string companyName: departmentTree.companyName
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
        departmentTree.ensureLoaded()
    }
    function focusTree() {
        departmentTree.focusTree()
    }

    LanguageTexts {
        id: languageTexts
        target: structureDepartment
        languagePackage: httplanguagePackage
    }
    HttplanguagePackage {
        id: httplanguagePackage
        onSigLangueFileList: languageTexts.apply()
        Component.onCompleted: languageTexts.apply()
    }

    SchemaMembershiplist {
        id: departmentTree
        objectName: "structureTree"
        anchors.fill: parent
        loginModel: structureDepartment.loginModel
        skinColors: structureDepartment.skinColors
        treeTypes: "2"
        emptyText: structureDepartment.tip_no_contents
        expandedText: structureDepartment.tip_expanded
        collapsedText: structureDepartment.tip_collapsed
        loadingText: structureDepartment.tip_data_loading
        personFilter: structureDepartment.personFilter
        onSigOpenPerson: structureDepartment.sigOpenPerson(userId, name, infor)
    }
}

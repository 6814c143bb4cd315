import QtQuick 2.12
import QtQuick.Controls 2.5
import QTreeModel 1.0
import TreeRowsModel 1.0
import GetCompany 1.0
import "style"
import "controls"

// A tree over the organisation model, drawn as a list of the rows that can be seen: only the
// children of open nodes are rows, so a large organisation costs only what is open. Up/Down
// move, Right opens (or steps into) a node, Left closes it (or steps to its parent), Return
// opens a person or toggles a node, "*" opens everything below the current node.
Item {
    id: schemaMembershiplist
    property int loginModel: 0
    property string skinColors: Style.defaultSkin
    // Which tree of the model is shown: "2" departments, "1" roles.
    property string treeTypes: "2"
    readonly property real sr: Style.sr
    readonly property var pal: Style.palette(loginModel)
    readonly property alias view: treeView
    readonly property alias rowCount: rows.count
    readonly property string companyName: rows.count > 0 ? rows.get(0).name : ""
    property string emptyText: ""
    // What a reader hears after a department's name: whether its members are shown.
    property string expandedText: ""
    property string collapsedText: ""
    // Shown instead of the empty text while the organisation is still loading.
    property string loadingText: ""
    // The tree was asked for; it is shown once the organisation is in.
    property bool wanted: false
    // Whether a person may be shown to the signed-in user (a function of the user id); all
    // people are shown without it.
    property var personFilter: null
    // How many rows "open everything below" stops at.
    property int expandAllLimit: 3000

    // Every node below the current one was opened (1) or the whole tree was closed (0).
    signal sigExpendAlls(int types)
    // A person row was chosen: the id, the name and the person's card text of the model.
    signal sigOpenPerson(string userId, string name, string infor)


    function hextoPressHex(hex) {
        return Style.pressed(hex)
    }

    // Builds the model's trees from the organisation loaded at sign-in and shows the top node
    // open. A model made after the load has announced itself holds nothing until asked. While
    // the organisation still loads, the tree waits for it: a part of it would look complete.
    function load() {
        wanted = true
        if (rows.reloadTree() && rows.count > 0)
            treeView.currentIndex = 0
    }
    // Loads once; again only while nothing was there to show.
    function ensureLoaded() {
        if (rows.isBare())
            load()
    }
    function rebuild() {
        rows.rebuild()
        if (rows.count > 0)
            treeView.currentIndex = 0
    }
    function isOpenable(i) { return rows.isOpenable(i) }
    // Opens row i: its children become rows below it.
    function expand(i) { rows.expand(i) }
    // Closes row i: every row below it at a greater depth goes.
    function collapse(i) {
        treeView.currentIndex = rows.currentAfterCollapse(i, treeView.currentIndex)
        rows.collapse(i)
    }
    function toggle(i) { return rows.isExpanded(i) ? collapse(i) : expand(i) }
    // Opens row i and the nodes below it, in row order, until about expandAllLimit rows are
    // shown: a whole large organisation at once would stall the window.
    function expandAllBelow(i) {
        if (rows.expandAllBelow(i, expandAllLimit))
            sigExpendAlls(1)
    }
    // Closes everything but the top node.
    function collapseAll() {
        rows.collapseAll()
        treeView.currentIndex = rows.count > 0 ? 0 : -1
        sigExpendAlls(0)
    }
    function parentRow(i) { return rows.parentRow(i) }
    // The row of the person with this id among the visible rows, or -1.
    function rowOfPerson(userId) { return rows.rowOfPerson(userId) }
    // The first visible row of that kind and name (roles have no id of their own), or -1.
    function rowNamed(kind, name) { return rows.rowNamed(kind, name) }
    function activateRow(i) {
        if (i < 0 || i >= rows.count)
            return
        treeView.currentIndex = i
        var row = rows.get(i)
        if (row.kind === "person")
            sigOpenPerson(row.key, row.name, rows.personInfor(i))
        else
            toggle(i)
    }
    function focusTree() { treeView.forceActiveFocus() }

    QTreeModel {
        id: treeModel
        // The organisation came in while the tree waited for it, or while it had nothing.
        onLoadingChanged: {
            if (!loading && schemaMembershiplist.wanted && rows.isBare()) {
                treeModel.reLoadData(schemaMembershiplist.treeTypes)
                schemaMembershiplist.rebuild()
                console.info("directory tree filled in: " + rows.count + " rows")
            }
        }
    }
    TreeRowsModel {
        id: rows
        tree: treeModel
        treeTypes: schemaMembershiplist.treeTypes
        personFilter: schemaMembershiplist.personFilter
    }

    ListView {
        id: treeView
        objectName: schemaMembershiplist.objectName + "View"
        anchors.fill: parent
        clip: true
        model: rows
        activeFocusOnTab: true
        keyNavigationEnabled: true
        highlightMoveDuration: 0
        highlightResizeDuration: 0
        boundsBehavior: Flickable.StopAtBounds
        currentIndex: -1
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded; Accessible.name: parent ? parent.Accessible.name : "" }
        Accessible.role: Accessible.Tree
        Accessible.name: schemaMembershiplist.companyName

        Keys.onRightPressed: {
            var i = currentIndex
            if (!schemaMembershiplist.isOpenable(i))
                return
            if (!rows.get(i).expanded)
                schemaMembershiplist.expand(i)
            else if (i + 1 < rows.count)
                currentIndex = i + 1
        }
        Keys.onLeftPressed: {
            var i = currentIndex
            if (i < 0)
                return
            if (rows.get(i).expanded && rows.get(i).depth > 0)
                schemaMembershiplist.collapse(i)
            else {
                var up = schemaMembershiplist.parentRow(i)
                if (up >= 0)
                    currentIndex = up
            }
        }
        Keys.onReturnPressed: schemaMembershiplist.activateRow(currentIndex)
        Keys.onEnterPressed: schemaMembershiplist.activateRow(currentIndex)
        Keys.onSpacePressed: schemaMembershiplist.activateRow(currentIndex)
        Keys.onAsteriskPressed: schemaMembershiplist.expandAllBelow(currentIndex)

        delegate: Rectangle {
            id: row
            readonly property bool person: model.kind === "person"
            readonly property bool current: ListView.isCurrentItem
            objectName: person ? "person_" + model.key
                        : model.kind === "role" ? "role_" + model.name
                        : model.kind + "_" + model.key
            width: ListView.view.width
            height: (person ? 48 : 38) * schemaMembershiplist.sr
            color: rowArea.pressed ? schemaMembershiplist.pal.pressed
                   : current && treeView.activeFocus ? schemaMembershiplist.pal.selected
                   : current || rowArea.containsMouse ? schemaMembershiplist.pal.hover : "transparent"
            // Read by the client's accessible interface for tree rows (a document cannot set
            // these states itself).
            readonly property bool accessibleExpandable: !person && model.count > 0
            readonly property bool accessibleExpanded: accessibleExpandable && model.expanded
            Accessible.role: Accessible.TreeItem
            Accessible.name: model.name
            // Spoken as it changes, which a state change is not by every reader.
            Accessible.description: row.person || !(model.count > 0) ? ""
                                    : model.expanded ? schemaMembershiplist.expandedText
                                    : schemaMembershiplist.collapsedText
            Accessible.selectable: true
            Accessible.selected: row.current
            Accessible.onPressAction: schemaMembershiplist.activateRow(index)

            Rectangle {
                visible: row.current && treeView.activeFocus
                width: 3 * schemaMembershiplist.sr
                height: parent.height
                color: schemaMembershiplist.skinColors
            }
            Item {
                id: indent
                width: (10 + 16 * model.depth) * schemaMembershiplist.sr
                height: parent.height
            }
            // The opener: a chevron pointing right, down once open.
            Item {
                id: chevron
                anchors.left: indent.right
                anchors.verticalCenter: parent.verticalCenter
                width: 14 * schemaMembershiplist.sr
                height: width
                visible: !row.person
                opacity: model.count > 0 ? 1 : 0.3
                rotation: model.expanded ? 90 : 0
                Rectangle {
                    x: parent.width * 0.32
                    y: parent.height * 0.5 - height / 2 - parent.height * 0.14
                    width: parent.width * 0.42
                    height: Math.max(1, 1.5 * schemaMembershiplist.sr)
                    rotation: 45
                    antialiasing: true
                    color: schemaMembershiplist.pal.sub
                }
                Rectangle {
                    x: parent.width * 0.32
                    y: parent.height * 0.5 - height / 2 + parent.height * 0.14
                    width: parent.width * 0.42
                    height: Math.max(1, 1.5 * schemaMembershiplist.sr)
                    rotation: -45
                    antialiasing: true
                    color: schemaMembershiplist.pal.sub
                }
            }
            Avatar {
                id: avatar
                visible: row.person
                anchors.left: indent.right
                anchors.verticalCenter: parent.verticalCenter
                width: 32 * schemaMembershiplist.sr
                height: width
                name: model.name
                skinColors: schemaMembershiplist.skinColors
            }
            Text {
                textFormat: Text.PlainText
                id: label
                anchors.left: row.person ? avatar.right : chevron.right
                anchors.leftMargin: (row.person ? 10 : 6) * schemaMembershiplist.sr
                anchors.right: countText.left
                anchors.rightMargin: 6 * schemaMembershiplist.sr
                anchors.verticalCenter: parent.verticalCenter
                text: model.name
                elide: Text.ElideRight
                font.pixelSize: model.kind === "company" ? Style.fontLarge : Style.fontBody
                font.bold: model.kind === "company"
                color: schemaMembershiplist.pal.text
            }
            Text {
                textFormat: Text.PlainText
                id: countText
                anchors.right: parent.right
                anchors.rightMargin: 14 * schemaMembershiplist.sr
                anchors.verticalCenter: parent.verticalCenter
                visible: !row.person && model.count > 0
                text: visible ? String(model.count) : ""
                width: visible ? implicitWidth : 0
                font.pixelSize: Style.fontSmall
                color: schemaMembershiplist.pal.sub
            }
            MouseArea {
                id: rowArea
                anchors.fill: parent
                hoverEnabled: true
                cursorShape: Qt.PointingHandCursor
                onClicked: {
                    treeView.forceActiveFocus()
                    schemaMembershiplist.activateRow(index)
                }
            }
        }
    }

    Text {
        objectName: "treeNotice"
        textFormat: Text.PlainText
        anchors.centerIn: parent
        width: parent.width - 40 * schemaMembershiplist.sr
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        visible: rows.count === 0 && text !== ""
        text: treeModel.loading && schemaMembershiplist.loadingText !== "" ? schemaMembershiplist.loadingText
                                                                            : schemaMembershiplist.emptyText
        font.pixelSize: Style.fontBody
        color: schemaMembershiplist.pal.sub
    }
}

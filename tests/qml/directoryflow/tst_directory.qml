import QtQuick 2.12
import QtTest 1.12
import "../common"

// The organisation section driven like a user would: the toolbar's button, arrows in the trees,
// a search, the card and a chat started from it.
FlowCase {
    name: "Directory"

    function rowIndex(tree, name) {
        var rows = tree.view.model
        for (var i = 0; i < rows.count; ++i) {
            var row = rows.get(i)
            if ((row.kind === "person" ? "person_" : row.kind === "role" ? "role_" : row.kind + "_")
                    + (row.kind === "role" ? row.name : row.key) === name)
                return i
        }
        return -1
    }

    function test_directory() {
        openWindow()
        signIn("zhangwei")
        var f = frame()
        mouseClick(find(f, "section_organization"))
        tryCompare(f, "currentSection", 2)

        // The department tree opens with the company open and the focus in it.
        var tree = item("structureTree")
        var view = tree.view
        tryVerify(function() { return tree.rowCount > 1 }, 10000, "departments below the company")
        tryVerify(function() { return view.activeFocus }, 5000, "the tree has the focus")
        compare(tree.view.model.get(0).kind, "company")
        compare(tree.companyName, "星河协同科技有限公司")
        // 张伟 may see everyone, 郑国华 (directly below the company) too.
        verify(rowIndex(tree, "person_10050") > 0, "郑国华 below the company")
        var closedRows = tree.rowCount

        // Down to the first department, Right opens it, Left closes it again.
        keyClick(Qt.Key_Down)
        compare(view.currentIndex, rowIndex(tree, "department_1"))
        keyClick(Qt.Key_Right)
        tryVerify(function() { return find(tree, "person_10005") !== null }, 5000, "陈静 in 总经理办公室")
        verify(tree.rowCount > closedRows)
        keyClick(Qt.Key_Left)
        compare(tree.rowCount, closedRows)
        compare(view.currentIndex, rowIndex(tree, "department_1"))

        // Into 技术研发部: Right opens, Right again steps into its first sub-department.
        keyClick(Qt.Key_Down)
        compare(view.currentIndex, rowIndex(tree, "department_2"))
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Right)
        compare(view.currentIndex, rowIndex(tree, "department_5"))
        keyClick(Qt.Key_Right)
        // Past its own sub-groups to its first person.
        for (var d = 0; d < 10 && view.model.get(view.currentIndex + 1).kind !== "person"; ++d)
            keyClick(Qt.Key_Down)
        keyClick(Qt.Key_Down)
        var chosen = view.model.get(view.currentIndex)
        compare(chosen.kind, "person")
        // Left from a person goes to its department, Down comes back.
        var personRow = view.currentIndex
        keyClick(Qt.Key_Left)
        compare(view.currentIndex, rowIndex(tree, "department_5"))
        for (var b = 0; b < 10 && view.currentIndex < personRow; ++b)
            keyClick(Qt.Key_Down)
        compare(view.currentIndex, personRow)

        // Return opens the card; Escape closes it and gives the tree the focus back.
        keyClick(Qt.Key_Return)
        var card = item("personCard")
        tryCompare(card, "visible", true)
        compare(card.userId, chosen.key)
        compare(card.userName, chosen.name)
        verify(card.deptName !== "", "the card names the department")
        keyClick(Qt.Key_Escape)
        tryCompare(card, "visible", false)
        tryVerify(function() { return view.activeFocus }, 5000, "the tree has the focus again")

        // The role tree: 部门经理 holds 张伟.
        mouseClick(item("roleTab"))
        var roles = item("roleTree")
        tryVerify(function() { return roles.visible && roles.rowCount > 1 }, 10000, "roles below the company")
        var managers = rowIndex(roles, "role_部门经理")
        verify(managers > 0, "部门经理 is a role row")
        roles.focusTree()
        tryVerify(function() { return roles.view.activeFocus })
        for (var step = 0; step < 50 && roles.view.currentIndex < managers; ++step)
            keyClick(Qt.Key_Down)
        compare(roles.view.currentIndex, managers)
        keyClick(Qt.Key_Right)
        tryVerify(function() { return find(roles, "person_10001") !== null }, 5000, "张伟 among the managers")
        keyClick(Qt.Key_Left)
        compare(rowIndex(roles, "person_10001"), -1)

        // A search by pinyin, answered after the field's timer.
        var list = item("structureList")
        var field = item("structureSearch")
        field.forceActiveFocus()
        typeText("lina")
        var results = item("searchResults")
        tryVerify(function() { return find(results, "person_10002") !== null }, 10000, "李娜 in the results")
        verify(results.visible)
        verify(!roles.visible, "the results take the trees' place")

        // Down into the results, Return opens the card with its QR code.
        field.forceActiveFocus()
        keyClick(Qt.Key_Down)
        tryVerify(function() { return results.activeFocus })
        for (var k = 0; k < 50 && results.model.get(results.currentIndex).userId !== "10002"; ++k)
            keyClick(Qt.Key_Down)
        compare(results.model.get(results.currentIndex).userId, "10002")
        keyClick(Qt.Key_Return)
        tryCompare(card, "visible", true)
        compare(card.userId, "10002")
        compare(card.userName, "李娜")
        var code = item("personQrCode")
        verify(code.codeText.indexOf("BEGIN:VCARD") === 0, code.codeText)
        verify(code.codeText.indexOf("FN:李娜") > 0, code.codeText)
        verify(code.width > 50 && code.height > 50)
        verify(code.visible)
        verify(code.hasSymbol, "the card's text was encoded")

        // The name found is offered again while the field is empty.
        clearField(field)
        mouseClick(item("historyTerm_李娜"))
        tryCompare(list, "searchText", "李娜", 10000)
        tryVerify(function() { return find(results, "person_10002") !== null }, 10000, "李娜 found again")

        // A failed search says so instead of showing an empty result.
        hook("directory", { endpoint: "search", mode: "garbage" })
        clearField(field)
        typeText("wang")
        keyClick(Qt.Key_Return)
        tryCompare(list, "searchFailed", true, 10000)
        compare(list.resultCount, 0)
        hook("directory", { endpoint: "search", mode: "normal" })
        keyClick(Qt.Key_Escape)
        tryCompare(list, "searchText", "")
        verify(tree.visible || roles.visible, "the trees are back")

        // The card's button starts the conversation in the message section.
        var send = item("sendMessageButton")
        send.forceActiveFocus()
        keyClick(Qt.Key_Return)
        tryCompare(f, "currentSection", 0)
        var pane = item("conversationPane")
        tryCompare(pane, "currentId", "10002")
        compare(pane.currentTypes, "2")
    }

    // Colleagues the server hides from a user appear neither in the trees nor in the results.
    // The window opens before the organisation is in: a tree asked for meanwhile says it is
    // loading, never that there is nobody, and fills in once the organisation is complete.
    function test_treeFillsInWhileTheDirectoryLoads() {
        // 技术研发部's members are held back, so the load stays unfinished.
        hook("directory", { endpoint: "members", mode: "silent", ids: ["2"] })
        openWindow()
        signIn("zhangwei")
        var f = frame()
        mouseClick(find(f, "section_organization"))
        tryCompare(f, "currentSection", 2)
        var tree = item("structureTree")
        var notice = find(tree, "treeNotice")
        tryVerify(function() { return notice.visible }, 5000, "a notice instead of the tree")
        compare(notice.text, tree.loadingText)
        verify(tree.loadingText !== tree.emptyText)
        compare(tree.rowCount, 0)

        // The held reply goes out: the organisation completes and the tree fills in.
        hook("reset")
        tryVerify(function() { return tree.rowCount > 1 }, 20000, "departments below the company")
        verify(!notice.visible)
        verify(rowIndex(tree, "department_2") > 0)
    }

    function test_hiddenColleagues() {
        openWindow()
        signIn("lina")
        var f = frame()
        mouseClick(find(f, "section_organization"))
        var tree = item("structureTree")
        tryVerify(function() { return tree.rowCount > 1 }, 10000, "departments below the company")
        verify(rowIndex(tree, "department_13") > 0)
        compare(rowIndex(tree, "person_10050"), -1)
        var list = item("structureList")
        var field = item("structureSearch")
        field.forceActiveFocus()
        typeText("zheng")
        keyClick(Qt.Key_Return)
        tryCompare(list, "searchText", "zheng", 10000)
        tryCompare(list, "searching", false, 10000)
        verify(!list.searchFailed)
        // The search did find the visible 郑浩, so the hidden one's absence means something.
        tryVerify(function() { return find(item("searchResults"), "person_10010") !== null }, 10000)
        compare(find(item("searchResults"), "person_10050"), null)
    }

    function termsOf(recent) {
        var model = find(recent, "searchHistoryList").model
        var terms = []
        for (var i = 0; i < model.count; ++i)
            terms.push(model.get(i).term)
        return terms
    }
    // The organisation keeps its own recent searches: a conversation search is not offered
    // there, and clearing them leaves the conversations' alone.
    function test_searchHistoryIsItsOwn() {
        openWindow()
        signIn("zhangwei")
        var f = frame()
        var newsField = item("newsSearchField")
        newsField.forceActiveFocus()
        typeText("wangfang")
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Escape)
        var newsRecent = item("newsHistoricalSearch")
        tryVerify(function() { return termsOf(newsRecent).indexOf("wangfang") >= 0 }, 5000, "the conversation search is remembered")

        mouseClick(find(f, "section_organization"))
        tryCompare(f, "currentSection", 2)
        // The section gives its tree the focus once the organisation is in.
        var tree = item("structureTree")
        tryVerify(function() { return tree.view.activeFocus }, 10000, "the tree has the focus")
        var field = item("structureSearch")
        field.forceActiveFocus()
        typeText("lina")
        var results = item("searchResults")
        tryVerify(function() { return find(results, "person_10002") !== null }, 10000, "李娜 in the results")
        tryCompare(item("structureList"), "searchText", "lina")
        field.forceActiveFocus()
        keyClick(Qt.Key_Down)
        tryVerify(function() { return results.activeFocus })
        for (var k = 0; k < 50 && results.model.get(results.currentIndex).userId !== "10002"; ++k)
            keyClick(Qt.Key_Down)
        keyClick(Qt.Key_Return)
        var card = item("personCard")
        tryCompare(card, "visible", true)
        keyClick(Qt.Key_Escape)
        tryCompare(card, "visible", false)

        clearField(field)
        var recent = item("structureHistoricalSearch")
        tryCompare(recent, "visible", true)
        var terms = termsOf(recent)
        verify(terms.indexOf("李娜") >= 0, JSON.stringify(terms))
        compare(terms.indexOf("wangfang"), -1, "a conversation search is not offered here")
        // Down walks into the recent searches and they stay while the keyboard is there.
        keyClick(Qt.Key_Down)
        tryVerify(function() { return find(recent, "searchHistoryList").activeFocus })
        verify(recent.visible)
        mouseClick(find(recent, "clearSearchHistory"))
        tryCompare(recent, "count", 0)
        tryCompare(recent, "visible", false)

        mouseClick(find(f, "section_message"))
        tryCompare(f, "currentSection", 0)
        newsField.forceActiveFocus()
        tryCompare(newsRecent, "visible", true)
        terms = termsOf(newsRecent)
        verify(terms.indexOf("wangfang") >= 0, JSON.stringify(terms))
        compare(terms.indexOf("李娜"), -1, "an organisation search is not offered for conversations")
    }
}

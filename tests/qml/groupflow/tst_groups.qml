import QtQuick 2.12
import QtTest 1.12
import "../common"

// The group section driven by keys and clicks as zhangwei (10001); colleagues act through the
// server's client-event hook, and the server's state shows what everyone else is told.
FlowCase {
    id: flow
    name: "Groups"

    readonly property string techGroup: "5b0f3c2e-8d41-4a67-9e1b-2c7d9a4f6e01"    // 10001 (creator), 10004, 10006
    readonly property string projectGroup: "9c4e7a10-3f2b-4d88-b5a6-71e0c3d2f902" // 10005 (creator), 10001, 10002, 10003

    function serverGroups() {
        return hook("messaging-state").groups
    }
    function serverGroupNamed(name) {
        var groups = serverGroups()
        for (var i = 0; i < groups.length; ++i) {
            if (groups[i].name === name)
                return groups[i]
        }
        return null
    }
    function serverMembers(id) {
        var groups = serverGroups()
        for (var i = 0; i < groups.length; ++i) {
            if (groups[i].id === id)
                return String(groups[i].members).split(",")
        }
        return null
    }
    // The groups the server would list for `user`.
    function groupIdsOf(user) {
        var answer = hook("client-event", { user: user, event: "send myGroup", args: [""] })
        return answer.ack[0].map(function(g) { return g.id })
    }
    function asColleague(user, event, payload) {
        var answer = hook("client-event", { user: user, event: event, payload: payload })
        compare(answer.ack[0], "success", event + " as " + user)
    }
    function groupSection() {
        // The frame has asked for its data (and set its focus) before the section is opened.
        tryVerify(function() { return frame().userId === "10001" }, 10000)
        mouseClick(item("section_group"))
        var section = item("groupDefault")
        tryCompare(section, "visible", true)
        // The list follows the server's answer, not what an earlier case left in the engine.
        var expected = groupIdsOf("10001").length
        tryVerify(function() { return item("groupList").count === expected }, 10000, "the user's groups are listed")
        return section
    }
    // A named item under `root`, once the view has laid it out.
    function shown(root, name) {
        var found = null
        tryVerify(function() { found = find(root, name); return found !== null && found.visible }, 10000, "no " + name)
        return found
    }
    // Narrows a people picker to one colleague by typing the id into its search.
    function searchPicker(dialog, userId) {
        var search = find(dialog, "pickSearch")
        if (!search.activeFocus)
            mouseClick(search)
        if (search.text !== "")
            keyClick(Qt.Key_Escape)
        typeText(userId)
        keyClick(Qt.Key_Return)
        tryCompare(find(dialog, "pickList"), "count", 1)
        return shown(dialog, "pick_" + userId)
    }
    // A group's row as drawn (a row being taken away is not visible any more).
    function row(id) {
        var found = find(item("groupList"), "group_" + id)
        return found !== null && found.visible ? found : null
    }
    function focusNameInput(dialog) {
        var input = find(dialog, "groupNameInput")
        for (var i = 0; i < 8 && !input.activeFocus; ++i)
            keyClick(Qt.Key_Tab)
        verify(input.activeFocus, "Tab reaches the group name")
        return input
    }
    function confirmDialog() {
        var confirm = item("groupConfirm")
        tryCompare(confirm, "visible", true)
        return confirm
    }

    function init() {
        hook("reset")
        openWindow()
        signIn("zhangwei")
    }
    function cleanup() {
        win = null
    }

    function test_1_listKeysAndCard() {
        var section = groupSection()
        var list = item("groupList")
        tryVerify(function() { return row(techGroup) !== null && row(projectGroup) !== null })
        compare(list.count, 2)
        // Up and Down move, Return opens the group's card.
        tryVerify(function() { return list.activeFocus }, 5000, "the list has the keyboard when the section opens")
        keyClick(Qt.Key_Down)
        keyClick(Qt.Key_Up)
        compare(list.currentIndex, 0)
        keyClick(Qt.Key_Down)
        compare(list.currentIndex, 1)
        keyClick(Qt.Key_Return)
        var card = item("groupCard")
        tryCompare(card, "groupId", list.currentItem.objectName.substring(6))
        mouseClick(row(projectGroup))
        tryCompare(card, "groupId", projectGroup)
        compare(card.groupName, "项目协调群")
        compare(card.memberCount, 4)
        compare(card.createTime, "2024-04-11")
        verify(find(card, "groupDelete").visible === false, "only the creator may delete")
        shown(item("groupMemberList"), "member_10005")

        // The search narrows the list by group or member name, Escape brings everything back.
        var search = item("groupSearch")
        mouseClick(search)
        typeText("xx-none")
        keyClick(Qt.Key_Return)
        tryCompare(list, "count", 0)
        keyClick(Qt.Key_Escape)
        tryCompare(list, "count", 2)
        // A search is remembered, offered while the field is empty, and picked again.
        search.text = "项目" // key events carry Latin text only
        keyClick(Qt.Key_Return)
        tryCompare(list, "count", 1)
        keyClick(Qt.Key_Escape)
        tryCompare(list, "count", 2)
        var recent = item("groupHistoricalSearch")
        tryCompare(recent, "visible", true)
        // The list's rows are built after it shows, so they are looked for until they are there.
        var term = null
        tryVerify(function() {
            for (var i = 0; i < recent.count && term === null; ++i) {
                var candidate = find(recent, "searchTerm_" + i)
                if (candidate !== null && String(candidate.Accessible.name).indexOf("项目") >= 0)
                    term = candidate
            }
            return term !== null
        }, 5000, "the search is in the recent searches")
        mouseClick(term)
        tryCompare(search, "text", "项目")
        tryCompare(list, "count", 1)
        compare(list.model.get(0).groupId, projectGroup)
        keyClick(Qt.Key_Escape)
        tryCompare(list, "count", 2)

        // Send message opens the group's conversation in the message section.
        mouseClick(find(card, "groupSendMessage"))
        tryCompare(frame(), "currentSection", 0)
        var pane = item("conversationPane")
        if (pane.currentId !== undefined)
            tryCompare(pane, "currentId", projectGroup)
    }

    function test_2_createAddRemoveSeenByEveryone() {
        var section = groupSection()
        mouseClick(item("createGroupButton"))
        var dialog = item("newGroupDialog")
        tryCompare(dialog, "visible", true)
        // Escape closes the dialog; it opens again empty.
        keyClick(Qt.Key_Escape)
        tryCompare(dialog, "visible", false)
        mouseClick(item("createGroupButton"))
        tryCompare(dialog, "visible", true)
        var search = find(dialog, "pickSearch")
        tryVerify(function() { return search.activeFocus }, 5000, "the search has the keyboard")
        typeText("10001")
        keyClick(Qt.Key_Return)
        tryCompare(find(dialog, "pickList"), "count", 0) // the user is not offered to themself
        keyClick(Qt.Key_Escape)
        tryVerify(function() { return find(dialog, "pickList").count >= 5 })
        verify(dialog.visible, "Escape in a filled search only clears it")

        // One colleague by a click, one by keys: search, Down into the list, Space.
        mouseClick(searchPicker(dialog, "10002"))
        shown(dialog, "picked_10002")
        searchPicker(dialog, "10003")
        keyClick(Qt.Key_Down)
        keyClick(Qt.Key_Space)
        shown(dialog, "picked_10003")
        compare(find(dialog, "pickedList").count, 2)

        var input = focusNameInput(dialog)
        typeText("Flow group")
        keyClick(Qt.Key_Return)
        tryCompare(dialog, "visible", false)

        // The server made it with both colleagues; they are told, and the window shows it.
        var made = null
        tryVerify(function() { made = serverGroupNamed("Flow group"); return made !== null }, 10000)
        var members = String(made.members).split(",").sort()
        compare(members, ["10001", "10002", "10003"])
        compare(made.creator, "10001")
        verify(groupIdsOf("10002").indexOf(made.id) >= 0, "the colleague's group list has it")
        tryVerify(function() { return row(made.id) !== null }, 10000, "the new group is listed")
        var card = item("groupCard")
        tryCompare(card, "groupId", made.id)
        compare(card.memberCount, 3)
        verify(find(card, "groupDelete").visible, "the creator may delete")

        // Adding a member through the dialog.
        mouseClick(find(card, "groupAddMembers"))
        var adder = find(section, "addMembersDialog")
        tryCompare(adder, "visible", true)
        // As searchPicker does: on a busy machine the search may not have the keyboard yet.
        if (!find(adder, "pickSearch").activeFocus)
            mouseClick(find(adder, "pickSearch"))
        typeText("10002")
        keyClick(Qt.Key_Return)
        tryCompare(find(adder, "pickList"), "count", 0) // members are not offered again
        mouseClick(searchPicker(adder, "10004"))
        shown(adder, "picked_10004")
        mouseClick(find(adder, "addMembersConfirm"))
        tryCompare(adder, "visible", false)
        tryVerify(function() { return serverMembers(made.id).indexOf("10004") >= 0 }, 10000)
        tryVerify(function() { return card.hasMember("10004") }, 10000)
        shown(card, "member_10004")
        verify(groupIdsOf("10004").indexOf(made.id) >= 0)

        // Removing one from the card.
        mouseClick(shown(card, "removeMember_10003"))
        tryVerify(function() { return serverMembers(made.id).indexOf("10003") < 0 }, 10000)
        tryCompare(card, "memberCount", 3)
        verify(!card.hasMember("10003"))
        verify(groupIdsOf("10003").indexOf(made.id) < 0, "the removed colleague no longer has it")

        // A colleague adds someone: the card and the list follow at once.
        asColleague("10002", "edit group", { id: made.id, name: "Flow group", members: "", addArray: ["10006"], deleteArray: [] })
        tryVerify(function() { return card.hasMember("10006") }, 10000)
        compare(card.memberCount, 4)
        tryVerify(function() { var r = item("groupListPane").rowOf(made.id); return r !== null && r.memberCount === 4 }, 10000, "the list's count follows")
    }

    function test_3_changesByOthersAndLeaving() {
        var section = groupSection()
        var list = item("groupList")
        var card = item("groupCard")
        mouseClick(row(projectGroup))
        tryCompare(card, "groupId", projectGroup)

        // Its creator deletes the project group: it leaves the list and the card at once.
        asColleague("10005", "delete group", { id: projectGroup })
        tryVerify(function() { return row(projectGroup) === null }, 10000)
        tryCompare(card, "groupId", "")
        compare(list.count, 1)

        // A colleague makes a group with us in it.
        asColleague("10003", "create group", { id: "g-flow-colleague", name: "Colleague group", members: "10001,10002" })
        tryVerify(function() { return row("g-flow-colleague") !== null }, 10000)

        // Leaving, confirmed once more; Cancel first leaves everything as it was.
        mouseClick(row("g-flow-colleague"))
        tryCompare(card, "groupId", "g-flow-colleague")
        mouseClick(find(card, "groupExit"))
        var confirm = confirmDialog()
        mouseClick(find(confirm, "groupConfirmCancel"))
        tryCompare(confirm, "visible", false)
        verify(serverMembers("g-flow-colleague").indexOf("10001") >= 0)
        mouseClick(find(card, "groupExit"))
        confirmDialog()
        keyClick(Qt.Key_Return) // the focused OK
        tryVerify(function() { return serverMembers("g-flow-colleague").indexOf("10001") < 0 }, 10000)
        compare(serverMembers("g-flow-colleague").sort(), ["10002", "10003"])
        tryVerify(function() { return row("g-flow-colleague") === null }, 10000)
        tryCompare(card, "groupId", "")

        // Deleting our own group as its creator.
        mouseClick(row(techGroup))
        tryCompare(card, "groupId", techGroup)
        mouseClick(find(card, "groupDelete"))
        confirmDialog()
        mouseClick(find(item("groupConfirm"), "groupConfirmOk"))
        tryVerify(function() { return serverMembers(techGroup) === null }, 10000)
        tryCompare(list, "count", 0)
        verify(groupIdsOf("10004").indexOf(techGroup) < 0)
    }

    function test_4_memberBarOnlineCounts() {
        groupSection()
        var component = Qt.createComponent("qrc:/GroupMember.qml")
        compare(component.status, Component.Ready, component.errorString())
        var bar = createTemporaryObject(component, flow, { groupId: techGroup })
        verify(bar !== null)
        tryCompare(bar, "memberCount", 3)
        // The server's online list drives the marks: only we are online, then 10004 comes.
        hook("push", { to: "10001", event: "onlineUsers", payload: { onlineUsers: ["10001"] } })
        tryCompare(bar, "onlineCount", 1)
        hook("push", { to: "10001", event: "onlineUsers", payload: { onlineUsers: ["10001", "10004"] } })
        tryCompare(bar, "onlineCount", 2)
        hook("push", { to: "10001", event: "onlineUsers", payload: { onlineUsers: ["10001"] } })
        tryCompare(bar, "onlineCount", 1)
        // A member added elsewhere shows in the bar too; the add button asks the frame for the dialog.
        asColleague("10004", "edit group", { id: techGroup, name: "", members: "", addArray: ["10002"], deleteArray: [] })
        tryCompare(bar, "memberCount", 4)
        var asked = []
        bar.sigAddGroupMember.connect(function(ids, names, types) { asked = [ids, names, types] })
        find(bar, "groupMemberAdd").clicked()
        compare(asked, [techGroup, "技术研发部", "3"])
    }

    // A change the server never answers is said to have failed; one it answers is not.
    function test_5_unansweredChangeIsToldAsFailed() {
        var section = groupSection()
        // The server stays silent, so no answer can beat even a short limit.
        section.changeTimeout = 1000
        var card = item("groupCard")
        mouseClick(row(projectGroup))
        tryCompare(card, "groupId", projectGroup)
        hook("event-silence", { user: "10001", events: ["edit group"] })
        mouseClick(find(card, "groupExit"))
        confirmDialog()
        keyClick(Qt.Key_Return)
        var banner = item("groupCreateFailed")
        tryCompare(banner, "visible", true, 10000)
        compare(banner.text, "群组修改未完成，请稍后重试")
        compare(section.changingGroup, "")
        // Nothing changed anywhere: the group is still ours and still listed.
        verify(serverMembers(projectGroup).indexOf("10001") >= 0)
        verify(row(projectGroup) !== null)
        compare(card.groupId, projectGroup)

        // Answered, the wait ends with the change and nothing is said.
        hook("event-silence", { off: true })
        banner.visible = false
        section.changeTimeout = 60000
        mouseClick(find(card, "groupExit"))
        confirmDialog()
        keyClick(Qt.Key_Return)
        tryVerify(function() { return row(projectGroup) === null }, 10000)
        compare(section.changingGroup, "")
        verify(!section.awaitingChange, "the time limit still runs after the change came")
        verify(!banner.visible)
    }

    // A search shows the people it finds below the matching groups; picking one opens a chat.
    function test_6_searchFindsPeopleAndOpensAChat() {
        groupSection()
        var list = item("groupList")
        var people = item("groupQueryData")
        verify(!people.visible)
        var search = item("groupSearch")
        mouseClick(search)
        search.text = "刘洋" // key events carry Latin text only
        keyClick(Qt.Key_Return)
        // 刘洋 is in the tech group, so it matches too.
        tryCompare(list, "count", 1)
        compare(list.model.get(0).groupId, techGroup)
        tryCompare(people, "visible", true)
        tryCompare(people, "count", 1, 10000)
        var person = shown(people, "person_10004")
        verify(person.mapToItem(null, 0, 0).y >= row(techGroup).mapToItem(null, 0, row(techGroup).height).y,
               "the people come below the groups")

        // Down through the groups into the people; Return opens the chat with the person.
        keyClick(Qt.Key_Down)
        verify(list.activeFocus)
        keyClick(Qt.Key_Down)
        verify(find(people, "queryDataList").activeFocus, "Down from the last group reaches the people")
        keyClick(Qt.Key_Return)
        tryCompare(frame(), "currentSection", 0)
        tryCompare(item("conversationPane"), "currentId", "10004")
        compare(item("conversationTitle").text, "刘洋")
        item("conversation_10004")
        compare(search.text, "", "the search is over")
        verify(!people.visible)
        compare(list.count, 2)
    }

    function termsOf(recent) {
        var model = find(recent, "searchHistoryList").model
        var terms = []
        for (var i = 0; i < model.count; ++i)
            terms.push(model.get(i).term)
        return terms
    }
    // The conversation list and the group list each keep their own recent searches.
    function test_7_searchHistoriesAreKeptApart() {
        var newsField = item("newsSearchField")
        newsField.forceActiveFocus()
        typeText("wangfang")
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Escape)
        var newsRecent = item("newsHistoricalSearch")
        tryVerify(function() { return termsOf(newsRecent).indexOf("wangfang") >= 0 }, 5000, "the conversation search is remembered")

        groupSection()
        var search = item("groupSearch")
        mouseClick(search)
        typeText("lunch")
        keyClick(Qt.Key_Return)
        keyClick(Qt.Key_Escape)
        var groupRecent = item("groupHistoricalSearch")
        tryCompare(groupRecent, "visible", true)
        tryVerify(function() { return termsOf(groupRecent).indexOf("lunch") >= 0 }, 5000, "the group search is remembered")
        compare(termsOf(groupRecent).indexOf("wangfang"), -1, "a conversation search is not offered for groups")
        // Clearing the group history leaves the conversations' alone.
        mouseClick(find(groupRecent, "clearSearchHistory"))
        tryCompare(groupRecent, "count", 0)

        mouseClick(item("section_message"))
        tryCompare(frame(), "currentSection", 0)
        newsField.forceActiveFocus()
        tryCompare(newsRecent, "visible", true)
        var terms = termsOf(newsRecent)
        verify(terms.indexOf("wangfang") >= 0, JSON.stringify(terms))
        compare(terms.indexOf("lunch"), -1, "a group search is not offered for conversations")
    }
}

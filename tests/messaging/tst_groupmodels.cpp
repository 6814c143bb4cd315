// The group list's and the member lists' models, under Qt's model checker, fed by the process
// engine with the reference server's demo groups and the inbound fuzz corpus: the group events
// change only the rows they touch (the others keep their persistent indexes), a rename moves one
// row once, members come, go and go online, and picked people keep the order they were picked.

#include "messaging/groupchangewatch.h"
#include "messaging/grouplistmodel.h"
#include "messaging/groupmembermodel.h"
#include "messaging/sockethandl.h"
#include "messaging/socketstate.h"
#include "messagingtestkit.h"
#include "testenvironment.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <QtTest>

namespace {

const QString me = QStringLiteral("10001");
const QString techGroup = QStringLiteral("5b0f3c2e-8d41-4a67-9e1b-2c7d9a4f6e01");
const QString projectGroup = QStringLiteral("9c4e7a10-3f2b-4d88-b5a6-71e0c3d2f902");
const QString lunchGroup = QStringLiteral("e2a61d57-0b9c-4f3e-8a24-6d5c1b7e9f03");

using messagingtest::fixture;

// An event handed to the engine, once the store has told of it.
template <typename Signal>
bool deliver(SocketState &state, Signal signal, const QString &event, const QJsonArray &args)
{
    QSignalSpy told(&state, signal);
    if (!SocketHandl::instance()->dispatchInbound(event, args))
        return false;
    return !told.isEmpty() || told.wait();
}

// The reference server's demo groups as the engine's whole table.
bool demoGroups(SocketState &state)
{
    QFile file(QStringLiteral(TARNEX_SOURCE_DIR "/server/demo/groups.json"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonArray groups =
        QJsonDocument::fromJson(file.readAll()).object().value("groups").toArray();
    QSignalSpy told(&state, &SocketState::sigGetGroupInfor);
    SocketHandl::instance()->dispatchReply(QStringLiteral("send myGroup"), QJsonArray{groups});
    return !told.isEmpty() || told.wait();
}

QJsonArray edit(const QString &id, const QString &name, const QString &members)
{
    return {QJsonObject{{"id", id}, {"name", name}, {"members", members}}};
}

QStringList keysOf(const KeyedListModel &model)
{
    return model.keys();
}

// Every row is found by its key where it is.
bool indexConsistent(const KeyedListModel &model)
{
    for (int i = 0; i < model.count(); ++i) {
        if (model.indexOf(model.keyAt(i)) != i)
            return false;
    }
    return true;
}

// Each still valid persistent index points at the row of the key it was taken for.
bool followed(const KeyedListModel &model, const QHash<QString, QPersistentModelIndex> &rows)
{
    for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
        if (it.value().isValid() && model.keyAt(it.value().row()) != it.key())
            return false;
    }
    return true;
}

QHash<QString, QPersistentModelIndex> persistent(const KeyedListModel &model)
{
    QHash<QString, QPersistentModelIndex> rows;
    for (int i = 0; i < model.count(); ++i)
        rows.insert(model.keyAt(i), QPersistentModelIndex(model.index(i)));
    return rows;
}

bool sortedByName(const GroupListModel &model)
{
    for (int i = 1; i < model.count(); ++i) {
        if (QString::localeAwareCompare(model.get(i - 1).value("groupName").toString(),
                                        model.get(i).value("groupName").toString()) > 0)
            return false;
    }
    return true;
}

} // namespace

class TestGroupModels : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void groupListChangesOnlyWhatChanged();
    void membersFollowTheGroupAndWhoIsOnline();
    void pickedPeopleKeepTheirOrder();
    void changeWaitEndsWithItsAnswer();
};

void TestGroupModels::initTestCase()
{
    messagingtest::engineAs(me);
    qRegisterMetaType<QVector<int>>();
}

void TestGroupModels::groupListChangesOnlyWhatChanged()
{
    SocketState state;
    QVERIFY(demoGroups(state));
    GroupListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setStore(&state);
    QCOMPARE(model.count(), 3);
    QVERIFY(sortedByName(model));
    QVERIFY(indexConsistent(model));
    const QVariantMap project = model.get(model.indexOf(projectGroup));
    QCOMPARE(project.value("groupName").toString(), QStringLiteral("项目协调群"));
    QCOMPARE(project.value("memberCount").toInt(), 4);
    QCOMPARE(project.value("creator").toString(), QStringLiteral("10005"));
    QCOMPARE(model.get(model.indexOf(techGroup)).value("memberCount").toInt(), 3);
    QVERIFY(model.get(3).isEmpty());
    QCOMPARE(model.indexOf(QStringLiteral("g-1")), -1);
    QCOMPARE(model.rowOf(projectGroup).toMap(), project);
    QCOMPARE(model.rowOf(QStringLiteral("g-1")).userType(), int(QMetaType::Nullptr));
    // The user's own group wins over a larger one.
    QCOMPARE(model.leadingGroup(), techGroup);

    auto rows = persistent(model);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy reloaded(&model, &GroupListModel::reloaded);

    // A group made elsewhere: one row in, the others untouched.
    const auto added = fixture("add_group");
    QVERIFY(deliver(state, &SocketState::sigAddGroup, added.first, added.second));
    QCOMPARE(model.count(), 4);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(removed.count() + moved.count() + changed.count(), 0);
    QVERIFY(sortedByName(model));
    QVERIFY(indexConsistent(model));
    QVERIFY(followed(model, rows));
    QCOMPARE(model.get(model.indexOf(QStringLiteral("g-1"))).value("memberCount").toInt(), 2);
    QVERIFY(!reloaded.isEmpty());

    // Members swapped, their number the same: nothing a row shows changed.
    rows = persistent(model);
    inserted.clear();
    const auto swapped = fixture("edit_group_cb");
    QVERIFY(deliver(state, &SocketState::sigEditGroupCB, swapped.first, swapped.second));
    QCOMPARE(inserted.count() + removed.count() + moved.count() + changed.count(), 0);
    QCOMPARE(model.get(model.indexOf(QStringLiteral("g-1"))).value("memberCount").toInt(), 2);

    // The first row renamed to sort last moves once (not every row past it), and says which
    // field changed; a rename that keeps the order moves nothing.
    const QString first = model.keyAt(0);
    const QString lastName = model.get(model.count() - 1).value("groupName").toString() + "~";
    QVERIFY(deliver(state, &SocketState::sigEditGroupCB, QStringLiteral("edit groupCB"),
                    edit(first, lastName, state.getGroupMemberFromId(first).join(','))));
    QCOMPARE(model.keyAt(model.count() - 1), first);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(inserted.count() + removed.count(), 0);
    QVERIFY(followed(model, rows));
    QVERIFY(indexConsistent(model));
    QCOMPARE(rows.value(first).data(GroupListModel::GroupNameRole).toString(), lastName);
    QCOMPARE(changed.count(), 1);
    const auto roles = changed.takeFirst().at(2).value<QVector<int>>();
    QCOMPARE(roles, (QVector<int>{GroupListModel::GroupNameRole}));
    const QString middle = model.keyAt(1);
    const QString middleName = model.get(1).value("groupName").toString();
    QVERIFY(deliver(state, &SocketState::sigEditGroupCB, QStringLiteral("edit groupCB"),
                    edit(middle, middleName + " ", state.getGroupMemberFromId(middle).join(','))));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(model.keyAt(1), middle);

    // A filter takes rows out and brings them back; the rows that stay are never moved, and the
    // table still knows the hidden groups.
    rows = persistent(model);
    moved.clear();
    QSignalSpy currentGone(&model, &GroupListModel::currentGone);
    model.setCurrentGroupId(techGroup);
    model.setFilterText(lastName.toUpper());
    QCOMPARE(keysOf(model), QStringList{first});
    QVERIFY(model.inTable(techGroup));
    QVERIFY(rows.value(first).isValid());
    model.setFilterText(QString());
    QCOMPARE(model.count(), 4);
    QCOMPARE(moved.count(), 0);
    QVERIFY(followed(model, rows));
    QVERIFY(indexConsistent(model));
    // Filtered out is not gone: the open group stays open.
    QCOMPARE(currentGone.count(), 0);
    QCOMPARE(model.currentGroupId(), techGroup);

    // A group deleted: only its row goes, and the list lets it go as the open one.
    model.setCurrentGroupId(QStringLiteral("g-1"));
    rows = persistent(model);
    removed.clear();
    inserted.clear();
    const auto gone = fixture("edit_group_delete");
    QVERIFY(deliver(state, &SocketState::sigEditGroupDelete, gone.first, gone.second));
    QCOMPARE(model.count(), 3);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QVERIFY(!rows.value(QStringLiteral("g-1")).isValid());
    QVERIFY(!model.inTable(QStringLiteral("g-1")));
    QVERIFY(followed(model, rows));
    QVERIFY(indexConsistent(model));
    QCOMPARE(reset.count(), 0);
    QCOMPARE(currentGone.count(), 1);
    QCOMPARE(currentGone.first().at(0).toString(), QStringLiteral("g-1"));
    QCOMPARE(model.currentGroupId(), QString());

    // Let go of the store: it is told once, and its events no longer reach the rows.
    QSignalSpy storeChanged(&model, &GroupListModel::storeChanged);
    model.setStore(&state);
    QCOMPARE(storeChanged.count(), 0);
    model.setStore(nullptr);
    QCOMPARE(storeChanged.count(), 1);
    QCOMPARE(model.count(), 0);
    reloaded.clear();
    QVERIFY(deliver(state, &SocketState::sigAddGroup, added.first, added.second));
    QCOMPARE(reloaded.count(), 0);
    QCOMPARE(model.count(), 0);
}

void TestGroupModels::membersFollowTheGroupAndWhoIsOnline()
{
    SocketState state;
    QVERIFY(demoGroups(state));
    const auto online = fixture("online_users");
    QVERIFY(!online.first.isEmpty());
    ParameterInfor *users = ParameterInfor::instance();
    QSignalSpy onlineTold(users, &ParameterInfor::sigOnlineUsersChange);
    SocketHandl::instance()->dispatchInbound(online.first, online.second);
    QTRY_VERIFY(users->isOnline(QStringLiteral("10002")));

    GroupMemberModel bar;
    QAbstractItemModelTester tester(&bar, QAbstractItemModelTester::FailureReportingMode::QtTest);
    bar.setSource(GroupMemberModel::Group);
    bar.setOrder(GroupMemberModel::OnlineFirst);
    bar.setStore(&state);
    bar.setGroupId(projectGroup);
    // Online first (10001 and 10002), then by name; without the organisation a name is the id.
    QCOMPARE(keysOf(bar), (QStringList{"10001", "10002", "10003", "10005"}));
    QCOMPARE(bar.onlineCount(), 2);
    QCOMPARE(bar.get(0).value("userName").toString(), QStringLiteral("10001"));
    QCOMPARE(bar.get(3).value("owner").toBool(), true);
    QVERIFY(indexConsistent(bar));

    GroupMemberModel card;
    card.setSource(GroupMemberModel::Group);
    card.setOrder(GroupMemberModel::OwnerFirst);
    card.setStore(&state);
    card.setGroupId(projectGroup);
    QCOMPARE(keysOf(card), (QStringList{"10005", "10001", "10002", "10003"}));

    // A member added and one removed: one row in, one out, the rest kept.
    auto rows = persistent(bar);
    QSignalSpy inserted(&bar, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&bar, &QAbstractItemModel::rowsRemoved);
    QSignalSpy moved(&bar, &QAbstractItemModel::rowsMoved);
    QVERIFY(deliver(state, &SocketState::sigEditGroupCB, QStringLiteral("edit groupCB"),
                    edit(projectGroup, QString(), "10005,10001,10002,10004")));
    QCOMPARE(keysOf(bar), (QStringList{"10001", "10002", "10004", "10005"}));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(moved.count(), 0);
    QVERIFY(!rows.value(QStringLiteral("10003")).isValid());
    QVERIFY(followed(bar, rows));
    QVERIFY(card.contains(QStringLiteral("10004")) && !card.contains(QStringLiteral("10003")));
    // Another group's event leaves the rows alone.
    inserted.clear();
    removed.clear();
    QVERIFY(deliver(state, &SocketState::sigEditGroupCB, QStringLiteral("edit groupCB"),
                    edit(techGroup, QString(), "10001")));
    QCOMPARE(inserted.count() + removed.count() + moved.count(), 0);

    // 10002 goes offline and 10004 comes online: they trade places, the owner mark stays.
    rows = persistent(bar);
    onlineTold.clear();
    SocketHandl::instance()->dispatchInbound(
        QStringLiteral("onlineUsers"),
        {QJsonObject{{"onlineUsers", QJsonArray{"10001", "10004"}}}});
    QTRY_COMPARE(onlineTold.count(), 2);
    QTRY_COMPARE(keysOf(bar), (QStringList{"10001", "10004", "10002", "10005"}));
    QCOMPARE(bar.onlineCount(), 2);
    QVERIFY(followed(bar, rows));
    QCOMPARE(rows.value(QStringLiteral("10004")).data(GroupMemberModel::OnlineRole).toBool(), true);
    QCOMPARE(bar.get(3).value("owner").toBool(), true);
    QVERIFY(indexConsistent(bar));

    // The group gone: no rows.
    QVERIFY(deliver(state, &SocketState::sigEditGroupDelete, QStringLiteral("edit groupDelete"),
                    {QJsonObject{{"id", projectGroup}}}));
    QCOMPARE(bar.count(), 0);
    QCOMPARE(bar.onlineCount(), 0);
    QCOMPARE(card.count(), 0);
}

void TestGroupModels::pickedPeopleKeepTheirOrder()
{
    GroupMemberModel picked;
    QAbstractItemModelTester tester(&picked,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy count(&picked, &KeyedListModel::countChanged);
    QVERIFY(picked.toggle(QStringLiteral("10003"), QStringLiteral("王芳")));
    QVERIFY(picked.toggle(QStringLiteral("10002"), QStringLiteral("李娜")));
    QVERIFY(picked.toggle(QStringLiteral("10006"), QStringLiteral("陈静")));
    QCOMPARE(keysOf(picked), (QStringList{"10003", "10002", "10006"}));
    const QPersistentModelIndex last = picked.index(2);
    // Picked again: out, and the one after it moves up.
    QVERIFY(!picked.toggle(QStringLiteral("10002"), QStringLiteral("李娜")));
    QCOMPARE(keysOf(picked), (QStringList{"10003", "10006"}));
    QCOMPARE(picked.names(), (QStringList{"王芳", "陈静"}));
    QCOMPARE(last.row(), 1);
    QVERIFY(indexConsistent(picked));
    QCOMPARE(picked.indexOf(QStringLiteral("10002")), -1);
    // A group's events do not reach picked people.
    SocketState state;
    picked.setStore(&state);
    QVERIFY(demoGroups(state));
    QCOMPARE(picked.count(), 2);
    picked.clear();
    QCOMPARE(picked.count(), 0);
    QCOMPARE(count.count(), 5);

    // The first people shown picked at once, those picked already kept where they are; a new
    // group's name from the user and the first three picked, cut to the limit.
    GroupMemberModel shown;
    shown.toggle(QStringLiteral("10004"), QStringLiteral("赵强"));
    shown.toggle(QStringLiteral("10002"), QStringLiteral("李娜"));
    shown.toggle(QStringLiteral("10006"), QStringLiteral("陈静"));
    shown.toggle(QStringLiteral("10003"), QStringLiteral("王芳"));
    picked.toggle(QStringLiteral("10002"), QStringLiteral("李娜"));
    picked.pickFirst(&shown, 3);
    QCOMPARE(keysOf(picked), (QStringList{"10002", "10004", "10006"}));
    picked.pickFirst(&shown, 99);
    QCOMPARE(keysOf(picked), (QStringList{"10002", "10004", "10006", "10003"}));
    QCOMPARE(picked.groupNameWith(QStringLiteral("张伟"), 30), QStringLiteral("张伟、李娜、赵强"));
    QCOMPARE(picked.groupNameWith(QString(), 30), QStringLiteral("李娜、赵强、陈静"));
    QCOMPARE(picked.groupNameWith(QStringLiteral("张伟"), 4), QStringLiteral("张伟、李"));
    // The member lists a change asks the server for.
    QCOMPARE(picked.keysWith({"10004", "10009", "10009"}),
             (QStringList{"10002", "10004", "10006", "10003", "10009", "10009"}));
    QCOMPARE(picked.keysWithout(QStringLiteral("10004")), (QStringList{"10002", "10006", "10003"}));
}

// A change asked of the server ends with the event that answers it, and only that one; without
// it in time the change fails.
void TestGroupModels::changeWaitEndsWithItsAnswer()
{
    SocketState state;
    GroupChangeWatch watch;
    watch.setStore(&state);
    QSignalSpy failed(&watch, &GroupChangeWatch::failed);

    // A removal of two members: another group's event, or one that removes only one of them,
    // is not its answer.
    watch.watch(QStringLiteral("remove"), projectGroup, QStringLiteral("10002,10003,"));
    QVERIFY(watch.waiting());
    QCOMPARE(watch.groupId(), projectGroup);
    emit state.sigEditGroupCB(techGroup, false, QStringLiteral("10002,10003"));
    emit state.sigEditGroupCB(projectGroup, false, QStringLiteral("10003"));
    QVERIFY(watch.waiting());
    emit state.sigEditGroupCB(projectGroup, false, QStringLiteral("10003,10004,10002"));
    QVERIFY(!watch.waiting());
    QCOMPARE(watch.groupId(), QString());

    // An addition ends with an event that adds; leaving with the group gone, whatever is waited.
    watch.watch(QStringLiteral("add"), projectGroup, QStringLiteral("10004"));
    emit state.sigEditGroupCB(projectGroup, false, QString());
    QVERIFY(watch.waiting());
    emit state.sigEditGroupCB(projectGroup, true, QString());
    QVERIFY(!watch.waiting());
    watch.watch(QStringLiteral("exit"), projectGroup, QString());
    emit state.sigEditGroupCB(projectGroup, true, QString());
    QVERIFY(watch.waiting());
    emit state.sigEditGroupDelete(techGroup);
    QVERIFY(watch.waiting());
    emit state.sigEditGroupDelete(projectGroup);
    QVERIFY(!watch.waiting());

    // Unanswered: it fails once, and a late answer changes nothing.
    watch.setTimeout(0);
    watch.watch(QStringLiteral("delete"), lunchGroup, QString());
    QVERIFY(failed.wait());
    QCOMPARE(failed.count(), 1);
    QVERIFY(!watch.waiting());
    QCOMPARE(watch.groupId(), QString());
    emit state.sigEditGroupDelete(lunchGroup);
    QCOMPARE(failed.count(), 1);

    // Another store: the old one's events no longer count.
    SocketState other;
    watch.setTimeout(60000);
    watch.setStore(&other);
    watch.watch(QStringLiteral("exit"), projectGroup, QString());
    emit state.sigEditGroupDelete(projectGroup);
    QVERIFY(watch.waiting());
    emit other.sigEditGroupDelete(projectGroup);
    QVERIFY(!watch.waiting());
}

TARNEX_TEST_MAIN(TestGroupModels)
#include "tst_groupmodels.moc"

// The engine's parts on their own, each handed a signed-in socket of the reference server, a
// store and an outbox instead of the whole engine: the groups' requests and lookups, the record
// and history queries with the local history in front of a link that is down or a service that
// does not answer, and the inbound router with what the service sends.

#include "messaging/conversationstore.h"
#include "messaging/messageclock.h"
#include "messaging/messaginggroups.h"
#include "messaging/messaginghistory.h"
#include "messaging/messaginginbound.h"
#include "messaging/signaloutbox.h"
#include "messagingtestkit.h"
#include "reminders/systeminformation.h"
#include "sio/client.h"
#include "sio/socket.h"
#include "testenvironment.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <atomic>

using namespace messagingtest;

namespace {

const QString me = QStringLiteral("10001");
const QString peer = QStringLiteral("10002");
// A demo group of 10005, 10001, 10002 and 10003.
const QString demoGroup = QStringLiteral("9c4e7a10-3f2b-4d88-b5a6-71e0c3d2f902");

QJsonObject object(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// Answers every search later, from a fixed table, as the local history does; remembers what it
// was asked and told.
class FixedKeeper : public RecordKeeper
{
public:
    void keepPrivate(const QString &, qulonglong, const MessageRecord &) override {}
    void keepGroup(const QString &, qulonglong, const GroupMessageRecord &) override {}
    void find(const KeptRecordQuery &query, QObject *context, Found found) override
    {
        queries << query;
        QMetaObject::invokeMethod(
            context, [found, records = records]() { found(records, GroupTable()); },
            Qt::QueuedConnection);
    }
    void keepConversation(const KeptConversation &change) override { changes << change; }

    PrivateTable records;
    QList<KeptRecordQuery> queries;
    QList<KeptConversation> changes;
};

} // namespace

// The reference server and a client signed in to it as the user; the parts made on it. The
// client goes first, so no acknowledgement reaches a part that is gone.
struct Link
{
    ~Link() { client.reset(); }

    bool signIn()
    {
        client->connect(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server.port())),
                        {{QStringLiteral("loginUserId"), me},
                         {QStringLiteral("loginDeptId"), QStringLiteral("技术研发部")},
                         {QStringLiteral("loginRoleId"), QStringLiteral("部门经理")}});
        auto answer = std::make_shared<std::atomic<int>>(0);
        socket->emitEvent(QStringLiteral("login"), QJsonArray{QStringLiteral("success")},
                          [answer](const QJsonArray &ack) {
                              *answer = ack.first().toString() == QLatin1String("success") ? 1 : 2;
                          });
        return QTest::qWaitFor([&answer]() { return *answer != 0; }, longWait) && *answer == 1;
    }

    // The groups of the server, by id.
    QMap<QString, QJsonObject> serverGroups() const
    {
        QMap<QString, QJsonObject> groups;
        const QJsonArray list =
            server.hook(QStringLiteral("messaging-state")).value(QLatin1String("groups")).toArray();
        for (const QJsonValue &group : list)
            groups.insert(group.toObject().value(QLatin1String("id")).toString(), group.toObject());
        return groups;
    }

    // A client event of `user` as if from a connection of its own.
    QJsonArray clientEvent(const QString &user, const QString &event, const QJsonObject &payload)
    {
        return server
            .hook(QStringLiteral("client-event"), QJsonObject{{QStringLiteral("user"), user},
                                                              {QStringLiteral("event"), event},
                                                              {QStringLiteral("payload"), payload}})
            .value(QLatin1String("ack"))
            .toArray();
    }

    int requests(const QString &event) const
    {
        return server
            .hook(QStringLiteral("received"),
                  QJsonObject{{QStringLiteral("user"), me}, {QStringLiteral("event"), event}})
            .value(QLatin1String("events"))
            .toArray()
            .size();
    }

    ReferenceServer server;
    ConversationStore store;
    MessageClock clock;
    SignalOutbox outbox;
    std::unique_ptr<sio::Client> client = std::make_unique<sio::Client>();
    std::shared_ptr<sio::Socket> socket = client->socket(QStringLiteral("/client"));
    std::unique_ptr<MessagingGroups> groups;
    std::unique_ptr<MessagingHistory> history;
    std::unique_ptr<MessagingInbound> inbound;
};

#define START_LINK(link)                                                                           \
    QVERIFY2((link).server.start(), qPrintable((link).server.output()));                           \
    QVERIFY2((link).signIn(), qPrintable((link).server.output()))

class TestMessagingParts : public QObject
{
    Q_OBJECT
private slots:
    void groups();
    void history();
    void inbound();
};

void TestMessagingParts::groups()
{
    Link link;
    START_LINK(link);
    link.groups = std::make_unique<MessagingGroups>(link.socket, link.store, link.clock,
                                                    link.outbox, []() { return me; });
    MessagingGroups &groups = *link.groups;
    QSignalSpy listed(&groups, &MessagingGroups::sigGetGroupInfor);
    QSignalSpy changed(&groups, &MessagingGroups::sigGroupInforChange);

    // The list fills the table the lookups read.
    groups.getGroupInfors();
    QVERIFY(listed.wait(longWait));
    QCOMPARE(changed.size(), 1);
    QVERIFY(groups.getGroupIds().contains(demoGroup));
    QCOMPARE(groups.getGroupMemberFromId(demoGroup),
             (QStringList{QStringLiteral("10005"), me, peer, QStringLiteral("10003")}));
    QCOMPARE(groups.getGroupInforFromId(demoGroup, QStringLiteral("members")),
             QStringLiteral("10005;10001;10002;10003"));
    QCOMPARE(groups.getGroupInforFromId(demoGroup, QStringLiteral("creator")),
             QStringLiteral("10005"));
    // The day only.
    QCOMPARE(groups.getGroupInforFromId(demoGroup, QStringLiteral("create_time")),
             QStringLiteral("2024-04-11 "));
    QCOMPARE(groups.getGroupInforFromId(demoGroup, QStringLiteral("colour")), QString());
    QCOMPARE(groups.getGroupInforFromId(QStringLiteral("no such group"), QStringLiteral("name")),
             QString());

    // A new group: the user once, and last; repeated members once.
    const QStringList before = link.serverGroups().keys();
    groups.creatNewGroup(QStringLiteral("10002,10001,10002,10003"), QStringLiteral("新项目"));
    QTRY_COMPARE_WITH_TIMEOUT(link.serverGroups().size(), before.size() + 1, longWait);
    QString id;
    for (const QString &key : link.serverGroups().keys()) {
        if (!before.contains(key))
            id = key;
    }
    QJsonObject created = link.serverGroups().value(id);
    QCOMPARE(created.value(QLatin1String("name")).toString(), QStringLiteral("新项目"));
    QCOMPARE(created.value(QLatin1String("creator")).toString(), me);
    QCOMPARE(created.value(QLatin1String("members")).toString(),
             QStringLiteral("10002,10003,10001"));

    groups.groupAddNewMember(id, QStringLiteral("新项目"), QStringLiteral("10002,10003,10001"),
                             QStringLiteral("10004"));
    QTRY_COMPARE_WITH_TIMEOUT(
        link.serverGroups().value(id).value(QLatin1String("members")).toString(),
        QStringLiteral("10002,10003,10001,10004"), longWait);
    groups.groupDeleteNewMember(id, QStringLiteral("新项目"),
                                QStringLiteral("10002,10003,10001,10004"), QStringLiteral("10003"));
    QTRY_COMPARE_WITH_TIMEOUT(
        link.serverGroups().value(id).value(QLatin1String("members")).toString(),
        QStringLiteral("10002,10001,10004"), longWait);

    // Leaving names the group as the table knows it: its name stays.
    groups.getGroupInfors();
    QTRY_COMPARE_WITH_TIMEOUT(listed.size(), 2, longWait);
    QCOMPARE(groups.getGroupInforFromId(id, QStringLiteral("name")), QStringLiteral("新项目"));
    groups.exitGroup(id);
    QTRY_COMPARE_WITH_TIMEOUT(
        link.serverGroups().value(id).value(QLatin1String("members")).toString(),
        QStringLiteral("10002,10004"), longWait);
    created = link.serverGroups().value(id);
    QCOMPARE(created.value(QLatin1String("name")).toString(), QStringLiteral("新项目"));

    // Only its creator deletes a group: the demo group stays, the user's own goes.
    groups.creatNewGroup(peer, QStringLiteral("临时"));
    QTRY_COMPARE_WITH_TIMEOUT(link.serverGroups().size(), before.size() + 2, longWait);
    QString second;
    for (const QString &key : link.serverGroups().keys()) {
        if (!before.contains(key) && key != id)
            second = key;
    }
    groups.deleteGroup(demoGroup);
    groups.deleteGroup(second);
    QTRY_VERIFY_WITH_TIMEOUT(!link.serverGroups().contains(second), longWait);
    QVERIFY(link.serverGroups().contains(demoGroup));

    // A list of nothing usable empties the table and says so, but changes nothing to show.
    changed.clear();
    groups.applyGroupList(QJsonArray{QJsonArray{7, QJsonObject{{QStringLiteral("name"), 1}}}});
    QTRY_COMPARE(listed.size(), 3);
    QVERIFY(groups.getGroupIds().isEmpty());
    QCOMPARE(changed.size(), 0);
}

void TestMessagingParts::history()
{
    Link link;
    START_LINK(link);
    bool signedIn = true;
    link.history = std::make_unique<MessagingHistory>(
        link.socket, link.store, link.outbox, []() { return me; },
        [&signedIn]() { return signedIn; });
    MessagingHistory &history = *link.history;
    // Every signal in one log, to see their order.
    QStringList order;
    connect(&history, &MessagingHistory::sigGetRecord, this,
            [&order]() { order << QStringLiteral("record"); });
    connect(&history, &MessagingHistory::groupReadReported, this,
            [&order](const QString &group, qulonglong upTo, const QString &reader) {
                order << QStringLiteral("read %1 %2 %3").arg(group).arg(upTo).arg(reader);
            });
    QSignalSpy records(&history, &MessagingHistory::sigGetRecord);
    QSignalSpy found(&history, &MessagingHistory::sigHistoryGetRecord);
    QSignalSpy lasts(&history, &MessagingHistory::sigSendLastMessageInfor);

    // The other party writes three messages; one more in the group, which it then reads.
    const qint64 base = QDateTime::currentMSecsSinceEpoch() - 10000;
    const QStringList bodies{QStringLiteral("apple"), QStringLiteral("banana"),
                             QStringLiteral("apple pie, warm")};
    for (int i = 0; i < bodies.size(); ++i) {
        const QJsonArray ack =
            link.clientEvent(peer, QStringLiteral("send message"),
                             QJsonObject{{QStringLiteral("msg"), bodies.at(i)},
                                         {QStringLiteral("creator"), peer},
                                         {QStringLiteral("msg_type"), QStringLiteral("text")},
                                         {QStringLiteral("to"), me},
                                         {QStringLiteral("type"), QStringLiteral("user")},
                                         {QStringLiteral("send_time"), double(base + i)},
                                         {QStringLiteral("msg_id"), double(base + i)}});
        QVERIFY2(ack.first().isObject(), qPrintable(QJsonDocument(ack).toJson()));
    }
    const qint64 groupId = base + 5;
    link.clientEvent(peer, QStringLiteral("send message"),
                     QJsonObject{{QStringLiteral("msg"), QStringLiteral("组消息")},
                                 {QStringLiteral("creator"), peer},
                                 {QStringLiteral("msg_type"), QStringLiteral("text")},
                                 {QStringLiteral("group_id"), demoGroup},
                                 {QStringLiteral("type"), QStringLiteral("personal_group")},
                                 {QStringLiteral("send_time"), double(groupId)},
                                 {QStringLiteral("msg_id"), double(groupId)}});
    link.clientEvent(peer, QStringLiteral("update havRead"),
                     QJsonObject{{QStringLiteral("group_id"), demoGroup},
                                 {QStringLiteral("type"), QStringLiteral("personal_group")},
                                 {QStringLiteral("msg_id"), double(groupId)}});

    // A page: the messages oldest first, the other party's shown as read.
    history.getRecord(peer, QStringLiteral("2"), 10);
    QVERIFY(records.wait(longWait));
    QStringList texts = history.getPrivateIdFromInfors(peer);
    QCOMPARE(texts.size(), 3);
    QCOMPARE(object(texts.first()).value(QLatin1String("msg")).toString(), bodies.first());
    QCOMPARE(object(texts.last()).value(QLatin1String("sendStatus")).toString(),
             QStringLiteral("3"));

    // A group page tells how far each member read, before the page is announced.
    order.clear();
    history.getRecord(demoGroup, QStringLiteral("3"), 10);
    QTRY_COMPARE_WITH_TIMEOUT(records.size(), 2, longWait);
    QCOMPARE(object(history.getGroupIdFromInfors(demoGroup).last()).value(QLatin1String("msg")),
             QJsonValue(QStringLiteral("组消息")));
    QCOMPARE(order.last(), QStringLiteral("record"));
    QVERIFY2(order.contains(QStringLiteral("read %1 %2 %3").arg(demoGroup).arg(groupId).arg(peer)),
             qPrintable(order.join(QLatin1Char('|'))));

    // A text search fills the history store only, case aside.
    history.getUserHistoryLength(peer, 10, QString(), QStringLiteral("2"), QStringLiteral("APPLE"),
                                 1);
    QVERIFY(found.wait(longWait));
    texts = history.getHistoryPrivateIdFromInfors(peer);
    QCOMPARE(texts.size(), 2);
    QCOMPARE(object(texts.last()).value(QLatin1String("msg")).toString(), bodies.last());
    QCOMPARE(history.getPrivateIdFromInfors(peer).size(), 3);

    // The last message, its time after the last comma of the service's text.
    history.getLastrecord(QStringLiteral(R"([{"id":"10002","types":"2"}])"));
    QVERIFY(lasts.wait(longWait));
    QCOMPARE(lasts.last(), (QVariantList{peer, bodies.last(), QStringLiteral("2"),
                                         QDateTime::fromMSecsSinceEpoch(base + 2).toString(
                                             QStringLiteral(" hh:mm"))}));

    // With the link down the local history answers, and the service is not asked.
    auto keeper = std::make_shared<FixedKeeper>();
    MessageRecord kept;
    kept.creator = peer;
    kept.msg = QStringLiteral("kept apple");
    kept.msgId = QString::number(base - 100);
    kept.sendTime = kept.msgId;
    kept.local = true;
    keeper->records[peer].insert(base - 100, kept);
    history.setRecordKeeper(keeper);
    signedIn = false;
    const int asked = link.requests(QStringLiteral("get record"));
    history.getRecord(peer, QStringLiteral("2"), 10);
    QTRY_COMPARE_WITH_TIMEOUT(records.size(), 3, longWait);
    QCOMPARE(history.getPrivateIdFromInfors(peer).size(), 4);
    QCOMPARE(object(history.getPrivateIdFromInfors(peer).first()).value(QLatin1String("msg")),
             QJsonValue(kept.msg));
    history.getUserHistoryLength(peer, 10, QString(), QStringLiteral("2"), QStringLiteral("kept"),
                                 1);
    QTRY_COMPARE_WITH_TIMEOUT(found.size(), 2, longWait);
    QCOMPARE(history.getHistoryPrivateIdFromInfors(peer).size(), 1);
    QCOMPARE(link.requests(QStringLiteral("get record")), asked);
    QCOMPARE(keeper->queries.last().text, QStringLiteral("kept"));
    QVERIFY(!keeper->queries.last().group);

    // A service that does not answer a search: the local matches show all the same.
    signedIn = true;
    link.server.hook(
        QStringLiteral("event-silence"),
        QJsonObject{{QStringLiteral("events"), QJsonArray{QStringLiteral("get record")}}});
    history.getUserHistoryLength(peer, 10, QString(), QStringLiteral("2"), QStringLiteral("APPLE"),
                                 1);
    QTRY_COMPARE_WITH_TIMEOUT(found.size(), 3, longWait);
    texts = history.getHistoryPrivateIdFromInfors(peer);
    QCOMPARE(texts.size(), 1);
    QCOMPARE(object(texts.first()).value(QLatin1String("local")).toString(), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(link.requests(QStringLiteral("get record")), asked + 1, longWait);

    // The conversation list goes to the keeper; clearing the local history takes away what
    // only it had.
    history.keepConversationName(demoGroup, QStringLiteral("3"), QStringLiteral("项目协调群"));
    history.keepConversationName(peer, QStringLiteral("2"), peer);
    QCOMPARE(keeper->changes.size(), 1);
    QVERIFY(keeper->changes.first().group);
    QSignalSpy cleared(&history, &MessagingHistory::sigHistoryCleared);
    history.forgetKept();
    QCOMPARE(cleared.size(), 1);
    QCOMPARE(history.getPrivateIdFromInfors(peer).size(), 3);
}

void TestMessagingParts::inbound()
{
    Link link;
    QVERIFY2(link.server.start(), qPrintable(link.server.output()));
    ParameterInfor &parameters = *ParameterInfor::instance();
    parameters.subtractOnline(parameters.onlineUsers());
    QList<KeptConversation> kept;
    link.inbound = std::make_unique<MessagingInbound>(
        link.store, link.outbox, []() { return me; },
        [&kept](const KeptConversation &change) { kept << change; }, parameters,
        *SystemInformation::gestance());
    MessagingInbound &inbound = *link.inbound;
    QSignalSpy privates(&inbound, &MessagingInbound::sigPrivareMessage);
    QSignalSpy groupMessages(&inbound, &MessagingInbound::sigGroupMessage);
    QSignalSpy unread(&inbound, &MessagingInbound::sigMessageUnreadNums);
    QSignalSpy privateReceipts(&inbound, &MessagingInbound::sigPrivareMessageStatusSelf);
    QSignalSpy groupReceipts(&inbound, &MessagingInbound::sigGroupMessageStatusSelf);
    QSignalSpy added(&inbound, &MessagingInbound::sigAddGroup);
    QSignalSpy deleted(&inbound, &MessagingInbound::sigEditGroupDelete);
    QSignalSpy online(&parameters, &ParameterInfor::sigOnlineUsersChange);
    inbound.bind(*link.socket);
    QVERIFY2(link.signIn(), qPrintable(link.server.output()));

    // The sign-in brings who is online and the unread counts, the groups' with their names.
    // The set changes on the network thread, its signal follows on the outbox's.
    QTRY_VERIFY_WITH_TIMEOUT(online.contains(QVariantList{QStringList{me}, 1}), longWait);
    QVERIFY(parameters.onlineUsers().contains(me));
    QTRY_VERIFY_WITH_TIMEOUT(unread.contains(QVariantList{demoGroup, 0, QStringLiteral("3"),
                                                          QStringLiteral("项目协调群")}),
                             longWait);

    // A private message: stored under its sender, one more unread in the list.
    const qint64 base = QDateTime::currentMSecsSinceEpoch() - 10000;
    const QJsonObject text{{QStringLiteral("msg_type"), QStringLiteral("text")},
                           {QStringLiteral("type"), QStringLiteral("user")}};
    QJsonObject message = text;
    message.insert(QStringLiteral("msg"), QStringLiteral("你好"));
    message.insert(QStringLiteral("to"), me);
    message.insert(QStringLiteral("msg_id"), double(base));
    link.clientEvent(peer, QStringLiteral("send message"), message);
    QVERIFY(privates.wait(longWait));
    QCOMPARE(privates.last().value(0).toString(), peer);
    QCOMPARE(object(privates.last().value(1).toString()).value(QLatin1String("msg")),
             QJsonValue(QStringLiteral("你好")));
    QCOMPARE(link.store.privateCount(peer), 1);
    QVERIFY(std::any_of(kept.cbegin(), kept.cend(), [](const KeptConversation &change) {
        return change.id == peer && change.oneMoreUnread && !change.group;
    }));

    // The user's message read by the other party: the receipt names the conversation.
    message.insert(QStringLiteral("to"), peer);
    message.insert(QStringLiteral("msg_id"), double(base + 1));
    link.clientEvent(me, QStringLiteral("send message"), message);
    link.clientEvent(peer, QStringLiteral("update havRead"),
                     QJsonObject{{QStringLiteral("from"), me},
                                 {QStringLiteral("to"), peer},
                                 {QStringLiteral("type"), QStringLiteral("user")},
                                 {QStringLiteral("msg_id"), double(base + 1)}});
    QVERIFY(privateReceipts.wait(longWait));
    QCOMPARE(privateReceipts.last(),
             (QVariantList{peer, qulonglong(base + 1), QStringLiteral("3")}));

    // In a group: the other party's message is stored; the echo of the user's own is a receipt.
    QJsonObject group{{QStringLiteral("msg_type"), QStringLiteral("text")},
                      {QStringLiteral("type"), QStringLiteral("personal_group")},
                      {QStringLiteral("group_id"), demoGroup},
                      {QStringLiteral("msg"), QStringLiteral("组消息")},
                      {QStringLiteral("msg_id"), double(base + 2)}};
    link.clientEvent(peer, QStringLiteral("send message"), group);
    QVERIFY(groupMessages.wait(longWait));
    QCOMPARE(groupMessages.last().mid(0, 2), (QVariantList{demoGroup, false}));
    QCOMPARE(link.store.groupCount(demoGroup), 1);
    group.insert(QStringLiteral("msg_id"), double(base + 3));
    link.clientEvent(me, QStringLiteral("send message"), group);
    QVERIFY(groupReceipts.wait(longWait));
    QCOMPARE(groupReceipts.last(), (QVariantList{demoGroup, qulonglong(base + 3), me}));
    QCOMPARE(link.store.groupCount(demoGroup), 1);
    QCOMPARE(groupMessages.size(), 1);

    // A group the other party makes with the user, and takes the user out of again.
    const QString id = QStringLiteral("3f1d2c4b-0000-4000-8000-00000000a001");
    link.clientEvent(peer, QStringLiteral("create group"),
                     QJsonObject{{QStringLiteral("id"), id},
                                 {QStringLiteral("name"), QStringLiteral("小组")},
                                 {QStringLiteral("members"), QJsonArray{me}}});
    QVERIFY(added.wait(longWait));
    QCOMPARE(added.last(), (QVariantList{id}));
    GroupEntry entry;
    QVERIFY(link.store.group(id, &entry));
    QCOMPARE(entry.members, (QStringList{me, peer}));
    link.clientEvent(peer, QStringLiteral("edit group"),
                     QJsonObject{{QStringLiteral("id"), id},
                                 {QStringLiteral("name"), QStringLiteral("小组")},
                                 {QStringLiteral("deleteArray"), QJsonArray{me}}});
    QVERIFY(deleted.wait(longWait));
    QVERIFY(!link.store.group(id, &entry));
    QVERIFY(kept.last().removed && kept.last().group && kept.last().id == id);

    // A system message for the user reaches the reminders.
    QStringList jumps;
    QObject context;
    connect(SystemInformation::gestance(), &SystemInformation::jumpWebpage, &context,
            [&jumps](const QString &ida) { jumps << ida; });
    link.server.hook(QStringLiteral("push-system"),
                     QJsonObject{{QStringLiteral("to"), me},
                                 {QStringLiteral("params"), QStringLiteral("{\"id\":31}")}});
    QTRY_COMPARE_WITH_TIMEOUT(jumps, QStringList{QStringLiteral("31")}, longWait);

    // Payloads of the wrong kind change nothing; an event without a handler is not taken.
    const int before = privates.size() + groupMessages.size() + added.size() + deleted.size();
    for (const QString &event : MessagingInbound::inboundEvents()) {
        for (const QJsonValue &payload :
             {QJsonValue(QStringLiteral("x")), QJsonValue(7), QJsonValue(QJsonObject())})
            QVERIFY(inbound.dispatch(event, QJsonArray{payload}));
    }
    QVERIFY(!inbound.dispatch(QStringLiteral("no such event"), QJsonArray{}));
    QVERIFY(link.server.roundTrip());
    QCOMPARE(privates.size() + groupMessages.size() + added.size() + deleted.size(), before);
    QCOMPARE(link.store.privateCount(peer), 1);
}

TARNEX_TEST_MAIN(TestMessagingParts)
#include "tst_messagingparts.moc"

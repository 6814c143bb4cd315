// The messaging engine against the reference server of both socket.io generations (the newer
// one also in its mode for Engine.IO 3 clients), with the official Node client as the other
// party: sign-in, refusal, time-out, drops and reconnection, private and group messages with
// their receipts, groups, online users, history, and input that must neither crash nor stall
// the connection.

#include "messaging/onlineinfor.h"
#include "messagingtestkit.h"
#include "reminders/systeminformation.h"
#include "testenvironment.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>

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

// What the other party says to the user.
QJsonArray partySend(const NodePeer &party, const QString &to, const QString &msg, qint64 id)
{
    return partyEmit(party, QStringLiteral("send message"),
                     {QJsonObject{{QStringLiteral("msg"), msg},
                                  {QStringLiteral("creator"), peer},
                                  {QStringLiteral("msg_type"), QStringLiteral("text")},
                                  {QStringLiteral("sendType"), QStringLiteral("sending")},
                                  {QStringLiteral("to"), to},
                                  {QStringLiteral("type"), QStringLiteral("user")},
                                  {QStringLiteral("send_time"), double(id)},
                                  {QStringLiteral("msg_id"), double(id)}}});
}

// Events the server logged from the user's connections.
QJsonArray received(const ReferenceServer &server, const QString &event)
{
    return server
        .hook(QStringLiteral("received"),
              QJsonObject{{QStringLiteral("user"), me}, {QStringLiteral("event"), event}})
        .value(QLatin1String("events"))
        .toArray();
}

} // namespace

// One server, the engine pointed at it as user 10001, and its signals.
struct Session
{
    Session() { clearOutbox(me); }
    ReferenceServer server;
    SocketHandl engine;
    SignalLog log{&engine};
};

#define START_SESSION(session, generation)                                                         \
    QVERIFY2(startServer((session).server, generation), qPrintable((session).server.output()));    \
    pointAt((session).server, (session).engine, me, generation)

#define START_PARTY(party, session, generation)                                                    \
    QVERIFY2(startParty(party, (session).server, generation, peer), qPrintable((party).output()))

class TestMessagingServer : public QObject
{
    Q_OBJECT
private slots:
    void loginAnswers_data();
    void loginAnswers();
    void dropAndReconnect_data() { generations(); }
    void dropAndReconnect();
    void loginTimeout_data() { generations(); }
    void loginTimeout();
    void privateConversation_data() { generations(); }
    void privateConversation();
    void groupConversation_data() { generations(); }
    void groupConversation();
    void groupManagement_data() { generations(); }
    void groupManagement();
    void onlineUsers_data() { generations(); }
    void onlineUsers();
    void historyAndLastRecords_data() { generations(); }
    void historyAndLastRecords();
    void refusedAndOversizedMessages_data() { generations(); }
    void refusedAndOversizedMessages();
    void hostileInput_data() { generations(); }
    void hostileInput();
    void leaveNotice_data() { generations(); }
    void leaveNotice();
};

void TestMessagingServer::loginAnswers_data()
{
    QTest::addColumn<Generation>("generation");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QJsonObject>("loginAck");
    QTest::addColumn<bool>("success");
    for (Generation generation : {Generation::V4, Generation::V4Eio3, Generation::V2}) {
        const QByteArray name = generationName(generation).toUtf8();
        QTest::addRow("%s: known user", name.constData())
            << generation << me << QJsonObject() << true;
        QTest::addRow("%s: unknown user", name.constData())
            << generation << QStringLiteral("99999") << QJsonObject() << false;
        QTest::addRow("%s: other answer", name.constData())
            << generation << me
            << QJsonObject{{QStringLiteral("mode"), QStringLiteral("value")},
                           {QStringLiteral("value"), QStringLiteral("fail")}}
            << false;
        QTest::addRow("%s: empty answer", name.constData())
            << generation << me << QJsonObject{{QStringLiteral("mode"), QStringLiteral("empty")}}
            << false;
    }
}

void TestMessagingServer::loginAnswers()
{
    QFETCH(Generation, generation);
    QFETCH(QString, user);
    QFETCH(QJsonObject, loginAck);
    QFETCH(bool, success);
    Session s;
    START_SESSION(s, generation);
    s.engine.setLoginIdentity(user, QStringLiteral("技术研发部"), QStringLiteral("部门经理"));
    if (!loginAck.isEmpty())
        QVERIFY(s.server.hook(QStringLiteral("login-ack"), loginAck)
                    .value(QLatin1String("ok"))
                    .toBool());

    s.engine.connectServer();
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigConnectServer")), 1, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigConnectServer")), (QVariantList{success}));
    QCOMPARE(s.log.all(QStringLiteral("sigNetworkdisconnect")), (QList<QVariantList>{{true}}));
    QCOMPARE(s.log.count(QStringLiteral("sigReconnectInfor")), 0);
    if (success) {
        QCOMPARE(s.log.count(QStringLiteral("sigLoginStatus")), 0);
        // The identity travelled in the query: the service knows who signed in.
        const QJsonArray logins = received(s.server, QStringLiteral("login"));
        QCOMPARE(logins.size(), 1);
        QCOMPARE(logins.first().toObject().value(QLatin1String("args")).toArray().first(),
                 QJsonValue(QStringLiteral("success")));
    } else {
        QTRY_COMPARE(s.log.count(QStringLiteral("sigLoginStatus")), 1);
        QCOMPARE(s.log.last(QStringLiteral("sigLoginStatus")),
                 (QVariantList{false, 1, QStringLiteral("连接服务器失败")}));
    }
}

void TestMessagingServer::dropAndReconnect()
{
    QFETCH(Generation, generation);
    Session s;
    START_SESSION(s, generation);
    MESSAGING_SIGN_IN(s.engine, s.log);
    s.engine.sendPrivateInfor(peer, QStringLiteral("before the drop"), QString());

    QVERIFY(
        s.server.hook(QStringLiteral("drop-connections")).value(QLatin1String("dropped")).toInt() >=
        1);
    QTRY_COMPARE_WITH_TIMEOUT(s.log.all(QStringLiteral("sigNetworkdisconnect")).size(), 2,
                              longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigNetworkdisconnect")), (QVariantList{false}));
    // Five seconds later the engine is back and signed in, and says so once.
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigConnectServer")), 2, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigConnectServer")), (QVariantList{true}));
    QTRY_COMPARE(s.log.count(QStringLiteral("sigReconnectInfor")), 1);
    QCOMPARE(s.log.last(QStringLiteral("sigNetworkdisconnect")), (QVariantList{true}));
    QCOMPARE(received(s.server, QStringLiteral("login")).size(), 2);
    // Each generation keeps its protocol across the reconnection.
    QCOMPARE(engineVersionOf(s.server, me), generation == Generation::V4 ? 4 : 3);
    // The stores survive the reconnection.
    QCOMPARE(s.engine.getPrivateIdFromInfors(peer).size(), 1);
}

void TestMessagingServer::loginTimeout()
{
    QFETCH(Generation, generation);
    Session s;
    START_SESSION(s, generation);
    // A shorter limit than the 19 s of the program, and a quick retry.
    s.engine.setTimings(3000, 500, SocketHandl::ackTimeoutMs);
    s.server.hook(QStringLiteral("login-ack"),
                  QJsonObject{{QStringLiteral("mode"), QStringLiteral("silent")}});
    s.engine.connectServer();
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigLoginStatus")), 1, 3000 + longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigLoginStatus")),
             (QVariantList{false, 1, QStringLiteral("连接服务器失败")}));
    QCOMPARE(s.log.count(QStringLiteral("sigConnectServer")), 0);
    // The link that never signed in is closed and tried again, until the service answers.
    QCOMPARE(s.log.all(QStringLiteral("sigNetworkdisconnect")),
             (QList<QVariantList>{{true}, {false}}));
    s.server.hook(QStringLiteral("login-ack"),
                  QJsonObject{{QStringLiteral("mode"), QStringLiteral("normal")}});
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigConnectServer")), 1, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigConnectServer")), (QVariantList{true}));
    QVERIFY(received(s.server, QStringLiteral("login")).size() >= 2);
}

void TestMessagingServer::privateConversation()
{
    QFETCH(Generation, generation);
    Session s;
    START_SESSION(s, generation);
    MESSAGING_SIGN_IN(s.engine, s.log);
    NodePeer party;
    START_PARTY(party, s, generation);

    // In: stored under the sender, shown as read.
    const qint64 incoming = QDateTime::currentMSecsSinceEpoch() - 1000;
    QCOMPARE(partySend(party, me, QStringLiteral("你好 😀"), incoming)
                 .first()
                 .toObject()
                 .value(QLatin1String("to"))
                 .toString(),
             me);
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigPrivareMessage")), 1, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigPrivareMessage")).value(0).toString(), peer);
    const QJsonObject in =
        object(s.log.last(QStringLiteral("sigPrivareMessage")).value(1).toString());
    QCOMPARE(in.value(QLatin1String("msg")).toString(), QStringLiteral("你好 😀"));
    QCOMPARE(in.value(QLatin1String("msg_id")).toString(), QString::number(incoming));

    // Out: the party gets it, the acknowledgement marks it delivered.
    const QString id = s.engine.sendPrivateInfor(peer, QStringLiteral("回复 \"ok\""), QString());
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("private message")).size(), 1,
                              longWait);
    const QJsonObject out = partyEvents(party, QStringLiteral("private message"))
                                .first()
                                .toObject()
                                .value(QLatin1String("args"))
                                .toArray()
                                .first()
                                .toObject();
    QCOMPARE(out.value(QLatin1String("msg")).toString(), QStringLiteral("回复 \"ok\""));
    QCOMPARE(QString::number(qint64(out.value(QLatin1String("msg_id")).toDouble())), id);
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigPrivareMessageStatus")), 1, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigPrivareMessageStatus")),
             (QVariantList{peer, id.toULongLong(), QStringLiteral("2")}));

    // The party reads up to a mark ahead of the clock; the receipt names the message.
    partyEmit(party, QStringLiteral("update havRead"),
              {QJsonObject{{QStringLiteral("from"), me},
                           {QStringLiteral("to"), peer},
                           {QStringLiteral("type"), QStringLiteral("user")},
                           {QStringLiteral("msg_id"), double(id.toULongLong() + 100000)}}});
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigPrivareMessageStatus")), 2, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigPrivareMessageStatus")),
             (QVariantList{peer, id.toULongLong(), QStringLiteral("3")}));
    const QStringList texts = s.engine.getPrivateIdFromInfors(peer);
    QCOMPARE(texts.size(), 2);
    QCOMPARE(object(texts.last()).value(QLatin1String("sendStatus")).toString(),
             QStringLiteral("3"));

    // The user reads: the party learns up to which of its messages.
    s.engine.setPrivateAlreadyRead(peer, QStringLiteral("ignored"));
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("update record")).size(), 1,
                              longWait);
    const QJsonObject receipt = partyEvents(party, QStringLiteral("update record"))
                                    .first()
                                    .toObject()
                                    .value(QLatin1String("args"))
                                    .toArray()
                                    .first()
                                    .toObject();
    QCOMPARE(qint64(receipt.value(QLatin1String("msg_id")).toDouble()), incoming);
    QCOMPARE(receipt.value(QLatin1String("to")).toString(), me);
}

void TestMessagingServer::groupConversation()
{
    QFETCH(Generation, generation);
    Session s;
    START_SESSION(s, generation);
    MESSAGING_SIGN_IN(s.engine, s.log);
    NodePeer party;
    START_PARTY(party, s, generation);

    s.engine.getGroupInfors();
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigGetGroupInfor")), 1, longWait);
    QCOMPARE(s.log.count(QStringLiteral("sigGroupInforChange")), 1);
    QVERIFY(s.engine.getGroupIds().contains(demoGroup));
    QCOMPARE(s.engine.getGroupMemberFromId(demoGroup).size(), 4);

    const QString id = s.engine.sendGroupInfor(demoGroup, QStringLiteral("大家好"),
                                               QStringLiteral("张伟"), QString());
    QCOMPARE(s.log.last(QStringLiteral("sigGroupMessage")).mid(0, 2),
             (QVariantList{demoGroup, true}));
    // The service's echo marks it delivered; the party gets it with the group's details.
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigGroupMessageStatus")), 1, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigGroupMessageStatus")),
             (QVariantList{demoGroup, id.toULongLong(), me, QStringLiteral("2")}));
    QCOMPARE(s.log.count(QStringLiteral("sigGroupMessage")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("group message")).size(), 1,
                              longWait);
    const QJsonObject out = partyEvents(party, QStringLiteral("group message"))
                                .first()
                                .toObject()
                                .value(QLatin1String("args"))
                                .toArray()
                                .first()
                                .toObject();
    QCOMPARE(out.value(QLatin1String("fromDetail"))
                 .toObject()
                 .value(QLatin1String("user_name"))
                 .toString(),
             QStringLiteral("张伟"));

    // The party reads the group: one member less has not read it.
    partyEmit(party, QStringLiteral("update havRead"),
              {QJsonObject{{QStringLiteral("group_id"), demoGroup},
                           {QStringLiteral("userId"), peer},
                           {QStringLiteral("type"), QStringLiteral("personal_group")},
                           {QStringLiteral("msg_id"), double(id.toULongLong() + 100000)}}});
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigGroupMessageStatus")), 2, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigGroupMessageStatus")),
             (QVariantList{demoGroup, id.toULongLong(), peer, QStringLiteral("3")}));
    const QJsonObject stored = object(s.engine.getGroupIdFromInfors(demoGroup).last());
    QCOMPARE(stored.value(QLatin1String("unread")).toString(), QStringLiteral("3"));
    QCOMPARE(stored.value(QLatin1String("sendStatus")).toString(), QStringLiteral("3"));

    // The party writes to the group.
    const qint64 incoming = id.toLongLong() + 5;
    partyEmit(party, QStringLiteral("send message"),
              {QJsonObject{{QStringLiteral("msg"), QStringLiteral("收到")},
                           {QStringLiteral("creator"), peer},
                           {QStringLiteral("msg_type"), QStringLiteral("text")},
                           {QStringLiteral("group_id"), demoGroup},
                           {QStringLiteral("type"), QStringLiteral("personal_group")},
                           {QStringLiteral("send_time"), double(incoming)},
                           {QStringLiteral("msg_id"), double(incoming)}}});
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigGroupMessage")), 2, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigGroupMessage")).mid(0, 2),
             (QVariantList{demoGroup, false}));
    const QJsonObject in =
        object(s.log.last(QStringLiteral("sigGroupMessage")).value(2).toString());
    QCOMPARE(in.value(QLatin1String("user_name")).toString(), QStringLiteral("李娜"));
    QCOMPARE(in.value(QLatin1String("group_name")).toString(), QStringLiteral("项目协调群"));
    QCOMPARE(s.engine.getGroupIdFromInfors(demoGroup).size(), 2);
}

void TestMessagingServer::groupManagement()
{
    QFETCH(Generation, generation);
    Session s;
    START_SESSION(s, generation);
    MESSAGING_SIGN_IN(s.engine, s.log);
    NodePeer party;
    START_PARTY(party, s, generation);

    s.engine.creatNewGroup(QStringLiteral("10002,10003"), QStringLiteral("新项目"));
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigAddGroup")), 1, longWait);
    const QString id = s.log.last(QStringLiteral("sigAddGroup")).value(0).toString();
    QVERIFY(!id.contains(QLatin1Char('{')));
    QCOMPARE(s.engine.getGroupInforFromId(id, QStringLiteral("name")), QStringLiteral("新项目"));
    QCOMPARE(s.engine.getGroupInforFromId(id, QStringLiteral("creator")), me);
    QCOMPARE(s.engine.getGroupInforFromId(id, QStringLiteral("members")),
             QStringLiteral("10002;10003;10001"));
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("add group")).size(), 1, longWait);

    s.engine.groupAddNewMember(id, QStringLiteral("新项目"), QStringLiteral("10002,10003,10001"),
                               QStringLiteral("10004"));
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigEditGroupCB")), 1, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigEditGroupCB")), (QVariantList{id, true, QString()}));
    QCOMPARE(s.engine.getGroupMemberFromId(id).size(), 4);
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("edit groupCB")).size(), 1,
                              longWait);

    s.engine.groupDeleteNewMember(id, QStringLiteral("新项目"),
                                  QStringLiteral("10002,10003,10001,10004"),
                                  QStringLiteral("10003"));
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigEditGroupCB")), 2, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigEditGroupCB")),
             (QVariantList{id, false, QStringLiteral("10003")}));
    QVERIFY(!s.engine.getGroupMemberFromId(id).contains(QStringLiteral("10003")));

    // The party leaves; everyone else sees it.
    partyEmit(party, QStringLiteral("edit group"),
              {QJsonObject{{QStringLiteral("id"), id},
                           {QStringLiteral("name"), QStringLiteral("新项目")},
                           {QStringLiteral("members"), QString()},
                           {QStringLiteral("addArray"), QJsonArray()},
                           {QStringLiteral("deleteArray"), QJsonArray{peer}}}});
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigEditGroupCB")), 3, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigEditGroupCB")), (QVariantList{id, false, peer}));
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("edit groupDelete")).size(), 1,
                              longWait);

    // The user leaves: only the user is taken out.
    s.engine.exitGroup(id);
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigEditGroupDelete")), 1, longWait);
    QVERIFY(!s.engine.getGroupIds().contains(id));
    const QJsonArray groups =
        s.server.hook(QStringLiteral("messaging-state")).value(QLatin1String("groups")).toArray();
    bool remains = false;
    for (const QJsonValue &group : groups) {
        if (group.toObject().value(QLatin1String("id")).toString() == id) {
            remains = true;
            QCOMPARE(group.toObject().value(QLatin1String("members")).toString(),
                     QStringLiteral("10004"));
        }
    }
    QVERIFY(remains);

    // A group the user created and deletes goes for every member.
    const int added = partyEvents(party, QStringLiteral("add group")).size();
    s.engine.creatNewGroup(peer, QStringLiteral("临时"));
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigAddGroup")), 2, longWait);
    const QString second = s.log.last(QStringLiteral("sigAddGroup")).value(0).toString();
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("add group")).size(), added + 1,
                              longWait);
    s.engine.deleteGroup(second);
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigEditGroupDelete")), 2, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigEditGroupDelete")), (QVariantList{second}));
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("edit groupDelete")).size(), 2,
                              longWait);
}

void TestMessagingServer::onlineUsers()
{
    QFETCH(Generation, generation);
    Session s;
    START_SESSION(s, generation);
    OnlineInfor online;
    QSignalSpy changes(&online, &OnlineInfor::sigOnlineUsersChange);
    MESSAGING_SIGN_IN(s.engine, s.log);
    QTRY_VERIFY_WITH_TIMEOUT(online.getOnlineUsers(me), longWait);

    NodePeer party;
    START_PARTY(party, s, generation);
    QTRY_VERIFY_WITH_TIMEOUT(online.getOnlineUsers(peer), longWait);
    QTRY_VERIFY(changes.contains(QVariantList{QStringList{peer}, true}));

    party.control(QStringLiteral("close"));
    QTRY_VERIFY_WITH_TIMEOUT(!online.getOnlineUsers(peer), longWait);
    QTRY_VERIFY(changes.contains(QVariantList{QStringList{peer}, false}));
    QVERIFY(online.getOnlineUsers(me));
}

void TestMessagingServer::historyAndLastRecords()
{
    QFETCH(Generation, generation);
    Session s;
    START_SESSION(s, generation);
    MESSAGING_SIGN_IN(s.engine, s.log);
    NodePeer party;
    START_PARTY(party, s, generation);

    const qint64 base = QDateTime::currentMSecsSinceEpoch() - 10000;
    const QStringList bodies{QStringLiteral("apple"), QStringLiteral("banana"),
                             QStringLiteral("apple pie, warm")};
    for (int i = 0; i < bodies.size(); ++i)
        partySend(party, me, bodies.at(i), base + i);
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigPrivareMessage")), 3, longWait);
    const QString mine = s.engine.sendPrivateInfor(peer, QStringLiteral("mine"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigPrivareMessageStatus")), 1, longWait);

    // A text search fills the history store, replacing what it held.
    s.engine.getUserHistoryLength(peer, 10, QString(), QStringLiteral("2"), QStringLiteral("APPLE"),
                                  1);
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigHistoryGetRecord")), 1, longWait);
    QStringList texts = s.engine.getHistoryPrivateIdFromInfors(peer);
    QCOMPARE(texts.size(), 2);
    QCOMPARE(object(texts.last()).value(QLatin1String("msg")).toString(), bodies.last());
    s.engine.getUserHistoryLength(peer, 10, QDate::currentDate().toString(Qt::ISODate),
                                  QStringLiteral("2"), QString(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigHistoryGetRecord")), 2, longWait);
    texts = s.engine.getHistoryPrivateIdFromInfors(peer);
    QCOMPARE(texts.size(), 4);
    // The user's own message, not yet read by the party, is not shown as read.
    QCOMPARE(object(texts.last()).value(QLatin1String("sendStatus")).toString(),
             QStringLiteral("2"));
    QCOMPARE(object(texts.first()).value(QLatin1String("sendStatus")).toString(),
             QStringLiteral("3"));

    // A record request adds to the live store without duplicates.
    s.engine.getRecord(peer, QStringLiteral("2"), 10);
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigGetRecord")), 1, longWait);
    QCOMPARE(s.engine.getPrivateIdFromInfors(peer).size(), 4);

    // Group records carry who has read how far.
    s.engine.getGroupInfors();
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigGetGroupInfor")), 1, longWait);
    const QString gid = s.engine.sendGroupInfor(demoGroup, QStringLiteral("组消息"),
                                                QStringLiteral("张伟"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigGroupMessageStatus")), 1, longWait);
    partyEmit(party, QStringLiteral("update havRead"),
              {QJsonObject{{QStringLiteral("group_id"), demoGroup},
                           {QStringLiteral("userId"), peer},
                           {QStringLiteral("type"), QStringLiteral("personal_group")},
                           {QStringLiteral("msg_id"), double(gid.toULongLong())}}});
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigGroupMessageStatus")), 2, longWait);
    s.engine.getUserHistoryLength(demoGroup, 10, QString(), QStringLiteral("3"), QString(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigHistoryGetRecord")), 3, longWait);
    const QStringList groupTexts = s.engine.getHistoryGroupIdFromInfors(demoGroup);
    QCOMPARE(groupTexts.size(), 1);
    QCOMPARE(object(groupTexts.first()).value(QLatin1String("unread")).toString(),
             QStringLiteral("3"));
    QVERIFY(s.engine.getHistoryPrivateIdFromInfors(peer).isEmpty());

    // Last records: the time follows the last comma of the content.
    s.engine.getLastrecord(
        QStringLiteral(R"([{"id":"10002","types":"2"},{"id":"%1","types":"3"}])").arg(demoGroup));
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigSendLastMessageInfor")), 2, longWait);
    for (const QVariantList &last : s.log.all(QStringLiteral("sigSendLastMessageInfor"))) {
        if (last.value(0).toString() == peer) {
            QCOMPARE(last.mid(1, 2), (QVariantList{QStringLiteral("mine"), QStringLiteral("2")}));
            QCOMPARE(last.value(3).toString(), QDateTime::fromMSecsSinceEpoch(mine.toLongLong())
                                                   .toString(QStringLiteral(" hh:mm")));
        } else {
            QCOMPARE(last.mid(0, 3),
                     (QVariantList{demoGroup, QStringLiteral("组消息"), QStringLiteral("3")}));
        }
    }

    // Unread counts on request.
    s.log.clear();
    s.engine.getOutlineRecordLength();
    QTRY_VERIFY_WITH_TIMEOUT(s.log.count(QStringLiteral("sigMessageUnreadNums")) >= 3, longWait);
    bool privateCount = false;
    for (const QVariantList &count : s.log.all(QStringLiteral("sigMessageUnreadNums"))) {
        if (count.value(2).toString() == QLatin1String("2")) {
            privateCount = true;
            QCOMPARE(count.mid(0, 2), (QVariantList{peer, 3}));
        }
    }
    QVERIFY(privateCount);
}

void TestMessagingServer::refusedAndOversizedMessages()
{
    QFETCH(Generation, generation);
    Session s;
    START_SESSION(s, generation);
    MESSAGING_SIGN_IN(s.engine, s.log);

    // Refused by the service: shown failed and reported with the service's reason.
    const QString refused =
        s.engine.sendPrivateInfor(QStringLiteral("99999"), QStringLiteral("nobody"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigSendMessageFail")), 1, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigSendMessageFail")),
             (QVariantList{QStringLiteral("99999"), refused, QStringLiteral("2"),
                           QStringLiteral("接收人不存在")}));
    QCOMPARE(s.engine.getMessageStatus(QStringLiteral("99999"), QStringLiteral("2"), refused),
             QStringLiteral("4"));
    QCOMPARE(s.log.count(QStringLiteral("sigPrivareMessageStatus")), 0);

    // Too large: reported at once, never sent, and the connection carries on.
    const QString huge(800000, QChar(0x6d88));
    const QString oversized = s.engine.sendPrivateInfor(peer, huge, QString());
    QCOMPARE(s.log.last(QStringLiteral("sigSendMessageFail")).value(1).toString(), oversized);
    const QString after = s.engine.sendPrivateInfor(peer, QStringLiteral("after"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigPrivareMessageStatus")), 1, longWait);
    QCOMPARE(s.log.last(QStringLiteral("sigPrivareMessageStatus")).value(1).toULongLong(),
             after.toULongLong());
    QCOMPARE(s.log.all(QStringLiteral("sigNetworkdisconnect")).size(), 1);
}

void TestMessagingServer::hostileInput()
{
    QFETCH(Generation, generation);
    Session s;
    START_SESSION(s, generation);
    MESSAGING_SIGN_IN(s.engine, s.log);
    s.log.clear();

    // Payloads of the wrong kind for every event, and an acknowledgement nobody asked for:
    // ignored, and the connection stays.
    for (const QString &event : SocketHandl::inboundEvents()) {
        for (const QJsonValue &payload : {QJsonValue(QStringLiteral("x")), QJsonValue(7),
                                          QJsonValue(QJsonArray{1, 2}), QJsonValue()}) {
            s.server.hook(QStringLiteral("push"),
                          QJsonObject{{QStringLiteral("to"), me},
                                      {QStringLiteral("event"), event},
                                      {QStringLiteral("args"), QJsonArray{payload}}});
        }
    }
    s.server.hook(QStringLiteral("push"),
                  QJsonObject{{QStringLiteral("to"), me},
                              {QStringLiteral("raw"), QStringLiteral("3/client,999[\"x\"]")}});
    s.server.hook(QStringLiteral("push-system"),
                  QJsonObject{{QStringLiteral("to"), me},
                              {QStringLiteral("raw"), QStringLiteral("{not json")}});
    // The reminder store announces on the network thread: collected here, queued.
    QStringList jumps;
    QObject context;
    connect(SystemInformation::gestance(), &SystemInformation::jumpWebpage, &context,
            [&jumps](const QString &ida) { jumps << ida; });
    s.server.hook(QStringLiteral("push-system"),
                  QJsonObject{{QStringLiteral("to"), me},
                              {QStringLiteral("params"), QStringLiteral("{\"id\":31}")}});
    QTRY_COMPARE_WITH_TIMEOUT(jumps, QStringList{QStringLiteral("31")}, longWait);
    const QString id = s.engine.sendPrivateInfor(peer, QStringLiteral("still here"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigPrivareMessageStatus")), 1, longWait);
    QCOMPARE(s.log.names().count(QStringLiteral("sigPrivareMessage")), 1);
    QCOMPARE(s.log.count(QStringLiteral("sigNetworkdisconnect")), 0);
    QVERIFY(s.engine.getGroupIds().isEmpty());

    // A packet that does not parse breaks the connection; the engine comes back by itself.
    s.server.hook(
        QStringLiteral("push"),
        QJsonObject{{QStringLiteral("to"), me},
                    {QStringLiteral("raw"), QStringLiteral("2/client,[\"private message\",{")}});
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigReconnectInfor")), 1, longWait);
    s.engine.sendPrivateInfor(peer, QStringLiteral("back"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(s.log.count(QStringLiteral("sigPrivareMessageStatus")), 2, longWait);
    QCOMPARE(s.engine.getPrivateIdFromInfors(peer).size(), 2);
    Q_UNUSED(id)
}

void TestMessagingServer::leaveNotice()
{
    QFETCH(Generation, generation);
    Session s;
    START_SESSION(s, generation);
    MESSAGING_SIGN_IN(s.engine, s.log);
    s.engine.disConnectServer();
    QTRY_COMPARE_WITH_TIMEOUT(received(s.server, QStringLiteral("disconnect")).size(), 1, longWait);
    const QJsonObject notice = received(s.server, QStringLiteral("disconnect"))
                                   .first()
                                   .toObject()
                                   .value(QLatin1String("args"))
                                   .toArray()
                                   .first()
                                   .toObject();
    QCOMPARE(notice, (QJsonObject{{QStringLiteral("type"), QStringLiteral("socketClient")},
                                  {QStringLiteral("loginUserId"), me}}));
    QTRY_COMPARE_WITH_TIMEOUT(s.server.hook(QStringLiteral("online"))
                                  .value(QLatin1String("onlineUsers"))
                                  .toArray()
                                  .size(),
                              0, longWait);
    // No reconnection follows a leave: the user stays away until the next sign-in. Nothing of
    // the engine is scheduled any more, so nothing can bring it back.
    const auto scheduled = [&s] {
        const QList<QTimer *> timers = s.engine.findChildren<QTimer *>();
        return int(std::count_if(timers.cbegin(), timers.cend(),
                                 [](const QTimer *timer) { return timer->isActive(); }));
    };
    QTRY_COMPARE_WITH_TIMEOUT(scheduled(), 0, longWait);
    QCOMPARE(received(s.server, QStringLiteral("login")).size(), 1);
    MESSAGING_SIGN_IN(s.engine, s.log);
    QCOMPARE(received(s.server, QStringLiteral("login")).size(), 2);
}

TARNEX_TEST_MAIN(TestMessagingServer)
#include "tst_messagingserver.moc"

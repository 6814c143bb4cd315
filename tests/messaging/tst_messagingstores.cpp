// The messaging engine without a network: message ids, the service address, the message texts,
// the stores as inbound events and sends change them, and payloads of the wrong kind or shape.

#include "handoff.h"
#include "messaging/conversationstore.h"
#include "messaging/messageclock.h"
#include "messaging/messagejson.h"
#include "messaging/messagepayloads.h"
#include "messaging/messagingaddress.h"
#include "messaging/onlineinfor.h"
#include "messaging/socketstate.h"
#include "messagingtestkit.h"
#include "reminders/systeminformation.h"
#include "testenvironment.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>

#include <QtTest>
#include <atomic>
#include <memory>

using namespace messagingtest;

namespace {

const QString me = QStringLiteral("10001");
const QString peer = QStringLiteral("10002");
const QString groupId = QStringLiteral("g-1");

QJsonObject privateMessage(qulonglong id, const QString &msg = QStringLiteral("你好"))
{
    return QJsonObject{{QStringLiteral("creator"), peer},
                       {QStringLiteral("download"), QString()},
                       {QStringLiteral("file_type"), QString()},
                       {QStringLiteral("haveread"), QStringLiteral("0")},
                       {QStringLiteral("msg"), msg},
                       {QStringLiteral("msg_id"), double(id)},
                       {QStringLiteral("msg_type"), QStringLiteral("text")},
                       {QStringLiteral("send_time"), double(id)},
                       {QStringLiteral("time"), double(id)},
                       {QStringLiteral("type"), QStringLiteral("user")}};
}

QJsonObject groupMessage(const QString &creator, qulonglong id)
{
    return QJsonObject{
        {QStringLiteral("creator"), creator},
        {QStringLiteral("group_id"), groupId},
        {QStringLiteral("msg"), QStringLiteral("大家好")},
        {QStringLiteral("msg_id"), double(id)},
        {QStringLiteral("msg_type"), QStringLiteral("text")},
        {QStringLiteral("send_time"), double(id)},
        {QStringLiteral("time"), double(id)},
        {QStringLiteral("type"), QStringLiteral("personal_group")},
        {QStringLiteral("fromDetail"),
         QJsonObject{{QStringLiteral("user_id"), creator}, {QStringLiteral("user_name"), creator}}},
        {QStringLiteral("info"),
         QJsonObject{{QStringLiteral("id"), groupId},
                     {QStringLiteral("name"), QStringLiteral("项目组")},
                     {QStringLiteral("group_member"), QStringLiteral("10001,10002,10003,10004")}}}};
}

QJsonObject object(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

QString field(const QString &text, const char *key)
{
    return object(text).value(QLatin1String(key)).toString();
}

} // namespace

class TestMessagingStores : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void messageIdsStrictlyIncrease();
    void serviceAddress_data();
    void serviceAddress();
    void messageTextLayout();
    void privateMessagesAndReceipts();
    void groupMessagesAndReceipts();
    void unreadCounts();
    void onlineUsers();
    void groupTable();
    void neighboursShareOnlyEqualTexts();
    void burstFromNetworkThreadKeepsOrder();
    void localEventLoopInSlotKeepsOrder();
    void longBurstReachesEngineThreadWhileArriving();
    void systemMessages_data();
    void systemMessages();
    void wrongKindIgnored_data();
    void wrongKindIgnored();
    void hostileFields_data();
    void hostileFields();
    void sendingStoresAndShows();
    void tooLargeMessageReported();
    void requestPayloads_data();
    void requestPayloads();
    void facadeForwards();

private:
    SocketHandl *m_engine = nullptr;
    SignalLog *m_log = nullptr;
};

void TestMessagingStores::init()
{
    clearOutbox(me);
    m_engine = new SocketHandl;
    m_engine->setLoginIdentity(me, QStringLiteral("研发部"), QStringLiteral("经理"));
    m_log = new SignalLog(m_engine);
    ParameterInfor::instance()->subtractOnline(ParameterInfor::instance()->onlineUsers());
}

void TestMessagingStores::cleanup()
{
    delete m_log;
    delete m_engine;
}

void TestMessagingStores::messageIdsStrictlyIncrease()
{
    MessageClock clock;
    clock.setServerClock(5000, 1000);
    QCOMPARE(clock.synchronisedNow(1200), qint64(5200));
    // Several ids in one millisecond, and a server clock set back: never a repeat.
    QCOMPARE(clock.nextMessageId(1200), qulonglong(5200));
    QCOMPARE(clock.nextMessageId(1200), qulonglong(5201));
    QCOMPARE(clock.nextMessageId(1201), qulonglong(5202));
    clock.setServerClock(3000, 1300);
    QCOMPARE(clock.nextMessageId(1300), qulonglong(5203));
    QCOMPARE(clock.nextMessageId(4000), qulonglong(5700));
    // The read mark runs ahead: twice the elapsed time.
    QCOMPARE(clock.readMark(1400), qint64(3200));

    // Sent in a burst, every message keeps its own record.
    QStringList ids;
    for (int i = 0; i < 50; ++i)
        ids << m_engine->sendPrivateInfor(peer, QString::number(i), QString());
    QCOMPARE(QSet<QString>(ids.cbegin(), ids.cend()).size(), 50);
    QCOMPARE(m_engine->getPrivateIdFromInfors(peer).size(), 50);
    QCOMPARE(m_engine->currentMessageId(), ids.last());
}

void TestMessagingStores::serviceAddress_data()
{
    QTest::addColumn<QString>("serverIp");
    QTest::addColumn<QString>("imHost");
    QTest::addColumn<QString>("imPort");
    QTest::addColumn<QString>("imPortHttps");
    QTest::addColumn<QString>("url");
    QTest::newRow("https address, port ignored, encrypted") << "https://oa.example.com:8443"
                                                            << ""
                                                            << "3000"
                                                            << "3443"
                                                            << "wss://oa.example.com:3443";
    QTest::newRow("http address without port") << "http://oa.example.com"
                                               << ""
                                               << ""
                                               << ""
                                               << "ws://oa.example.com:80";
    QTest::newRow("messaging host wins") << "http://oa.example.com:8080"
                                         << "http://im.example.com"
                                         << "3000"
                                         << ""
                                         << "ws://im.example.com:3000";
    QTest::newRow("upper-case scheme is not secure") << "HTTPS://oa.example.com"
                                                     << ""
                                                     << "3000"
                                                     << "3443"
                                                     << "ws://HTTPS:3000";
}

void TestMessagingStores::serviceAddress()
{
    QFETCH(QString, serverIp);
    QFETCH(QString, imHost);
    QFETCH(QString, imPort);
    QFETCH(QString, imPortHttps);
    QFETCH(QString, url);
    QCOMPARE(MessagingAddress::build(serverIp, imHost, imPort, imPortHttps), url);
}

void TestMessagingStores::messageTextLayout()
{
    MessageRecord record;
    record.creator = peer;
    record.download = MessageJson::readDownload(QJsonObject{
        {QStringLiteral("name"), QStringLiteral("年度 报告.pdf")}, {QStringLiteral("size"), 12}});
    record.msg = QStringLiteral("line\n\"quoted\"\ttab \\ \x01 😀");
    record.msgId = QStringLiteral("1700000000123");
    record.sendTime = QStringLiteral("1700000000123");
    record.sendStatus = QStringLiteral("3");
    const QString text = MessageJson::privateText(record);

    QVERIFY(!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\t')));
    QVERIFY(text.startsWith(QLatin1String("{    \"creator\": \"10002\",    \"download\": ")));
    QStringList order;
    for (const char *key : {"creator", "download", "file_type", "haveread", "msg", "msg_id",
                            "msg_type", "send_time", "time", "type", "sendStatus"})
        order << QLatin1String(key);
    int at = -1;
    for (const QString &key : order) {
        const int next = text.indexOf(QLatin1Char('"') + key + QLatin1String("\":"));
        QVERIFY2(next > at, qPrintable(key));
        at = next;
    }
    QJsonParseError error;
    const QJsonObject parsed = QJsonDocument::fromJson(text.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(parsed.value(QLatin1String("msg")).toString(), record.msg);
    // Spaces go from the whole descriptor, the file name's included.
    QCOMPARE(parsed.value(QLatin1String("download")).toString(),
             QStringLiteral("{\"name\":\"年度报告.pdf\",\"size\":12}"));
    QCOMPARE(parsed.value(QLatin1String("send_time")).toString(),
             QDateTime::fromMSecsSinceEpoch(1700000000123)
                 .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    QCOMPARE(parsed.size(), order.size());

    GroupMessageRecord group;
    group.creator = me;
    const QJsonObject groupParsed = object(MessageJson::groupText(group, true));
    QCOMPARE(groupParsed.value(QLatin1String("isSelf")), QJsonValue(true));
    QCOMPARE(groupParsed.size(), 15);
}

void TestMessagingStores::privateMessagesAndReceipts()
{
    QVERIFY(m_engine->dispatchInbound(QStringLiteral("private message"),
                                      {privateMessage(5, QStringLiteral("first"))}));
    QVERIFY(m_engine->dispatchInbound(QStringLiteral("private message"),
                                      {privateMessage(5, QStringLiteral("second"))}));
    QCOMPARE(m_log->count(QStringLiteral("sigPrivareMessage")), 2);
    QCOMPARE(m_log->last(QStringLiteral("sigPrivareMessage")).value(0).toString(), peer);
    QStringList texts = m_engine->getPrivateIdFromInfors(peer);
    QCOMPARE(texts.size(), 1);
    QCOMPARE(field(texts.first(), "msg"), QStringLiteral("second"));
    QCOMPARE(field(texts.first(), "sendStatus"), QStringLiteral("3"));

    // Own messages 3, 5 and 8 delivered ("2"), then read up to 5.
    const QString other = QStringLiteral("10003");
    for (qulonglong id : {8ULL, 3ULL, 5ULL})
        emit m_engine->sigPrivareMessageStatusSelf(other, id, QStringLiteral("2"));
    QTRY_COMPARE(m_log->count(QStringLiteral("sigPrivareMessageStatus")), 3);
    QVERIFY(m_engine->dispatchInbound(
        QStringLiteral("update record"),
        {QJsonObject{{QStringLiteral("to"), other}, {QStringLiteral("msg_id"), 5}}}));
    QTRY_COMPARE(m_log->count(QStringLiteral("sigPrivareMessageStatus")), 4);
    QCOMPARE(m_log->last(QStringLiteral("sigPrivareMessageStatus")),
             (QVariantList{other, 5ULL, QStringLiteral("3")}));
    texts = m_engine->getPrivateIdFromInfors(other);
    QCOMPARE(texts.size(), 3);
    QCOMPARE(field(texts.at(0), "sendStatus"), QStringLiteral("3"));
    QCOMPARE(field(texts.at(1), "sendStatus"), QStringLiteral("3"));
    QCOMPARE(field(texts.at(2), "sendStatus"), QStringLiteral("2"));
}

void TestMessagingStores::groupMessagesAndReceipts()
{
    QVERIFY(m_engine->dispatchInbound(QStringLiteral("group message"), {groupMessage(peer, 10)}));
    QCOMPARE(m_log->count(QStringLiteral("sigGroupMessage")), 1);
    QCOMPARE(m_log->last(QStringLiteral("sigGroupMessage")).mid(0, 2),
             (QVariantList{groupId, false}));
    const QJsonObject received =
        object(m_log->last(QStringLiteral("sigGroupMessage")).value(2).toString());
    QCOMPARE(received.value(QLatin1String("group_name")).toString(), QStringLiteral("项目组"));
    QCOMPARE(received.value(QLatin1String("user_name")).toString(), peer);

    // The service's echo of the user's own message is a delivery, not a new message.
    const QString id = m_engine->sendGroupInfor(groupId, QStringLiteral("mine"),
                                                QStringLiteral("张伟"), QString());
    QCOMPARE(m_log->count(QStringLiteral("sigGroupMessage")), 2);
    QCOMPARE(m_engine->getMessageStatus(groupId, QStringLiteral("3"), id), QStringLiteral("1"));
    QVERIFY(m_engine->dispatchInbound(QStringLiteral("group message"),
                                      {groupMessage(me, id.toULongLong())}));
    QCOMPARE(m_log->count(QStringLiteral("sigGroupMessage")), 2);
    // The echo also tells the outbox that the service has it.
    QCOMPARE(m_engine->outboxCount(), 0);
    QCOMPARE(m_log->last(QStringLiteral("sigMessageStatus")),
             (QVariantList{groupId, QStringLiteral("3"), id.toULongLong(), QStringLiteral("2")}));
    QTRY_COMPARE(m_log->count(QStringLiteral("sigGroupMessageStatus")), 1);
    QCOMPARE(m_log->last(QStringLiteral("sigGroupMessageStatus")),
             (QVariantList{groupId, id.toULongLong(), me, QStringLiteral("2")}));

    // The same reader twice counts once.
    const QJsonObject read{{QStringLiteral("group_id"), groupId},
                           {QStringLiteral("id"), QStringLiteral("10003")},
                           {QStringLiteral("msg_id"), 10}};
    m_engine->dispatchInbound(QStringLiteral("group updateRecordInfo"), {read});
    m_engine->dispatchInbound(QStringLiteral("group updateRecordInfo"), {read});
    QTRY_COMPARE(m_log->count(QStringLiteral("sigGroupMessageStatus")), 3);
    const QStringList texts = m_engine->getGroupIdFromInfors(groupId);
    QCOMPARE(texts.size(), 2);
    QCOMPARE(field(texts.first(), "unread"), QStringLiteral("3"));
    QCOMPARE(field(texts.first(), "sendStatus"), QStringLiteral("3"));
    QCOMPARE(field(texts.last(), "sendStatus"), QStringLiteral("2"));
    QCOMPARE(object(texts.last()).value(QLatin1String("isSelf")), QJsonValue(true));
}

void TestMessagingStores::unreadCounts()
{
    m_engine->dispatchInbound(QStringLiteral("send recordLength"),
                              {QJsonObject{{QStringLiteral("10002"), 0},
                                           {QStringLiteral("10003"), 4},
                                           {QStringLiteral("10004"), QStringLiteral("7")}}});
    QCOMPARE(m_log->all(QStringLiteral("sigMessageUnreadNums")),
             (QList<QVariantList>{{QStringLiteral("10003"), 4, QStringLiteral("2"), QString()}}));
    m_engine->dispatchInbound(
        QStringLiteral("send groupRecordLength"),
        {QJsonObject{{QStringLiteral("id"), groupId},
                     {QStringLiteral("info"),
                      QJsonObject{{QStringLiteral("name"), QStringLiteral("项目组")}}}}});
    QCOMPARE(m_log->last(QStringLiteral("sigMessageUnreadNums")),
             (QVariantList{groupId, -1, QStringLiteral("3"), QStringLiteral("项目组")}));
}

void TestMessagingStores::onlineUsers()
{
    OnlineInfor online;
    QSignalSpy changes(&online, &OnlineInfor::sigOnlineUsersChange);
    auto push = [this](const QStringList &ids) {
        m_engine->dispatchInbound(
            QStringLiteral("onlineUsers"),
            {QJsonObject{{QStringLiteral("onlineUsers"), QJsonArray::fromStringList(ids)}}});
    };
    push({QStringLiteral("a"), QStringLiteral("b")});
    QTRY_COMPARE(changes.count(), 1);
    QCOMPARE(changes.takeFirst(),
             (QVariantList{QStringList{QStringLiteral("a"), QStringLiteral("b")}, true}));
    push({QStringLiteral("a"), QStringLiteral("b")});
    // One came, one left; and one the documents had marked online that the list lacks.
    online.insertOnlineUsers(QStringLiteral("x"));
    QVERIFY(online.getOnlineUsers(QStringLiteral("x")));
    push({QStringLiteral("a"), QStringLiteral("c")});
    QTRY_COMPARE(changes.count(), 2);
    QCOMPARE(changes.at(0), (QVariantList{QStringList{QStringLiteral("c")}, true}));
    QCOMPARE(changes.at(1),
             (QVariantList{QStringList{QStringLiteral("b"), QStringLiteral("x")}, false}));
    QVERIFY(!online.getOnlineUsers(QStringLiteral("x")));
    QVERIFY(online.getOnlineUsers(QStringLiteral("c")));
}

void TestMessagingStores::neighboursShareOnlyEqualTexts()
{
    // A stored record may take its neighbour's copy of an equal text: each must still read as
    // it was given, where the texts differ, where only one is empty, and after a change.
    auto record = [](const QString &creator, const QString &download, const QString &time,
                     const QString &sendTime) {
        MessageRecord r;
        r.creator = creator;
        r.download = download;
        r.msgType = QStringLiteral("text");
        r.time = time;
        r.sendTime = sendTime;
        r.sendStatus = QStringLiteral("2");
        return r;
    };
    const QString a = QStringLiteral("10002");
    const QString b = QStringLiteral("10003");
    const QMap<qulonglong, MessageRecord> given{
        {5, record(a, QString(), QStringLiteral("5"), QStringLiteral("5"))},
        {3, record(a, QLatin1String(""), QStringLiteral("3"), QStringLiteral("2"))},
        {9, record(b, QStringLiteral("{}"), QStringLiteral("9"), QStringLiteral("9"))},
        {4, record(b, QString(), QString(), QLatin1String(""))},
        {1, record(a, QLatin1String(""), QStringLiteral("1"), QStringLiteral("1"))},
    };
    ConversationStore store;
    for (const qulonglong id : {5, 3, 9, 4, 1})
        store.insertPrivate(a, id, given.value(id));
    QVERIFY(store.setPrivateStatus(a, 4, QStringLiteral("4")));
    const ConversationStore::PrivateConversation stored = store.privateConversation(a);
    QCOMPARE(stored.keys(), given.keys());
    for (auto it = given.cbegin(); it != given.cend(); ++it) {
        const MessageRecord &r = stored.value(it.key());
        const QString status = it.key() == 4 ? QStringLiteral("4") : QStringLiteral("2");
        QCOMPARE(MessageJson::privateText(r),
                 MessageJson::privateText(record(it->creator, it->download, it->time, it->sendTime))
                     .replace(QStringLiteral("\"sendStatus\": \"2\""),
                              QStringLiteral("\"sendStatus\": \"%1\"").arg(status)));
        QCOMPARE(r.download.isNull(), it->download.isNull());
        QCOMPARE(r.time.isNull(), it->time.isNull());
        QCOMPARE(r.sendTime.isNull(), it->sendTime.isNull());
    }
}

void TestMessagingStores::groupTable()
{
    const QJsonObject group{{QStringLiteral("id"), groupId},
                            {QStringLiteral("creator"), me},
                            {QStringLiteral("name"), QStringLiteral("项目组")},
                            {QStringLiteral("create_time"), QStringLiteral("2024-03-04 09:12:30")},
                            {QStringLiteral("update_time"), QStringLiteral("2024-05-20 16:45:02")},
                            {QStringLiteral("members"), QStringLiteral("10001,10002")}};
    m_engine->dispatchInbound(QStringLiteral("add group"), {group});
    QCOMPARE(m_log->last(QStringLiteral("sigAddGroup")), (QVariantList{groupId}));
    QCOMPARE(m_engine->getGroupIds(), QStringList{groupId});
    QCOMPARE(m_engine->getGroupInforFromId(groupId, QStringLiteral("create_time")),
             QStringLiteral("2024-03-04 "));
    QCOMPARE(m_engine->getGroupInforFromId(groupId, QStringLiteral("members")),
             QStringLiteral("10001;10002"));
    QCOMPARE(m_engine->getGroupInforFromId(groupId, QStringLiteral("id")), QString());
    QCOMPARE(m_engine->getGroupInforFromId(QStringLiteral("nope"), QStringLiteral("name")),
             QString());

    m_engine->dispatchInbound(
        QStringLiteral("edit groupCB"),
        {QJsonObject{{QStringLiteral("id"), groupId},
                     {QStringLiteral("name"), QStringLiteral("新名字")},
                     {QStringLiteral("members"), QStringLiteral("10001,10003")},
                     {QStringLiteral("addArray"), QJsonArray{QStringLiteral("10003")}},
                     {QStringLiteral("deleteArray"), QJsonArray{QStringLiteral("10002")}}}});
    QCOMPARE(m_log->last(QStringLiteral("sigEditGroupCB")),
             (QVariantList{groupId, true, QStringLiteral("10002")}));
    QCOMPARE(m_engine->getGroupMemberFromId(groupId),
             (QStringList{QStringLiteral("10001"), QStringLiteral("10003")}));
    QCOMPARE(m_engine->getGroupInforFromId(groupId, QStringLiteral("name")),
             QStringLiteral("新名字"));

    m_engine->dispatchInbound(QStringLiteral("group message"), {groupMessage(peer, 7)});
    m_engine->dispatchInbound(QStringLiteral("edit groupDelete"),
                              {QJsonObject{{QStringLiteral("id"), groupId}}});
    QCOMPARE(m_log->last(QStringLiteral("sigEditGroupDelete")), (QVariantList{groupId}));
    QVERIFY(m_engine->getGroupIds().isEmpty());
    QVERIFY(m_engine->getGroupIdFromInfors(groupId).isEmpty());

    // Added to a group: times default to now.
    m_engine->dispatchInbound(QStringLiteral("edit groupAdd"),
                              {QJsonObject{{QStringLiteral("id"), QStringLiteral("g-2")},
                                           {QStringLiteral("members"), QStringLiteral("1,2")}}});
    QCOMPARE(
        m_engine->getGroupInforFromId(QStringLiteral("g-2"), QStringLiteral("update_time")).size(),
        19);
}

namespace {

// Lets the calling thread's event loop run what is due now: the engine's hand-over of what this
// thread posted (a zero timer created before this one).
void runDueEvents()
{
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

void TestMessagingStores::burstFromNetworkThreadKeepsOrder()
{
    // Group events, a group's messages, its deletion and private messages, as a network thread
    // with an event loop hands them over: every store change keeps the order of the events, so
    // a group deleted after a message to it stays deleted. (Data reaches the thread through its
    // start, which the thread checker sees, not through Qt's event queue, which it cannot.)
    constexpr int rounds = 150;
    SocketHandl *engine = m_engine;
    std::unique_ptr<QThread> network(QThread::create([engine]() {
        for (int i = 0; i < rounds; ++i) {
            const QString group = QStringLiteral("burst-%1").arg(i);
            engine->dispatchInbound(
                QStringLiteral("add group"),
                {QJsonObject{{QStringLiteral("id"), group},
                             {QStringLiteral("members"), me + QStringLiteral(",10002")}}});
            QJsonObject message = groupMessage(peer, qulonglong(i + 1));
            message.insert(QStringLiteral("group_id"), group);
            engine->dispatchInbound(QStringLiteral("group message"), {message});
            engine->dispatchInbound(QStringLiteral("edit groupDelete"),
                                    {QJsonObject{{QStringLiteral("id"), group}}});
            engine->dispatchInbound(QStringLiteral("private message"),
                                    {privateMessage(qulonglong(i + 1))});
            if (i % 50 == 49)
                runDueEvents();
        }
        runDueEvents();
    }));
    network->start();
    QTRY_COMPARE_WITH_TIMEOUT(m_log->count(QStringLiteral("sigPrivareMessage")), rounds, longWait);
    QVERIFY(network->wait(longWait));

    QVERIFY(m_engine->getGroupIds().isEmpty());
    for (int i = 0; i < rounds; ++i)
        QVERIFY2(m_engine->getGroupIdFromInfors(QStringLiteral("burst-%1").arg(i)).isEmpty(),
                 qPrintable(QString::number(i)));
    QStringList order = m_log->names();
    order.removeAll(QStringLiteral("sigGroupInforChange"));
    QStringList expected;
    for (int i = 0; i < rounds; ++i)
        expected << QStringLiteral("sigAddGroup") << QStringLiteral("sigGroupMessage")
                 << QStringLiteral("sigEditGroupDelete") << QStringLiteral("sigPrivareMessage");
    QCOMPARE(order, expected);
    const QList<QVariantList> messages = m_log->all(QStringLiteral("sigPrivareMessage"));
    for (int i = 0; i < rounds; ++i)
        QCOMPARE(field(messages.at(i).value(1).toString(), "msg_id"), QString::number(i + 1));
    QCOMPARE(m_engine->getPrivateIdFromInfors(peer).size(), rounds);
}

void TestMessagingStores::localEventLoopInSlotKeepsOrder()
{
    // A document's slot that waits in a local event loop (a synchronous lookup) while more
    // messages arrive: they are handed over after the rest of its batch, never inside the wait.
    SocketHandl *engine = m_engine;
    Handoff<QEventLoop *> waiting;
    auto arrive = [engine](qulonglong first, qulonglong last) {
        for (qulonglong id = first; id <= last; ++id)
            engine->dispatchInbound(QStringLiteral("private message"), {privateMessage(id)});
    };
    std::unique_ptr<QThread> network(QThread::create([arrive, &waiting]() {
        arrive(1, 2);
        runDueEvents();
        // Once the slot of message 1 waits, more arrives; then its wait ends (the quit is
        // queued after the hand-over of 3 to 10).
        QEventLoop *loop = waiting.waitFor(30000).value_or(nullptr);
        arrive(3, 10);
        runDueEvents();
        if (loop)
            QMetaObject::invokeMethod(loop, "quit", Qt::QueuedConnection);
    }));
    QStringList order;
    QObject receiver;
    connect(m_engine, &SocketHandl::sigPrivareMessage, &receiver,
            [&order, &waiting](const QString &, const QString &text) {
                const QString id = field(text, "msg_id");
                order << id;
                if (id != QLatin1String("1"))
                    return;
                QEventLoop loop;
                waiting.put(&loop);
                loop.exec();
            });
    network->start();
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 10, longWait);
    QVERIFY(network->wait(longWait));
    QStringList expected;
    for (int id = 1; id <= 10; ++id)
        expected << QString::number(id);
    QCOMPARE(order, expected);
}

void TestMessagingStores::longBurstReachesEngineThreadWhileArriving()
{
    // A network thread still working through one long batch of input: what it handed over so
    // far already reaches the engine's thread, so the two share the work of a burst instead of
    // taking turns (the order stays as it came).
    constexpr int first = 300;
    SocketHandl *engine = m_engine;
    Handoff<bool> delivered;
    std::atomic<bool> seenWhileBusy{false};
    std::unique_ptr<QThread> network(QThread::create([engine, &delivered, &seenWhileBusy]() {
        for (int id = 1; id <= first; ++id)
            engine->dispatchInbound(QStringLiteral("private message"),
                                    {privateMessage(qulonglong(id))});
        // Still inside the same batch: no return to this thread's event loop yet.
        seenWhileBusy = delivered.waitFor(10000).has_value();
        engine->dispatchInbound(QStringLiteral("private message"),
                                {privateMessage(qulonglong(first + 1))});
        runDueEvents();
    }));
    QStringList order;
    QObject receiver;
    connect(m_engine, &SocketHandl::sigPrivareMessage, &receiver,
            [&order, &delivered](const QString &, const QString &text) {
                order << field(text, "msg_id");
                delivered.put(true);
            });
    network->start();
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), first + 1, longWait);
    QVERIFY(network->wait(longWait));
    QVERIFY(seenWhileBusy.load());
    for (int i = 0; i < order.size(); ++i)
        QCOMPARE(order.at(i), QString::number(i + 1));
}

void TestMessagingStores::systemMessages_data()
{
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("ida");
    const QString base = QStringLiteral(
        R"({"recipients":%1,"content":"审批","params":%2,"send_time":"2024-05-01 10:00:00",)"
        R"("sms_menu":"notice","sms_type":"system","news_id":7})");
    QTest::newRow("recipient") << base.arg(R"(["10002","10001"])", R"("{\"id\":70}")") << "70";
    QTest::newRow("numeric recipient") << base.arg(R"([10001])", R"("a1b2")") << "12";
    QTest::newRow("params without digits") << base.arg(R"(["10001"])", R"("none")") << "0";
    QTest::newRow("huge id stays exact")
        << base.arg(R"(["10001"])", R"("123456789012345678901234567890")")
        << "123456789012345678901234567890";
    QTest::newRow("not a recipient") << base.arg(R"(["10002"])", R"("1")") << "";
    QTest::newRow("unreadable") << QStringLiteral("{\"recipients\":[\"10001\"") << "";
}

void TestMessagingStores::systemMessages()
{
    QFETCH(QString, payload);
    QFETCH(QString, ida);
    QSignalSpy jumps(SystemInformation::gestance(), &SystemInformation::jumpWebpage);
    QSignalSpy tips(SystemInformation::gestance(), &SystemInformation::messageTipInfors);
    m_engine->dispatchInbound(QStringLiteral("tarnex.system-message-channel"), {payload});
    QCOMPARE(jumps.count(), ida.isEmpty() ? 0 : 1);
    QCOMPARE(tips.count(), jumps.count());
    if (!ida.isEmpty()) {
        QCOMPARE(jumps.first().at(0).toString(), ida);
        QCOMPARE(jumps.first().at(2).toString(), QStringLiteral("notice"));
        QCOMPARE(tips.first().at(2).toString(), QStringLiteral("审批"));
    }
}

void TestMessagingStores::wrongKindIgnored_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QJsonArray>("args");
    for (const QString &event : SocketHandl::inboundEvents()) {
        const bool wantsText = event == QLatin1String("tarnex.system-message-channel");
        const QList<QPair<const char *, QJsonArray>> kinds{
            {"no argument", QJsonArray()},
            {"null", QJsonArray{QJsonValue()}},
            {"number", QJsonArray{42}},
            {"array", QJsonArray{QJsonArray{privateMessage(1)}}},
            {"text", QJsonArray{QStringLiteral("{\"creator\":\"10002\"}")}},
            {"object", QJsonArray{privateMessage(1)}}};
        for (const auto &kind : kinds) {
            const bool right =
                wantsText ? kind.second.first().isString() : kind.second.first().isObject();
            if (!right)
                QTest::addRow("%s / %s", qPrintable(event), kind.first) << event << kind.second;
        }
    }
}

void TestMessagingStores::wrongKindIgnored()
{
    QFETCH(QString, event);
    QFETCH(QJsonArray, args);
    QSignalSpy jumps(SystemInformation::gestance(), &SystemInformation::jumpWebpage);
    QVERIFY(m_engine->dispatchInbound(event, args));
    QCoreApplication::processEvents();
    QCOMPARE(m_log->names(), QStringList());
    QCOMPARE(jumps.count(), 0);
    QVERIFY(m_engine->getPrivateIdFromInfors(peer).isEmpty());
    QVERIFY(m_engine->getGroupIds().isEmpty());
    QVERIFY(ParameterInfor::instance()->onlineUsers().isEmpty());
}

void TestMessagingStores::hostileFields_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QByteArray>("json");
    const QByteArray huge(2 * 1024 * 1024, 'x');
    QByteArray deep;
    for (int i = 0; i < 500; ++i)
        deep += "{\"a\":";
    deep += "1";
    for (int i = 0; i < 500; ++i)
        deep += "}";
    QTest::newRow("ids of every kind")
        << "private message"
        << QByteArray(R"({"creator":"10002","msg_id":-5,"send_time":1e308,"time":"x",)"
                      R"("msg":{"a":1},"download":[1,2],"type":null})");
    QTest::newRow("huge text") << "private message"
                               << QByteArray(R"({"creator":"10002","msg_id":9,"msg":")") + huge +
                                      "\"}";
    QTest::newRow("deep nesting") << "private message"
                                  << QByteArray(R"({"creator":"10002","msg_id":9,"download":)") +
                                         deep + "}";
    QTest::newRow("invalid utf-8")
        << "private message"
        << QByteArray("{\"creator\":\"10002\",\"msg_id\":9,\"msg\":\"\xff"
                      "\xfe\xc3\x28\xed\xa0\x80\"}");
    QTest::newRow("lone surrogates") << "private message"
                                     << QByteArray(R"({"creator":"\ud800","msg_id":9,)"
                                                   R"("msg":"a\udc00b\ud83d"})");
    QTest::newRow("group fields of wrong kinds")
        << "group message"
        << QByteArray(R"({"creator":1,"group_id":["g"],"msg_id":"12a","fromDetail":"x",)"
                      R"("info":{"group_member":[1,null,{"x":1}]}})");
    QTest::newRow("counts out of range")
        << "send recordLength" << QByteArray(R"({"10002":1e300,"10003":-1e300,"":3})");
    QTest::newRow("group count out of range")
        << "send groupRecordLength" << QByteArray(R"({"id":"g","length":-1e300,"info":5})");
    QTest::newRow("online list of wrong kinds")
        << "onlineUsers" << QByteArray(R"({"onlineUsers":[1,null,"",["a"],"10002"]})");
    QTest::newRow("group without id") << "add group" << QByteArray(R"({"name":"x"})");
    QTest::newRow("members of wrong kind")
        << "edit groupCB" << QByteArray(R"({"id":"g","members":{"a":1},"addArray":"x,y"})");
    QTest::newRow("read mark of wrong kind")
        << "update record" << QByteArray(R"({"to":"10002","msg_id":{"n":1}})");
}

void TestMessagingStores::hostileFields()
{
    QFETCH(QString, event);
    QFETCH(QByteArray, json);
    // Text reaches the handlers decoded, bad bytes already replaced.
    const QJsonDocument document = QJsonDocument::fromJson(QString::fromUtf8(json).toUtf8());
    QVERIFY(document.isObject());
    QVERIFY(m_engine->dispatchInbound(event, {document.object()}));
    QCoreApplication::processEvents();
    // Whatever the fields held, every store still reads back as valid message texts.
    const QString creator = document.object().value(QLatin1String("creator")).toString();
    for (const QString &text : m_engine->getPrivateIdFromInfors(creator))
        QVERIFY(QJsonDocument::fromJson(text.toUtf8()).isObject());
    for (const QString &id : m_engine->getGroupIds())
        QVERIFY(!id.isEmpty());
    QVERIFY(!ParameterInfor::instance()->onlineUsers().contains(QString()));
}

void TestMessagingStores::sendingStoresAndShows()
{
    // A text message: stored and shown at once, pending until the service has it, and kept
    // in the outbox meanwhile.
    const QString text = m_engine->sendPrivateInfor(peer, QStringLiteral("hi"), QString());
    QCOMPARE(m_log->count(QStringLiteral("sigPrivareMessage")), 1);
    const QJsonObject shown =
        object(m_log->last(QStringLiteral("sigPrivareMessage")).value(1).toString());
    QCOMPARE(shown.value(QLatin1String("sendStatus")).toString(), QStringLiteral("1"));
    QCOMPARE(m_engine->getMessageStatus(peer, QStringLiteral("2"), text), QStringLiteral("1"));
    QCOMPARE(m_engine->outboxCount(), 1);
    QTRY_VERIFY(QFile::exists(SocketHandl::outboxPathFor(me)));
    QCOMPARE(shown.value(QLatin1String("msg_id")).toString(), text);
    QCOMPARE(shown.value(QLatin1String("creator")).toString(), me);

    // A file: shown when registered, stored (not shown again) when sent, and its local path
    // handed to the message-file store.
    FileAttachment file;
    file.size = 2048;
    const QString pending =
        m_engine->sendPrivateInfor(peer, QStringLiteral("a.pdf"), QString(), QStringLiteral("file"),
                                   QStringLiteral("pdf"), 3, false, file);
    QCOMPARE(m_log->count(QStringLiteral("sigPrivareMessage")), 2);
    QCOMPARE(m_engine->getPrivateIdFromInfors(peer).size(), 1);
    file.localPath = QStringLiteral("/tmp/a.pdf");
    file.id = QStringLiteral("att-9");
    const QString sent =
        m_engine->sendPrivateInfor(peer, QStringLiteral("a.pdf"), QString(), QStringLiteral("file"),
                                   QStringLiteral("pdf"), 3, true, file);
    QVERIFY(sent != pending);
    QCOMPARE(m_log->count(QStringLiteral("sigPrivareMessage")), 2);
    QCOMPARE(m_log->last(QStringLiteral("sigRecordMessageFile")),
             (QVariantList{peer, sent, QStringLiteral("/tmp/a.pdf")}));
    const QStringList texts = m_engine->getPrivateIdFromInfors(peer);
    QCOMPARE(texts.size(), 2);
    QCOMPARE(field(texts.last(), "download"), QStringLiteral("att-9"));
    QCOMPARE(field(texts.last(), "file_type"), QStringLiteral("pdf"));

    // A text after the file carries no attachment, and the next file's pending message does
    // not show the last one's.
    m_engine->sendPrivateInfor(peer, QStringLiteral("after"), QString());
    QCOMPARE(field(m_engine->getPrivateIdFromInfors(peer).last(), "download"), QString());
    m_engine->sendPrivateInfor(peer, QStringLiteral("b.pdf"), QString(), QStringLiteral("file"),
                               QStringLiteral("pdf"), 4, false, FileAttachment{QString(), 10, {}});
    QCOMPARE(
        field(m_log->last(QStringLiteral("sigPrivareMessage")).value(1).toString(), "download"),
        QString());
}

void TestMessagingStores::tooLargeMessageReported()
{
    const QString body(SocketHandl::maxFrameBytes / 3 + 1, QChar(0x4e2d)); // 3 bytes each
    // Shown as failed, at once; it never goes out, so it does not wait in the outbox.
    const QString id = m_engine->sendPrivateInfor(peer, body, QString());
    QCOMPARE(m_log->count(QStringLiteral("sigRemoveMessage")), 0);
    const QVariantList fail = m_log->last(QStringLiteral("sigSendMessageFail"));
    QCOMPARE(fail.mid(0, 3), (QVariantList{peer, id, QStringLiteral("2")}));
    QCOMPARE(fail.value(3).toString(), QStringLiteral("消息过大，未能发送"));
    QCOMPARE(m_log->last(QStringLiteral("sigMessageStatus")),
             (QVariantList{peer, QStringLiteral("2"), id.toULongLong(), QStringLiteral("4")}));
    QCOMPARE(field(m_engine->getPrivateIdFromInfors(peer).value(0), "sendStatus"),
             QStringLiteral("4"));
    QCOMPARE(m_engine->outboxCount(), 0);
    QVERIFY(!m_engine->retrySendMessage(peer, QStringLiteral("2"), id));

    const QString gid = m_engine->sendGroupInfor(groupId, body, QStringLiteral("张伟"), QString());
    QCOMPARE(m_log->last(QStringLiteral("sigSendMessageFail")).mid(0, 3),
             (QVariantList{groupId, gid, QStringLiteral("3")}));
    QCOMPARE(m_engine->getMessageStatus(groupId, QStringLiteral("3"), gid), QStringLiteral("4"));

    // Just below the limit waits for the link.
    m_log->clear();
    const QString fits = m_engine->sendPrivateInfor(
        peer, QString(SocketHandl::maxFrameBytes / 3 - 200, QChar(0x4e2d)), QString());
    QCOMPARE(m_log->count(QStringLiteral("sigSendMessageFail")), 0);
    QCOMPARE(m_engine->getMessageStatus(peer, QStringLiteral("2"), fits), QStringLiteral("1"));
    QCOMPARE(m_engine->outboxCount(), 1);
}

void TestMessagingStores::requestPayloads_data()
{
    QTest::addColumn<QString>("times");
    QTest::addColumn<QString>("chatTypes");
    QTest::addColumn<QString>("findConts");
    QTest::addColumn<int>("findTypes");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("expected");
    const QDateTime start(QDate(2024, 5, 1), QTime(0, 0, 0));
    const QString range = QString::number(start.toMSecsSinceEpoch()) + QLatin1Char(',') +
                          QString::number(start.toMSecsSinceEpoch() + 86399000);
    QTest::newRow("plain") << ""
                           << "2"
                           << "" << 1 << "get record"
                           << R"({"from":"10001","limit":10,"to":"p","type":"user"})";
    QTest::newRow("date") << "2024-05-01"
                          << "3"
                          << "" << 1 << "get record"
                          << QStringLiteral(R"({"getRecordType":"time","id":"p","keyword":"%1",)"
                                            R"("type":"personal_group"})")
                                 .arg(range);
    QTest::newRow("date and text") << "2024-05-01"
                                   << "2"
                                   << "a,b" << 1 << "get record"
                                   << QStringLiteral(R"({"from":"10001","getRecordType":"both",)"
                                                     R"("keyword":"%1_~a,b","to":"p",)"
                                                     R"("type":"user"})")
                                          .arg(range);
    QTest::newRow("text") << ""
                          << "2"
                          << "苹果" << 1 << "get record"
                          << R"({"from":"10001","getRecordType":"string","keyword":"苹果",)"
                             R"("to":"p","type":"user"})";
    QTest::newRow("unreadable date is none") << "May 1st"
                                             << "2"
                                             << "" << 1 << "get record"
                                             << R"({"from":"10001","limit":10,"to":"p",)"
                                                R"("type":"user"})";
    QTest::newRow("pictures") << ""
                              << "3"
                              << "" << 2 << "get imageRecord"
                              << R"({"fileType":"img","id":"p","type":"personal_group"})";
    QTest::newRow("files, no conversation") << ""
                                            << "1"
                                            << "" << 3 << "get imageRecord"
                                            << R"({"fileType":"file"})";
    QTest::newRow("unknown kind") << ""
                                  << "2"
                                  << "" << 4 << ""
                                  << "";
}

void TestMessagingStores::requestPayloads()
{
    QFETCH(QString, times);
    QFETCH(QString, chatTypes);
    QFETCH(QString, findConts);
    QFETCH(int, findTypes);
    QFETCH(QString, event);
    QFETCH(QString, expected);
    QString sentEvent;
    QJsonObject request;
    const bool sent = MessagePayloads::historyRequest(
        QStringLiteral("p"), 10, times, chatTypes, findConts, findTypes, me, &sentEvent, &request);
    QCOMPARE(sent, !event.isEmpty());
    QCOMPARE(sentEvent, event);
    if (sent)
        QCOMPARE(QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact)),
                 expected);

    QVERIFY(
        MessagePayloads::recordRequest(QStringLiteral("p"), QStringLiteral("1"), 10, me).isEmpty());
    QJsonArray last;
    QVERIFY(!MessagePayloads::lastRecordRequest(QStringLiteral("{\"id\":1}"), &last));
    QVERIFY(MessagePayloads::lastRecordRequest(
        QStringLiteral(R"([{"id":"a","types":"2"},{"id":"b","types":3},{"id":"c","types":"9"}])"),
        &last));
    QCOMPARE(QString::fromUtf8(QJsonDocument(last).toJson(QJsonDocument::Compact)),
             QStringLiteral(R"([{"id":"a","type":"user"},{"id":"b","type":"personal_group"}])"));
}

void TestMessagingStores::facadeForwards()
{
    // The documents' object re-emits the process engine's signals and reads its stores.
    SocketHandl *engine = SocketHandl::instance();
    engine->setLoginIdentity(me, QString(), QString());
    SocketState state;
    QSignalSpy messages(&state, &SocketState::sigPrivareMessage);
    QSignalSpy groups(&state, &SocketState::sigEditGroupCB);
    engine->dispatchInbound(QStringLiteral("private message"), {privateMessage(77)});
    engine->dispatchInbound(QStringLiteral("edit groupCB"),
                            {QJsonObject{{QStringLiteral("id"), groupId},
                                         {QStringLiteral("addArray"), QJsonArray{peer}}}});
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.first().first().toString(), peer);
    QCOMPARE(groups.first(), (QVariantList{groupId, true, QString()}));
    QCOMPARE(state.getPrivateIdFromInfors(peer), engine->getPrivateIdFromInfors(peer));
    QCOMPARE(state.getSelfUesrId(), me);
    QCOMPARE(state.filterUseInformation(QStringLiteral("a</i>b"), 2), QString());

    // Delivery states reach the documents too.
    QSignalSpy statuses(&state, &SocketState::sigMessageStatus);
    const QString big = state.sendPrivateInfor(
        peer, QString(SocketHandl::maxFrameBytes, QLatin1Char('x')), QString());
    QCOMPARE(statuses.count(), 1);
    QCOMPARE(statuses.first(),
             (QVariantList{peer, QStringLiteral("2"), big.toULongLong(), QStringLiteral("4")}));
    QCOMPARE(state.getMessageStatus(peer, QStringLiteral("2"), big), QStringLiteral("4"));
    QVERIFY(!state.retrySendMessage(peer, QStringLiteral("2"), big));
}

TARNEX_TEST_MAIN(TestMessagingStores)
#include "tst_messagingstores.moc"

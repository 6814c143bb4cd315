// The engine's parts on their own, each handed a signed-in socket of the reference server, a
// store and an outbox instead of the whole engine: the link with its sign-in, reconnection and
// certificate trust, the sender with its acknowledgements, failures and outbox, the groups'
// requests and lookups, the record and history queries with the local history in front of a link
// that is down or a service that does not answer, and the inbound router with what the service
// sends.

#include "messaging/conversationstore.h"
#include "messaging/messageclock.h"
#include "messaging/messaginggroups.h"
#include "messaging/messaginghistory.h"
#include "messaging/messaginginbound.h"
#include "messaging/messaginglink.h"
#include "messaging/messagingsender.h"
#include "messaging/signaloutbox.h"
#include "messagingtestkit.h"
#include "net/servertrust.h"
#include "reminders/systeminformation.h"
#include "sio/client.h"
#include "sio/socket.h"
#include "testcertificates.h"
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

// The process's settings and login parameters name `server` as the messaging service, over
// https when it runs TLS.
void pointSettingsAt(const ReferenceServer &server)
{
    // What an earlier case's server on the same port spoke must not choose the version here.
    sio::GenerationMemory::forget(sio::EngineUrl::serverKey(server.baseUrl()));
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), server.address());
    ParameterInfor *parameters = ParameterInfor::instance();
    parameters->setImHost(QStringLiteral("127.0.0.1"));
    parameters->setImPort(QString::number(server.port()));
    parameters->setImPortHttps(QString::number(server.port()));
}

// Every signal of a link in one log, to see their order.
void logLink(MessagingLink &link, QStringList *order)
{
    QObject::connect(&link, &MessagingLink::aboutToConnect,
                     [order]() { *order << QStringLiteral("about to connect"); });
    QObject::connect(&link, &MessagingLink::linkDown, [order](bool dead) {
        *order << (dead ? QStringLiteral("down, dead") : QStringLiteral("down"));
    });
    QObject::connect(&link, &MessagingLink::sigConnecting,
                     [order]() { *order << QStringLiteral("connecting"); });
    QObject::connect(&link, &MessagingLink::sigNetworkdisconnect, [order](bool up) {
        *order << (up ? QStringLiteral("network up") : QStringLiteral("network down"));
    });
    QObject::connect(&link, qOverload<>(&MessagingLink::sigConnectServer),
                     [order]() { *order << QStringLiteral("namespace"); });
    QObject::connect(&link, &MessagingLink::signedIn, [order, &link]() {
        *order << (link.isSignedIn() ? QStringLiteral("signed in") : QStringLiteral("not yet"));
    });
    QObject::connect(&link, qOverload<bool>(&MessagingLink::sigConnectServer), [order](bool ok) {
        *order << (ok ? QStringLiteral("sign-in ok") : QStringLiteral("sign-in failed"));
    });
    QObject::connect(&link, &MessagingLink::sigReconnectInfor,
                     [order]() { *order << QStringLiteral("again"); });
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
    std::unique_ptr<MessagingSender> sender;
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
    void link();
    void linkTrust();
    void sender();
    void groups();
    void history();
    void inbound();
};

void TestMessagingParts::link()
{
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.output()));
    pointSettingsAt(server);
    SignalOutbox outbox;
    // Before the link, which still says it goes down as it is destroyed.
    QStringList order;
    MessagingLink link(outbox, *ConfigFile::instance(), *ParameterInfor::instance(),
                       *ServerTrust::instance());
    // A short delay: the drop below is followed by a reconnection of the link's own.
    const int retryMs = 100;
    link.setTimings(longWait, retryMs);
    link.setLoginIdentity(me, QStringLiteral("技术研发部"), QStringLiteral("部门经理"));
    logLink(link, &order);
    QSignalSpy signedIn(&link, qOverload<bool>(&MessagingLink::sigConnectServer));
    QSignalSpy scheduled(&link, &MessagingLink::sigReconnectScheduled);
    QSignalSpy connecting(&link, &MessagingLink::sigConnecting);

    // Before any connection there is nothing to go back to.
    link.reconnectNow();
    QCOMPARE(connecting.size(), 0);

    // The sender's outbox opens before the old link goes; it is signed in before anyone hears
    // of the sign-in.
    link.connectServer();
    QVERIFY(signedIn.wait(longWait));
    QCOMPARE(order, (QStringList{"about to connect", "down", "connecting", "network up",
                                 "namespace", "signed in", "sign-in ok"}));
    QVERIFY(link.isSignedIn());
    QTRY_VERIFY_WITH_TIMEOUT(engineVersionOf(server, me) != 0, longWait);
    // A live link is not replaced.
    link.reconnectNow();
    QCOMPARE(connecting.size(), 1);

    // The service drops it: dead, said, and tried again after the delay and its jitter.
    order.clear();
    QVERIFY(
        server.hook(QStringLiteral("drop-connections")).value(QLatin1String("dropped")).toInt() >=
        1);
    QVERIFY(scheduled.wait(longWait));
    QVERIFY(scheduled.last().value(0).toInt() >= retryMs);
    QVERIFY(scheduled.last().value(0).toInt() <= retryMs + retryMs / 5);
    QCOMPARE(order.mid(0, 2), (QStringList{"down, dead", "network down"}));
    QTRY_VERIFY_WITH_TIMEOUT(order.contains(QStringLiteral("again")), longWait);
    QVERIFY(link.isSignedIn());
    QCOMPARE(signedIn.last(), QVariantList{true});
    const int connections = connecting.size();
    const int retries = scheduled.size();

    // After a leave nothing reconnects: the user goes offline and stays so.
    order.clear();
    link.disConnectServer();
    QCOMPARE(order, QStringList{"down"});
    QVERIFY(!link.isSignedIn());
    QTRY_COMPARE_WITH_TIMEOUT(engineVersionOf(server, me), 0, longWait);
    link.reconnectNow();
    QVERIFY(server.roundTrip());
    QCOMPARE(connecting.size(), connections);
    QCOMPARE(scheduled.size(), retries);
}

void TestMessagingParts::linkTrust()
{
    if (!QSslSocket::supportsSsl())
        QSKIP("Qt has no TLS backend here");
    TestCertificates certificates;
    TestCertificates::Pair pair;
    QVERIFY2(certificates.makeSelfSigned(QStringLiteral("link"), &pair),
             qPrintable(certificates.output()));
    ReferenceServer server;
    QVERIFY2(server.startTls(pair.certificate, pair.key), qPrintable(server.output()));
    pointSettingsAt(server);
    SignalOutbox outbox;
    ServerTrust &trust = *ServerTrust::instance();
    MessagingLink link(outbox, *ConfigFile::instance(), *ParameterInfor::instance(), trust);
    // Longer than any wait here: a connection seen in time came from the trust.
    link.setTimings(longWait, 600000);
    link.setLoginIdentity(me, QString(), QString());
    QSignalSpy refused(&trust, &ServerTrust::refused);
    QSignalSpy network(&link, &MessagingLink::sigNetworkdisconnect);
    QSignalSpy scheduled(&link, &MessagingLink::sigReconnectScheduled);
    QSignalSpy signedIn(&link, qOverload<bool>(&MessagingLink::sigConnectServer));

    // The certificate is refused before anything is sent: the link waits for the user, with no
    // retry into the same refusal.
    link.connectServer();
    QVERIFY(network.wait(longWait));
    QCOMPARE(network.last(), QVariantList{false});
    QCOMPARE(refused.size(), 1);
    QCOMPARE(scheduled.size(), 0);
    QVERIFY(!link.isSignedIn());
    QCOMPARE(engineVersionOf(server, me), 0);

    // Trusting it connects at once.
    trust.trust(ServerTrust::origin(server.baseUrl()),
                ServerTrust::digestOf(TestCertificates::load(pair.certificate)));
    QVERIFY(signedIn.wait(longWait));
    QCOMPARE(signedIn.last(), QVariantList{true});
    QVERIFY(link.isSignedIn());
    QCOMPARE(scheduled.size(), 0);
    QCOMPARE(refused.size(), 1);
}

void TestMessagingParts::sender()
{
    Link link;
    START_LINK(link);
    QFile::remove(MessagingSender::outboxPathFor(*ConfigFile::instance(), me));
    bool signedIn = false;
    const auto make = [&link, &signedIn]() {
        link.sender = std::make_unique<MessagingSender>(
            link.socket, link.store, link.clock, link.outbox, []() { return me; },
            [&signedIn]() { return signedIn; }, *ConfigFile::instance());
    };
    const auto sendText = [&link](const QString &text) {
        return link.sender->sendPrivateInfor(peer, text, QStringLiteral("text"), QString(), 0, true,
                                             FileAttachment());
    };
    make();

    // Written while the link is down: shown pending, kept, and not sent.
    QSignalSpy shown(link.sender.get(), &MessagingSender::sigPrivareMessage);
    const QString waiting = sendText(QStringLiteral("离线时写的"));
    QCOMPARE(shown.size(), 1);
    QCOMPARE(object(shown.last().value(1).toString()).value(QLatin1String("sendStatus")),
             QJsonValue(QStringLiteral("1")));
    QCOMPARE(link.sender->outboxCount(), 1);
    QVERIFY(link.server.roundTrip());
    QCOMPARE(link.requests(QStringLiteral("send message")), 0);

    // After a restart the outbox shows it again and sends it at the sign-in; the acknowledgement
    // makes it sent and is passed on as a receipt.
    link.sender.reset();
    link.store.clear();
    make();
    QSignalSpy status(link.sender.get(), &MessagingSender::sigMessageStatus);
    QSignalSpy receipts(link.sender.get(), &MessagingSender::sigPrivareMessageStatusSelf);
    QSignalSpy failed(link.sender.get(), &MessagingSender::sigSendMessageFail);
    link.sender->openOutbox();
    QCOMPARE(link.sender->getMessageStatus(peer, QStringLiteral("2"), waiting),
             QStringLiteral("1"));
    signedIn = true;
    link.sender->pumpOutbox();
    QVERIFY(receipts.wait(longWait));
    QCOMPARE(receipts.last(), (QVariantList{peer, waiting.toULongLong(), QStringLiteral("2")}));
    QCOMPARE(status.last(),
             (QVariantList{peer, QStringLiteral("2"), waiting.toULongLong(), QStringLiteral("2")}));
    QCOMPARE(link.sender->getMessageStatus(peer, QStringLiteral("2"), waiting),
             QStringLiteral("2"));
    QCOMPARE(link.sender->outboxCount(), 0);
    QCOMPARE(link.requests(QStringLiteral("send message")), 1);

    // A group message is sent once the service has it.
    const QString group =
        link.sender->sendGroupInfor(demoGroup, QStringLiteral("组里说"), QStringLiteral("张三"),
                                    QStringLiteral("text"), QString(), 0, true, FileAttachment());
    QTRY_COMPARE_WITH_TIMEOUT(link.sender->getMessageStatus(demoGroup, QStringLiteral("3"), group),
                              QStringLiteral("2"), longWait);
    QCOMPARE(status.last().value(0).toString(), demoGroup);

    // Refused: failed with the service's words, kept, and sent again on a retry.
    link.server.hook(QStringLiteral("send-ack"),
                     QJsonObject{{QStringLiteral("mode"), QStringLiteral("refuse")},
                                 {QStringLiteral("count"), 1},
                                 {QStringLiteral("reason"), QStringLiteral("不收")}});
    const QString refused = sendText(QStringLiteral("被拒"));
    QVERIFY(failed.wait(longWait));
    QCOMPARE(failed.last(),
             (QVariantList{peer, refused, QStringLiteral("2"), QStringLiteral("不收")}));
    QCOMPARE(link.sender->getMessageStatus(peer, QStringLiteral("2"), refused),
             QStringLiteral("4"));
    QCOMPARE(link.sender->outboxCount(), 1);
    QVERIFY(link.sender->retrySendMessage(peer, QStringLiteral("2"), refused));
    QCOMPARE(link.sender->getMessageStatus(peer, QStringLiteral("2"), refused),
             QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(link.sender->getMessageStatus(peer, QStringLiteral("2"), refused),
                              QStringLiteral("2"), longWait);
    QVERIFY(!link.sender->retrySendMessage(peer, QStringLiteral("2"), refused));

    // Unanswered: failed after the limit; when the link then proves dead the silence was its
    // own, so the message waits again and goes with the next sign-in, where the service answers
    // the copy it already has.
    link.server.hook(QStringLiteral("send-ack"),
                     QJsonObject{{QStringLiteral("mode"), QStringLiteral("silent")},
                                 {QStringLiteral("count"), 1}});
    link.sender->setAckTimeout(1);
    const QString silent = sendText(QStringLiteral("没有回音"));
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 2, longWait);
    QCOMPARE(failed.last().value(1).toString(), silent);
    link.sender->setAckTimeout(MessagingSender::ackTimeoutMs);
    signedIn = false;
    link.sender->linkDown(true);
    QCOMPARE(link.sender->getMessageStatus(peer, QStringLiteral("2"), silent), QStringLiteral("1"));
    signedIn = true;
    link.sender->pumpOutbox();
    QTRY_COMPARE_WITH_TIMEOUT(link.sender->getMessageStatus(peer, QStringLiteral("2"), silent),
                              QStringLiteral("2"), longWait);
    QCOMPARE(link.sender->outboxCount(), 0);

    // Larger than the service takes: failed at once, never sent, nothing to retry.
    const int sent = link.requests(QStringLiteral("send message"));
    const QString large = sendText(QString(int(MessagingSender::maxFrameBytes), QLatin1Char('x')));
    QCOMPARE(failed.size(), 3);
    QCOMPARE(link.sender->getMessageStatus(peer, QStringLiteral("2"), large), QStringLiteral("4"));
    QVERIFY(!link.sender->retrySendMessage(peer, QStringLiteral("2"), large));
    QVERIFY(link.server.roundTrip());
    QCOMPARE(link.requests(QStringLiteral("send message")), sent);
    QCOMPARE(link.sender->outboxCount(), 0);
}

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

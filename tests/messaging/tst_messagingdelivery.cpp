// Messages that arrive or visibly fail, against the reference server of both socket.io
// generations (the newer one also in its mode for Engine.IO 3 clients): pending until
// acknowledged, failed on refusal or silence and sent again with the same id, kept in the outbox
// across drops, server restarts (the other party getting each message once), a frozen server
// (also one frozen past the acknowledgement limit) and a restart of the client; sign-in that
// retries a silent namespace; events sent before the join's answer; input above the limit.

#include "desktop/terminationwatch.h"
#include "messagingtestkit.h"
#include "procusage.h"
#include "testenvironment.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace messagingtest;

namespace {

const QString me = QStringLiteral("10001");
const QString peer = QStringLiteral("10002");
const QString privateType = QStringLiteral("2");
// A demo group of 10005, 10001, 10002 and 10003.
const QString demoGroup = QStringLiteral("9c4e7a10-3f2b-4d88-b5a6-71e0c3d2f902");

// Short time limits, so a case waits for seconds, not minutes; the defaults are in
// SocketHandl. Under a thread checker everything runs several times slower.
constexpr int connectLimitMs = 4000;
constexpr int reconnectMs = 300;
constexpr int ackLimitMs = 2500;

// Server restarts in the restart case: TARNEX_RESTARTS, 20 by default.
int restarts()
{
    const int n = qEnvironmentVariableIntValue("TARNEX_RESTARTS");
    return n > 0 ? n : 20;
}

// The ids of the private messages the party received, in order.
QStringList receivedIds(const QJsonArray &events)
{
    QStringList ids;
    for (const QJsonValue &event : events) {
        const QJsonObject message =
            event.toObject().value(QLatin1String("args")).toArray().first().toObject();
        ids << QString::number(qulonglong(message.value(QLatin1String("msg_id")).toDouble()));
    }
    return ids;
}

bool ok(const QJsonObject &reply)
{
    return reply.value(QLatin1String("ok")).toBool();
}

// The ids and texts of what the server accepted from the user, in order.
QList<QPair<qulonglong, QString>> accepted(const ReferenceServer &server)
{
    QList<QPair<qulonglong, QString>> result;
    const QJsonArray list = server.hook(QStringLiteral("accepted"), {{QStringLiteral("from"), me}})
                                .value(QLatin1String("messages"))
                                .toArray();
    for (const QJsonValue &value : list) {
        const QJsonObject entry = value.toObject();
        result.append({qulonglong(entry.value(QLatin1String("msg_id")).toDouble()),
                       entry.value(QLatin1String("msg")).toString()});
    }
    return result;
}

QString status(const SocketHandl &engine, const QString &id)
{
    return engine.getMessageStatus(peer, privateType, id);
}

} // namespace

struct Delivery
{
    Delivery()
    {
        clearOutbox(me);
        engine = std::make_unique<SocketHandl>();
        engine->setTimings(connectLimitMs, reconnectMs, ackLimitMs);
        log = std::make_unique<SignalLog>(engine.get());
    }
    ReferenceServer server;
    std::unique_ptr<SocketHandl> engine;
    std::unique_ptr<SignalLog> log;
};

namespace {

bool launch(ReferenceServer &server, Generation generation, const QStringList &extra = {},
            int port = 0)
{
    return server.start(serverArgs(generation) + extra, port);
}

} // namespace

#define START_WITH(d, generation, extra)                                                           \
    QVERIFY2(launch((d).server, generation, extra), qPrintable((d).server.output()));              \
    pointAt((d).server, *(d).engine, me, generation)
#define START(d, generation) START_WITH(d, generation, QStringList())

#define SIGN_IN(d) MESSAGING_SIGN_IN(*(d).engine, *(d).log)

class TestMessagingDelivery : public QObject
{
    Q_OBJECT
private slots:
    void pendingUntilAcknowledged_data() { generations(); }
    void pendingUntilAcknowledged();
    void refusedThenRetried_data() { generations(); }
    void refusedThenRetried();
    void unansweredFailsAndRetryDeliversOnce_data() { generations(); }
    void unansweredFailsAndRetryDeliversOnce();
    void serverRestarts_data() { generations(); }
    void serverRestarts();
    void frozenServer_data() { generations(); }
    void frozenServer();
    void frozenPastAckLimit_data() { generations(); }
    void frozenPastAckLimit();
    void restartWithFullOutbox_data() { generations(); }
    void restartWithFullOutbox();
    void silentNamespaceRetried_data() { generations(); }
    void silentNamespaceRetried();
    void eventsBeforeJoinAnswer_data() { generations(); }
    void eventsBeforeJoinAnswer();
    void oversizedInput();
    // Last: it ends the process's engine and the application's event loop.
    void terminationStopsCleanly();
};

void TestMessagingDelivery::pendingUntilAcknowledged()
{
    QFETCH(Generation, generation);
    Delivery d;
    START(d, generation);
    SIGN_IN(d);
    QCOMPARE(engineVersionOf(d.server, me), generation == Generation::V4 ? 4 : 3);
    d.engine->getGroupInfors();
    QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigGetGroupInfor")), 1, longWait);

    // Shown pending at once; sent only with the service's acknowledgement.
    const QString id = d.engine->sendPrivateInfor(peer, QStringLiteral("hello"), QString());
    const QJsonObject shown =
        QJsonDocument::fromJson(
            d.log->last(QStringLiteral("sigPrivareMessage")).value(1).toString().toUtf8())
            .object();
    QCOMPARE(shown.value(QLatin1String("sendStatus")).toString(), QStringLiteral("1"));
    QCOMPARE(status(*d.engine, id), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigMessageStatus")), 1, longWait);
    QCOMPARE(d.log->last(QStringLiteral("sigMessageStatus")),
             (QVariantList{peer, privateType, id.toULongLong(), QStringLiteral("2")}));
    QCOMPARE(status(*d.engine, id), QStringLiteral("2"));

    const QString gid = d.engine->sendGroupInfor(demoGroup, QStringLiteral("大家好"),
                                                 QStringLiteral("张伟"), QString());
    QCOMPARE(d.engine->getMessageStatus(demoGroup, QStringLiteral("3"), gid), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigMessageStatus")), 2, longWait);
    QCOMPARE(
        d.log->last(QStringLiteral("sigMessageStatus")),
        (QVariantList{demoGroup, QStringLiteral("3"), gid.toULongLong(), QStringLiteral("2")}));
    QTRY_COMPARE_WITH_TIMEOUT(d.engine->getMessageStatus(demoGroup, QStringLiteral("3"), gid),
                              QStringLiteral("2"), longWait);
    QCOMPARE(d.engine->outboxCount(), 0);
    QCOMPARE(d.log->count(QStringLiteral("sigSendMessageFail")), 0);
}

void TestMessagingDelivery::refusedThenRetried()
{
    QFETCH(Generation, generation);
    Delivery d;
    START(d, generation);
    SIGN_IN(d);
    NodePeer party;
    QVERIFY2(startParty(party, d.server, generation, peer), qPrintable(party.output()));
    QVERIFY(ok(d.server.hook(QStringLiteral("send-ack"),
                             {{QStringLiteral("mode"), QStringLiteral("refuse")},
                              {QStringLiteral("reason"), QStringLiteral("忙")},
                              {QStringLiteral("count"), 1}})));

    const QString id = d.engine->sendPrivateInfor(peer, QStringLiteral("try me"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigSendMessageFail")), 1, longWait);
    QCOMPARE(d.log->last(QStringLiteral("sigSendMessageFail")),
             (QVariantList{peer, id, privateType, QStringLiteral("忙")}));
    QCOMPARE(d.log->last(QStringLiteral("sigMessageStatus")).value(3).toString(),
             QStringLiteral("4"));
    // Shown failed, not taken away: the user can send it again.
    QCOMPARE(status(*d.engine, id), QStringLiteral("4"));
    QCOMPARE(d.log->count(QStringLiteral("sigRemoveMessage")), 0);

    QVERIFY(d.engine->retrySendMessage(peer, privateType, id));
    QCOMPARE(status(*d.engine, id), QStringLiteral("1"));
    QVERIFY(!d.engine->retrySendMessage(peer, privateType, id));
    QTRY_COMPARE_WITH_TIMEOUT(status(*d.engine, id), QStringLiteral("2"), longWait);
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("private message")).size(), 1,
                              longWait);
    const QJsonObject got = partyEvents(party, QStringLiteral("private message"))
                                .first()
                                .toObject()
                                .value(QLatin1String("args"))
                                .toArray()
                                .first()
                                .toObject();
    QCOMPARE(QString::number(qulonglong(got.value(QLatin1String("msg_id")).toDouble())), id);
    QCOMPARE(d.engine->outboxCount(), 0);
}

void TestMessagingDelivery::unansweredFailsAndRetryDeliversOnce()
{
    QFETCH(Generation, generation);
    Delivery d;
    START(d, generation);
    SIGN_IN(d);
    NodePeer party;
    QVERIFY2(startParty(party, d.server, generation, peer), qPrintable(party.output()));
    // The service takes the message and delivers it, but its answer is lost.
    QVERIFY(ok(d.server.hook(
        QStringLiteral("send-ack"),
        {{QStringLiteral("mode"), QStringLiteral("silent")}, {QStringLiteral("count"), 1}})));

    const QString id = d.engine->sendPrivateInfor(peer, QStringLiteral("lost answer"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("private message")).size(), 1,
                              longWait);
    QCOMPARE(status(*d.engine, id), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigSendMessageFail")), 1,
                              ackLimitMs + longWait);
    QCOMPARE(d.log->last(QStringLiteral("sigSendMessageFail")).mid(0, 3),
             (QVariantList{peer, id, privateType}));
    QCOMPARE(status(*d.engine, id), QStringLiteral("4"));

    // The same id again: the service knows it, answers, and delivers nothing twice.
    QVERIFY(d.engine->retrySendMessage(peer, privateType, id));
    QTRY_COMPARE_WITH_TIMEOUT(status(*d.engine, id), QStringLiteral("2"), longWait);
    QCOMPARE(accepted(d.server).size(), 1);
    QCOMPARE(partyEvents(party, QStringLiteral("private message")).size(), 1);
    QCOMPARE(d.log->count(QStringLiteral("sigSendMessageFail")), 1);
}

void TestMessagingDelivery::serverRestarts()
{
    QFETCH(Generation, generation);
    QTemporaryDir dir;
    const QStringList logArgs{QStringLiteral("--message-log"), dir.filePath(QStringLiteral("log"))};
    Delivery d;
    START_WITH(d, generation, logArgs);
    SIGN_IN(d);
    const int port = d.server.port();
    NodePeer party;
    QVERIFY2(startParty(party, d.server, generation, peer), qPrintable(party.output()));
    // What the party received, over all its connections (each restart ends one).
    QStringList delivered;
    ParameterInfor *parameters = ParameterInfor::instance();

    QStringList sent;
    auto send = [&](const QString &text) {
        sent << d.engine->sendPrivateInfor(peer, text, QString());
        QCoreApplication::processEvents(); // lets the frame go out before the next step
    };
    for (int round = 0; round < restarts(); ++round) {
        // In flight as the server goes, then sent into the gap.
        send(QStringLiteral("r%1 before").arg(round));
        send(QStringLiteral("r%1 as it stops").arg(round));
        d.server.stop();
        send(QStringLiteral("r%1 in the gap").arg(round));
        send(QStringLiteral("r%1 still in the gap").arg(round));
        // The party does not reconnect by itself: the engine is kept off (nothing listens on
        // port 1) until the party is back, so what it sends then finds the party there.
        parameters->setImPort(QStringLiteral("1"));
        const int reconnects = d.log->count(QStringLiteral("sigReconnectInfor"));
        QVERIFY2(launch(d.server, generation, logArgs, port), qPrintable(d.server.output()));
        delivered << receivedIds(partyEvents(party, QStringLiteral("private message")));
        QVERIFY2(connectParty(party, peer), qPrintable(party.output()));
        parameters->setImPort(QString::number(port));
        QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigReconnectInfor")), reconnects + 1,
                                  longWait);
    }

    QTRY_COMPARE_WITH_TIMEOUT(d.engine->outboxCount(), 0, longWait);
    for (const QString &id : qAsConst(sent))
        QCOMPARE(status(*d.engine, id), QStringLiteral("2"));
    // Every message reached the service once, in the order it was sent.
    const QList<QPair<qulonglong, QString>> got = accepted(d.server);
    QCOMPARE(got.size(), sent.size());
    for (int i = 0; i < sent.size(); ++i)
        QCOMPARE(QString::number(got.at(i).first), sent.at(i));
    // And the party got each of them once, in that order: no copy sent again reached it.
    QTRY_COMPARE_WITH_TIMEOUT(delivered.size() +
                                  partyEvents(party, QStringLiteral("private message")).size(),
                              sent.size(), longWait);
    delivered << receivedIds(partyEvents(party, QStringLiteral("private message")));
    QCOMPARE(delivered, sent);
    QCOMPARE(d.log->count(QStringLiteral("sigSendMessageFail")), 0);
}

void TestMessagingDelivery::frozenServer()
{
    QFETCH(Generation, generation);
    Delivery d;
    const QStringList shortPings{QStringLiteral("--ping-interval"), QStringLiteral("300"),
                                 QStringLiteral("--ping-timeout"), QStringLiteral("200")};
    START_WITH(d, generation, shortPings);
    SIGN_IN(d);

    d.server.freeze();
    QStringList sent;
    for (int i = 0; i < 3; ++i)
        sent << d.engine->sendPrivateInfor(peer, QStringLiteral("frozen %1").arg(i), QString());
    // The heartbeat declares the link dead; the messages wait.
    QTRY_COMPARE_WITH_TIMEOUT(d.log->last(QStringLiteral("sigNetworkdisconnect")),
                              (QVariantList{false}), longWait);
    QCOMPARE(d.engine->outboxCount(), 3);
    QCOMPARE(d.log->count(QStringLiteral("sigSendMessageFail")), 0);
    d.server.thaw();

    QTRY_COMPARE_WITH_TIMEOUT(d.engine->outboxCount(), 0, longWait);
    const QList<QPair<qulonglong, QString>> got = accepted(d.server);
    QCOMPARE(got.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(QString::number(got.at(i).first), sent.at(i));
        QCOMPARE(status(*d.engine, sent.at(i)), QStringLiteral("2"));
    }
}

void TestMessagingDelivery::frozenPastAckLimit()
{
    QFETCH(Generation, generation);
    Delivery d;
    // The acknowledgement limit runs out long before the heartbeat finds the frozen server out,
    // as the program's 15 s do against a 4.x server's 25 s + 20 s.
    constexpr int shortAckMs = 1000;
    d.engine->setTimings(connectLimitMs, reconnectMs, shortAckMs);
    const QStringList slowPings{QStringLiteral("--ping-interval"), QStringLiteral("2500"),
                                QStringLiteral("--ping-timeout"), QStringLiteral("2500")};
    START_WITH(d, generation, slowPings);
    SIGN_IN(d);
    // A refusal stays a failure whatever the link does later.
    QVERIFY(ok(d.server.hook(
        QStringLiteral("send-ack"),
        {{QStringLiteral("mode"), QStringLiteral("refuse")}, {QStringLiteral("count"), 1}})));
    const QString refused = d.engine->sendPrivateInfor(peer, QStringLiteral("no"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(status(*d.engine, refused), QStringLiteral("4"), longWait);

    d.server.freeze();
    QStringList sent;
    for (int i = 0; i < 3; ++i)
        sent << d.engine->sendPrivateInfor(peer, QStringLiteral("frozen %1").arg(i), QString());
    // Failed for want of an answer while the link still looked alive...
    QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigSendMessageFail")), 4, longWait);
    QCOMPARE(d.log->last(QStringLiteral("sigNetworkdisconnect")), (QVariantList{true}));
    for (const QString &id : qAsConst(sent))
        QCOMPARE(status(*d.engine, id), QStringLiteral("4"));
    // ...then the heartbeat declares it dead: the silence was the link's, so they wait again.
    QTRY_COMPARE_WITH_TIMEOUT(d.log->last(QStringLiteral("sigNetworkdisconnect")),
                              (QVariantList{false}), longWait);
    for (const QString &id : qAsConst(sent))
        QCOMPARE(status(*d.engine, id), QStringLiteral("1"));
    QCOMPARE(d.log->last(QStringLiteral("sigMessageStatus")).value(3).toString(),
             QStringLiteral("1"));
    QCOMPARE(status(*d.engine, refused), QStringLiteral("4"));
    QCOMPARE(d.engine->outboxCount(), 4);
    d.server.thaw();

    // Sent again with the same ids once the server is back: each arrives once and is sent.
    QTRY_COMPARE_WITH_TIMEOUT(d.engine->outboxCount(), 1, longWait);
    for (const QString &id : qAsConst(sent))
        QTRY_COMPARE_WITH_TIMEOUT(status(*d.engine, id), QStringLiteral("2"), longWait);
    const QList<QPair<qulonglong, QString>> got = accepted(d.server);
    QCOMPARE(got.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(QString::number(got.at(i).first), sent.at(i));
    QCOMPARE(status(*d.engine, refused), QStringLiteral("4"));
    QCOMPARE(d.log->count(QStringLiteral("sigSendMessageFail")), 4);
}

void TestMessagingDelivery::restartWithFullOutbox()
{
    QFETCH(Generation, generation);
    QStringList sent;
    {
        // Sent while the client never reached the service, then the client ends.
        Delivery before;
        START(before, generation);
        for (int i = 0; i < 3; ++i)
            sent << before.engine->sendPrivateInfor(peer, QStringLiteral("kept %1").arg(i),
                                                    QString());
        QCOMPARE(before.engine->outboxCount(), 3);
    }
    ReferenceServer server;
    QVERIFY2(launch(server, generation), qPrintable(server.output()));
    NodePeer party;
    QVERIFY2(startParty(party, server, generation, peer), qPrintable(party.output()));
    SocketHandl engine;
    engine.setTimings(connectLimitMs, reconnectMs, ackLimitMs);
    SignalLog log(&engine);
    pointAt(server, engine, me, generation);
    MESSAGING_SIGN_IN(engine, log);
    // Shown again in their conversation, and sent after sign-in, in order.
    QCOMPARE(engine.getPrivateIdFromInfors(peer).size(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(partyEvents(party, QStringLiteral("private message")).size(), 3,
                              longWait);
    const QJsonArray events = partyEvents(party, QStringLiteral("private message"));
    for (int i = 0; i < 3; ++i) {
        const QJsonObject got =
            events.at(i).toObject().value(QLatin1String("args")).toArray().first().toObject();
        QCOMPARE(got.value(QLatin1String("msg")).toString(), QStringLiteral("kept %1").arg(i));
    }
    QTRY_COMPARE_WITH_TIMEOUT(engine.outboxCount(), 0, longWait);
    for (const QString &id : qAsConst(sent))
        QCOMPARE(engine.getMessageStatus(peer, privateType, id), QStringLiteral("2"));
}

void TestMessagingDelivery::silentNamespaceRetried()
{
    QFETCH(Generation, generation);
    Delivery d;
    START(d, generation);
    QVERIFY(ok(d.server.hook(QStringLiteral("namespace"),
                             {{QStringLiteral("mode"), QStringLiteral("silent")}})));
    d.engine->connectServer();
    // The time limit closes the link that never opened the namespace.
    QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigLoginStatus")), 1,
                              connectLimitMs + longWait);
    QCOMPARE(d.log->last(QStringLiteral("sigNetworkdisconnect")), (QVariantList{false}));
    QVERIFY(ok(d.server.hook(QStringLiteral("namespace"),
                             {{QStringLiteral("mode"), QStringLiteral("normal")}})));
    QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigConnectServer")), 1, longWait);
    QCOMPARE(d.log->last(QStringLiteral("sigConnectServer")), (QVariantList{true}));
}

void TestMessagingDelivery::eventsBeforeJoinAnswer()
{
    QFETCH(Generation, generation);
    Delivery d;
    START(d, generation);
    const qint64 id = QDateTime::currentMSecsSinceEpoch();
    const QJsonObject message{{QStringLiteral("creator"), peer},
                              {QStringLiteral("msg"), QStringLiteral("early")},
                              {QStringLiteral("msg_id"), double(id)},
                              {QStringLiteral("send_time"), double(id)},
                              {QStringLiteral("type"), QStringLiteral("user")}};
    QVERIFY(ok(d.server.hook(QStringLiteral("namespace"),
                             {{QStringLiteral("mode"), QStringLiteral("early")},
                              {QStringLiteral("event"), QStringLiteral("private message")},
                              {QStringLiteral("args"), QJsonArray{message}}})));
    SIGN_IN(d);
    QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigPrivareMessage")), 1, longWait);
    QCOMPARE(d.engine->getPrivateIdFromInfors(peer).size(), 1);
}

void TestMessagingDelivery::oversizedInput()
{
    Delivery d;
    START(d, Generation::V4);
    SIGN_IN(d);
    // The peak of this run alone, not of the cases before it.
    procusage::resetPeak();
    const qint64 before = procusage::statusKb("VmHWM") * 1024;
    // 64 MiB in one frame: the link is closed at the frame's header, and the engine comes back.
    QVERIFY(ok(d.server.hook(QStringLiteral("push-large"),
                             {{QStringLiteral("to"), me}, {QStringLiteral("bytes"), 64 << 20}})));
    QTRY_COMPARE_WITH_TIMEOUT(d.log->count(QStringLiteral("sigReconnectInfor")), 1, longWait);
    QCOMPARE(d.log->count(QStringLiteral("sigPrivareMessage")), 0);
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
    // Nowhere near the frame's size was held (the sanitizers' shadow memory would blur this).
    QVERIFY2(procusage::statusKb("VmHWM") * 1024 - before < 32 << 20,
             qPrintable(QString::number(procusage::statusKb("VmHWM") * 1024 - before)));
#else
    Q_UNUSED(before)
#endif
    const QString id = d.engine->sendPrivateInfor(peer, QStringLiteral("after"), QString());
    QTRY_COMPARE_WITH_TIMEOUT(status(*d.engine, id), QStringLiteral("2"), longWait);
}

void TestMessagingDelivery::terminationStopsCleanly()
{
    // The updater's SIGTERM quits through the event loop; at quit the process's engine sends its
    // leave notice, closes the link and joins its network thread.
    ReferenceServer server;
    QVERIFY2(launch(server, Generation::V4), qPrintable(server.output()));
    clearOutbox(me);
    SocketHandl *engine = SocketHandl::instance();
    SignalLog log(engine);
    pointAt(server, *engine, me);
    MESSAGING_SIGN_IN(*engine, log);
    TerminationWatch::install();
    QSignalSpy quitting(QCoreApplication::instance(), &QCoreApplication::aboutToQuit);
    QTimer::singleShot(0, []() { ::kill(::getpid(), SIGTERM); });
    // A signal that never becomes a quit fails here instead of hanging the run.
    QTimer::singleShot(longWait, []() { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(quitting.count(), 1);
    auto notices = [&server]() {
        return server
            .hook(QStringLiteral("received"),
                  {{QStringLiteral("user"), me},
                   {QStringLiteral("event"), QStringLiteral("disconnect")}})
            .value(QLatin1String("events"))
            .toArray()
            .size();
    };
    QTRY_COMPARE_WITH_TIMEOUT(notices(), 1, longWait);
    QTRY_COMPARE_WITH_TIMEOUT(
        server.hook(QStringLiteral("online")).value(QLatin1String("connections")).toInt(), 0,
        longWait);
}

TARNEX_TEST_MAIN(TestMessagingDelivery)
#include "tst_messagingdelivery.moc"

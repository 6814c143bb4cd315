// The socket.io client against the official Node servers of both generations: handshake and
// generation detection, heartbeats, dead-link detection, emits from many threads, acknowledgements
// both ways, text round trips, the frame limit, malformed input, namespaces and reconnection.

#include "sio/engineurl.h"
#include "sio/generationmemory.h"
#include "siotestkit.h"
#include "testenvironment.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimer>

#include <atomic>
#include <thread>
#include <vector>

using namespace siotest;

Q_DECLARE_METATYPE(siotest::Generation)

class TestSioClient : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void handshake_data() { generations(); }
    void handshake();
    void heartbeatKeepsIdleConnection_data() { generations(); }
    void heartbeatKeepsIdleConnection();
    void frozenServerDetectedWhileSending_data() { generations(); }
    void frozenServerDetectedWhileSending();
    void rapidEmitsFromThreads_data() { generations(); }
    void rapidEmitsFromThreads();
    void serverAcknowledgementRequests_data() { generations(); }
    void serverAcknowledgementRequests();
    void unicodeRoundTrip_data() { generations(); }
    void unicodeRoundTrip();
    void frameLimit_data() { generations(); }
    void frameLimit();
    void reconnectStartsFresh_data() { generations(); }
    void reconnectStartsFresh();
    void namespaces_data() { generations(); }
    void namespaces();
    void disconnectEventName_data() { generations(); }
    void disconnectEventName();
    void malformedInput_data();
    void malformedInput();
    void tolerableInput_data();
    void tolerableInput();
    void unansweredAcknowledgements();

private:
    static void generations();
};

void TestSioClient::generations()
{
    QTest::addColumn<Generation>("generation");
    for (Generation g : {Generation::V4, Generation::V4WithEio3, Generation::V2})
        QTest::newRow(qPrintable(generationName(g))) << g;
}

void TestSioClient::handshake()
{
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation));
    const QString key = sio::EngineUrl::serverKey(peer.baseUrl());

    Recorder recorder;
    sio::Client client;
    configure(client, generation);
    recorder.attach(client);
    client.socket(QStringLiteral("/client"));
    QMap<QString, QString> query;
    query.insert(QStringLiteral("loginUserId"), QStringLiteral("张三&x=1 +%"));
    query.insert(QStringLiteral("loginDeptId"), QStringLiteral("研发部"));
    query.insert(QStringLiteral("loginRoleId"), QStringLiteral("管理员/审核"));
    query.insert(QStringLiteral("transport"), QStringLiteral("polling"));
    // Once per connection attempt; the 2.x server takes two (the detection costs one).
    for (int i = 0; i < (generation == Generation::V2 ? 2 : 1); ++i)
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("\"transport\" is reserved")));
    client.connect(peer.baseUrl(), query);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("socket-open:/client")), 1, longWait);
    QCOMPARE(recorder.entries(),
             (QStringList{QStringLiteral("open"), QStringLiteral("socket-open:/client")}));
    QVERIFY(client.isOpen());
    QCOMPARE(recorder.threads().size(), 1);
    QVERIFY(!recorder.threads().contains(QThread::currentThread()));

    const int expectedVersion = generation == Generation::V4 ? 4 : 3;
    const QJsonObject engine = engineAt(peer);
    const QJsonObject seen = engine.value(QLatin1String("query")).toObject();
    QCOMPARE(seen.value(QLatin1String("EIO")).toString(), QString::number(expectedVersion));
    QCOMPARE(seen.value(QLatin1String("transport")).toString(), QStringLiteral("websocket"));
    QCOMPARE(seen.value(QLatin1String("loginUserId")).toString(), QStringLiteral("张三&x=1 +%"));
    QCOMPARE(seen.value(QLatin1String("loginDeptId")).toString(), QStringLiteral("研发部"));
    QCOMPARE(seen.value(QLatin1String("loginRoleId")).toString(), QStringLiteral("管理员/审核"));
    QVERIFY(!seen.contains(QLatin1String("sid")));

    // Detection tried Engine.IO 4 first only where nothing was known; the result is remembered,
    // so a second client goes straight to the right version.
    QCOMPARE(engineCount(peer), generation == Generation::V2 ? 2 : 1);
    QCOMPARE(sio::GenerationMemory::lookup(key),
             generation == Generation::V4WithEio3 ? 0 : expectedVersion);
    if (generation != Generation::V4WithEio3) {
        Recorder secondRecorder;
        sio::Client second;
        secondRecorder.attach(second);
        second.socket(QStringLiteral("/client"));
        SIO_CONNECT_AND_JOIN(second, secondRecorder, peer);
        QCOMPARE(engineCount(peer), generation == Generation::V2 ? 3 : 2);
        QCOMPARE(engineAt(peer).value(QLatin1String("eio")).toInt(), expectedVersion);
    }
    QCOMPARE(recorder.count(QStringLiteral("fail")), 0);
    QCOMPARE(recorder.count(QStringLiteral("reconnecting")), 0);
}

void TestSioClient::heartbeatKeepsIdleConnection()
{
    // Wrong heartbeat direction makes the server drop the link after one interval; staying idle
    // for well over three ping periods proves the client keeps each generation's rule.
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation, shortHeartbeat()));
    Recorder recorder;
    AckBox acks;
    sio::Client client;
    configure(client, generation);
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    SIO_CONNECT_AND_JOIN(client, recorder, peer);
    const QString engineId = engineAt(peer).value(QLatin1String("id")).toString();

    // 8 heartbeats at a 300 ms interval: longer than three ping timeouts (3 x 500 ms).
    QTRY_VERIFY_WITH_TIMEOUT(engineAt(peer).value(QLatin1String("heartbeats")).toInt() >= 8,
                             longWait);
    QCOMPARE(engineAt(peer).value(QLatin1String("id")).toString(), engineId);
    QCOMPARE(engineCount(peer), generation == Generation::V2 ? 2 : 1);
    QCOMPARE(recorder.count(QStringLiteral("reconnecting")), 0);
    QVERIFY(client.isOpen());

    socket->emitEvent(QStringLiteral("echo"), {QStringLiteral("still here")},
                      acks.callback(QStringLiteral("echo")));
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("echo")), longWait);
    QCOMPARE(acks.answer(QStringLiteral("echo")), QJsonArray{QStringLiteral("still here")});
}

void TestSioClient::frozenServerDetectedWhileSending()
{
    // A client that re-arms its dead-link timer on every send never notices a frozen server as
    // long as it keeps sending. Keep sending and expect the drop anyway.
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation, shortHeartbeat()));
    Recorder recorder;
    AckBox acks;
    sio::Client client;
    configure(client, generation);
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    SIO_CONNECT_AND_JOIN(client, recorder, peer);

    int sent = 0;
    QTimer sender;
    QObject::connect(&sender, &QTimer::timeout, [&]() {
        socket->emitEvent(QStringLiteral("noack"), {++sent}, acks.callback(QString::number(sent)));
    });
    sender.start(20);
    peer.freeze();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("reconnecting")), 1, longWait);
    sender.stop();
    QVERIFY(sent > 0);
    QVERIFY(!client.isOpen());
    peer.thaw();

    // The owner reconnects; the callbacks of the dead connection never run.
    SIO_CONNECT_AND_JOIN(client, recorder, peer);
    socket->emitEvent(QStringLiteral("echo"), {1}, acks.callback(QStringLiteral("after")));
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("after")), longWait);
    QCOMPARE(acks.calls(), 1);
    QCOMPARE(recorder.count(QStringLiteral("reconnecting")), 1);
}

void TestSioClient::rapidEmitsFromThreads()
{
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation));
    Recorder recorder;
    std::atomic<int> acked{0};
    std::atomic<int> badAcks{0};
    sio::Client client;
    configure(client, generation);
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    SIO_CONNECT_AND_JOIN(client, recorder, peer);

    constexpr int threads = 4;
    constexpr int perThread = 250;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t]() {
            for (int i = 0; i < perThread; ++i) {
                socket->emitEvent(QStringLiteral("seq"), {t, i}, [&, t, i](const QJsonArray &data) {
                    if (data != QJsonArray{t, i})
                        ++badAcks;
                    ++acked;
                });
            }
        });
    }
    for (std::thread &worker : workers)
        worker.join();
    QTRY_COMPARE_WITH_TIMEOUT(acked.load(), threads * perThread, 60000);
    QCOMPARE(badAcks.load(), 0);

    const QJsonObject state = peer.control(QStringLiteral("state"));
    const QString engineId = engineAt(peer).value(QLatin1String("id")).toString();
    // In order per thread, each one intact (concatenated or interleaved frames would not parse).
    QVector<int> next(threads, 0);
    int received = 0;
    for (const QJsonValue &value : state.value(QLatin1String("events")).toArray()) {
        const QJsonObject event = value.toObject();
        if (event.value(QLatin1String("event")).toString() != QLatin1String("seq"))
            continue;
        const QJsonArray args = event.value(QLatin1String("args")).toArray();
        QCOMPARE(args.size(), 2);
        const int t = args.at(0).toInt();
        QCOMPARE(args.at(1).toInt(), next[t]);
        ++next[t];
        ++received;
    }
    QCOMPARE(received, threads * perThread);
    // Distinct ack ids, counted from 0 on this connection.
    QSet<int> ids;
    for (const QJsonValue &value : state.value(QLatin1String("ackIds")).toArray()) {
        if (value.toObject().value(QLatin1String("engine")).toString() == engineId)
            ids.insert(value.toObject().value(QLatin1String("id")).toInt());
    }
    QCOMPARE(ids.size(), threads * perThread);
    QCOMPARE(*std::min_element(ids.begin(), ids.end()), 0);
    QCOMPARE(*std::max_element(ids.begin(), ids.end()), threads * perThread - 1);
    QCOMPARE(recorder.count(QStringLiteral("reconnecting")), 0);
}

void TestSioClient::serverAcknowledgementRequests()
{
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation));
    Recorder recorder;
    std::atomic<int> handled{0};
    std::atomic<bool> onIoThread{true};
    QThread *testThread = QThread::currentThread();
    sio::Client client;
    configure(client, generation);
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    socket->on(QStringLiteral("ask"), [&](const QJsonArray &args, sio::Ack &ack) {
        onIoThread = onIoThread && QThread::currentThread() != testThread;
        if (ack.requested())
            ack.send({QStringLiteral("got"), args.last()});
        ++handled;
    });
    socket->on(QStringLiteral("ask silently"), [&](const QJsonArray &, sio::Ack &) { ++handled; });
    SIO_CONNECT_AND_JOIN(client, recorder, peer);

    QJsonObject push{{QStringLiteral("event"), QStringLiteral("ask")},
                     {QStringLiteral("count"), 3},
                     {QStringLiteral("ack"), true}};
    peer.control(QStringLiteral("push"), push);
    push.insert(QStringLiteral("event"), QStringLiteral("ask silently"));
    push.insert(QStringLiteral("count"), 1);
    peer.control(QStringLiteral("push"), push);
    push.insert(QStringLiteral("event"), QStringLiteral("nobody listens"));
    peer.control(QStringLiteral("push"), push);

    auto replies = [&]() {
        return peer.control(QStringLiteral("state")).value(QLatin1String("ackReplies")).toArray();
    };
    QTRY_COMPARE_WITH_TIMEOUT(replies().size(), 5, longWait);
    QCOMPARE(handled.load(), 4);
    QVERIFY(onIoThread.load());
    QMap<QString, QList<QJsonArray>> byEvent;
    for (const QJsonValue &value : replies()) {
        const QJsonObject reply = value.toObject();
        byEvent[reply.value(QLatin1String("event")).toString()]
            << reply.value(QLatin1String("reply")).toArray();
    }
    QCOMPARE(byEvent.value(QStringLiteral("ask")), (QList<QJsonArray>{{QStringLiteral("got"), 0},
                                                                      {QStringLiteral("got"), 1},
                                                                      {QStringLiteral("got"), 2}}));
    QCOMPARE(byEvent.value(QStringLiteral("ask silently")), QList<QJsonArray>{QJsonArray()});
    QCOMPARE(byEvent.value(QStringLiteral("nobody listens")), QList<QJsonArray>{QJsonArray()});
}

void TestSioClient::unicodeRoundTrip()
{
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation));
    Recorder recorder;
    std::mutex mutex;
    QList<QJsonArray> pushed;
    AckBox acks;
    sio::Client client;
    configure(client, generation);
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    socket->on(QStringLiteral("text"), [&](const QJsonArray &args, sio::Ack &) {
        std::lock_guard<std::mutex> lock(mutex);
        pushed << args;
    });
    SIO_CONNECT_AND_JOIN(client, recorder, peer);

    const QJsonArray text{
        QStringLiteral("中文消息：你好，世界"),
        QStringLiteral("😀🎉👍🏽👨‍👩‍👧"),
        QJsonObject{{QStringLiteral("名字"), QStringLiteral("张三")},
                    {QStringLiteral("line\u2028sep"), QStringLiteral("\"\\/\t")}}};
    socket->emitEvent(QStringLiteral("echo 回声"), text, acks.callback(QStringLiteral("echo")));
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("echo")), longWait);
    QCOMPARE(acks.answer(QStringLiteral("echo")), text);
    QCOMPARE(eventsNamed(peer, QStringLiteral("echo 回声")).size(), 1);

    // From the server: raw UTF-8 as its encoder writes it, and \u escapes with surrogate pairs.
    peer.control(QStringLiteral("push"), {{QStringLiteral("event"), QStringLiteral("text")},
                                          {QStringLiteral("args"), text}});
    peer.control(QStringLiteral("raw"),
                 {{QStringLiteral("frames"),
                   QJsonArray{QStringLiteral("42/client,[\"text\",\"\\ud83d\\ude00\\u4e2d\"]")}}});
    auto pushedCount = [&]() {
        std::lock_guard<std::mutex> lock(mutex);
        return pushed.size();
    };
    QTRY_COMPARE_WITH_TIMEOUT(pushedCount(), 2, longWait);
    std::lock_guard<std::mutex> lock(mutex);
    QCOMPARE(pushed.at(0), text);
    QCOMPARE(pushed.at(1), QJsonArray{QStringLiteral("😀中")});
}

void TestSioClient::frameLimit()
{
    // maxPayload counts UTF-8 bytes of the whole frame. Exactly at the limit goes out; one byte
    // more fails here, is never sent (the server would close the connection for it) and is not
    // sent again after a reconnect.
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation));
    Recorder recorder;
    AckBox acks;
    // The sender learns of the refusal (on the I/O thread), so it can show it.
    std::atomic<int> refusals{0};
    sio::Client client;
    configure(client, generation);
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    SIO_CONNECT_AND_JOIN(client, recorder, peer);

    // Frame: "4" "2/client," <ack id, 1 digit> ["big","<payload>"]  = 21 bytes + payload.
    const int limit = 1000000;
    const QString fits = QString(333326, QChar(0x4e2d)) + QLatin1Char('a'); // 999,979 bytes
    const QString tooBig = fits + QLatin1Char('a');
    socket->emitEvent(QStringLiteral("big"), {fits}, acks.callback(QStringLiteral("fits")));
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("fits")), longWait);
    QCOMPARE(acks.answer(QStringLiteral("fits")).at(0).toString().size(), fits.size());

    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression(QStringLiteral("emit of big on /client failed: frame of %1 bytes "
                                          "exceeds the server's limit of %2 bytes")
                               .arg(limit + 1)
                               .arg(limit)));
    socket->emitEvent(QStringLiteral("big"), {tooBig}, acks.callback(QStringLiteral("too big")),
                      [&refusals](sio::Socket::Failure failure, const QString &) {
                          if (failure == sio::Socket::Failure::TooLarge)
                              ++refusals;
                      });
    socket->emitEvent(QStringLiteral("echo"), {QStringLiteral("after")},
                      acks.callback(QStringLiteral("after")));
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("after")), longWait);
    QVERIFY(!acks.has(QStringLiteral("too big")));
    QCOMPARE(refusals.load(), 1);
    QCOMPARE(eventsNamed(peer, QStringLiteral("big")).size(), 1);
    QCOMPARE(recorder.count(QStringLiteral("reconnecting")), 0);

    peer.control(QStringLiteral("drop"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("reconnecting")), 1, longWait);
    SIO_CONNECT_AND_JOIN(client, recorder, peer);
    socket->emitEvent(QStringLiteral("echo"), {QStringLiteral("again")},
                      acks.callback(QStringLiteral("again")));
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("again")), longWait);
    QCOMPARE(eventsNamed(peer, QStringLiteral("big")).size(), 1);
    QVERIFY(!acks.has(QStringLiteral("too big")));
}

void TestSioClient::reconnectStartsFresh()
{
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation));
    Recorder recorder;
    AckBox acks;
    sio::Client client;
    configure(client, generation);
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    SIO_CONNECT_AND_JOIN(client, recorder, peer);
    const QString firstSid = engineAt(peer).value(QLatin1String("id")).toString();

    // Pending on the old connection: never answered, so never called.
    for (int i = 0; i < 3; ++i)
        socket->emitEvent(QStringLiteral("noack"), {i}, acks.callback(QStringLiteral("old")));
    QTRY_COMPARE_WITH_TIMEOUT(eventsNamed(peer, QStringLiteral("noack")).size(), 3, longWait);
    peer.control(QStringLiteral("drop"), {{QStringLiteral("mode"), QStringLiteral("terminate")}});
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("reconnecting")), 1, longWait);
    QVERIFY(!client.isOpen());

    // Emitted while down: waits for the namespace of the next connection.
    socket->emitEvent(QStringLiteral("echo"), {QStringLiteral("queued")},
                      acks.callback(QStringLiteral("queued")));
    SIO_CONNECT_AND_JOIN(client, recorder, peer);
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("queued")), longWait);
    QCOMPARE(acks.answer(QStringLiteral("queued")), QJsonArray{QStringLiteral("queued")});
    QVERIFY(!acks.has(QStringLiteral("old")));

    // A fresh connection: new sid, nothing of the old one on its URL, ack ids from 0 again.
    const QJsonObject engine = engineAt(peer);
    QVERIFY(engine.value(QLatin1String("id")).toString() != firstSid);
    QVERIFY(!engine.value(QLatin1String("query")).toObject().contains(QLatin1String("sid")));
    QJsonArray newIds;
    for (const QJsonValue &value :
         peer.control(QStringLiteral("state")).value(QLatin1String("ackIds")).toArray()) {
        if (value.toObject().value(QLatin1String("engine")) == engine.value(QLatin1String("id")))
            newIds.append(value.toObject().value(QLatin1String("id")));
    }
    QCOMPARE(newIds, QJsonArray{0});
    QCOMPARE(recorder.count(QStringLiteral("fail")), 0);
}

void TestSioClient::namespaces()
{
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation));
    Recorder recorder;
    AckBox acks;
    sio::Client client;
    configure(client, generation);
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    auto other = client.socket(QStringLiteral("other"));
    QCOMPARE(other->nsp(), QStringLiteral("/other"));
    QCOMPARE(client.socket(QStringLiteral("/client")), socket);
    SIO_CONNECT_AND_JOIN(client, recorder, peer);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("socket-open:/other")), 1, longWait);

    // A namespace the server does not have: refused, the others unaffected.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "namespace \"/nope\" \"refused: Invalid namespace\"")));
    auto nope = client.socket(QStringLiteral("/nope"));
    QTRY_COMPARE_WITH_TIMEOUT(
        recorder.count(QStringLiteral("socket-close:/nope:refused: Invalid namespace")), 1,
        longWait);
    other->emitEvent(QStringLiteral("echo"), {QStringLiteral("o")},
                     acks.callback(QStringLiteral("other")));
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("other")), longWait);
    QCOMPARE(eventsNamed(peer, QStringLiteral("echo"))
                 .at(0)
                 .toObject()
                 .value(QLatin1String("nsp"))
                 .toString(),
             QStringLiteral("/other"));

    // The server leaves "/client": reported, its pending callbacks dropped, "/other" goes on.
    socket->emitEvent(QStringLiteral("noack"), {}, acks.callback(QStringLiteral("pending")));
    QTRY_COMPARE_WITH_TIMEOUT(eventsNamed(peer, QStringLiteral("noack")).size(), 1, longWait);
    peer.control(QStringLiteral("kick"), {{QStringLiteral("nsp"), QStringLiteral("/client")}});
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("socket-close:/client")), 1, longWait);
    other->emitEvent(QStringLiteral("echo"), {QStringLiteral("o2")},
                     acks.callback(QStringLiteral("other2")));
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("other2")), longWait);
    QVERIFY(!acks.has(QStringLiteral("pending")));
    QCOMPARE(recorder.count(QStringLiteral("reconnecting")), 0);

    // A refused join of "/client" itself.
    peer.control(QStringLiteral("settings"), {{QStringLiteral("refuse"), true}});
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "namespace \"/client\" \"refused: refused by test\"")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "namespace \"/nope\" \"refused: Invalid namespace\"")));
    client.connect(peer.baseUrl());
    QTRY_COMPARE_WITH_TIMEOUT(
        recorder.count(QStringLiteral("socket-close:/client:refused: refused by test")), 1,
        longWait);
}

void TestSioClient::disconnectEventName()
{
    // The messaging leave notice is an ordinary event named "disconnect". The client sends it;
    // a 2.x server hands it to its handlers, a 4.x server closes the connection, which the client
    // reports like any other drop.
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation));
    Recorder recorder;
    AckBox acks;
    sio::Client client;
    configure(client, generation);
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    SIO_CONNECT_AND_JOIN(client, recorder, peer);

    const QJsonObject notice{{QStringLiteral("type"), QStringLiteral("socketClient")},
                             {QStringLiteral("loginUserId"), QStringLiteral("u1")}};
    socket->emitEvent(QStringLiteral("disconnect"), {notice},
                      acks.callback(QStringLiteral("leave")));
    if (generation == Generation::V2) {
        QTRY_COMPARE_WITH_TIMEOUT(eventsNamed(peer, QStringLiteral("disconnect")).size(), 1,
                                  longWait);
        QCOMPARE(eventsNamed(peer, QStringLiteral("disconnect"))
                     .at(0)
                     .toObject()
                     .value(QLatin1String("args"))
                     .toArray(),
                 QJsonArray{notice});
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("reconnecting")), 1, longWait);
        QVERIFY(!acks.has(QStringLiteral("leave")));
    }
}

void TestSioClient::malformedInput_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("warning");

    const QString parse = QStringLiteral("dropping malformed packet");
    QTest::newRow("letters for an ack id") << "42/client,abc[\"x\"]" << parse;
    QTest::newRow("letters after the ack id") << "42/client,12abc[\"x\"]" << parse;
    QTest::newRow("bad json") << "42/client,[\"x\",{]" << parse;
    QTest::newRow("unknown packet type") << "48/client,[\"x\"]" << parse;
    QTest::newRow("event without name") << "42/client,[]" << parse;
    QTest::newRow("ack without id") << "43/client,[]" << parse;
    QTest::newRow("unknown Engine.IO type")
        << "9hello" << QStringLiteral("unknown Engine.IO packet type");
    QTest::newRow("second open packet")
        << "0{\"sid\":\"x\"}" << QStringLiteral("second open packet");
}

void TestSioClient::malformedInput()
{
    // Dropped, logged, and the connection treated as broken so the owner reconnects.
    QFETCH(QString, frame);
    QFETCH(QString, warning);
    NodePeer peer;
    QVERIFY(startPeer(peer, Generation::V4));
    Recorder recorder;
    std::atomic<int> handled{0};
    sio::Client client;
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    socket->on(QStringLiteral("x"), [&](const QJsonArray &, sio::Ack &) { ++handled; });
    SIO_CONNECT_AND_JOIN(client, recorder, peer);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
    peer.control(QStringLiteral("raw"), {{QStringLiteral("frames"), QJsonArray{frame}}});
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("reconnecting")), 1, longWait);
    QCOMPARE(handled.load(), 0);
    SIO_CONNECT_AND_JOIN(client, recorder, peer);
}

void TestSioClient::tolerableInput_data()
{
    QTest::addColumn<QJsonObject>("raw");
    QTest::addColumn<QString>("warning");

    QTest::newRow("ack for an unknown id")
        << QJsonObject{{QStringLiteral("frames"),
                        QJsonArray{QStringLiteral("43/client,999[\"late\"]")}}}
        << QStringLiteral("ignoring an ack for unknown id 999 on \"/client\"");
    QTest::newRow("binary event with its attachment")
        << QJsonObject{{QStringLiteral("frames"),
                        QJsonArray{QStringLiteral(
                            "451-/client,[\"x\",{\"_placeholder\":true,\"num\":0}]")}},
                       {QStringLiteral("binary"), QStringLiteral("\x04payload")}}
        << QStringLiteral("binary packets are not supported");
    // About 600 KB, well inside the frame limit; it reaches both the fast and the general parser.
    const QString deep(300000, QLatin1Char('['));
    QTest::newRow("event nested 300,000 levels deep")
        << QJsonObject{{QStringLiteral("frames"),
                        QJsonArray{QStringLiteral("42/client,[\"x\",") + deep +
                                   QString(300000, QLatin1Char(']')) + QLatin1Char(']')}}}
        << QStringLiteral("dropping a packet: JSON nested deeper than 128 levels");
}

void TestSioClient::tolerableInput()
{
    // Logged and ignored; the connection stays.
    QFETCH(QJsonObject, raw);
    QFETCH(QString, warning);
    NodePeer peer;
    QVERIFY(startPeer(peer, Generation::V4));
    Recorder recorder;
    std::atomic<int> handled{0};
    AckBox acks;
    sio::Client client;
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    socket->on(QStringLiteral("x"), [&](const QJsonArray &, sio::Ack &) { ++handled; });
    socket->onRaw(QStringLiteral("x"), [&](const FastJson::Value &, sio::Ack &) { ++handled; });
    SIO_CONNECT_AND_JOIN(client, recorder, peer);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
    if (raw.contains(QLatin1String("binary")))
        QTest::ignoreMessage(QtWarningMsg, "binary frames are not supported; dropped");
    peer.control(QStringLiteral("raw"), raw);
    socket->emitEvent(QStringLiteral("echo"), {1}, acks.callback(QStringLiteral("echo")));
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("echo")), longWait);
    QCOMPARE(acks.calls(), 1);
    QCOMPARE(handled.load(), 0);
    // The next event is read as usual.
    peer.control(QStringLiteral("push"), {{QStringLiteral("event"), QStringLiteral("x")}});
    QTRY_COMPARE_WITH_TIMEOUT(handled.load(), 1, longWait);
    QCOMPARE(recorder.count(QStringLiteral("reconnecting")), 0);
}

void TestSioClient::unansweredAcknowledgements()
{
    // A server that never answers: past the cap an emit fails at once; past the time limit each
    // awaited answer fails to its sender. The link stays up either way.
    NodePeer peer;
    QVERIFY(startPeer(peer, Generation::V4));
    Recorder recorder;
    AckBox acks;
    std::mutex mutex;
    QList<sio::Socket::Failure> failures;
    const auto onFailure = [&](sio::Socket::Failure failure, const QString &) {
        std::lock_guard<std::mutex> lock(mutex);
        failures << failure;
    };
    const auto failed = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return failures;
    };
    sio::Client client;
    recorder.attach(client);
    client.setAckTimeout(3600 * 1000);
    auto socket = client.socket(QStringLiteral("/client"));
    SIO_CONNECT_AND_JOIN(client, recorder, peer);

    const int cap = 10000;
    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression(QStringLiteral("emit of noack on /client refused: %1 ").arg(cap)));
    for (int i = 0; i <= cap; ++i)
        socket->emitEvent(QStringLiteral("noack"), {i}, acks.callback(QStringLiteral("noack")),
                          onFailure);
    QTRY_COMPARE_WITH_TIMEOUT(
        failed(), QList<sio::Socket::Failure>{sio::Socket::Failure::TooManyPending}, longWait);
    QTRY_COMPARE_WITH_TIMEOUT(eventsNamed(peer, QStringLiteral("noack")).size(), cap, longWait);

    client.close();
    client.setAckTimeout(50);
    SIO_CONNECT_AND_JOIN(client, recorder, peer);
    QTest::ignoreMessage(QtWarningMsg, "emit of noack on /client: no answer within 50 ms");
    socket->emitEvent(QStringLiteral("noack"), {}, acks.callback(QStringLiteral("noack")),
                      onFailure);
    QTRY_COMPARE_WITH_TIMEOUT(failed().size(), 2, longWait);
    QCOMPARE(failed().last(), sio::Socket::Failure::TimedOut);
    QVERIFY(!acks.has(QStringLiteral("noack")));
    QCOMPARE(recorder.count(QStringLiteral("reconnecting")), 0);
    QVERIFY(client.isOpen());
}

TARNEX_TEST_MAIN(TestSioClient)
#include "tst_sioclient.moc"

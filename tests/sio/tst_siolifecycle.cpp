// Life cycle of the socket.io client: connect time-outs, close and destruction in every state,
// callbacks after destruction, the version switch on refusal, wss:// with SNI.

#include "sio/engineurl.h"
#include "sio/generationmemory.h"
#include "siotestkit.h"
#include "testenvironment.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

#include <atomic>

using namespace siotest;

Q_DECLARE_METATYPE(siotest::Generation)

namespace {

// Accepts TCP connections and never answers: a server that hangs during the WebSocket handshake.
class SilentServer : public QTcpServer
{
public:
    SilentServer()
    {
        listen(QHostAddress::LocalHost);
        QObject::connect(this, &QTcpServer::newConnection, this, [this]() {
            while (QTcpSocket *socket = nextPendingConnection())
                socket->setParent(this);
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(serverPort())); }
};

// Answers every request with an HTTP error, as a server that does not take the WebSocket upgrade
// for this protocol version; records the request lines.
class RefusingServer : public QTcpServer
{
public:
    RefusingServer()
    {
        listen(QHostAddress::LocalHost);
        QObject::connect(this, &QTcpServer::newConnection, this, [this]() {
            while (QTcpSocket *socket = nextPendingConnection()) {
                socket->setParent(this);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket]() {
                    const QByteArray request = socket->readAll();
                    requestLines << QString::fromLatin1(request.left(request.indexOf('\r')));
                    socket->write("HTTP/1.1 400 Bad Request\r\nConnection: close\r\n"
                                  "Content-Length: 0\r\n\r\n");
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(serverPort())); }
    QStringList requestLines;
};

// Counts every callback of a client, and those that come after `destroyed` was set.
struct CallbackCounter
{
    std::atomic<int> calls{0};
    std::atomic<int> late{0};
    std::atomic<bool> destroyed{false};

    void hit()
    {
        ++calls;
        if (destroyed)
            ++late;
    }
};

} // namespace

class TestSioLifecycle : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void connectTimeout();
    void unreachableAndUnusableAddresses();
    void closeAndDestroyInEveryState_data();
    void closeAndDestroyInEveryState();
    void destroyWhileTrafficFlows();
    void destroyFromOwnCallback();
    void lastEmitsLeaveBeforeDestruction_data();
    void lastEmitsLeaveBeforeDestruction();
    void connectAgainReplacesConnection();
    void refusedVersionSwitches();
    void httpRefusalTriesOtherVersionOnce();
    void secureWebSocket_data();
    void secureWebSocket();
};

void TestSioLifecycle::connectTimeout()
{
    SilentServer server;
    QVERIFY(server.isListening());
    Recorder recorder;
    sio::Client client;
    client.setConnectTimeout(300);
    recorder.attach(client);
    client.socket(QStringLiteral("/client"));
    client.connect(server.url());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("fail:")), 1, longWait);
    QCOMPARE(recorder.entries(), QStringList{QStringLiteral("fail:no open packet within 300 ms")});
    QVERIFY(!client.isOpen());
    // A silent server is not a refusal: no other version was tried, nothing remembered.
    QCOMPARE(sio::GenerationMemory::lookup(sio::EngineUrl::serverKey(server.url())), 0);
}

void TestSioLifecycle::unreachableAndUnusableAddresses()
{
    Recorder recorder;
    sio::Client client;
    recorder.attach(client);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("unusable server address")));
    client.connect(QUrl(QStringLiteral("ftp://127.0.0.1:21")));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("fail:unusable server address")), 1,
                              longWait);

    // Nothing listens on a port we just gave back.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QUrl closed(QStringLiteral("ws://127.0.0.1:%1").arg(probe.serverPort()));
    probe.close();
    client.connect(closed);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("fail:")), 2, longWait);
    QCOMPARE(sio::GenerationMemory::lookup(sio::EngineUrl::serverKey(closed)), 0);
}

void TestSioLifecycle::closeAndDestroyInEveryState_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("closeFirst");
    for (const char *state : {"idle", "connecting", "open", "frozen", "waiting to reconnect"}) {
        QTest::newRow(
            qPrintable(QStringLiteral("%1, close twice, destroy").arg(QLatin1String(state))))
            << QString::fromLatin1(state) << true;
        QTest::newRow(qPrintable(QStringLiteral("%1, destroy").arg(QLatin1String(state))))
            << QString::fromLatin1(state) << false;
    }
}

void TestSioLifecycle::closeAndDestroyInEveryState()
{
    // Every way out must return promptly, start no new connection and call nothing afterwards.
    QFETCH(QString, state);
    QFETCH(bool, closeFirst);
    NodePeer peer;
    QVERIFY(startPeer(peer, Generation::V4));
    SilentServer silent;
    Recorder recorder;
    std::atomic<int> ticks{0};
    AckBox acks;
    auto client = std::make_unique<sio::Client>();
    client->setConnectTimeout(1000);
    recorder.attach(*client);
    auto socket = client->socket(QStringLiteral("/client"));
    socket->on(QStringLiteral("tick"), [&ticks](const QJsonArray &, sio::Ack &) { ++ticks; });

    int engines = 0;
    if (state == QLatin1String("connecting")) {
        client->connect(silent.url());
    } else if (state != QLatin1String("idle")) {
        SIO_CONNECT_AND_JOIN(*client, recorder, peer);
        engines = 1;
        if (state == QLatin1String("waiting to reconnect")) {
            peer.control(QStringLiteral("drop"));
            QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("reconnecting")), 1, longWait);
        } else {
            peer.control(QStringLiteral("push"), {{QStringLiteral("event"), QStringLiteral("tick")},
                                                  {QStringLiteral("count"), 500}});
        }
        if (state == QLatin1String("frozen"))
            peer.freeze();
    }
    socket->emitEvent(QStringLiteral("noack"), {1}, acks.callback(QStringLiteral("pending")));
    const int reports = recorder.entries().size();

    if (closeFirst) {
        client->close();
        client->close();
        QVERIFY(!client->isOpen());
        // What must not happen is a report or a new connection. Barrier: a refused emit's
        // failure runs on the I/O thread after everything the close queued there.
        std::atomic<bool> flushed{false};
        socket->emitNow(QStringLiteral("flush"), {}, {},
                        [&flushed](sio::Socket::Failure, const QString &) { flushed = true; });
        QTRY_VERIFY_WITH_TIMEOUT(flushed.load(), longWait);
        QCOMPARE(recorder.entries().size(), reports);
    }
    client.reset();
    const int ticksAtDestruction = ticks;
    const int reportsAtDestruction = recorder.entries().size();
    peer.thaw();
    // The thawed peer answering proves it has sent whatever it held; the client is gone, so
    // nothing of it may reach us.
    QCOMPARE(engineCount(peer), engines);
    QCoreApplication::processEvents();
    QCOMPARE(ticks.load(), ticksAtDestruction);
    QCOMPARE(recorder.entries().size(), reportsAtDestruction);
    QCOMPARE(acks.calls(), 0);
}

void TestSioLifecycle::destroyWhileTrafficFlows()
{
    // Events pour in, acknowledgements are outstanding, emits come from another thread: the
    // destructor still returns, and nothing of it reaches the owner afterwards.
    NodePeer peer;
    QVERIFY(startPeer(peer, Generation::V4));
    CallbackCounter counter;
    Recorder recorder;
    std::atomic<bool> stop{false};
    auto client = std::make_unique<sio::Client>();
    auto socket = client->socket(QStringLiteral("/client"));
    recorder.attach(*client);
    socket->on(QStringLiteral("tick"),
               [&counter](const QJsonArray &, sio::Ack &) { counter.hit(); });
    SIO_CONNECT_AND_JOIN(*client, recorder, peer);

    std::atomic<int> sent{0};
    std::thread emitter([&]() {
        for (int i = 0; !stop; ++i, ++sent) {
            socket->emitEvent(QStringLiteral("echo"), {i},
                              [&counter](const QJsonArray &) { counter.hit(); });
            QThread::usleep(200);
        }
    });
    peer.control(QStringLiteral("push"), {{QStringLiteral("event"), QStringLiteral("tick")},
                                          {QStringLiteral("count"), 2000}});
    QTRY_VERIFY_WITH_TIMEOUT(counter.calls > 50, longWait);
    client.reset();
    counter.destroyed = true;
    const int callsAtDestruction = counter.calls;
    // Emits keep coming on the dead client's socket; a good many of them had their chance to
    // call back.
    const int sentAtDestruction = sent;
    QTRY_VERIFY_WITH_TIMEOUT(sent > sentAtDestruction + 100, longWait);
    stop = true;
    emitter.join();
    QCOMPARE(counter.late.load(), 0);
    QCOMPARE(counter.calls.load(), callsAtDestruction);
}

void TestSioLifecycle::destroyFromOwnCallback()
{
    NodePeer peer;
    QVERIFY(startPeer(peer, Generation::V4));
    std::atomic<int> calls{0};
    auto *client = new sio::Client;
    client->setSocketOpenListener([&calls, client](const QString &) {
        ++calls;
        delete client;
    });
    client->setReconnectingListener([&calls](const QString &) { ++calls; });
    auto socket = client->socket(QStringLiteral("/client"));
    client->connect(peer.baseUrl());
    QTRY_COMPARE_WITH_TIMEOUT(calls.load(), 1, longWait);
    // The I/O thread winds itself down; its end is seen as the server losing the connection.
    QTRY_COMPARE_WITH_TIMEOUT(
        peer.control(QStringLiteral("state")).value(QLatin1String("disconnects")).toArray().size(),
        1, longWait);
    socket->emitEvent(QStringLiteral("echo"), {1});
    QCOMPARE(calls.load(), 1);
}

void TestSioLifecycle::lastEmitsLeaveBeforeDestruction_data()
{
    QTest::addColumn<Generation>("generation");
    QTest::newRow("socket.io 4") << Generation::V4;
    QTest::newRow("socket.io 2.5.1") << Generation::V2;
}

void TestSioLifecycle::lastEmitsLeaveBeforeDestruction()
{
    // The messaging engine sends its leave notice and destroys the client right away; what was
    // emitted before the destructor still reaches the server.
    QFETCH(Generation, generation);
    NodePeer peer;
    QVERIFY(startPeer(peer, generation));
    Recorder recorder;
    auto client = std::make_unique<sio::Client>();
    recorder.attach(*client);
    auto socket = client->socket(QStringLiteral("/client"));
    SIO_CONNECT_AND_JOIN(*client, recorder, peer);
    for (int i = 0; i < 20; ++i)
        socket->emitEvent(QStringLiteral("last words"), {i});
    // The 4.x parser closes on this name, so it goes last.
    socket->emitEvent(QStringLiteral("disconnect"),
                      {QJsonObject{{QStringLiteral("type"), QStringLiteral("socketClient")}}});
    client.reset();
    QTRY_COMPARE_WITH_TIMEOUT(eventsNamed(peer, QStringLiteral("last words")).size(), 20, longWait);
    if (generation == Generation::V2)
        QTRY_COMPARE_WITH_TIMEOUT(eventsNamed(peer, QStringLiteral("disconnect")).size(), 1,
                                  longWait);
}

void TestSioLifecycle::connectAgainReplacesConnection()
{
    NodePeer peer;
    QVERIFY(startPeer(peer, Generation::V4));
    Recorder recorder;
    sio::Client client;
    recorder.attach(client);
    client.socket(QStringLiteral("/client"));
    SIO_CONNECT_AND_JOIN(client, recorder, peer);
    SIO_CONNECT_AND_JOIN(client, recorder, peer);
    QCOMPARE(engineCount(peer), 2);
    // The first connection left in order, and its end was not reported as a drop.
    auto disconnects = [&]() {
        return peer.control(QStringLiteral("state")).value(QLatin1String("disconnects")).toArray();
    };
    QTRY_COMPARE_WITH_TIMEOUT(disconnects().size(), 1, longWait);
    QCOMPARE(disconnects().at(0).toObject().value(QLatin1String("reason")).toString(),
             QStringLiteral("client namespace disconnect"));
    QCOMPARE(recorder.entries(),
             (QStringList{QStringLiteral("open"), QStringLiteral("socket-open:/client"),
                          QStringLiteral("open"), QStringLiteral("socket-open:/client")}));
}

void TestSioLifecycle::refusedVersionSwitches()
{
    // A server that once spoke Engine.IO 3 at this address was replaced by a 4.x server without
    // EIO 3 support: the refused attempt is followed by Engine.IO 4, and the memory follows.
    NodePeer peer;
    QVERIFY(startPeer(peer, Generation::V4, {QStringLiteral("--no-eio3")}));
    const QString key = sio::EngineUrl::serverKey(peer.baseUrl());
    sio::GenerationMemory::remember(key, 3);
    {
        Recorder recorder;
        sio::Client client;
        recorder.attach(client);
        client.socket(QStringLiteral("/client"));
        SIO_CONNECT_AND_JOIN(client, recorder, peer);
        QCOMPARE(recorder.count(QStringLiteral("fail")), 0);
        QCOMPARE(sio::GenerationMemory::lookup(key), 4);
        QCOMPARE(engineAt(peer).value(QLatin1String("eio")).toInt(), 4);
    }
    // Insisting on version 3 gets no second try.
    Recorder recorder;
    sio::Client client;
    client.setEngineVersion(sio::Client::EngineVersion::V3);
    recorder.attach(client);
    client.socket(QStringLiteral("/client"));
    client.connect(peer.baseUrl());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("fail:")), 1, longWait);
    QCOMPARE(sio::GenerationMemory::lookup(key), 4);
}

void TestSioLifecycle::httpRefusalTriesOtherVersionOnce()
{
    RefusingServer server;
    QVERIFY(server.isListening());
    Recorder recorder;
    sio::Client client;
    recorder.attach(client);
    client.socket(QStringLiteral("/client"));
    client.connect(server.url());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(QStringLiteral("fail:")), 1, longWait);
    QCOMPARE(server.requestLines.size(), 2);
    QVERIFY2(server.requestLines.at(0).contains(QLatin1String("EIO=4")),
             qPrintable(server.requestLines.at(0)));
    QVERIFY2(server.requestLines.at(1).contains(QLatin1String("EIO=3")),
             qPrintable(server.requestLines.at(1)));
    QVERIFY2(recorder.entries().at(0).contains(QLatin1String("refused the WebSocket handshake")),
             qPrintable(recorder.entries().at(0)));
    QCOMPARE(sio::GenerationMemory::lookup(sio::EngineUrl::serverKey(server.url())), 0);
}

void TestSioLifecycle::secureWebSocket_data()
{
    QTest::addColumn<Generation>("generation");
    QTest::newRow("socket.io 4") << Generation::V4;
    QTest::newRow("socket.io 2.5.1") << Generation::V2;
}

void TestSioLifecycle::secureWebSocket()
{
    QFETCH(Generation, generation);
    if (!QSslSocket::supportsSsl())
        QSKIP("Qt has no TLS backend here");
    NodePeer peer;
    if (!startPeer(peer, generation, {QStringLiteral("--tls")}))
        QSKIP("the peer could not make a certificate (is openssl installed?)");
    // By host name, so the name travels as SNI; the certificate is self-signed.
    const QUrl url(QStringLiteral("wss://localhost:%1").arg(peer.port()));

    Recorder recorder;
    AckBox acks;
    sio::Client client;
    client.setPeerVerification(false);
    recorder.attach(client);
    auto socket = client.socket(QStringLiteral("/client"));
    SIO_JOIN(client, recorder, url);
    socket->emitEvent(QStringLiteral("echo"), {QStringLiteral("加密")},
                      acks.callback(QStringLiteral("echo")));
    QTRY_VERIFY_WITH_TIMEOUT(acks.has(QStringLiteral("echo")), longWait);
    QCOMPARE(acks.answer(QStringLiteral("echo")), QJsonArray{QStringLiteral("加密")});
    // The control requests of this test go to 127.0.0.1 and carry no name; the client's do.
    const QJsonArray names =
        peer.control(QStringLiteral("state")).value(QLatin1String("servernames")).toArray();
    QVERIFY2(names.contains(QStringLiteral("localhost")),
             QJsonDocument(names).toJson(QJsonDocument::Compact).constData());

    // With verification on, the self-signed certificate is refused.
    Recorder verifyingRecorder;
    sio::Client verifying;
    verifyingRecorder.attach(verifying);
    verifying.socket(QStringLiteral("/client"));
    verifying.connect(url);
    QTRY_COMPARE_WITH_TIMEOUT(verifyingRecorder.count(QStringLiteral("fail:")), 1, longWait);
    QCOMPARE(verifyingRecorder.count(QStringLiteral("open")), 0);
}

TARNEX_TEST_MAIN(TestSioLifecycle)
#include "tst_siolifecycle.moc"

// A dropped link waits its delay unless something says the server is worth trying now: the
// machine woke up, the network came back, or the user pressed "retry now". The wake-ups come from
// services of the test's own on a private bus, the link from the reference server.

#include "messagingtestkit.h"
#include "platform/wakewatcher.h"
#include "privatebus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>

using namespace messagingtest;

namespace {

const QString me = QStringLiteral("10001");
// Far longer than any wait below: a reconnection seen in time came from the trigger.
constexpr int slowRetryMs = 600000;

// The system services, as a second connection sends their signals over the bus.
class FakeSystemServices
{
public:
    FakeSystemServices()
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                              QStringLiteral("fake-system")))
    {}
    ~FakeSystemServices() { QDBusConnection::disconnectFromBus(QStringLiteral("fake-system")); }

    bool prepareForSleep(bool sleeping)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << sleeping;
        return m_bus.send(signal);
    }
    bool networkState(uint state)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/NetworkManager"),
            QStringLiteral("org.freedesktop.NetworkManager"), QStringLiteral("StateChanged"));
        signal << state;
        return m_bus.send(signal);
    }
    // The watcher listens for the services' well-known names.
    bool own()
    {
        return m_bus.registerService(QStringLiteral("org.freedesktop.login1")) &&
               m_bus.registerService(QStringLiteral("org.freedesktop.NetworkManager"));
    }

private:
    QDBusConnection m_bus;
};

} // namespace

class TestInstantReconnect : public QObject
{
    Q_OBJECT
private slots:
    void retryDelayHasSmallJitter();
    void watcherReadsTheServices();
    void triggersReconnectAtOnce_data();
    void triggersReconnectAtOnce();
    void nothingWhileSignedInOrAfterLeave();
};

void TestInstantReconnect::retryDelayHasSmallJitter()
{
    // The 5 s retry spreads over up to a fifth more, every value of it reachable, none beyond.
    const int base = SocketHandl::reconnectDelayMs;
    QSet<int> seen;
    for (quint32 draw = 0; draw < 3000; ++draw)
        seen.insert(SocketHandl::reconnectDelay(base, draw));
    for (quint32 draw : {0xffffffffu, 0x80000000u, 0x7fffffffu, 123456789u})
        seen.insert(SocketHandl::reconnectDelay(base, draw));
    QCOMPARE(seen.size(), base / 5 + 1);
    QCOMPARE(*std::min_element(seen.cbegin(), seen.cend()), base);
    QCOMPARE(*std::max_element(seen.cbegin(), seen.cend()), base + base / 5);
    // Short test timings keep their bound; nothing waits less than a millisecond.
    QVERIFY(SocketHandl::reconnectDelay(300, 0xffffffffu) <= 360);
    QCOMPARE(SocketHandl::reconnectDelay(0, 7), 1);
    QCOMPARE(SocketHandl::reconnectDelay(-5, 0xffffffffu), 1);
}

void TestInstantReconnect::watcherReadsTheServices()
{
    FakeSystemServices services;
    QVERIFY(services.own());
    WakeWatcher watcher(QDBusConnection::sessionBus());
    QSignalSpy resumed(&watcher, &WakeWatcher::resumed);
    QSignalSpy returned(&watcher, &WakeWatcher::networkReturned);

    // Going to sleep is not a wake-up; the next signal shows the first one was let through.
    QVERIFY(services.prepareForSleep(true));
    QVERIFY(services.prepareForSleep(false));
    QVERIFY(resumed.wait());
    QCOMPARE(resumed.count(), 1);

    // Only a change into a connected state counts, once: 20 disconnected, 70 global.
    QVERIFY(services.networkState(20));
    QVERIFY(services.networkState(70));
    QVERIFY(returned.wait());
    QVERIFY(services.networkState(60));
    QVERIFY(services.networkState(20));
    QVERIFY(services.networkState(60));
    QTRY_COMPARE(returned.count(), 2);
    QCOMPARE(resumed.count(), 1);
}

void TestInstantReconnect::triggersReconnectAtOnce_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::newRow("resume") << QStringLiteral("resume");
    QTest::newRow("network back") << QStringLiteral("network");
    QTest::newRow("retry now") << QStringLiteral("retry");
}

void TestInstantReconnect::triggersReconnectAtOnce()
{
    QFETCH(QString, trigger);
    clearOutbox(me);
    FakeSystemServices services;
    QVERIFY(services.own());
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.output()));
    SocketHandl engine;
    SignalLog log(&engine);
    QSignalSpy scheduled(&engine, &SocketHandl::sigReconnectScheduled);
    engine.setTimings(SocketHandl::connectTimeoutMs, slowRetryMs, SocketHandl::ackTimeoutMs);
    engine.watchWakeups(QDBusConnection::sessionBus());
    pointAt(server, engine, me);
    MESSAGING_SIGN_IN(engine, log);

    QVERIFY(
        server.hook(QStringLiteral("drop-connections")).value(QLatin1String("dropped")).toInt() >=
        1);
    // The drop is said, with the delay the banner counts down.
    QVERIFY(scheduled.wait(longWait));
    QVERIFY(scheduled.last().value(0).toInt() >= slowRetryMs);
    QVERIFY(scheduled.last().value(0).toInt() <= slowRetryMs + slowRetryMs / 5);
    QCOMPARE(log.last(QStringLiteral("sigNetworkdisconnect")), (QVariantList{false}));

    QSignalSpy connecting(&engine, &SocketHandl::sigConnecting);
    if (trigger == QLatin1String("resume"))
        QVERIFY(services.prepareForSleep(false));
    else if (trigger == QLatin1String("network"))
        QVERIFY(services.networkState(70));
    else
        engine.reconnectNow();
    QTRY_COMPARE_WITH_TIMEOUT(log.count(QStringLiteral("sigReconnectInfor")), 1, longWait);
    QCOMPARE(log.last(QStringLiteral("sigConnectServer")), (QVariantList{true}));
    QCOMPARE(connecting.count(), 1);
}

void TestInstantReconnect::nothingWhileSignedInOrAfterLeave()
{
    clearOutbox(me);
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.output()));
    SocketHandl engine;
    SignalLog log(&engine);
    QSignalSpy connecting(&engine, &SocketHandl::sigConnecting);
    // Before any sign-in there is nothing to go back to.
    engine.reconnectNow();
    QCOMPARE(connecting.count(), 0);

    pointAt(server, engine, me);
    MESSAGING_SIGN_IN(engine, log);
    // A live link is not replaced.
    engine.reconnectNow();
    QCOMPARE(connecting.count(), 1);

    engine.disConnectServer();
    engine.reconnectNow();
    QCOMPARE(connecting.count(), 1);
}

TARNEX_PRIVATE_BUS_TEST_MAIN(TestInstantReconnect)
#include "tst_instantreconnect.moc"

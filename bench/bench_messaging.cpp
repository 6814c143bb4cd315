// The messaging engine on loopback against the reference server: inbound throughput of a burst
// of "private message" events until the last one reaches the GUI thread, next to the official
// Node client on the same burst from the same server; reading a conversation of 10,000 records
// back as message texts; and the round trip of "send message" to its acknowledgement.
//
// usage: bench_messaging [burst] [runs] [--v2]
// (BENCH_INBOUND_ONLY=1 stops after the engine's inbound runs, for profiling; BENCH_VERBOSE=1
// prints each run's timings)
#include "referenceserver.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "messaging/sockethandl.h"
#include "signin/parameterinfor.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>

namespace {

const QString me = QStringLiteral("10001");
const QString burstSender = QStringLiteral("10005");

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    if (values.isEmpty())
        return 0;
    const int index = qMin(values.size() - 1, int(values.size() * p));
    return values.at(index);
}

// Runs the event loop until `done` holds or `limitMs` passed; false on time-out. `wake` is emitted
// by whatever makes `done` true, so the loop does not sleep past it.
template <typename Sender, typename Signal>
bool waitUntil(const std::function<bool()> &done, int limitMs, Sender *sender, Signal wake)
{
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(sender, wake, &loop, [&loop, &done]() {
        if (done())
            loop.quit();
    });
    limit.start(limitMs);
    if (!done())
        loop.exec();
    return done();
}

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool signIn(const ReferenceServer &server, SocketHandl *engine)
{
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), server.address());
    ParameterInfor::instance()->setImHost(QStringLiteral("127.0.0.1"));
    ParameterInfor::instance()->setImPort(QString::number(server.port()));
    engine->setLoginIdentity(me, QStringLiteral("bench"), QStringLiteral("bench"));
    bool signedIn = false;
    QObject guard;
    QObject::connect(engine, qOverload<bool>(&SocketHandl::sigConnectServer), &guard,
                     [&signedIn](bool status) { signedIn = status; });
    engine->connectServer();
    return waitUntil([&signedIn] { return signedIn; }, 30000, engine,
                     qOverload<bool>(&SocketHandl::sigConnectServer));
}

} // namespace

int main(int argc, char **argv)
{
    tarnexIsolateHome();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool v2 = args.removeAll(QStringLiteral("--v2")) > 0;
    const int burst = qMax(1, args.value(1, QStringLiteral("20000")).toInt());
    const int runs = qMax(1, args.value(2, QStringLiteral("3")).toInt());
    QTextStream out(stdout);

    ReferenceServer server;
    if (!server.start(v2 ? QStringList{QStringLiteral("--socketio-v2")} : QStringList())) {
        out << "reference server did not start\n" << server.output() << "\n";
        return 1;
    }
    SocketHandl *engine = SocketHandl::instance();
    if (!signIn(server, engine)) {
        out << "messaging sign-in failed\n";
        return 1;
    }

    // Inbound burst: from the moment the server starts writing it (the hook answers once it has
    // written everything, and says how long that took) to the last event reaching the GUI
    // thread, where the documents get it. The server's preparation of the burst is not the
    // client's time.
    int received = 0;
    qint64 lastNs = 0;
    QObject receiver;
    QObject::connect(engine, &SocketHandl::sigPrivareMessage, &receiver,
                     [&received, &lastNs](const QString &ids, const QString &) {
                         if (ids == burstSender && ++received)
                             lastNs = nowNs();
                     });
    auto inbound = [&](int count) -> double {
        received = 0;
        const QJsonObject pushed = server.hook(QStringLiteral("push-burst"),
                                               QJsonObject{{QStringLiteral("to"), me},
                                                           {QStringLiteral("count"), count},
                                                           {QStringLiteral("from"), burstSender}});
        const qint64 startNs =
            nowNs() - qint64(pushed.value(QLatin1String("elapsedMs")).toDouble() * 1e6);
        if (!waitUntil([&] { return received >= count; }, 180000, engine,
                       &SocketHandl::sigPrivareMessage))
            return -1;
        if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
            qInfo() << "server wrote in" << pushed.value(QLatin1String("elapsedMs")).toDouble()
                    << "ms; received in" << (lastNs - startNs) / 1e6 << "ms";
        return count / ((lastNs - startNs) / 1e9);
    };
    inbound(1000); // warm-up
    QList<double> ours;
    for (int i = 0; i < runs; ++i)
        ours << inbound(burst);

    if (qEnvironmentVariableIsSet("BENCH_INBOUND_ONLY")) {
        out << "inbound " << median(ours) << " events/s\n";
        return 0;
    }
    QList<double> node;
    for (int i = 0; i < runs; ++i) {
        QProcess client;
        QStringList nodeArgs{QStringLiteral(TARNEX_SOURCE_DIR "/bench/bench_messaging_client.js"),
                             server.baseUrl().toString(), QStringLiteral("10003"),
                             QString::number(burst)};
        if (v2)
            nodeArgs << QStringLiteral("--v2");
        client.start(QStringLiteral(TARNEX_NODE_PROGRAM), nodeArgs);
        client.waitForFinished(200000);
        const QJsonObject result =
            QJsonDocument::fromJson(client.readAllStandardOutput().trimmed()).object();
        const double ms = result.value(QLatin1String("ms")).toDouble();
        node << (ms > 0 ? (burst - 1) / (ms / 1000) : -1);
    }

    // Reading a conversation of 10,000 records back.
    SocketHandl store;
    store.setLoginIdentity(me, QString(), QString());
    const qint64 base = 1700000000000;
    for (int i = 0; i < 10000; ++i) {
        store.dispatchInbound(
            QStringLiteral("private message"),
            {QJsonObject{{QStringLiteral("creator"), QStringLiteral("bench-peer")},
                         {QStringLiteral("msg"),
                          QStringLiteral("第 %1 条消息，带一点 <b>格式</b> 和 \"引号\"").arg(i)},
                         {QStringLiteral("msg_id"), double(base + i)},
                         {QStringLiteral("msg_type"), QStringLiteral("text")},
                         {QStringLiteral("send_time"), double(base + i * 1000)},
                         {QStringLiteral("time"), double(base + i * 1000)},
                         {QStringLiteral("type"), QStringLiteral("user")}}});
    }
    QList<double> readBack;
    int texts = 0;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer clock;
        clock.start();
        texts = store.getPrivateIdFromInfors(QStringLiteral("bench-peer")).size();
        readBack << clock.nsecsElapsed() / 1e6;
    }

    // Round trip of "send message" to its acknowledgement, one message at a time.
    qulonglong acknowledged = 0;
    QObject::connect(engine, &SocketHandl::sigPrivareMessageStatus, &receiver,
                     [&acknowledged](const QString &, qulonglong id, const QString &status) {
                         if (status == QLatin1String("2"))
                             acknowledged = id;
                     });
    QList<double> roundTrips;
    for (int i = 0; i < 1000; ++i) {
        QElapsedTimer clock;
        clock.start();
        const qulonglong id = engine
                                  ->sendPrivateInfor(QStringLiteral("10002"),
                                                     QStringLiteral("ping %1").arg(i), QString())
                                  .toULongLong();
        if (!waitUntil([&] { return acknowledged == id; }, 10000, engine,
                       &SocketHandl::sigPrivareMessageStatus))
            break;
        roundTrips << clock.nsecsElapsed() / 1e6;
    }

    const double oursRate = median(ours);
    const double nodeRate = median(node);
    out << "messaging on socket.io " << (v2 ? "2" : "4") << ", burst of " << burst
        << " private messages, median of " << runs << " runs\n";
    out << QStringLiteral("%1 %2 %3\n")
               .arg(QStringLiteral("inbound, engine to GUI thread"), -44)
               .arg(oursRate, 10, 'f', 0)
               .arg(QStringLiteral("events/s"));
    out << QStringLiteral("%1 %2 %3\n")
               .arg(QStringLiteral("inbound, official Node client"), -44)
               .arg(nodeRate, 10, 'f', 0)
               .arg(QStringLiteral("events/s"));
    out << QStringLiteral("%1 %2 %3\n")
               .arg(QStringLiteral("ratio (target >= 2)"), -44)
               .arg(nodeRate > 0 ? oursRate / nodeRate : 0, 10, 'f', 2)
               .arg(QString());
    out << QStringLiteral("%1 %2 %3\n")
               .arg(QStringLiteral("getPrivateIdFromInfors, %1 records").arg(texts), -44)
               .arg(median(readBack), 10, 'f', 2)
               .arg(QStringLiteral("ms (target < 20)"));
    out << QStringLiteral("%1 %2 %3\n")
               .arg(QStringLiteral("send message round trip, median (%1)").arg(roundTrips.size()),
                    -44)
               .arg(median(roundTrips), 10, 'f', 3)
               .arg(QStringLiteral("ms"));
    out << QStringLiteral("%1 %2 %3\n")
               .arg(QStringLiteral("send message round trip, 99th percentile"), -44)
               .arg(percentile(roundTrips, 0.99), 10, 'f', 3)
               .arg(QStringLiteral("ms"));
    return roundTrips.size() == 1000 && oursRate > 0 && nodeRate > 0 ? 0 : 1;
}

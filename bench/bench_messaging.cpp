// The messaging engine next to the official Node client, on loopback, in one table:
// - intake: a bare WebSocket peer (bench_intake_peer.js) writes a burst of pre-encoded
//   "private message" frames in one go; from its first byte to the last event handled (ours: on
//   the GUI thread, where the documents get it; Node's: in its handler);
// - the same intake with the local history keeping every record, as for a signed-in user, and
//   how long after the last event handled the history had written all of them;
// - end to end: the reference server pushes the same burst; from the push request to the last
//   event handled;
// - send message to its acknowledgement, through the outbox, one message at a time;
// - reading a conversation of 10,000 records back as message texts.
//
// usage: bench_messaging [burst] [runs] [--v2]   (--v2: the end-to-end runs against socket.io 2)
// (BENCH_INTAKE_ONLY=1 stops after our intake runs, for profiling; BENCH_VERBOSE=1 prints each
// run's timings)
#include "benchtarget.h"
#include "nodepeer.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "history/historydatabase.h"
#include "history/localhistory.h"
#include "messaging/sockethandl.h"
#include "session/parameterinfor.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#ifndef TARNEX_BUILD_TYPE
#define TARNEX_BUILD_TYPE "unknown"
#endif

namespace {

const QString me = QStringLiteral("10001");
const QString intakeUser = QStringLiteral("10004");
const QString burstSender = QStringLiteral("10005");
const int warmUpBurst = 1000;

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

// The same monotonic clock as Node's process.hrtime on this system.
qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool signIn(const QString &serverAddress, int port, const QString &user, SocketHandl *engine)
{
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), serverAddress);
    ParameterInfor::instance()->setImHost(QStringLiteral("127.0.0.1"));
    ParameterInfor::instance()->setImPort(QString::number(port));
    engine->setLoginIdentity(user, QStringLiteral("bench"), QStringLiteral("bench"));
    bool signedIn = false;
    QObject guard;
    QObject::connect(engine, qOverload<bool>(&SocketHandl::sigConnectServer), &guard,
                     [&signedIn](bool status) { signedIn = status; });
    engine->connectServer();
    return waitUntil([&signedIn] { return signedIn; }, 30000, engine,
                     qOverload<bool>(&SocketHandl::sigConnectServer));
}

// Counts the burst's events as they reach the GUI thread.
struct BurstCounter
{
    int received = 0;
    qint64 lastNs = 0;
    QObject receiver;

    explicit BurstCounter(SocketHandl *engine)
    {
        QObject::connect(engine, &SocketHandl::sigPrivareMessage, &receiver,
                         [this](const QString &ids, const QString &) {
                             if (ids == burstSender) {
                                 ++received;
                                 lastNs = nowNs();
                             }
                         });
    }
};

// One burst: `request` (a blocking HTTP exchange) runs on a helper thread, so the GUI thread is in
// its event loop from the first event on, as in the window. `request` returns the start in ns of
// the monotonic clock, or 0 on failure. Events per second, -1 on failure or time-out.
double burstRate(SocketHandl *engine, BurstCounter &counter, int count,
                 const std::function<qint64()> &request)
{
    counter.received = 0;
    qint64 startNs = 0;
    std::thread requester([&startNs, &request]() { startNs = request(); });
    const bool all = waitUntil([&] { return counter.received >= count; }, 100000, engine,
                               &SocketHandl::sigPrivareMessage);
    requester.join();
    if (!all || startNs <= 0 || counter.lastNs <= startNs)
        return -1;
    if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
        qInfo() << count << "events in" << (counter.lastNs - startNs) / 1e6 << "ms";
    return count / ((counter.lastNs - startNs) / 1e9);
}

// The official Node client's rates over `runs` bursts, after its own warm-up burst, in one
// process.
QList<double> nodeRates(const QUrl &base, const QString &user, int burst, int runs,
                        const QStringList &extra)
{
    QProcess client;
    client.start(QStringLiteral(TARNEX_NODE_PROGRAM),
                 QStringList{QStringLiteral(TARNEX_SOURCE_DIR "/bench/bench_messaging_client.js"),
                             base.toString(), user, QString::number(burst), QString::number(runs)} +
                     extra);
    if (!client.waitForFinished(150000)) {
        client.kill();
        client.waitForFinished(5000);
    }
    const QJsonArray times = QJsonDocument::fromJson(client.readAllStandardOutput().trimmed())
                                 .object()
                                 .value(QLatin1String("ms"))
                                 .toArray();
    if (times.size() != runs)
        qWarning("node client failed: %s", client.readAllStandardError().constData());
    QList<double> rates;
    for (const QJsonValue &ms : times)
        rates << (ms.toDouble() > 0 ? burst / (ms.toDouble() / 1000) : -1);
    return rates;
}

// Opens the signed-in user's history as the client does at sign-in and attaches it to `engine`;
// null when the file could not be opened.
std::shared_ptr<LocalHistory> attachHistory(SocketHandl *engine, const QString &user)
{
    auto history = std::make_shared<LocalHistory>();
    bool ok = false;
    bool loaded = false;
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    QObject::connect(history.get(), &LocalHistory::opened, &loop,
                     [&ok, &loop](bool status, const QString &error) {
                         ok = status;
                         if (!status) {
                             qWarning("local history not available: %s", qPrintable(error));
                             loop.quit();
                         }
                     });
    // Asked after the open, so it answers after it.
    QObject::connect(history.get(), &LocalHistory::recentLoaded, &loop,
                     [engine, &loaded, &loop](const RecordKeeper::PrivateTable &p,
                                              const RecordKeeper::GroupTable &g) {
                         engine->showKept(p, g);
                         loaded = true;
                         loop.quit();
                     });
    history->open(HistoryDatabase::pathFor(ConfigFile::instance()->settingsFolderPath(),
                                           ConfigFile::instance()->currentServerAddress(), user));
    engine->setRecordKeeper(history);
    history->loadRecent(HistoryDatabase::recentLimit);
    loop.exec();
    if (!ok || !loaded) {
        engine->setRecordKeeper(nullptr);
        return nullptr;
    }
    return history;
}

// One burst with the history attached: its rate, and in `drainMs` how long after the last event
// handled on the GUI thread the history had written every record of it (0 when it was done
// first, -1 when it was not done within 30 s).
double burstRateKept(SocketHandl *engine, BurstCounter &counter, LocalHistory *history, int count,
                     const std::function<qint64()> &request, double *drainMs)
{
    const qint64 target = history->writtenCount() + history->queuedCount() + count;
    // Shared with the worker thread, which may still be in the handler when this returns.
    const auto doneNs = std::make_shared<std::atomic<qint64>>(0);
    QObject guard;
    // On the worker thread, so the time is when the batch was written, not when this thread heard.
    QObject::connect(
        history, &LocalHistory::batchWritten, &guard,
        [history, target, doneNs](int) {
            qint64 none = 0;
            if (history->writtenCount() >= target)
                doneNs->compare_exchange_strong(none, nowNs());
        },
        Qt::DirectConnection);
    const double rate = burstRate(engine, counter, count, request);
    const bool written = waitUntil([&] { return history->writtenCount() >= target; }, 30000,
                                   history, &LocalHistory::batchWritten);
    *drainMs = written && *doneNs > 0 ? qMax(0.0, (*doneNs - counter.lastNs) / 1e6) : -1;
    if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
        qInfo() << "history written" << *drainMs << "ms after the last event";
    return rate;
}

QString figure(double value, int decimals)
{
    return value > 0 ? QString::number(value, 'f', decimals) : QStringLiteral("-");
}

} // namespace

int main(int argc, char **argv)
{
    tarnexBenchEnvironment();
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool v2 = args.removeAll(QStringLiteral("--v2")) > 0;
    const int burst = qMax(1, args.value(1, QStringLiteral("20000")).toInt());
    const int runs = qMax(1, args.value(2, QStringLiteral("3")).toInt());
    QTextStream out(stdout);
    const bool verbose = qEnvironmentVariableIsSet("BENCH_VERBOSE");

    // 1. Intake from the bare peer.
    NodePeer peer;
    if (!peer.start(QStringLiteral(TARNEX_SOURCE_DIR "/bench/bench_intake_peer.js"))) {
        out << "intake peer did not start\n" << peer.output() << "\n";
        return 1;
    }
    auto peerBurst = [&peer](int count) {
        const QJsonObject answer = peer.control(
            QStringLiteral("burst"),
            QJsonObject{{QStringLiteral("count"), count}, {QStringLiteral("from"), burstSender}});
        return answer.value(QLatin1String("startNs")).toString().toLongLong();
    };
    QList<double> intakeOurs;
    {
        SocketHandl engine;
        if (!signIn(QStringLiteral("127.0.0.1:%1").arg(peer.port()), peer.port(), intakeUser,
                    &engine)) {
            out << "sign-in at the intake peer failed\n" << peer.output() << "\n";
            return 1;
        }
        BurstCounter counter(&engine);
        burstRate(&engine, counter, warmUpBurst, [&] { return peerBurst(warmUpBurst); });
        for (int i = 0; i < runs; ++i)
            intakeOurs << burstRate(&engine, counter, burst, [&] { return peerBurst(burst); });
    }
    if (qEnvironmentVariableIsSet("BENCH_INTAKE_ONLY")) {
        out << "intake " << median(intakeOurs) << " events/s\n";
        return 0;
    }

    // 1b. The same intake with the local history keeping every record.
    QList<double> intakeKept;
    QList<double> drains;
    qint64 queuePeakBytes = -1;
    {
        SocketHandl engine;
        if (!signIn(QStringLiteral("127.0.0.1:%1").arg(peer.port()), peer.port(), intakeUser,
                    &engine)) {
            out << "sign-in at the intake peer failed\n" << peer.output() << "\n";
            return 1;
        }
        const std::shared_ptr<LocalHistory> history = attachHistory(&engine, intakeUser);
        if (history) {
            BurstCounter counter(&engine);
            double drain = 0;
            burstRateKept(
                &engine, counter, history.get(), warmUpBurst,
                [&] { return peerBurst(warmUpBurst); }, &drain);
            for (int i = 0; i < runs; ++i) {
                intakeKept << burstRateKept(
                    &engine, counter, history.get(), burst, [&] { return peerBurst(burst); },
                    &drain);
                drains << drain;
            }
            engine.setRecordKeeper(nullptr);
            queuePeakBytes = history->peakQueuedBytes();
            history->close();
        } else {
            qWarning("the local history could not be attached");
        }
    }
    const QList<double> intakeNode =
        nodeRates(peer.baseUrl(), intakeUser, burst, runs, {QStringLiteral("--intake")});
    peer.stop();
    if (verbose)
        qInfo() << "intake, ours" << intakeOurs << "with history" << intakeKept << "node"
                << intakeNode;

    // 2. End to end through the reference server.
    ReferenceServer server;
    if (!server.start(v2 ? QStringList{QStringLiteral("--socketio-v2")} : QStringList())) {
        out << "reference server did not start\n" << server.output() << "\n";
        return 1;
    }
    SocketHandl *engine = SocketHandl::instance();
    if (!signIn(server.address(), server.port(), me, engine)) {
        out << "messaging sign-in failed\n";
        return 1;
    }
    BurstCounter counter(engine);
    auto serverBurst = [&server](int count) {
        const qint64 startNs = nowNs();
        const QJsonObject pushed = server.hook(QStringLiteral("push-burst"),
                                               QJsonObject{{QStringLiteral("to"), me},
                                                           {QStringLiteral("count"), count},
                                                           {QStringLiteral("from"), burstSender}});
        return pushed.value(QLatin1String("ok")).toBool() ? startNs : 0;
    };
    burstRate(engine, counter, warmUpBurst, [&] { return serverBurst(warmUpBurst); });
    QList<double> endToEndOurs;
    for (int i = 0; i < runs; ++i)
        endToEndOurs << burstRate(engine, counter, burst, [&] { return serverBurst(burst); });
    const QList<double> endToEndNode =
        nodeRates(server.baseUrl(), QStringLiteral("10003"), burst, runs,
                  v2 ? QStringList{QStringLiteral("--v2")} : QStringList());
    if (verbose)
        qInfo() << "end to end, ours" << endToEndOurs << "node" << endToEndNode;

    // 3. "send message" to its acknowledgement through the outbox, one message at a time.
    qulonglong acknowledged = 0;
    QObject receiver;
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

    // 4. Reading a conversation of 10,000 records back.
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

    struct Row
    {
        QString what;
        double ours;
        double node;
    };
    const double intakeRatio = median(intakeNode) > 0 ? median(intakeOurs) / median(intakeNode) : 0;
    const double keptRatio = median(intakeNode) > 0 ? median(intakeKept) / median(intakeNode) : 0;
    const double endToEndRatio =
        median(endToEndNode) > 0 ? median(endToEndOurs) / median(endToEndNode) : 0;
    const double readBackMs = median(readBack);
    const QList<Row> rows{
        {QStringLiteral("intake, bare peer (events/s)"), median(intakeOurs), median(intakeNode)},
        {QStringLiteral("intake with local history (events/s)"), median(intakeKept),
         median(intakeNode)},
        {QStringLiteral("end to end, server (events/s)"), median(endToEndOurs),
         median(endToEndNode)},
    };
    out << "messaging, " << TARNEX_BUILD_TYPE << " build; bursts of " << burst
        << " \"private message\" events, median of " << runs << " runs; end to end on socket.io "
        << (v2 ? "2" : "4") << "\n";
    out << QStringLiteral("%1 %2 %3 %4\n")
               .arg(QStringLiteral("measure"), -34)
               .arg(QStringLiteral("ours"), 10)
               .arg(QStringLiteral("node"), 10)
               .arg(QStringLiteral("ratio"), 7);
    for (const Row &row : rows) {
        const double ratio = row.node > 0 ? row.ours / row.node : 0;
        out << QStringLiteral("%1 %2 %3 %4\n")
                   .arg(row.what, -34)
                   .arg(figure(row.ours, 0), 10)
                   .arg(figure(row.node, 0), 10)
                   .arg(figure(ratio, 2), 7);
    }
    out << bench::figureLine(QStringLiteral("intake, bare peer, ours / node"), intakeRatio,
                             QStringLiteral("rate"), bench::Op::AtLeast, 2, 2);
    out << bench::figureLine(QStringLiteral("intake with local history, ours / node"), keptRatio,
                             QStringLiteral("rate"), bench::Op::AtLeast, 2, 2);
    out << bench::figureLine(QStringLiteral("end to end through the server, ours / node"),
                             endToEndRatio, QStringLiteral("rate"), bench::Op::AtLeast, 1, 2);
    const double drainMs = drains.size() == runs && !drains.contains(-1) ? median(drains) : -1;
    out << QStringLiteral("%1 %2\n")
               .arg(QStringLiteral("history done after last event, ms"), -34)
               .arg(drainMs >= 0 ? QString::number(drainMs, 'f', 1) : QStringLiteral("-"), 10);
    // The memory the records waiting for the history's file held at most, against its bound.
    out << QStringLiteral("%1 %2  bound %3 MiB\n")
               .arg(QStringLiteral("history queue peak, MiB"), -34)
               .arg(queuePeakBytes >= 0 ? figure(queuePeakBytes / 1048576.0, 1)
                                        : QStringLiteral("-"),
                    10)
               .arg(LocalHistory::queueByteLimit / 1048576);
    const double p50 = median(roundTrips);
    const double p99 = percentile(roundTrips, 0.99);
    out << QStringLiteral("%1 %2\n")
               .arg(QStringLiteral("send -> ack median, ms (%1)").arg(roundTrips.size()), -34)
               .arg(figure(p50, 3), 10);
    out << QStringLiteral("%1 %2\n")
               .arg(QStringLiteral("send -> ack 99th percentile, ms"), -34)
               .arg(figure(p99, 3), 10);
    out << bench::figureLine(QStringLiteral("read back %1 records").arg(texts), readBackMs,
                             QStringLiteral("ms"), bench::Op::Below, 20, 2);
    out.flush();
    const bool measured = roundTrips.size() == 1000 && median(intakeOurs) > 0 &&
                          median(intakeKept) > 0 && drainMs >= 0 && median(intakeNode) > 0 &&
                          median(endToEndOurs) > 0 && median(endToEndNode) > 0;
    return measured ? 0 : 1;
}

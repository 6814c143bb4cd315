// Our socket.io client against the official Node client on the same bursts, on the same peer:
// N emits with acknowledgements (first emit to last acknowledgement) and N events pushed by the
// server (push request to last handler call), for socket.io 4 and 2.5.1, each client after a
// warm-up burst of its own, the two taking turns over several rounds. Prints a table of medians.
// Usage: bench_sio [count [rounds]]   (default 10000 events, 3 rounds)

#include "benchtarget.h"
#include "nodepeer.h"
#include "sio/client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <limits>

namespace {

const QString sourceDir = QStringLiteral(TARNEX_SOURCE_DIR);
// Each client's first burst, on its connection, before the measured one: the peer's JavaScript
// is compiled for whichever client comes first, so without it the order would decide.
const int warmUpBurst = 1000;

struct Figures
{
    double emitAckMs = -1;
    double pushMs = -1;
};

// Waits in the event loop, looking every few ms: a loop that spun instead took a core from the
// peer and the client's I/O thread, which the Node client's harness never does. The figures come
// from the moment the last callback ran, not from when this noticed.
bool waitFor(const std::function<bool()> &done, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer timer;
    timer.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&]() {
        if (done() || timer.elapsed() >= ms)
            loop.quit();
    });
    poll.start(2);
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

Figures runOurs(const NodePeer &peer, int count)
{
    sio::Client client;
    std::atomic<int> opened{0};
    std::atomic<int> acked{0};
    std::atomic<int> received{0};
    client.setSocketOpenListener([&](const QString &) { ++opened; });
    auto socket = client.socket(QStringLiteral("/client"));
    // Set on the I/O thread by the callback that completes a burst.
    std::atomic<int> target{0};
    std::atomic<qint64> lastNs{0};
    socket->on(QStringLiteral("tick"), [&](const QJsonArray &, sio::Ack &) {
        if (++received == target)
            lastNs = nowNs();
    });
    client.connect(peer.baseUrl());
    if (!waitFor([&]() { return opened > 0; }, 20000))
        return Figures();

    auto burst = [&](int n) {
        Figures figures;
        acked = 0;
        received = 0;
        target = n;
        qint64 startNs = nowNs();
        for (int i = 0; i < n; ++i) {
            socket->emitEvent(QStringLiteral("echo"), {i, QStringLiteral("payload")},
                              [&](const QJsonArray &) {
                                  if (++acked == target)
                                      lastNs = nowNs();
                              });
        }
        if (waitFor([&]() { return acked == n; }, 120000))
            figures.emitAckMs = (lastNs - startNs) / 1e6;

        startNs = nowNs();
        peer.control(QStringLiteral("push"),
                     {{QStringLiteral("event"), QStringLiteral("tick")},
                      {QStringLiteral("args"), QJsonArray{QStringLiteral("payload")}},
                      {QStringLiteral("count"), n}});
        if (waitFor([&]() { return received == n; }, 120000))
            figures.pushMs = (lastNs - startNs) / 1e6;
        return figures;
    };
    burst(warmUpBurst);
    return burst(count);
}

Figures runNode(const NodePeer &peer, int count, bool v2)
{
    Figures figures;
    QProcess node;
    QStringList args{sourceDir + QStringLiteral("/bench/bench_sio_client.js"),
                     peer.baseUrl().toString(), QString::number(count),
                     QString::number(warmUpBurst)};
    if (v2)
        args << QStringLiteral("--v2");
    node.start(QStringLiteral(TARNEX_NODE_PROGRAM), args);
    if (!node.waitForFinished(180000)) {
        node.kill();
        node.waitForFinished(5000);
        return figures;
    }
    const QJsonObject result = QJsonDocument::fromJson(node.readAllStandardOutput()).object();
    figures.emitAckMs = result.value(QLatin1String("emitAckMs")).toDouble(-1);
    figures.pushMs = result.value(QLatin1String("pushMs")).toDouble(-1);
    if (figures.emitAckMs < 0)
        std::fprintf(stderr, "node client: %s\n", node.readAllStandardError().constData());
    return figures;
}

// Each figure's median over the rounds; a failed round (-1) counts as the slowest.
Figures medianOf(const QList<Figures> &rounds)
{
    const auto median = [&rounds](double Figures::*field) {
        QList<double> values;
        for (const Figures &figures : rounds)
            values << (figures.*field < 0 ? std::numeric_limits<double>::max() : figures.*field);
        std::sort(values.begin(), values.end());
        const double middle = values.isEmpty() ? -1 : values.at(values.size() / 2);
        return middle == std::numeric_limits<double>::max() ? -1 : middle;
    };
    return Figures{median(&Figures::emitAckMs), median(&Figures::pushMs)};
}

void row(const char *what, const QString &generation, double ours, double node)
{
    const QString ratio =
        ours > 0 && node > 0 ? QString::number(ours / node, 'f', 2) : QStringLiteral("-");
    std::printf("%-10s %-16s %10.1f %10.1f %8s\n", what, qPrintable(generation), ours, node,
                qPrintable(ratio));
}

void targetRow(const char *what, const QString &generation, double ours, double node)
{
    const QString line = bench::figureLine(
        generation + QLatin1Char(' ') + QLatin1String(what) + QStringLiteral(", ours / node"),
        ours > 0 && node > 0 ? ours / node : -1, QStringLiteral("time"), bench::Op::AtMost, 1.0, 2);
    std::fputs(line.toUtf8().constData(), stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 3;
    // Heartbeats at their usual pace, so only the burst is measured.
    const QStringList timings{QStringLiteral("--ping-interval"), QStringLiteral("25000"),
                              QStringLiteral("--ping-timeout"), QStringLiteral("20000")};
    std::printf("socket.io burst of %d events; ms, ratio = ours / official Node client\n", count);
    std::printf("%-10s %-16s %10s %10s %8s\n", "burst", "server", "ours", "node", "ratio");
    struct Result
    {
        QString generation;
        Figures ours;
        Figures node;
    };
    QList<Result> rows;
    for (bool v2 : {false, true}) {
        NodePeer peer;
        QStringList args = timings;
        if (v2)
            args << QStringLiteral("--v2");
        if (!peer.start(sourceDir + QStringLiteral("/tests/sio/peer.js"), args)) {
            std::fprintf(stderr, "peer did not start\n");
            return 1;
        }
        const QString generation =
            v2 ? QStringLiteral("socket.io 2.5.1") : QStringLiteral("socket.io 4");
        // The peer's JavaScript gets faster the more it has run, so whoever goes second meets
        // a quicker peer: the clients take turns at going first, and each figure is a median.
        QList<Figures> ourRounds;
        QList<Figures> nodeRounds;
        for (int round = 0; round < rounds; ++round) {
            if (round % 2 == 1)
                nodeRounds << runNode(peer, count, v2);
            ourRounds << runOurs(peer, count);
            if (round % 2 == 0)
                nodeRounds << runNode(peer, count, v2);
        }
        const Figures ours = medianOf(ourRounds);
        const Figures node = medianOf(nodeRounds);
        row("emit+ack", generation, ours.emitAckMs, node.emitAckMs);
        row("push", generation, ours.pushMs, node.pushMs);
        rows << Result{generation, ours, node};
    }
    for (const Result &result : rows) {
        targetRow("emit+ack", result.generation, result.ours.emitAckMs, result.node.emitAckMs);
        targetRow("pushed events", result.generation, result.ours.pushMs, result.node.pushMs);
    }
    return 0;
}

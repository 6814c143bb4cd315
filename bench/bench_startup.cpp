// Start-up of the client: from starting the process to the first frame of its main window
// (offscreen), and the peak resident memory at that moment. The update feed is answered by the
// reference server on loopback, as a deployment's would be.
#include "benchtarget.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>

int main(int argc, char **argv)
{
    tarnexBenchEnvironment();
    QApplication app(argc, argv);
    const QString program = app.arguments().value(1);
    const int runs = app.arguments().value(2, QStringLiteral("15")).toInt();
    QTextStream out(stdout);
    if (program.isEmpty()) {
        out << "usage: bench_startup <path to tarnex> [runs]\n";
        return 2;
    }
    ReferenceServer server;
    if (!server.start())
        return 1;

    QVector<double> wallMs;
    QVector<double> peakMb;
    static const QRegularExpression frame(
        QStringLiteral("first frame after (\\d+) ms, peak RSS (\\d+) kB"));
    for (int i = 0; i < runs + 1; ++i) {
        QProcess client;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The offscreen platform has no OpenGL.
        env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
        env.insert(QStringLiteral("TARNEX_QUIT_AFTER_FIRST_FRAME"), QStringLiteral("0"));
        env.insert(QStringLiteral("TARNEX_UPDATE_FEED"),
                   server.baseUrl().toString() +
                       QStringLiteral("/tarnex10pack/client/client.php?platform=win"));
        client.setProcessEnvironment(env);
        client.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        QByteArray output;
        qint64 firstFrameMs = -1;
        clock.start();
        client.start(program, QStringList());
        while (client.state() != QProcess::NotRunning || client.bytesAvailable()) {
            client.waitForReadyRead(50);
            output += client.readAll();
            const auto match = frame.match(QString::fromUtf8(output));
            if (match.hasMatch() && firstFrameMs < 0) {
                firstFrameMs = clock.elapsed();
                if (i > 0) { // the first run only warms the disk cache
                    wallMs << double(firstFrameMs);
                    peakMb << match.captured(2).toDouble() / 1024.0;
                }
            }
            if (clock.elapsed() > 30000)
                client.kill();
        }
        client.waitForFinished(5000);
        if (firstFrameMs < 0) {
            out << "no first frame; output:\n" << output << "\n";
            return 1;
        }
    }
    std::sort(wallMs.begin(), wallMs.end());
    std::sort(peakMb.begin(), peakMb.end());
    auto median = [](const QVector<double> &v) { return v.at(v.size() / 2); };
    out << bench::figureLine(
        QStringLiteral("start-up to first frame, offscreen, median of %1").arg(runs),
        median(wallMs), QStringLiteral("ms"), bench::Op::AtMost, 60, 0);
    out << QStringLiteral("  min %1 ms, max %2 ms\n").arg(wallMs.first()).arg(wallMs.last());
    out << bench::figureLine(QStringLiteral("peak RSS at first frame, offscreen, median"),
                             median(peakMb), QStringLiteral("MB"), bench::Op::AtMost, 50);
    out << QStringLiteral("  max %1 MB\n").arg(peakMb.last(), 0, 'f', 1);
    return 0;
}

// The real window signed in with a large organisation (10,000 users in 500 departments by
// default): the client program is started with a saved account that signs in by itself. The
// stages after the server's sign-in answer are timed: the window ready (main frame, conversation
// list, messaging link), the organisation and the user cache loaded behind it, and the longest
// stall of the GUI thread meanwhile. Once everything is in, the proportional set size (PSS) of
// the client and its descendants is read, with whether the web engine is loaded or has
// processes. Under a private Xvfb where there is one (the software renderer, as the screenshots
// use), offscreen otherwise.
//
// usage: bench_window [users]
#include "benchtarget.h"
#include "benchwait.h"
#include "procusage.h"
#include "referenceserver.h"
#include "signedinclient.h"
#include "testenvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>

#include <algorithm>

namespace {

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

enum class Stage {
    SignInAnswer,
    Frame,
    Conversations,
    Link,
    Organisation,
    UserCache,
    TreeFilledIn,
    TreesHandedOver
};

// Starts `client` and reads the log at `logPath` as it grows until every marker has been
// seen, noting when each was (to within one poll, about 10 ms, from the start). False when the
// client ended or 90 s passed first.
bool watch(QProcess &client, const QString &program, const QString &logPath,
           const QList<QPair<Stage, QByteArray>> &markers, QMap<Stage, qint64> &seen,
           QByteArray &logText)
{
    QFile log(logPath);
    int scanned = 0;
    QElapsedTimer clock;
    clock.start();
    client.start(program, QStringList());
    while (seen.size() < markers.size() && clock.elapsed() < 90000 &&
           client.state() != QProcess::NotRunning) {
        bench::settle(10);
        if (!log.isOpen() && !log.open(QIODevice::ReadOnly))
            continue;
        logText += log.readAll();
        const int end = logText.lastIndexOf('\n') + 1;
        for (const auto &marker : markers) {
            if (!seen.contains(marker.first) &&
                logText.mid(scanned, end - scanned).contains(marker.second))
                seen.insert(marker.first, clock.elapsed());
        }
        scanned = end;
    }
    return seen.size() == markers.size();
}

// The longest step on the GUI thread that the log's line "<what> loaded: ..." reports, in ms of
// the thread's CPU time (`wall`: of the clock, which a busy machine stretches).
double stepOf(const QByteArray &logText, const char *what, bool wall = false)
{
    const QRegularExpression line(
        QLatin1String(what) +
        QStringLiteral(" loaded: .*longest step on the GUI thread ([\\d.]+) ms of CPU \\(([\\d.]+) "
                       "ms wall\\)"));
    const auto found = line.match(QString::fromUtf8(logText));
    return found.hasMatch() ? found.captured(wall ? 2 : 1).toDouble() : -1;
}

QString steps(const QByteArray &logText, const char *what)
{
    return QStringLiteral("%1 ms CPU, %2 ms wall")
        .arg(stepOf(logText, what))
        .arg(stepOf(logText, what, true));
}

} // namespace

int main(int argc, char **argv)
{
    tarnexBenchEnvironment();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    const int users = app.arguments().value(1, QStringLiteral("10000")).toInt();
    const QString bin = QStringLiteral(TARNEX_BINARY_DIR);

    ReferenceServer server;
    if (!server.start({QStringLiteral("--org-size"), QString::number(users)})) {
        out << "bench_window: the reference server did not start\n";
        return 1;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess display;
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    QString platform = QStringLiteral("offscreen");
    // A free display: other programs on the machine may hold some.
    for (int attempt = 0; !xvfb.isEmpty() && attempt < 8 && platform != QLatin1String("xcb");
         ++attempt) {
        const QString number =
            QString::number(100 + (QCoreApplication::applicationPid() + attempt * 37) % 400);
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
            continue;
        display.start(xvfb, {QLatin1Char(':') + number, QStringLiteral("-screen"),
                             QStringLiteral("0"), QStringLiteral("1600x1000x24"),
                             QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QElapsedTimer clock;
        clock.start();
        const QString socket = QStringLiteral("/tmp/.X11-unix/X") + number;
        while (clock.elapsed() < 15000 && display.state() != QProcess::NotRunning &&
               !QFile::exists(socket))
            bench::settle(50);
        if (QFile::exists(socket)) {
            platform = QStringLiteral("xcb");
            env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + number);
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        } else {
            stop(display);
        }
    }
    if (platform == QLatin1String("offscreen"))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));

    // The environment already points at this benchmark's private home.
    if (!presetAutoLogin(env, server.address())) {
        out << "bench_window: tarnex-preset failed\n";
        return 1;
    }
    const QString logPath =
        QDir(qEnvironmentVariable("HOME")).filePath(QStringLiteral("bench_window.log"));
    pointClientAt(env, logPath, server.baseUrl());
    QProcess client;
    client.setProcessEnvironment(env);
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Each stage is the moment its line reaches the client's log.
    const QList<QPair<Stage, QByteArray>> markers{
        {Stage::SignInAnswer, QByteArrayLiteral("login HTTP 200")},
        {Stage::Frame, QByteArrayLiteral("main frame shown")},
        {Stage::Conversations, QByteArrayLiteral("conversation list shown")},
        {Stage::Link, QByteArrayLiteral("login acknowledged")},
        {Stage::Organisation, QByteArrayLiteral("organisation loaded")},
        {Stage::UserCache, QByteArrayLiteral("user cache loaded")},
    };
    QMap<Stage, qint64> seen;
    QByteArray logText;
    QFile log(logPath);
    if (!watch(client, bin + QStringLiteral("/tarnex"), logPath, markers, seen, logText)) {
        out << "bench_window: the signed-in window with the organisation did not come up\n";
        stop(client);
        stop(display);
        return 1;
    }
    const qint64 answer = seen.value(Stage::SignInAnswer);
    const qint64 windowReady = std::max(
        {seen.value(Stage::Frame), seen.value(Stage::Conversations), seen.value(Stage::Link)});
    // The first frames, the recent conversations and the language package settle.
    bench::settle(4000);
    const procusage::Usage usage = procusage::usageOf(QString::number(client.processId()));
    stop(client);

    static const QRegularExpression frame(
        QStringLiteral("first frame after (\\d+) ms, peak RSS (\\d+) kB"));
    if (log.open(QIODevice::ReadOnly))
        logText = log.readAll();
    const auto firstFrame = frame.match(QString::fromUtf8(logText));
    // The organisation and the user cache each log their longest step on the GUI thread.
    const double longestStep =
        std::min(stepOf(logText, "organisation"), stepOf(logText, "user cache")) < 0
            ? -1
            : std::max(stepOf(logText, "organisation"), stepOf(logText, "user cache"));

    // Again with the organisation section open as the window comes up: its tree waits for the
    // directory, which is built on the pool and handed over.
    QMap<Stage, qint64> again;
    QByteArray againLog;
    const QString againPath =
        QDir(qEnvironmentVariable("HOME")).filePath(QStringLiteral("bench_window-directory.log"));
    pointClientAt(env, againPath, server.baseUrl());
    QProcess second;
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const bool filledIn =
        presetAutoLogin(env, server.address(),
                        {QStringLiteral("--open"), QStringLiteral("organization")}) &&
        watch(second, bin + QStringLiteral("/tarnex"), againPath,
              {{Stage::SignInAnswer, QByteArrayLiteral("login HTTP 200")},
               {Stage::TreeFilledIn, QByteArrayLiteral("directory tree filled in")},
               {Stage::TreesHandedOver, QByteArrayLiteral("directory trees loaded")},
               {Stage::UserCache, QByteArrayLiteral("user cache loaded")}},
              again, againLog);
    stop(second);
    stop(display);
    const double treeStep =
        std::max({stepOf(againLog, "organisation"), stepOf(againLog, "user cache"),
                  stepOf(againLog, "directory trees")});

    const QString where =
        platform == QLatin1String("xcb") ? QStringLiteral("Xvfb") : QStringLiteral("offscreen");
    out << bench::figureLine(QStringLiteral("first frame of the window, ") + where,
                             firstFrame.hasMatch() ? firstFrame.captured(1).toDouble() : -1,
                             QStringLiteral("ms"), bench::Op::AtMost, 150, 0);
    out << bench::figureLine(QStringLiteral("peak RSS at that first frame"),
                             firstFrame.hasMatch() ? firstFrame.captured(2).toDouble() / 1024 : -1,
                             QStringLiteral("MB"), bench::Op::AtMost, 100);
    out << bench::figureLine(QStringLiteral("sign-in answer, from start"), double(answer),
                             QStringLiteral("ms"), bench::Op::AtMost, 600, 0);
    out << bench::figureLine(
        QStringLiteral("signed in with %1 users, window ready, from the answer").arg(users),
        double(windowReady - answer), QStringLiteral("ms"), bench::Op::AtMost, 1000, 0);
    out << "  main frame " << seen.value(Stage::Frame) - answer << " ms, conversation list "
        << seen.value(Stage::Conversations) - answer << " ms, messaging link "
        << seen.value(Stage::Link) - answer << " ms after the answer\n";
    out << bench::figureLine(QStringLiteral("organisation loaded, from the answer"),
                             double(seen.value(Stage::Organisation) - answer), QStringLiteral("ms"),
                             bench::Op::AtMost, 2000, 0);
    out << bench::figureLine(QStringLiteral("user cache loaded, from the answer"),
                             double(seen.value(Stage::UserCache) - answer), QStringLiteral("ms"),
                             bench::Op::AtMost, 2000, 0);
    out << bench::figureLine(QStringLiteral("longest step of their loading on the GUI thread, CPU"),
                             longestStep, QStringLiteral("ms"), bench::Op::AtMost, 16);
    out << "  organisation " << steps(logText, "organisation") << "; user cache "
        << steps(logText, "user cache") << "\n";
    out << bench::figureLine(
        QStringLiteral("directory section open from the start, filled in"),
        filledIn ? double(again.value(Stage::TreeFilledIn) - again.value(Stage::SignInAnswer)) : -1,
        QStringLiteral("ms"), bench::Op::AtMost, 2000, 0);
    out << bench::figureLine(QStringLiteral("longest step on the GUI thread meanwhile, CPU"),
                             filledIn ? treeStep : -1, QStringLiteral("ms"), bench::Op::AtMost, 16);
    out << "  organisation " << steps(againLog, "organisation") << "; user cache "
        << steps(againLog, "user cache") << "; trees handed over "
        << steps(againLog, "directory trees") << "\n";
    out << bench::figureLine(QStringLiteral("PSS of that window"), usage.totalKb() / 1024.0,
                             QStringLiteral("MB"), bench::Op::AtMost, 120);
    out << "  client " << usage.selfKb / 1024.0 << " MB + " << usage.childrenKb / 1024.0
        << " MB in child processes\n";
    out << "web engine: library " << (usage.webEngineMapped ? "loaded" : "not loaded") << ", "
        << usage.webEngineProcesses << " processes (target: none)\n";
    out.flush();
    return !usage.webEngineMapped && usage.webEngineProcesses == 0 ? 0 : 1;
}

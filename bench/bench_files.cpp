// Chat files over loopback through the reference server: the chunked upload of a large file and
// the download of an equally large attachment, each against curl moving the same bytes to and
// from the same server in the same run. Prints throughput, the ratio to curl and the client's
// peak memory increase (peak RSS over the RSS before the transfer).
//
// usage: bench_files [MiB [rounds]]   (default 1024 MiB, 4 rounds)
#include "benchsignin.h"
#include "benchtarget.h"
#include "procusage.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "files/downloadfile.h"
#include "files/filemessageengine.h"
#include "net/replyenvelope.h"
#include "net/serverrequest.h"
#include "session/parameterinfor.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QtTest>

#include <unistd.h>

#include <algorithm>
#include <functional>

namespace {

// The engine is not what is measured: its calls cost nothing here.
class QuietEngine : public FileMessageEngine
{
public:
    QString userId() const override { return QStringLiteral("1"); }
    QString currentMessageId() const override { return QStringLiteral("1"); }
    QString sendPrivateInfor(const QString &, const QString &, const QString &, const QString &,
                             const QString &, int, bool, const FileAttachment &file) override
    {
        if (!file.id.isEmpty())
            attachmentId = file.id;
        return QStringLiteral("1");
    }
    QString sendGroupInfor(const QString &, const QString &, const QString &, const QString &,
                           const QString &, const QString &, int, bool,
                           const FileAttachment &file) override
    {
        if (!file.id.isEmpty())
            attachmentId = file.id;
        return QStringLiteral("1");
    }
    void removeMessage(const QString &, const QString &) override {}
    QString attachmentId;
};

// Runs the event loop (never sleeping, unlike QTest::qWaitFor) until `done` holds.
void runUntil(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(5);
    if (!done())
        loop.exec();
}

bool writeFile(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < block.size(); ++i)
        block[i] = char((i * 13 + 5) & 0xff);
    for (qint64 at = 0; at < size; at += block.size()) {
        const qint64 length = qMin<qint64>(block.size(), size - at);
        block[0] = char(at >> 20); // no two blocks alike
        if (file.write(block.constData(), length) != length)
            return false;
    }
    return true;
}

QString sha256Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

struct Figures
{
    double seconds = 0;
    qint64 peakKb = 0; // peak RSS increase
    bool ok = false;
};

double mbPerSecond(qint64 bytes, double seconds)
{
    return seconds > 0 ? bytes / 1e6 / seconds : 0;
}

Figures ourUpload(const QString &source, QuietEngine &engine)
{
    Figures figures;
    DownloadFile files;
    QSignalSpy failed(&files, &DownloadFile::sigUploadFile);
    procusage::resetPeak();
    const qint64 before = procusage::statusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    files.loaclFileToNetwork(source, QStringLiteral("1"), QStringLiteral("2"), QString(),
                             QStringLiteral("file"), QStringLiteral("2"));
    runUntil([&] { return !files.uploadBusy(); });
    figures.seconds = timer.nsecsElapsed() / 1e9;
    figures.peakKb = procusage::statusKb("VmHWM") - before;
    figures.ok = failed.isEmpty() && !engine.attachmentId.isEmpty();
    return figures;
}

Figures ourDownload(const QString &id, const QString &target)
{
    Figures figures;
    DownloadFile files;
    QSignalSpy failed(&files, &DownloadFile::sigUploadFile);
    procusage::resetPeak();
    const qint64 before = procusage::statusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    files.dwonloadFileToLoacl(id, target);
    runUntil([&] { return !files.downloadBusy(); });
    figures.seconds = timer.nsecsElapsed() / 1e9;
    figures.peakKb = procusage::statusKb("VmHWM") - before;
    figures.ok = failed.isEmpty();
    return figures;
}

double runCurl(const QStringList &arguments)
{
    QProcess curl;
    curl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    curl.start(QStringLiteral("curl"), arguments);
    if (!curl.waitForFinished(3600 * 1000) || curl.exitCode() != 0)
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

// Seconds until the file's bytes are on the disk: what the client waits for before it puts a
// download in place, and curl does not. Opened for reading, so a file curl never wrote is not
// made here and timed as flushed.
double flushSeconds(const QString &path)
{
    QFile file(path);
    QElapsedTimer timer;
    timer.start();
    if (!file.open(QIODevice::ReadOnly) || ::fdatasync(file.handle()) != 0)
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    tarnexIsolateHome();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("tarnex.*.debug=false"));
    const qint64 mib = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 4;
    const qint64 size = mib * 1024 * 1024;
    QTextStream out(stdout);

    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty()) {
        out << "curl is not installed\n";
        return 1;
    }
    ReferenceServer server;
    if (!server.start() || !benchSignIn(server)) {
        out << "reference server failed: " << server.output() << '\n';
        return 1;
    }
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tarnex-bench-files-XXXXXX"));
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    if (!writeFile(source, size)) {
        out << "cannot write " << source << '\n';
        return 1;
    }
    QuietEngine engine;
    FileMessageEngine::replace(&engine);
    const QString token = ParameterInfor::instance()->token();
    const QString base = ServerRequest::currentBaseUrl();

    // curl sends the same chunks on one connection.
    const int chunks = DownloadFile::chunkCountFor(size);
    QStringList curlUp{QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null")};
    {
        QFile file(source);
        file.open(QIODevice::ReadOnly);
        for (int i = 0; i < chunks; ++i) {
            const QString piece = dir.filePath(QStringLiteral("chunk%1").arg(i));
            QFile chunk(piece);
            chunk.open(QIODevice::WriteOnly);
            chunk.write(file.read(DownloadFile::chunkSize));
            if (i > 0)
                curlUp << QStringLiteral("--next") << QStringLiteral("-s") << QStringLiteral("-o")
                       << QStringLiteral("/dev/null");
            curlUp << QStringLiteral("-H")
                   << QStringLiteral("Content-Type: application/json;charset=UTF-8")
                   << QStringLiteral("-H") << QStringLiteral("Authorization: Bearer ") + token
                   << QStringLiteral("--data-binary") << QLatin1Char('@') + piece
                   << base +
                          QStringLiteral("api/attachment/upload?chunk=%1&chunks=%2&name=curl.bin")
                              .arg(i)
                              .arg(chunks);
        }
    }
    // The download: an attachment of the same size.
    const QString id = server
                           .hook(QStringLiteral("files-create"),
                                 {{QStringLiteral("size"), double(size)},
                                  {QStringLiteral("name"), QStringLiteral("big.bin")}})
                           .value(QLatin1String("attachment_id"))
                           .toString();
    const QString ours = dir.filePath(QStringLiteral("ours.bin"));
    const QString theirs = dir.filePath(QStringLiteral("curl.bin"));
    const QStringList curlDown{QStringLiteral("-s"), QStringLiteral("-o"), theirs,
                               base + QStringLiteral("api/attachment/index/") + id +
                                   QStringLiteral("?api_token=") + token +
                                   QStringLiteral("&operate=download")};

    // Ours and curl in turns, several rounds: the machine's load changes from one second to the
    // next, so a ratio holds only between neighbours.
    out << QStringLiteral("%1 MiB over loopback, %2 chunks of 5 MiB, %3 rounds\n")
               .arg(mib)
               .arg(chunks)
               .arg(rounds);
    out << QStringLiteral("%1 %2 %3 %4 %5\n")
               .arg(QStringLiteral("direction"), -10)
               .arg(QStringLiteral("ours MB/s"), 10)
               .arg(QStringLiteral("curl MB/s"), 10)
               .arg(QStringLiteral("ratio"), 7)
               .arg(QStringLiteral("peak +MiB"), 10);
    const auto row = [&](const QString &name, double ourMb, double curlMb, qint64 peakKb,
                         bool intact) {
        out << QStringLiteral("%1 %2 %3 %4 %5%6\n")
                   .arg(name, -10)
                   .arg(ourMb, 10, 'f', 1)
                   .arg(curlMb, 10, 'f', 1)
                   .arg(curlMb > 0 ? ourMb / curlMb : 0, 7, 'f', 2)
                   .arg(peakKb / 1024.0, 10, 'f', 1)
                   .arg(intact ? QString() : QStringLiteral("  (transfer FAILED)"));
        out.flush();
    };
    QList<double> upRatios;
    QList<double> downRatios;
    QList<double> flushedRatios;
    qint64 upPeakKb = 0;
    qint64 downPeakKb = 0;
    bool allIntact = true;
    for (int round = 0; round < rounds; ++round) {
        // Who goes first changes every round: the one after a transfer meets the disk still
        // writing back what that one wrote.
        const bool curlFirst = round % 2 == 1;
        engine.attachmentId.clear();
        double curlUpMb = curlFirst ? mbPerSecond(size, runCurl(curlUp)) : 0;
        const Figures up = ourUpload(source, engine);
        if (!curlFirst)
            curlUpMb = mbPerSecond(size, runCurl(curlUp));
        const QJsonObject stored =
            server.hook(QStringLiteral("files-info"), {{QStringLiteral("id"), engine.attachmentId},
                                                       {QStringLiteral("sha256"), true}});
        const bool upIntact =
            up.ok && stored.value(QLatin1String("sha256")).toString() == sha256Of(source);
        const double upMb = mbPerSecond(size, up.seconds);
        row(QStringLiteral("upload"), upMb, curlUpMb, up.peakKb, upIntact);

        // curl's file is flushed after its timing, so the next transfer does not meet its
        // writing, and the flush gives the second yardstick: curl plus the client's disk wait.
        double curlDownSeconds = 0;
        double curlFlushSeconds = 0;
        const auto curlDownload = [&] {
            curlDownSeconds = runCurl(curlDown);
            curlFlushSeconds = flushSeconds(theirs);
            QFile::remove(theirs);
        };
        if (curlFirst)
            curlDownload();
        const Figures down = ourDownload(id, ours);
        const bool downIntact = down.ok && QFileInfo(ours).size() == size;
        QFile::remove(ours);
        if (!curlFirst)
            curlDownload();
        const double curlDownMb = mbPerSecond(size, curlDownSeconds);
        const double curlFlushedMb =
            curlFlushSeconds < 0 ? 0 : mbPerSecond(size, curlDownSeconds + curlFlushSeconds);
        const double downMb = mbPerSecond(size, down.seconds);
        row(QStringLiteral("download"), downMb, curlDownMb, down.peakKb, downIntact);
        out << QStringLiteral("  curl with its file flushed: %1 MB/s, ours / that %2\n")
                   .arg(curlFlushedMb, 0, 'f', 1)
                   .arg(curlFlushedMb > 0 ? downMb / curlFlushedMb : 0, 0, 'f', 2);

        allIntact = allIntact && upIntact && downIntact;
        upRatios << (upIntact && curlUpMb > 0 ? upMb / curlUpMb : -1);
        downRatios << (downIntact && curlDownMb > 0 ? downMb / curlDownMb : -1);
        flushedRatios << (downIntact && curlFlushedMb > 0 ? downMb / curlFlushedMb : -1);
        upPeakKb = std::max(upPeakKb, up.peakKb);
        downPeakKb = std::max(downPeakKb, down.peakKb);
    }
    for (int i = 0; i < chunks; ++i)
        QFile::remove(dir.filePath(QStringLiteral("chunk%1").arg(i)));
    FileMessageEngine::replace(nullptr);

    // Of an even count the lower middle: the figure must not flatter.
    const auto medianOf = [](QList<double> values) {
        std::sort(values.begin(), values.end());
        return values.isEmpty() || values.first() < 0 ? -1.0 : values.at((values.size() - 1) / 2);
    };
    const QString sizeText = QStringLiteral("%1 MiB").arg(mib);
    out << bench::figureLine(sizeText + QStringLiteral(" upload, ours / curl, median"),
                             medianOf(upRatios), QStringLiteral("ratio"), bench::Op::AtLeast, 0.9,
                             2);
    out << bench::figureLine(sizeText + QStringLiteral(" download, ours / curl, median"),
                             medianOf(downRatios), QStringLiteral("ratio"), bench::Op::AtLeast, 0.9,
                             2);
    // Information beside the target: the client makes the file durable before it is put in
    // place; this says how much of the gap to curl that costs on this disk.
    out << QStringLiteral("%1 download, ours / curl with its file flushed, median: %2\n")
               .arg(sizeText)
               .arg(medianOf(flushedRatios), 0, 'f', 2);
    out << bench::figureLine(sizeText + QStringLiteral(" upload, peak memory increase"),
                             upPeakKb / 1024.0, QStringLiteral("MiB"), bench::Op::Below, 16);
    out << bench::figureLine(sizeText + QStringLiteral(" download, peak memory increase"),
                             downPeakKb / 1024.0, QStringLiteral("MiB"), bench::Op::Below, 16);
    out.flush();
    server.stop();
    return allIntact ? 0 : 1;
}

#include "filestestkit.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "files/downloadfile.h"
#include "files/safefilename.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

// Chat files up and down through the reference server: chunking, the message hand-over with
// the engine, progress, and every way a transfer can fail.
class TestDownloadFile : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void chunkBoundaries_data();
    void chunkBoundaries();
    void namesAndExtensions_data();
    void namesAndExtensions();
    void groupAndUnknownConversations_data();
    void groupAndUnknownConversations();
    void failedUpload_data();
    void failedUpload();
    void missingSourceRegistersNothing();
    void secondUploadWhileBusyIsIgnored();
    void stopUploadStopsOnlyReporting();

    void download();
    void emptyDownloadShowsComplete();
    void downloadWithoutLength();
    void failedDownloadLeavesNoFile_data();
    void failedDownloadLeavesNoFile();
    void downloadCutOffMidwayNeverReachesTheFinalName_data();
    void downloadCutOffMidwayNeverReachesTheFinalName();
    void uncreatableDestination();
    void safeNames_data();
    void safeNames();
    void hostileNameLandsBesideExistingFile();
    void hostileIdStaysOneSegment();
    void stopDownFileStopsOnlyReporting();
    void secondDownloadWhileBusyIsIgnored();
    void downloadAndUploadTogether();

private:
    QString upload(DownloadFile &files, const QString &path, const QString &chatType = "2",
                   const QString &names = QString());
    QString attachment(const QByteArray &content, const QString &name = "a.txt");
    QString bigAttachment(qint64 size);
    QString downloadPath(const QString &name) const { return m_dir.filePath(name); }

    ReferenceServer m_server;
    RecordingEngine m_engine;
    QTemporaryDir m_dir;
};

void TestDownloadFile::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    QVERIFY(signInAt(m_server, QStringLiteral("zhangwei")));
    FileMessageEngine::replace(&m_engine);
    QVERIFY(m_dir.isValid());
}

void TestDownloadFile::init()
{
    m_server.hook(QStringLiteral("files-reset"));
    m_engine.clear();
}

void TestDownloadFile::cleanupTestCase()
{
    FileMessageEngine::replace(nullptr);
    m_server.stop();
}

// Uploads and waits for the outcome; returns the failure text (empty on success).
QString TestDownloadFile::upload(DownloadFile &files, const QString &path, const QString &chatType,
                                 const QString &names)
{
    QSignalSpy failed(&files, &DownloadFile::sigUploadFile);
    files.loaclFileToNetwork(path, QStringLiteral("m-1"), QStringLiteral("peer"),
                             QStringLiteral("body"), QStringLiteral("file"), chatType, 4, names);
    if (!waitUntil([&] { return !files.uploadBusy(); }, 60000))
        return QStringLiteral("timeout");
    return failed.isEmpty() ? QString() : failed.first().at(1).toString();
}

QString TestDownloadFile::attachment(const QByteArray &content, const QString &name)
{
    return m_server
        .hook(
            QStringLiteral("files-create"),
            {{QStringLiteral("name"), name}, {QStringLiteral("text"), QString::fromUtf8(content)}})
        .value(QLatin1String("attachment_id"))
        .toString();
}

QString TestDownloadFile::bigAttachment(qint64 size)
{
    return m_server.hook(QStringLiteral("files-create"), {{QStringLiteral("size"), double(size)}})
        .value(QLatin1String("attachment_id"))
        .toString();
}

void TestDownloadFile::chunkBoundaries_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QList<qint64>>("chunks");
    const qint64 mib5 = DownloadFile::chunkSize;
    QTest::newRow("empty") << qint64(0) << QList<qint64>{0};
    QTest::newRow("one byte") << qint64(1) << QList<qint64>{1};
    QTest::newRow("exactly 5 MiB") << mib5 << QList<qint64>{mib5};
    QTest::newRow("one byte more") << mib5 + 1 << QList<qint64>{mib5, 1};
    QTest::newRow("three chunks") << 2 * mib5 + 100 << QList<qint64>{mib5, mib5, 100};
}

void TestDownloadFile::chunkBoundaries()
{
    QFETCH(qint64, size);
    QFETCH(QList<qint64>, chunks);
    const QString path = m_dir.filePath(QStringLiteral("chunked.bin"));
    QVERIFY(writePatternFile(path, size));

    DownloadFile files;
    QSignalSpy progress(&files, &DownloadFile::sigUploadProgress);
    QCOMPARE(upload(files, path), QString());

    const QJsonArray requests = uploadRequests(m_server);
    QCOMPARE(requests.size(), chunks.size());
    for (int i = 0; i < chunks.size(); ++i) {
        const QJsonObject request = requests.at(i).toObject();
        const QJsonObject query = request.value(QLatin1String("query")).toObject();
        QCOMPARE(query.value(QLatin1String("chunk")).toString(), QString::number(i));
        QCOMPARE(query.value(QLatin1String("chunks")).toString(), QString::number(chunks.size()));
        QCOMPARE(qint64(request.value(QLatin1String("bytes")).toDouble()), chunks.at(i));
        QCOMPARE(request.value(QLatin1String("contentType")).toString(),
                 QStringLiteral("application/json;charset=UTF-8"));
        QVERIFY(request.value(QLatin1String("authorization")).toString().startsWith("Bearer "));
    }

    // The pending message is registered once, then replaced by the sent one.
    QCOMPARE(m_engine.calls, (QStringList{"register", "remove", "register", "send"}));
    QCOMPARE(m_engine.removed, QStringList{QStringLiteral("peer/1001")});
    const RecordingEngine::Send first = m_engine.sends.first();
    QCOMPARE(first.ids, QStringLiteral("peer"));
    QCOMPARE(first.dateTimes, QStringLiteral("m-1"));
    QCOMPARE(first.filePathas, QStringLiteral("bin"));
    QCOMPARE(first.fileIndex, 5);
    QVERIFY(!first.send);
    // The pending message knows the size but has no attachment yet; the local path is
    // recorded once, with the message shown when the upload is done.
    QCOMPARE(first.file.size, size);
    QCOMPARE(first.file.id, QString());
    QCOMPARE(m_engine.sends.at(1).file.localPath, path);
    const RecordingEngine::Send sent = m_engine.sends.at(2);
    QVERIFY(sent.send);
    QCOMPARE(sent.file.size, size);
    QCOMPARE(sent.file.localPath, QString());
    QVERIFY(!sent.file.id.isEmpty());

    const QJsonObject stored =
        m_server.hook(QStringLiteral("files-info"), {{QStringLiteral("id"), m_engine.attachmentId},
                                                     {QStringLiteral("sha256"), true}});
    QCOMPARE(qint64(stored.value(QLatin1String("size")).toDouble()), size);
    QCOMPARE(stored.value(QLatin1String("sha256")).toString(), sha256Of(path));

    // Progress is keyed by the pending message and rises to the file's size.
    QVERIFY(!progress.isEmpty());
    qint64 previous = -1;
    for (const QList<QVariant> &signal : qAsConst(progress)) {
        QCOMPARE(signal.at(0).toString(), QStringLiteral("1001"));
        QCOMPARE(signal.at(2).toLongLong(), size);
        QVERIFY(signal.at(1).toLongLong() >= previous);
        previous = signal.at(1).toLongLong();
    }
    QCOMPARE(previous, size);
}

void TestDownloadFile::namesAndExtensions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::newRow("several dots") << "a.b.c"
                                  << "c";
    QTest::newRow("no extension") << "README"
                                  << "";
    QTest::newRow("spaces and Chinese") << "季度 报告 2024.pdf"
                                        << "pdf";
    QTest::newRow("query characters") << "a&b=c#d+e%f.txt"
                                      << "txt";
}

void TestDownloadFile::namesAndExtensions()
{
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QDir folder(m_dir.filePath(QStringLiteral("names")));
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    const QString path = folder.filePath(name);
    QVERIFY(writePatternFile(path, 10));

    DownloadFile files;
    // A file chosen in a dialog arrives as a URL.
    QCOMPARE(upload(files, QUrl::fromLocalFile(path).toString()), QString());
    QCOMPARE(m_engine.sends.first().filePathas, extension);
    const QJsonObject query =
        uploadRequests(m_server).first().toObject().value(QLatin1String("query")).toObject();
    QCOMPARE(query.value(QLatin1String("name")).toString(), name);
    QCOMPARE(
        m_server.hook(QStringLiteral("files-info"), {{QStringLiteral("id"), m_engine.attachmentId}})
            .value(QLatin1String("name"))
            .toString(),
        name);
    QCOMPARE(DownloadFile::fileNameOf(QStringLiteral("C:\\dir\\") + name), name);
}

void TestDownloadFile::groupAndUnknownConversations_data()
{
    QTest::addColumn<QString>("chatType");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("group") << "3" << QStringList{"register", "remove", "register", "send"};
    QTest::newRow("unknown kind registers nothing") << "9" << QStringList{};
}

void TestDownloadFile::groupAndUnknownConversations()
{
    QFETCH(QString, chatType);
    QFETCH(QStringList, calls);
    const QString path = m_dir.filePath(QStringLiteral("group.txt"));
    QVERIFY(writePatternFile(path, 3));
    DownloadFile files;
    QCOMPARE(upload(files, path, chatType, QStringLiteral("李娜")), QString());
    QCOMPARE(m_engine.calls, calls);
    for (const RecordingEngine::Send &send : qAsConst(m_engine.sends)) {
        QCOMPARE(send.kind, QStringLiteral("group"));
        QCOMPARE(send.userName, QStringLiteral("李娜"));
    }
}

void TestDownloadFile::failedUpload_data()
{
    QTest::addColumn<QJsonObject>("mode");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("requests");
    const qint64 mib5 = DownloadFile::chunkSize;
    QTest::newRow("middle chunk 500")
        << QJsonObject{{"upload", "fail-chunk"}, {"failChunk", 1}, {"failStatus", 500}}
        << 2 * mib5 + 1 << 2;
    // Chunks 1 and 2 go together: the next one may reach the server before the failure is seen.
    QTest::newRow("middle chunk 500 with the next in flight")
        << QJsonObject{{"upload", "fail-chunk"}, {"failChunk", 2}, {"failStatus", 500}}
        << 4 * mib5 + 1 << -4;
    QTest::newRow("first chunk 404")
        << QJsonObject{{"upload", "fail-chunk"}, {"failChunk", 0}, {"failStatus", 404}} << mib5 + 1
        << 1;
    QTest::newRow("last reply not JSON")
        << QJsonObject{{"upload", "last-garbage"}} << mib5 + 1 << 2;
    QTest::newRow("last reply status 0")
        << QJsonObject{{"upload", "last-status0"}} << qint64(5) << 1;
}

void TestDownloadFile::failedUpload()
{
    QFETCH(QJsonObject, mode);
    QFETCH(qint64, size);
    QFETCH(int, requests);
    QVERIFY(m_server.hook(QStringLiteral("files"), mode).value(QLatin1String("ok")).toBool());
    const QString path = m_dir.filePath(QStringLiteral("failing.bin"));
    QVERIFY(writePatternFile(path, size));

    DownloadFile files;
    QCOMPARE(upload(files, path), QStringLiteral("上传文件失败"));
    // A negative count is the most there may be, the one before it the least.
    if (requests < 0)
        QVERIFY(uploadRequests(m_server).size() >= -requests - 1 &&
                uploadRequests(m_server).size() <= -requests);
    else
        QCOMPARE(uploadRequests(m_server).size(), requests);
    // The pending message is taken away and nothing is sent.
    QCOMPARE(m_engine.calls, (QStringList{"register", "remove"}));
    QCOMPARE(m_engine.removed, QStringList{QStringLiteral("peer/1001")});
    QVERIFY(!files.uploadBusy());

    // The road is free again.
    m_server.hook(QStringLiteral("files-reset"));
    m_engine.clear();
    QCOMPARE(upload(files, path), QString());
}

void TestDownloadFile::missingSourceRegistersNothing()
{
    DownloadFile files;
    QCOMPARE(upload(files, m_dir.filePath(QStringLiteral("no such file"))),
             QStringLiteral("打开文件失败"));
    QVERIFY(m_engine.calls.isEmpty());
    QVERIFY(uploadRequests(m_server).isEmpty());
}

void TestDownloadFile::secondUploadWhileBusyIsIgnored()
{
    const QString path = m_dir.filePath(QStringLiteral("busy.bin"));
    QVERIFY(writePatternFile(path, DownloadFile::chunkSize + 1));
    DownloadFile files;
    files.loaclFileToNetwork(path, "m-1", "peer", "body", "file", "2");
    files.loaclFileToNetwork(path, "m-2", "other", "body", "file", "2");
    QVERIFY(waitUntil([&] { return !files.uploadBusy(); }, 60000));
    QCOMPARE(uploadRequests(m_server).size(), 2);
    QCOMPARE(m_engine.sends.size(), 3);
    for (const RecordingEngine::Send &send : qAsConst(m_engine.sends))
        QCOMPARE(send.ids, QStringLiteral("peer"));
}

void TestDownloadFile::stopUploadStopsOnlyReporting()
{
    const QString path = m_dir.filePath(QStringLiteral("quiet.bin"));
    QVERIFY(writePatternFile(path, 2 * DownloadFile::chunkSize));
    DownloadFile files;
    QSignalSpy progress(&files, &DownloadFile::sigUploadProgress);
    files.loaclFileToNetwork(path, "m-1", "peer", "body", "file", "2");
    files.stopUploadFile();
    QVERIFY(waitUntil([&] { return !files.uploadBusy(); }, 60000));
    QVERIFY(progress.isEmpty());
    QVERIFY(!m_engine.attachmentId.isEmpty());
    QCOMPARE(m_engine.sends.size(), 3);
}

void TestDownloadFile::download()
{
    const qint64 size = 3 * 1024 * 1024 + 17;
    const QString id = bigAttachment(size);
    DownloadFile files;
    QSignalSpy progress(&files, &DownloadFile::downloadProgress);
    QSignalSpy failed(&files, &DownloadFile::sigUploadFile);
    QSignalSpy finished(&files, &DownloadFile::sigDownloadFinished);
    const QString target = downloadPath(QStringLiteral("下载 文件.bin"));
    files.dwonloadFileToLoacl(QLatin1Char('"') + id + QLatin1Char('"'),
                              QUrl::fromLocalFile(target).toString());
    QVERIFY(files.downloadBusy());
    QVERIFY(waitUntil([&] { return !files.downloadBusy(); }, 30000));
    QVERIFY(failed.isEmpty());
    // Announced once, when the file is under its final name.
    QCOMPARE(finished.size(), 1);
    QCOMPARE(QFileInfo(finished.first().at(0).toString()).canonicalFilePath(),
             QFileInfo(target).canonicalFilePath());
    QCOMPARE(QFileInfo(target).size(), size);
    // Nothing is left beside it, and it may be read as any new file may, not only by its owner
    // as a temporary file.
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("下载 文件.bin*")}, QDir::Files),
             QStringList{QStringLiteral("下载 文件.bin")});
    QFile fresh(downloadPath(QStringLiteral("fresh.bin")));
    QVERIFY(fresh.open(QIODevice::WriteOnly));
    QCOMPARE(QFileInfo(target).permissions(), fresh.permissions());
    fresh.remove();
    QCOMPARE(sha256Of(target),
             m_server
                 .hook(QStringLiteral("files-info"),
                       {{QStringLiteral("id"), id}, {QStringLiteral("sha256"), true}})
                 .value(QLatin1String("sha256"))
                 .toString());
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(0).toLongLong(), size);
    QCOMPARE(progress.last().at(1).toLongLong(), size);
}

void TestDownloadFile::emptyDownloadShowsComplete()
{
    const QString id = attachment(QByteArray());
    DownloadFile files;
    QSignalSpy progress(&files, &DownloadFile::downloadProgress);
    const QString target = downloadPath(QStringLiteral("empty.txt"));
    files.dwonloadFileToLoacl(id, target);
    QVERIFY(waitUntil([&] { return !files.downloadBusy(); }, 30000));
    QVERIFY(QFileInfo::exists(target));
    QCOMPARE(QFileInfo(target).size(), 0);
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last(), (QList<QVariant>{qlonglong(1), qlonglong(1)}));
}

void TestDownloadFile::downloadWithoutLength()
{
    m_server.hook(QStringLiteral("files"),
                  {{QStringLiteral("download"), QStringLiteral("nolength")}});
    const QString id = bigAttachment(1024 * 1024 + 3);
    DownloadFile files;
    QSignalSpy progress(&files, &DownloadFile::downloadProgress);
    QSignalSpy failed(&files, &DownloadFile::sigUploadFile);
    const QString target = downloadPath(QStringLiteral("nolength.bin"));
    files.dwonloadFileToLoacl(id, target);
    QVERIFY(waitUntil([&] { return !files.downloadBusy(); }, 30000));
    QVERIFY(failed.isEmpty());
    QCOMPARE(QFileInfo(target).size(), 1024 * 1024 + 3);
    // Without a length the total reads -1, at the end the size.
    QVERIFY(!progress.isEmpty());
    for (const QList<QVariant> &signal : qAsConst(progress))
        QVERIFY(signal.at(1).toLongLong() == -1 || signal.at(1).toLongLong() == 1024 * 1024 + 3);
}

void TestDownloadFile::failedDownloadLeavesNoFile_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("known");
    QTest::addColumn<bool>("existing");
    for (const bool existing : {false, true}) {
        const char *over = existing ? ", over a file" : "";
        QTest::addRow("error page%s", over) << "error" << true << existing;
        QTest::addRow("connection drops midway%s", over) << "midway" << true << existing;
        QTest::addRow("unknown attachment%s", over) << "normal" << false << existing;
    }
}

void TestDownloadFile::failedDownloadLeavesNoFile()
{
    QFETCH(QString, mode);
    QFETCH(bool, known);
    QFETCH(bool, existing);
    m_server.hook(QStringLiteral("files"), {{QStringLiteral("download"), mode}});
    const QString id = known ? bigAttachment(2 * 1024 * 1024) : QStringLiteral("nosuchid");
    const QString target = downloadPath(QStringLiteral("broken.bin"));
    QFile::remove(target);
    const QByteArray before("the user's own file\n");
    if (existing) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    DownloadFile files;
    QSignalSpy failed(&files, &DownloadFile::sigUploadFile);
    QSignalSpy finished(&files, &DownloadFile::sigDownloadFinished);
    files.dwonloadFileToLoacl(id, target);
    QVERIFY(waitUntil([&] { return !files.downloadBusy(); }, 30000));
    QVERIFY(finished.isEmpty());
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first(), (QList<QVariant>{false, QStringLiteral("上传文件失败")}));
    if (existing) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    } else {
        QVERIFY(!QFileInfo::exists(target));
    }
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("broken.bin*")}, QDir::Files),
             existing ? QStringList{QStringLiteral("broken.bin")} : QStringList());
}

// While the bytes come in, and when the client ends before they are all in (as a killed client
// would), nothing is under the final name but what was there before.
void TestDownloadFile::downloadCutOffMidwayNeverReachesTheFinalName_data()
{
    QTest::addColumn<bool>("existing");
    QTest::newRow("new file") << false;
    QTest::newRow("over a file") << true;
}

void TestDownloadFile::downloadCutOffMidwayNeverReachesTheFinalName()
{
    QFETCH(bool, existing);
    m_server.hook(QStringLiteral("files"), {{QStringLiteral("download"), QStringLiteral("stall")}});
    const QString id = bigAttachment(4 * 1024 * 1024);
    const QString target = downloadPath(QStringLiteral("stalled.bin"));
    QFile::remove(target);
    const QByteArray before("kept\n");
    if (existing) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    auto contents = [&] {
        QFile file(target);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    };
    {
        DownloadFile files;
        files.dwonloadFileToLoacl(id, target);
        // Half the file has left the server, which then falls silent: the client is cut off.
        QVERIFY(waitUntil(
            [&] {
                return m_server.hook(QStringLiteral("files-stalled"))
                           .value(QLatin1String("stalled"))
                           .toInt() == 1;
            },
            30000));
        QVERIFY(files.downloadBusy());
        QCOMPARE(contents(), existing ? before : QByteArray("<none>"));
    }
    QCOMPARE(contents(), existing ? before : QByteArray("<none>"));
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("stalled.bin*")}, QDir::Files),
             existing ? QStringList{QStringLiteral("stalled.bin")} : QStringList());
}

// An id from a message cannot climb, start a query or cut the URL short.
void TestDownloadFile::hostileIdStaysOneSegment()
{
    DownloadFile files;
    QSignalSpy failed(&files, &DownloadFile::sigUploadFile);
    files.dwonloadFileToLoacl(QStringLiteral("../../x?y#z"), downloadPath(QStringLiteral("h.bin")));
    QVERIFY(waitUntil([&] { return !files.downloadBusy(); }, 30000));
    QCOMPARE(failed.size(), 1);
    const QJsonArray downloads = m_server.hook(QStringLiteral("files-downloads"))
                                     .value(QLatin1String("downloads"))
                                     .toArray();
    QCOMPARE(downloads.size(), 1);
    const QJsonObject request = downloads.first().toObject();
    QCOMPARE(request.value(QLatin1String("id")).toString(), QStringLiteral("../../x?y#z"));
    const QJsonObject query = request.value(QLatin1String("query")).toObject();
    QCOMPARE(query.value(QLatin1String("operate")).toString(), QStringLiteral("download"));
    QVERIFY(!query.contains(QLatin1String("y")));
}

void TestDownloadFile::uncreatableDestination()
{
    const QString id = attachment("x");
    DownloadFile files;
    QSignalSpy failed(&files, &DownloadFile::sigUploadFile);
    files.dwonloadFileToLoacl(id, m_dir.filePath(QStringLiteral("no/such/folder/x.txt")));
    QVERIFY(!files.downloadBusy());
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(1).toString(), QStringLiteral("打开文件失败"));

    // A destination made of a folder and a name from a message must not climb out of it.
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("inbox")));
    files.dwonloadFileToLoacl(id, m_dir.filePath(QStringLiteral("inbox/../../climbed.txt")));
    QVERIFY(!files.downloadBusy());
    QCOMPARE(failed.size(), 2);
    QVERIFY(!QFileInfo::exists(QFileInfo(m_dir.path()).path() + QStringLiteral("/climbed.txt")));
}

void TestDownloadFile::safeNames_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("safe");
    QTest::newRow("plain") << "报告 2024.docx"
                           << "报告 2024.docx";
    QTest::newRow("emoji stays whole") << "😀.png"
                                       << "😀.png";
    QTest::newRow("separators and drive") << "C:\\Windows/x:y.txt"
                                          << "C__Windows_x_y.txt";
    QTest::newRow("other characters Windows refuses") << "a*b?c\"d<e>f|g"
                                                      << "a_b_c_d_e_f_g";
    QTest::newRow("controls") << QString::fromUtf8("a\x01"
                                                   "b\tc\nd\x7f")
                              << "a_b_c_d_";
    QTest::newRow("direction override")
        << QString::fromUtf8("invoice\u202Efdp.exe") << "invoice_fdp.exe";
    QTest::newRow("lone surrogate") << QString(QChar(0xd800)) + QStringLiteral("x") << "_x";
    QTest::newRow("trailing dots and blanks") << "run.exe. . "
                                              << "run.exe";
    QTest::newRow("leading blanks") << "  a.txt"
                                    << "a.txt";
    QTest::newRow("device name") << "CON"
                                 << "_CON";
    QTest::newRow("device name with extension") << "con.txt"
                                                << "_con.txt";
    QTest::newRow("device name with two extensions") << "Lpt9.tar.gz"
                                                     << "_Lpt9.tar.gz";
    QTest::newRow("device name and blank") << "nul .txt"
                                           << "_nul .txt";
    QTest::newRow("superscript port")
        << QString::fromUtf8("COM\u00b9") << QString::fromUtf8("_COM\u00b9");
    QTest::newRow("not a device") << "CONSOLE.txt"
                                  << "CONSOLE.txt";
    QTest::newRow("COM0 is no device") << "com0"
                                       << "com0";
    QTest::newRow("empty") << ""
                           << "file";
    QTest::newRow("dots only") << ".."
                               << "file";
    QTest::newRow("blanks only") << "   "
                                 << "file";
    QTest::newRow("extension only") << ".pdf"
                                    << "file.pdf";
    QTest::newRow("hidden file") << ".bashrc"
                                 << "file.bashrc";
    QTest::newRow("long name keeps its extension")
        << QString(300, QLatin1Char('a')) + QStringLiteral(".pdf")
        << QString(176, QLatin1Char('a')) + QStringLiteral(".pdf");
}

void TestDownloadFile::safeNames()
{
    QFETCH(QString, received);
    QFETCH(QString, safe);
    QCOMPARE(SafeFileName::of(received), safe);
    // Cleaning twice changes nothing more.
    QCOMPARE(SafeFileName::of(safe), safe);
}

void TestDownloadFile::hostileNameLandsBesideExistingFile()
{
    // The caller found "con.txt" free; the safe name is taken, and stays as it was.
    const QString id = attachment("new");
    QFile existing(m_dir.filePath(QStringLiteral("_con.txt")));
    QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("old") == 3);
    existing.close();
    DownloadFile files;
    QSignalSpy finished(&files, &DownloadFile::sigDownloadFinished);
    files.dwonloadFileToLoacl(id, m_dir.filePath(QStringLiteral("con.txt")));
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().at(0).toString(), m_dir.filePath(QStringLiteral("_con (1).txt")));
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("old"));
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("con.txt"))));
}

void TestDownloadFile::stopDownFileStopsOnlyReporting()
{
    const qint64 size = 4 * 1024 * 1024;
    const QString id = bigAttachment(size);
    const QString target = downloadPath(QStringLiteral("stopped.bin"));
    DownloadFile files;
    QSignalSpy progress(&files, &DownloadFile::downloadProgress);
    files.dwonloadFileToLoacl(id, target);
    files.stopDownFile();
    QVERIFY(waitUntil([&] { return !files.downloadBusy(); }, 30000));
    QVERIFY(progress.isEmpty());
    QCOMPARE(QFileInfo(target).size(), size);
}

void TestDownloadFile::secondDownloadWhileBusyIsIgnored()
{
    const QString id = attachment("first");
    const QString other = attachment("second");
    DownloadFile files;
    files.dwonloadFileToLoacl(id, downloadPath(QStringLiteral("first.txt")));
    files.dwonloadFileToLoacl(other, downloadPath(QStringLiteral("second.txt")));
    QVERIFY(waitUntil([&] { return !files.downloadBusy(); }, 30000));
    QVERIFY(QFileInfo::exists(downloadPath(QStringLiteral("first.txt"))));
    QVERIFY(!QFileInfo::exists(downloadPath(QStringLiteral("second.txt"))));
}

void TestDownloadFile::downloadAndUploadTogether()
{
    const qint64 size = 2 * DownloadFile::chunkSize + 9;
    const QString id = bigAttachment(size);
    const QString source = m_dir.filePath(QStringLiteral("together-up.bin"));
    QVERIFY(writePatternFile(source, size));
    const QString target = downloadPath(QStringLiteral("together-down.bin"));

    DownloadFile files;
    QSignalSpy failed(&files, &DownloadFile::sigUploadFile);
    files.dwonloadFileToLoacl(id, target);
    files.loaclFileToNetwork(source, "m-1", "peer", "body", "file", "2");
    QVERIFY(files.downloadBusy());
    QVERIFY(files.uploadBusy());
    QVERIFY(waitUntil([&] { return !files.downloadBusy() && !files.uploadBusy(); }, 60000));
    QVERIFY(failed.isEmpty());
    QCOMPARE(QFileInfo(target).size(), size);
    QCOMPARE(m_server
                 .hook(QStringLiteral("files-info"), {{QStringLiteral("id"), m_engine.attachmentId},
                                                      {QStringLiteral("sha256"), true}})
                 .value(QLatin1String("sha256"))
                 .toString(),
             sha256Of(source));
}

TARNEX_TEST_MAIN(TestDownloadFile)
#include "tst_downloadfile.moc"

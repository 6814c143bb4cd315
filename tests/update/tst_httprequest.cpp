#include "referenceserver.h"
#include "testenvironment.h"
#include "ziptestkit.h"

#include "config/configfile.h"
#include "net/serverrequest.h"
#include "update/httprequest.h"
#include "update/releasemanifest.h"
#include "update/updatefeed.h"
#include "update/updaterhttprequest.h"
#include "update/versionrequest.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The feed's release notes and the package download of both programs against the reference
// server: progress, the single 100 after the pause, and what broken downloads leave behind.
class TestHttpRequest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void progress_data();
    void progress();
    void packageFileName_data();
    void packageFileName();
    void releaseNotes_data();
    void releaseNotes();
    void startUpComparesVersionsByParts_data();
    void startUpComparesVersionsByParts();
    void versionDialogAsksOnce();
    void download_data();
    void download();
    void nameIsReducedToItsLastSegment();
    void clientGoesOnWithoutAPackageFile();
    void packageCutOffMidwayNeverReachesItsName();
    void onlyTheDescribedPackageIsInstalled_data();
    void onlyTheDescribedPackageIsInstalled();

private:
    struct Run
    {
        QList<int> values;
        qint64 msFrom95To100 = -1;
        QString failure;
        bool ended = false;
    };
    Run runDownload(HttpRequest &request, const QString &url, const QString &name);
    QString packageUrl() const;
    QByteArray fetch(const QString &url) const;

    ReferenceServer m_server;
    QTemporaryDir m_root;
};

void TestHttpRequest::initTestCase()
{
    // A package big enough for several progress reports, with a program inside.
    const QString folder = m_root.filePath(QStringLiteral("package"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/emojis")));
    QFile big(folder + QStringLiteral("/emojis/big.bin"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QByteArray noise(600 * 1024, Qt::Uninitialized);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) ^ (i >> 5));
    big.write(noise);
    big.close();
    QFile program(folder + QStringLiteral("/tarnex"));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/sh\n");
    program.close();
    QVERIFY(program.setPermissions(program.permissions() | QFile::ExeOwner));

    // Signed with the build's own test key, which the updater trusts.
    QStringList arguments{QStringLiteral("--package-dir"), folder, QStringLiteral("--feed-version"),
                          QStringLiteral("5.0.1.0")};
    if (!QByteArray(TARNEX_TEST_RELEASE_KEY).isEmpty())
        arguments << QStringLiteral("--release-key") << QStringLiteral(TARNEX_TEST_RELEASE_KEY);
    QVERIFY2(m_server.start(arguments), qPrintable(m_server.output()));
    qputenv("TARNEX_UPDATE_FEED", (m_server.baseUrl().toString() +
                                   QStringLiteral("/tarnex10pack/client/client.php?platform=win"))
                                      .toUtf8());
}

void TestHttpRequest::init()
{
    m_server.hook(QStringLiteral("reset"));
}

QString TestHttpRequest::packageUrl() const
{
    return m_server.baseUrl().toString() +
           QStringLiteral("/tarnex10pack/client/packages/tarnex-5.0.1.0.zip");
}

QByteArray TestHttpRequest::fetch(const QString &url) const
{
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(url)));
    ServerRequest::waitFor(reply, 10000);
    const QByteArray body = reply->readAll();
    delete reply;
    return body;
}

void TestHttpRequest::progress_data()
{
    QTest::addColumn<bool>("updater");
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("expected"); // -1: nothing shown

    QTest::newRow("client, start") << false << 0LL << 1000LL << 0;
    QTest::newRow("client, half") << false << 500LL << 1000LL << 50;
    QTest::newRow("client, almost") << false << 999LL << 1000LL << 99;
    QTest::newRow("client, complete") << false << 1000LL << 1000LL << 95;
    QTest::newRow("client, more than announced") << false << 3000LL << 1000LL << 95;
    QTest::newRow("client, nothing yet") << false << 0LL << -1LL << 0;
    QTest::newRow("client, nothing of nothing") << false << 0LL << 0LL << 0;
    QTest::newRow("client, unknown size, half the assumed") << false << 35386479LL << -1LL << 50;
    QTest::newRow("client, unknown size, at the cap") << false << 67234311LL << -1LL << 95;
    QTest::newRow("client, unknown size, past the cap") << false << 67942040LL << -1LL << -1;
    QTest::newRow("client, unknown size, far past") << false << 500000000LL << -1LL << -1;
    // A 64-bit product: 30 GB of 40 GB would overflow 32 bits.
    QTest::newRow("client, large") << false << 30000000000LL << 40000000000LL << 75;

    QTest::newRow("updater, start") << true << 0LL << 1000LL << 0;
    QTest::newRow("updater, never negative") << true << 30LL << 1000LL << 0;
    QTest::newRow("updater, five behind") << true << 500LL << 1000LL << 45;
    QTest::newRow("updater, almost") << true << 999LL << 1000LL << 94;
    QTest::newRow("updater, complete") << true << 1000LL << 1000LL << 95;
    QTest::newRow("updater, unknown size") << true << 35386479LL << -1LL << 0;
    QTest::newRow("updater, nothing of nothing") << true << 0LL << 0LL << 0;
}

void TestHttpRequest::progress()
{
    QFETCH(bool, updater);
    QFETCH(qint64, received);
    QFETCH(qint64, total);
    QFETCH(int, expected);
    const int shown = updater ? UpdaterHttpRequest::updaterProgress(received, total)
                              : HttpRequest::clientProgress(received, total);
    QCOMPARE(shown, expected);
}

void TestHttpRequest::packageFileName_data()
{
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "tarnex-5.0.1.0.zip"
                           << "tarnex-5.0.1.0.zip";
    QTest::newRow("climbing") << "../../evil.zip"
                              << "evil.zip";
    QTest::newRow("absolute") << "/etc/evil.zip"
                              << "evil.zip";
    QTest::newRow("backslashes") << "..\\..\\evil.zip"
                                 << "evil.zip";
    QTest::newRow("folder only") << "packages/"
                                 << "";
    QTest::newRow("parent") << ".."
                            << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("drive") << "C:evil.zip"
                           << "";
}

void TestHttpRequest::packageFileName()
{
    QFETCH(QString, names);
    QFETCH(QString, expected);
    QCOMPARE(HttpRequest::packageFileName(names), expected);
}

void TestHttpRequest::releaseNotes_data()
{
    QTest::addColumn<QJsonObject>("feed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two lines, spaces removed")
        << QJsonObject{{"mode", "normal"},
                       {"description", QJsonArray{"Fix login", "Faster  sync now"}}}
        << "Fixlogin\nFastersyncnow\n";
    QTest::newRow("no description")
        << QJsonObject{{"mode", "raw"}, {"body", "{\"version\":\"5\"}"}} << "";
    QTest::newRow("not JSON") << QJsonObject{{"mode", "raw"}, {"body", "<html>busy</html>"}} << "";
    QTest::newRow("nested 300,000 levels")
        << QJsonObject{{"mode", "raw"},
                       {"body", "{\"version\":\"5\",\"description\":" + QString(300000, '[') +
                                    QString(300000, ']') + "}"}}
        << "";
    QTest::newRow("empty") << QJsonObject{{"mode", "empty"}} << "";
}

void TestHttpRequest::releaseNotes()
{
    QFETCH(QJsonObject, feed);
    QFETCH(QString, expected);
    m_server.hook(QStringLiteral("feed"), feed);
    HttpRequest request;
    QSignalSpy notes(&request, &HttpRequest::sigRequestVersion);
    request.requestVersion();
    QVERIFY(notes.wait(10000));
    QCOMPARE(notes.takeFirst().at(0).toString(), expected);
}

// The start-up check reads versions as the version dialog does: part by part, as numbers.
void TestHttpRequest::startUpComparesVersionsByParts_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("newer");
    QTest::newRow("a later minor part, fewer digits") << "5.0.1.0"
                                                      << "5.0.0.10" << true;
    QTest::newRow("more digits, older") << "5.0.0.10"
                                        << "5.0.1.0" << false;
    QTest::newRow("two digits beat one") << "5.0.0.10"
                                         << "5.0.0.9" << true;
    QTest::newRow("same") << "5.0.0.4"
                          << "5.0.0.4" << false;
    QTest::newRow("shorter and newer") << "5.1"
                                       << "5.0.9.9" << true;
    QTest::newRow("missing parts are zero") << "5.0"
                                            << "5.0.0.0" << false;
    QTest::newRow("older major") << "4.9.9.99"
                                 << "5.0.0.0" << false;
    QTest::newRow("leading zeros") << "5.0.0.010"
                                   << "5.0.0.9" << true;
    QTest::newRow("no version") << ""
                                << "5.0.0.4" << false;
    QTest::newRow("not a number") << "beta"
                                  << "5.0.0.4" << false;
    QTest::newRow("a signed part") << "5.0.0.+9"
                                   << "5.0.0.4" << false;
    QTest::newRow("an empty part") << "5..1"
                                   << "5.0.0.4" << false;
    QTest::newRow("a part too long") << "5.0.0.99999999999999999999"
                                     << "5.0.0.4" << false;
}

void TestHttpRequest::startUpComparesVersionsByParts()
{
    QFETCH(QString, offered);
    QFETCH(QString, current);
    QFETCH(bool, newer);
    const UpdateFeed feed = UpdateFeed::parse(
        QJsonDocument(QJsonObject{{"version", offered}, {"url", "http://127.0.0.1/p.zip"}})
            .toJson());
    QVERIFY(feed.valid);
    QCOMPARE(feed.isNewerThan(current), newer);
    // The order is the same both ways round.
    const std::optional<int> there = UpdateFeed::compareVersions(offered, current);
    const std::optional<int> back = UpdateFeed::compareVersions(current, offered);
    QCOMPARE(bool(there), bool(back));
    if (there)
        QCOMPARE(*there, -*back);
}

void TestHttpRequest::versionDialogAsksOnce()
{
    m_server.hook(QStringLiteral("feed"),
                  {{"mode", "normal"}, {"description", QJsonArray{"Fix login"}}});
    VersionRequest request;
    QSignalSpy answers(&request, &VersionRequest::sigUpdateDataInfor);
    request.getVersionInfor();
    QVERIFY(answers.wait(10000));
    const QVariantList values = answers.takeFirst();
    QCOMPARE(values.at(0).toString(), QStringLiteral("5.0.1.0"));
    QVERIFY(values.at(1).toString().endsWith(QLatin1String("/packages/tarnex-5.0.1.0.zip")));
    QCOMPARE(values.at(2).toString(), QStringLiteral("tarnex-5.0.1.0.zip"));
    QCOMPARE(values.at(3).toString(), QStringLiteral("Fixlogin\n"));
    QVERIFY(values.at(4).toString().startsWith(QLatin1String("{\"version\":\"5.0.1.0\"")));

    // Later calls on the same object ask nothing; a feed that is not JSON gives five empties.
    m_server.hook(QStringLiteral("feed"), {{"mode", "raw"}, {"body", "busy"}});
    request.getVersionInfor();
    QVERIFY(!answers.wait(500));
    VersionRequest second;
    QSignalSpy empties(&second, &VersionRequest::sigUpdateDataInfor);
    second.getVersionInfor();
    QVERIFY(empties.wait(10000));
    for (const QVariant &value : empties.takeFirst())
        QVERIFY(value.toString().isEmpty());

    // After a failed answer the same object may ask again.
    m_server.hook(QStringLiteral("feed"), {{"mode", "normal"}});
    second.getVersionInfor();
    QVERIFY(empties.wait(10000));
    QCOMPARE(empties.takeFirst().at(0).toString(), QStringLiteral("5.0.1.0"));

    // No updater beside this program: the dialog's hand-over reports it and the client stays.
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("no updater at .*/update/")));
    QVERIFY(!VersionRequest::openUpdateProgrom(QStringLiteral("{}"), QStringLiteral("5.0.0.4")));
}

TestHttpRequest::Run TestHttpRequest::runDownload(HttpRequest &request, const QString &url,
                                                  const QString &name)
{
    Run run;
    QElapsedTimer clock;
    qint64 at95 = -1;
    connect(&request, &HttpRequest::sigDownloadProgress, this, [&](int value) {
        run.values.append(value);
        if (value == 95)
            at95 = clock.elapsed();
        if (value == 100 && at95 >= 0)
            run.msFrom95To100 = clock.elapsed() - at95;
    });
    connect(&request, &HttpRequest::sigDownloadFailed, this,
            [&](const QString &errors) { run.failure = errors; });
    clock.start();
    request.downloadFile(url, name);
    run.ended =
        QTest::qWaitFor([&] { return run.values.contains(100) || !run.failure.isEmpty(); }, 20000);
    // Anything that would still come (a second 100) has had its turn once the server answered
    // one more request.
    (void)m_server.roundTrip();
    return run;
}

void TestHttpRequest::download_data()
{
    QTest::addColumn<bool>("updater");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("failure"); // empty: the download succeeds

    const QString notDownloaded = QStringLiteral("更新包下载失败，客户端未作任何更改");
    const QString notVerified =
        QStringLiteral("更新包未通过校验，可能已被篡改，客户端未作任何更改");
    QTest::newRow("client") << false << "normal"
                            << "";
    QTest::newRow("client, no length") << false << "nolength"
                                       << "";
    QTest::newRow("client, truncated") << false << "truncated" << notDownloaded;
    QTest::newRow("client, interrupted") << false << "interrupted"
                                         << "";
    QTest::newRow("client, missing") << false << "missing" << notDownloaded;
    QTest::newRow("updater") << true << "normal"
                             << "";
    QTest::newRow("updater, no length") << true << "nolength"
                                        << "";
    QTest::newRow("updater, truncated") << true << "truncated" << notDownloaded;
    QTest::newRow("updater, interrupted") << true << "interrupted"
                                          << "";
    QTest::newRow("updater, ranges ignored") << true << "norange"
                                             << "";
    QTest::newRow("updater, missing") << true << "missing" << notDownloaded;
    // Caught by the manifest's digest before the unpacker sees them.
    QTest::newRow("updater, corrupt") << true << "corrupt" << notVerified;
    QTest::newRow("updater, hostile") << true << "hostile" << notVerified;
}

void TestHttpRequest::download()
{
    QFETCH(bool, updater);
    QFETCH(QString, mode);
    QFETCH(QString, failure);

    QTemporaryDir root;
    const QString installation = root.filePath(QStringLiteral("install"));
    QVERIFY(QDir().mkpath(installation));
    QFile old(installation + QStringLiteral("/tarnex"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old client");
    old.close();
    const auto before = ZipTestKit::snapshot(installation);
    const QString absolute = root.filePath(QStringLiteral("escaped-absolute.txt"));
    const QByteArray served = fetch(packageUrl());
    const UpdateFeed feed = UpdateFeed::parse(fetch(UpdateFeed::feedUrl()));
    m_server.hook(QStringLiteral("package"), {{"mode", mode}, {"absPath", absolute}});
    // A package of an earlier download under the same name survives a failed one.
    const QString packagePath =
        ConfigFile::instance()->updateFolderPath() + QStringLiteral("tarnex-5.0.1.0.zip");
    QVERIFY(QDir().mkpath(ConfigFile::instance()->updateFolderPath()));
    const QByteArray earlier("an earlier package");
    {
        QFile file(packagePath);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(earlier);
    }

    if (failure.contains(QStringLiteral("下载")))
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("package download failed")));
    else if (!failure.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not installed")));

    std::unique_ptr<HttpRequest> request;
    if (updater) {
        auto *updaterRequest = new UpdaterHttpRequest;
        updaterRequest->setInstallationDirectory(installation);
        updaterRequest->setReleaseCheck(feed.releaseCheck(QStringLiteral("5.0.0.4")));
        request.reset(updaterRequest);
    } else {
        request = std::make_unique<HttpRequest>();
    }
    const Run run = runDownload(*request, packageUrl(), QStringLiteral("tarnex-5.0.1.0.zip"));
    QVERIFY(run.ended);
    QCOMPARE(request->packagePath(), packagePath);

    for (int value : run.values)
        QVERIFY2(value >= 0 && value <= 100, qPrintable(QString::number(value)));
    if (!failure.isEmpty()) {
        QCOMPARE(run.failure, failure);
        QVERIFY(!run.values.contains(100));
        if (failure.contains(QStringLiteral("下载"))) {
            QFile file(packagePath);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), earlier);
        }
        QCOMPARE(ZipTestKit::snapshot(installation), before);
        // Nothing of a hostile package reached the folder around the installation.
        QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"install"});
        return;
    }

    QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
    QCOMPARE(run.values.count(100), 1);
    QCOMPARE(run.values.last(), 100);
    QCOMPARE(run.values.at(run.values.size() - 2), 95);
    // The 100 follows the last bytes after the finishing pause.
    QVERIFY2(run.msFrom95To100 >= HttpRequest::finishDelayMs - 5,
             qPrintable(QString::number(run.msFrom95To100)));
    const QList<int> ordinary = run.values.mid(0, run.values.size() - 2);
    for (int value : ordinary) {
        QVERIFY(value <= (updater ? 94 : 99));
    }
    QFile package(packagePath);
    QVERIFY(package.open(QIODevice::ReadOnly));
    QCOMPARE(package.readAll(), served);
    // A cut-off download went on with a range request (answered whole by a server without).
    const QJsonArray requests = m_server.hook(QStringLiteral("package-requests"))
                                    .value(QLatin1String("requests"))
                                    .toArray();
    const bool resumed = mode == QLatin1String("interrupted") || mode == QLatin1String("norange");
    // On a loaded machine the network layer may send a request again over a fresh connection
    // when the first one drops before its headers are read, so only the shape is fixed: one
    // whole request, or one whose last successor asks for a range.
    QVERIFY2(!requests.isEmpty() && requests.first().toString().isEmpty(),
             qPrintable(QJsonDocument(requests).toJson(QJsonDocument::Compact)));
    if (resumed) {
        QVERIFY2(requests.size() >= 2 &&
                     requests.last().toString().startsWith(QLatin1String("bytes=")),
                 qPrintable(QJsonDocument(requests).toJson(QJsonDocument::Compact)));
    } else {
        QCOMPARE(requests.size(), 1);
    }
    if (updater) {
        const auto after = ZipTestKit::snapshot(installation);
        QCOMPARE(after.value(QStringLiteral("tarnex")), QByteArray("#!/bin/sh\n"));
        QCOMPARE(after.value(QStringLiteral("emojis/big.bin")).size(), 600 * 1024);
        QVERIFY(QFileInfo(installation + QStringLiteral("/tarnex")).isExecutable());
    } else {
        QCOMPARE(ZipTestKit::snapshot(installation), before);
    }
}

void TestHttpRequest::nameIsReducedToItsLastSegment()
{
    HttpRequest request;
    const Run run = runDownload(request, packageUrl(), QStringLiteral("../../evil.zip"));
    QVERIFY(run.ended);
    QCOMPARE(run.values.last(), 100);
    const QString folder = ConfigFile::instance()->updateFolderPath();
    QCOMPARE(request.packagePath(), folder + QStringLiteral("evil.zip"));
    QVERIFY(QFile::exists(folder + QStringLiteral("evil.zip")));
    QVERIFY(!QFile::exists(folder + QStringLiteral("../../evil.zip")));
}

void TestHttpRequest::clientGoesOnWithoutAPackageFile()
{
    // A folder where the package file would go: the file cannot be created.
    const QString blocked =
        ConfigFile::instance()->updateFolderPath() + QStringLiteral("blocked.zip");
    QVERIFY(QDir().mkpath(blocked));
    HttpRequest request;
    QSignalSpy failed(&request, &HttpRequest::sigDownloadFailed);
    QTimer::singleShot(0, &request, [&] {
        request.downloadFile(packageUrl(), QStringLiteral("blocked.zip"));
        // Had the download ended the program, exec() would return 0 before this fires.
        QTimer::singleShot(100, &request, [] { QCoreApplication::exit(42); });
    });
    QTimer::singleShot(5000, &request, [] { QCoreApplication::exit(-1); });
    QCOMPARE(QCoreApplication::exec(), 42);
    QCOMPARE(failed.count(), 1);
    QVERIFY(!failed.first().at(0).toString().isEmpty());
    QDir(blocked).removeRecursively();
}

// As a killed program would leave it: half the package in, the server silent, the object gone.
void TestHttpRequest::packageCutOffMidwayNeverReachesItsName()
{
    m_server.hook(QStringLiteral("package"), {{"mode", "stall"}});
    const QDir folder(ConfigFile::instance()->updateFolderPath());
    const QString name = QStringLiteral("stalled-5.0.1.0.zip");
    QFile::remove(folder.filePath(name));
    {
        HttpRequest request;
        request.downloadFile(packageUrl(), name);
        // Half the package has left the server, which then falls silent.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return m_server.hook(QStringLiteral("package-stalled"))
                           .value(QLatin1String("stalled"))
                           .toInt() == 1;
            },
            20000));
        QVERIFY(!QFile::exists(folder.filePath(name)));
    }
    QVERIFY(folder.entryList({QStringLiteral("stalled-*")}, QDir::Files).isEmpty());
}

void TestHttpRequest::onlyTheDescribedPackageIsInstalled_data()
{
    QTest::addColumn<QString>("integrity");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("manifestVersion"); // empty: the feed's
    QTest::addColumn<QString>("manifestPlatform");
    QTest::addColumn<QString>("failure"); // empty: installed
    QTest::addColumn<bool>("downloaded");

    const QString tampered = QStringLiteral("更新包未通过校验，可能已被篡改，客户端未作任何更改");
    const QString badSignature =
        QStringLiteral("此更新的发布签名校验失败，可能已被篡改，已拒绝安装；客户端仍为当前版本");
    const QString unsignedRelease =
        QStringLiteral("此更新没有发布签名，已拒绝安装；客户端仍为当前版本");
    const QString older =
        QStringLiteral("此更新的签名版本不比当前版本新，已拒绝安装；客户端仍为当前版本");
    const QString otherPlatform =
        QStringLiteral("此更新是其他系统的安装包，已拒绝安装；客户端仍为当前版本");
    const QString other = ReleaseManifest::thisPlatform() == QLatin1String("win") ? "linux" : "win";
    QTest::newRow("signed") << "signed"
                            << "normal"
                            << ""
                            << "" << QString() << true;
    QTest::newRow("tampered package") << "signed"
                                      << "tampered"
                                      << ""
                                      << "" << tampered << true;
    QTest::newRow("oversize download") << "signed"
                                       << "oversize"
                                       << ""
                                       << "" << tampered << true;
    QTest::newRow("tampered manifest") << "tampered-manifest"
                                       << "normal"
                                       << ""
                                       << "" << badSignature << false;
    QTest::newRow("wrong key") << "wrong-key"
                               << "normal"
                               << ""
                               << "" << badSignature << false;
    QTest::newRow("bad signature") << "bad-signature"
                                   << "normal"
                                   << ""
                                   << "" << badSignature << false;
    QTest::newRow("malformed manifest") << "malformed"
                                        << "normal"
                                        << ""
                                        << "" << badSignature << false;
    QTest::newRow("missing signature") << "unsigned"
                                       << "normal"
                                       << ""
                                       << "" << unsignedRelease << false;
    QTest::newRow("older feed without manifest") << "none"
                                                 << "normal"
                                                 << ""
                                                 << "" << unsignedRelease << false;
    QTest::newRow("older signed version") << "signed"
                                          << "normal"
                                          << "5.0.0.3"
                                          << "" << older << false;
    QTest::newRow("running version replayed") << "signed"
                                              << "normal"
                                              << "5.0.0.4"
                                              << "" << older << false;
    QTest::newRow("other platform's manifest") << "signed"
                                               << "normal"
                                               << "" << other << otherPlatform << false;
}

// The updater installs a release only when its manifest verifies under the build's keys, is
// newer and for this platform, and the package is the one the manifest describes; a refused
// release is not even downloaded, and an oversize one is cut off at the signed size.
void TestHttpRequest::onlyTheDescribedPackageIsInstalled()
{
    QFETCH(QString, integrity);
    QFETCH(QString, mode);
    QFETCH(QString, manifestVersion);
    QFETCH(QString, manifestPlatform);
    QFETCH(QString, failure);
    QFETCH(bool, downloaded);
    if (QByteArray(TARNEX_TEST_RELEASE_KEY).isEmpty())
        QSKIP("this build trusts real release keys only; nothing here can sign for it");
    m_server.hook(QStringLiteral("feed"), {{"integrity", integrity},
                                           {"manifestVersion", manifestVersion},
                                           {"manifestPlatform", manifestPlatform}});
    m_server.hook(QStringLiteral("package"), {{"mode", mode}});
    const UpdateFeed feed = UpdateFeed::parse(fetch(UpdateFeed::feedUrl()));
    QVERIFY(feed.valid);
    QCOMPARE(feed.version, QStringLiteral("5.0.1.0"));

    QTemporaryDir root;
    const QString installation = root.filePath(QStringLiteral("install"));
    QVERIFY(QDir().mkpath(installation));
    const auto before = ZipTestKit::snapshot(installation);
    UpdaterHttpRequest request;
    request.setInstallationDirectory(installation);
    request.setReleaseCheck(feed.releaseCheck(QStringLiteral("5.0.0.4")));
    if (!failure.isEmpty()) {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("not installed|refused|failed")));
    }
    const Run run = runDownload(request, feed.url, feed.name);
    QVERIFY(run.ended);
    const int requests = m_server.hook(QStringLiteral("package-requests"))
                             .value(QLatin1String("requests"))
                             .toArray()
                             .size();
    QCOMPARE(requests > 0, downloaded);
    if (failure.isEmpty()) {
        QVERIFY2(run.failure.isEmpty(), qPrintable(run.failure));
        QCOMPARE(ZipTestKit::snapshot(installation).value(QStringLiteral("tarnex")),
                 QByteArray("#!/bin/sh\n"));
        return;
    }
    QCOMPARE(run.failure, failure);
    QVERIFY(!run.values.contains(100));
    QCOMPARE(ZipTestKit::snapshot(installation), before);
    QCOMPARE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"install"});
}

TARNEX_TEST_MAIN(TestHttpRequest)
#include "tst_httprequest.moc"

#include "referenceserver.h"
#include "testenvironment.h"
#include "ziptestkit.h"

#include "update/updatefeed.h"
#include "update/updaterhttprequest.h"
#include "update/updaterlaunch.h"
#include "update/updaterqmltypes.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlError>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

// The updater program: its command line and documents in process, then the whole update road
// as real processes in an installation made by `cmake --install`.
class TestUpdater : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void launchValues_data();
    void launchValues();
    void documentsLoadWithoutWarnings();

    void oldClientUpdatesItself();
    void brokenUpdatesChangeNothing_data();
    void brokenUpdatesChangeNothing();
    void tooFewArgumentsOnlyRestart_data();
    void tooFewArgumentsOnlyRestart();
    void runningClientIsEnded();
    void killedUpdateLeavesOneVersion_data();
    void killedUpdateLeavesOneVersion();

private:
    QString path(const QString &relative) const { return m_root.filePath(relative); }
    QString installation() const { return path(QStringLiteral("install")); }
    QString feedUrl() const;
    QString feedText() const;
    QProcessEnvironment environment(bool quitAfterFirstFrame = true) const;
    // "old", "new" or "mixed": which version the installation's files are, the work folder and
    // the new client's note aside.
    QString versionOf(const QMap<QString, QByteArray> &files,
                      const QMap<QString, QByteArray> &before) const;
    QString log() const;
    bool waitForLog(const QString &text, int count = 1, int limitMs = 90000) const;
    QList<qint64> ourProcesses() const;
    bool waitForOurProcessesToEnd(int limitMs = 30000) const;
    int runUpdater(const QStringList &args, const QString &killAt = QString());

    ReferenceServer m_server;
    QTemporaryDir m_root;
};

void TestUpdater::initTestCase()
{
    QVERIFY(!qEnvironmentVariableIsEmpty("TARNEX_TARNEX_PROGRAM"));
    QVERIFY(!qEnvironmentVariableIsEmpty("TARNEX_CMAKE_PROGRAM"));
    if (QByteArray(TARNEX_TEST_RELEASE_KEY).isEmpty())
        QSKIP("this build trusts real release keys only; nothing here can sign for it");
    registerUpdaterQmlTypes();

    // The new package: a client that notes how it was started and then runs the real one, a
    // new file, and an existing folder's file replaced.
    const QString package = path(QStringLiteral("package"));
    QVERIFY(QDir().mkpath(package + QStringLiteral("/emojis")));
    QFile client(package + QStringLiteral("/tarnex"));
    QVERIFY(client.open(QIODevice::WriteOnly));
    client.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"$(dirname \"$0\")/new-client-args.txt\"\n"
                 "exec \"" +
                 qgetenv("TARNEX_TARNEX_PROGRAM") + "\" \"$@\"\n");
    client.close();
    QVERIFY(client.setPermissions(client.permissions() | QFile::ExeOwner | QFile::ExeUser));
    QFile notes(package + QStringLiteral("/whatsnew.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("5.0.1.0\n");
    notes.close();
    QFile faces(package + QStringLiteral("/emojis/faces.ini"));
    QVERIFY(faces.open(QIODevice::WriteOnly));
    faces.write("[new]\n");
    faces.close();

    // Signed with the build's own test key, which the installed programs trust.
    QVERIFY2(
        m_server.start({QStringLiteral("--package-dir"), package, QStringLiteral("--feed-version"),
                        QStringLiteral("5.0.1.0"), QStringLiteral("--release-key"),
                        QStringLiteral(TARNEX_TEST_RELEASE_KEY)}),
        qPrintable(m_server.output()));
    // The documents loaded in this process ask the feed for the release notes.
    qputenv("TARNEX_UPDATE_FEED", feedUrl().toUtf8());
}

void TestUpdater::init()
{
    m_server.hook(QStringLiteral("reset"));
    QFile::remove(path(QStringLiteral("log.txt")));
    // A fresh installation for every case.
    QDir(installation()).removeRecursively();
    QProcess install;
    install.start(qEnvironmentVariable("TARNEX_CMAKE_PROGRAM"),
                  {QStringLiteral("--install"), QStringLiteral(TARNEX_BINARY_DIR),
                   QStringLiteral("--prefix"), installation()});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());
    QVERIFY(QFileInfo(installation() + QStringLiteral("/update/tarnex-update")).isExecutable());
}

void TestUpdater::cleanup()
{
    // Detached programs of a failed case must not linger into the next.
    if (!waitForOurProcessesToEnd(5000)) {
        const QList<qint64> left = ourProcesses();
        for (qint64 pid : left)
            ::kill(pid_t(pid), SIGKILL);
    }
}

QString TestUpdater::feedUrl() const
{
    return m_server.baseUrl().toString() +
           QStringLiteral("/tarnex10pack/client/client.php?platform=win");
}

QString TestUpdater::feedText() const
{
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(feedUrl())));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    finished.wait(10000);
    const QString text = UpdateFeed::parse(reply->readAll()).text;
    delete reply;
    return text;
}

QProcessEnvironment TestUpdater::environment(bool quitAfterFirstFrame) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNEX_UPDATE_FEED"), feedUrl());
    env.insert(QStringLiteral("TARNEX_LOG_FILE"), path(QStringLiteral("log.txt")));
    env.insert(QStringLiteral("TARNEX_UPDATER_AUTOMATE"), QStringLiteral("1"));
    if (quitAfterFirstFrame)
        env.insert(QStringLiteral("TARNEX_QUIT_AFTER_FIRST_FRAME"), QStringLiteral("0"));
    else
        env.remove(QStringLiteral("TARNEX_QUIT_AFTER_FIRST_FRAME"));
    return env;
}

QString TestUpdater::log() const
{
    QFile file(path(QStringLiteral("log.txt")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool TestUpdater::waitForLog(const QString &text, int count, int limitMs) const
{
    return QTest::qWaitFor([&] { return log().count(text) >= count; }, limitMs);
}

// The programs of these tests all run with their working folder in the temporary root.
QList<qint64> TestUpdater::ourProcesses() const
{
    QList<qint64> found;
    const QString root = QFileInfo(m_root.path()).canonicalFilePath();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == QCoreApplication::applicationPid())
            continue;
        const QString cwd = QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).symLinkTarget();
        if (!cwd.startsWith(root))
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z "))
            found.append(pid);
    }
    return found;
}

bool TestUpdater::waitForOurProcessesToEnd(int limitMs) const
{
    return QTest::qWaitFor([&] { return ourProcesses().isEmpty(); }, limitMs);
}

int TestUpdater::runUpdater(const QStringList &args, const QString &killAt)
{
    QProcess updater;
    QProcessEnvironment env = environment();
    if (!killAt.isEmpty())
        env.insert(QStringLiteral("TARNEX_UPDATE_KILL_AT"), killAt);
    updater.setProcessEnvironment(env);
    updater.setWorkingDirectory(installation());
    updater.start(installation() + QStringLiteral("/update/tarnex-update"), args);
    if (!updater.waitForFinished(60000)) {
        updater.kill();
        updater.waitForFinished();
        return -1;
    }
    return updater.exitStatus() == QProcess::NormalExit ? updater.exitCode() : -1;
}

QString TestUpdater::versionOf(const QMap<QString, QByteArray> &files,
                               const QMap<QString, QByteArray> &before) const
{
    QMap<QString, QByteArray> rest = files;
    for (auto it = rest.begin(); it != rest.end();) {
        if (it.key().startsWith(QLatin1String(".tarnex-update")) ||
            it.key() == QLatin1String("new-client-args.txt"))
            it = rest.erase(it);
        else
            ++it;
    }
    const QStringList changed{QStringLiteral("tarnex"), QStringLiteral("emojis/faces.ini"),
                              QStringLiteral("whatsnew.txt")};
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!changed.contains(it.key()) && rest.value(it.key()) != it.value())
            return QStringLiteral("mixed");
    }
    if (rest == before)
        return QStringLiteral("old");
    if (rest.value(QStringLiteral("tarnex")).startsWith("#!/bin/sh") &&
        rest.value(QStringLiteral("emojis/faces.ini")) == "[new]\n" &&
        rest.value(QStringLiteral("whatsnew.txt")) == "5.0.1.0\n" &&
        rest.size() == before.size() + 1)
        return QStringLiteral("new");
    return QStringLiteral("mixed");
}

void TestUpdater::launchValues_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("enough");
    QTest::addColumn<int>("updateStatus");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("newVersion");
    QTest::addColumn<bool>("contents");

    const QString feed = QStringLiteral(
        "{\"version\":\"5.0.1.0\",\"description\":[\"a\"],\"url\":\"http://h/p.zip\",\"name\":"
        "\"p.zip\"}");
    QTest::newRow("feed and version")
        << QStringList{"tarnex-update", feed, "5.0.0.4"} << true << 0 << "http://h/p.zip"
        << "p.zip"
        << "5.0.1.0" << true;
    QTest::newRow("from the version dialog")
        << QStringList{"tarnex-update", feed, "5.0.0.4", "app-update"} << true << 1
        << "http://h/p.zip"
        << "p.zip"
        << "5.0.1.0" << true;
    QTest::newRow("not JSON") << QStringList{"tarnex-update", "<html>", "5.0.0.4"} << true << 0
                              << ""
                              << ""
                              << "5.0.0.4" << false;
    QTest::newRow("no url or name")
        << QStringList{"tarnex-update", "{\"version\":\"5.0.1.0\"}", "5.0.0.4"} << true << 0 << ""
        << ""
        << "5.0.1.0" << true;
    QTest::newRow("feed only") << QStringList{"tarnex-update", feed} << false << 0
                               << "http://h/p.zip"
                               << "p.zip"
                               << "5.0.1.0" << true;
}

void TestUpdater::launchValues()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, enough);
    QFETCH(int, updateStatus);
    QFETCH(QString, url);
    QFETCH(QString, name);
    QFETCH(QString, newVersion);
    QFETCH(bool, contents);

    const UpdaterLaunch launch = UpdaterLaunch::fromArguments(arguments);
    QCOMPARE(launch.enoughArguments, enough);
    QCOMPARE(launch.updateStatus, updateStatus);
    QCOMPARE(launch.downloadFilePath, url);
    QCOMPARE(launch.downloadFileName, name);
    QCOMPARE(launch.newVersionInfor, newVersion);
    QCOMPARE(launch.curretnVersionInfor, arguments.value(2));
    QCOMPARE(launch.httpContents, contents ? arguments.at(1) : QString());
}

void TestUpdater::documentsLoadWithoutWarnings()
{
    QQmlApplicationEngine engine;
    QList<QQmlError> warnings;
    connect(&engine, &QQmlEngine::warnings, this,
            [&warnings](const QList<QQmlError> &list) { warnings += list; });
    const UpdaterLaunch launch = UpdaterLaunch::fromArguments(
        {QStringLiteral("tarnex-update"), feedText(), QStringLiteral("5.0.0.4")});
    launch.publish(engine.rootContext(), QStringLiteral("Linux"), 1);
    UpdaterHttpRequest::setRelease(launch.release);
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    QCOMPARE(engine.rootObjects().size(), 1);
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    QVERIFY(window);
    QCOMPARE(window->title(), QStringLiteral("tarnex"));
    QVERIFY(window->flags() & Qt::FramelessWindowHint);

    // The release notes arrive from the feed; the heading names both versions.
    QTRY_VERIFY(window->property("releaseNotes")
                    .toString()
                    .contains(QStringLiteral("优化登录与消息同步\n")));
    bool headingShown = false;
    const QList<QObject *> items = window->findChildren<QObject *>();
    for (QObject *item : items) {
        if (item->property("text").toString() ==
            QStringLiteral("发现新版本：5.0.1.0（当前版本：5.0.0.4）"))
            headingShown = true;
    }
    QVERIFY(headingShown);

    // A failed download is shown in the window (the completion view stays hidden).
    m_server.hook(QStringLiteral("package"), {{"mode", "missing"}});
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("download failed")));
    QMetaObject::invokeMethod(window, "startUpgrade");
    QTRY_COMPARE(window->property("stage").toString(), QStringLiteral("failed"));
    QCOMPARE(window->property("failureText").toString(),
             QStringLiteral("更新包下载失败，客户端未作任何更改"));

    QString text;
    for (const QQmlError &warning : qAsConst(warnings))
        text += warning.toString() + QLatin1Char('\n');
    QVERIFY2(warnings.isEmpty(), qPrintable(text));
}

void TestUpdater::oldClientUpdatesItself()
{
    const auto before = ZipTestKit::snapshot(installation());
    QProcess client;
    client.setProcessEnvironment(environment());
    client.setWorkingDirectory(installation());
    client.start(installation() + QStringLiteral("/tarnex"), QStringList());
    QVERIFY(client.waitForFinished(60000));
    QCOMPARE(client.exitCode(), 0);

    // The old client hands over; the updater installs and starts the new client, which comes
    // up with "update" and does not hand over again.
    QVERIFY2(waitForLog(QStringLiteral("first frame")), qPrintable(log()));
    QVERIFY(waitForOurProcessesToEnd());
    const QString text = log();
    QCOMPARE(text.count(QStringLiteral("argc == 1")), 1);
    QCOMPARE(text.count(QStringLiteral("updater started with 2 arguments")), 1);
    QVERIFY2(text.contains(QStringLiteral("updater stage: \"complete\"")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("updater ends with 900")));
    QCOMPARE(text.count(QStringLiteral("argc == 2")), 1);
    QCOMPARE(text.count(QStringLiteral("first frame")), 1);

    const auto after = ZipTestKit::snapshot(installation());
    QCOMPARE(after.value(QStringLiteral("new-client-args.txt")), QByteArray("update\n"));
    // The new files, and everything the package does not carry kept.
    QCOMPARE(versionOf(after, before), QStringLiteral("new"));
    // The old client is kept until a client of this installation has started once (this
    // package's client runs the build's, which belongs to another folder).
    QCOMPARE(after.value(QStringLiteral(".tarnex-update/old/tarnex")),
             before.value(QStringLiteral("tarnex")));
}

void TestUpdater::brokenUpdatesChangeNothing_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("feed"); // empty: the server's feed
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("integrity");
    QTest::addColumn<QString>("manifestVersion");

    // A failure is shown and confirmed (900); a package file that cannot be named ends at once.
    QTest::newRow("hostile entries") << "hostile"
                                     << "" << (900 & 0xff) << "signed"
                                     << "";
    QTest::newRow("truncated download") << "truncated"
                                        << "" << (900 & 0xff) << "signed"
                                        << "";
    QTest::newRow("corrupt archive") << "corrupt"
                                     << "" << (900 & 0xff) << "signed"
                                     << "";
    QTest::newRow("missing package") << "missing"
                                     << "" << (900 & 0xff) << "signed"
                                     << "";
    QTest::newRow("feed not JSON") << "normal"
                                   << "<html>" << 0 << "signed"
                                   << "";
    QTest::newRow("feed without url")
        << "normal"
        << "{\"version\":\"5.0.1.0\",\"name\":\"p.zip\"}" << (900 & 0xff) << "signed"
        << "";
    QTest::newRow("feed without name")
        << "normal"
        << "{\"version\":\"5.0.1.0\",\"url\":\"URL\"}" << 0 << "signed"
        << "";
    // Refused before the download, in the window's words.
    QTest::newRow("wrong key") << "normal"
                               << "" << (900 & 0xff) << "wrong-key"
                               << "";
    QTest::newRow("older signed version") << "normal"
                                          << "" << (900 & 0xff) << "signed"
                                          << "5.0.0.3";
}

void TestUpdater::brokenUpdatesChangeNothing()
{
    QFETCH(QString, mode);
    QFETCH(QString, feed);
    QFETCH(int, exitCode);
    QFETCH(QString, integrity);
    QFETCH(QString, manifestVersion);

    m_server.hook(QStringLiteral("feed"),
                  {{"integrity", integrity}, {"manifestVersion", manifestVersion}});
    const QString absolute = path(QStringLiteral("escaped-absolute.txt"));
    m_server.hook(QStringLiteral("package"), {{"mode", mode}, {"absPath", absolute}});
    const QString packageUrl = m_server.baseUrl().toString() +
                               QStringLiteral("/tarnex10pack/client/packages/tarnex-5.0.1.0.zip");
    feed.replace(QStringLiteral("URL"), packageUrl);
    const auto before = ZipTestKit::snapshot(installation());

    QCOMPARE(runUpdater({feed.isEmpty() ? feedText() : feed, QStringLiteral("5.0.0.4")}), exitCode);
    // The old client comes back.
    QVERIFY2(waitForLog(QStringLiteral("first frame")), qPrintable(log()));
    QVERIFY(waitForOurProcessesToEnd());
    const QString text = log();
    QVERIFY(text.contains(QStringLiteral("argc == 2")));
    QVERIFY(!text.contains(QStringLiteral("updater stage: \"complete\"")));

    QCOMPARE(ZipTestKit::snapshot(installation()), before);
    QCOMPARE(QDir(m_root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{"install", "log.txt", "package"}));
}

void TestUpdater::killedUpdateLeavesOneVersion_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("version");
    QTest::newRow("unpacked, before the journal") << "staged"
                                                  << "old";
    QTest::newRow("journal written, before the switch") << "before"
                                                        << "old";
    QTest::newRow("during the switch") << "during"
                                       << "old";
    QTest::newRow("after the switch") << "after"
                                      << "new";
}

// A power cut anywhere in the install: the updater kills itself at that step; the client
// started next comes up as one version, the old one rolled back or the new one whole.
void TestUpdater::killedUpdateLeavesOneVersion()
{
    QFETCH(QString, step);
    QFETCH(QString, version);
    const auto before = ZipTestKit::snapshot(installation());
    QCOMPARE(runUpdater({feedText(), QStringLiteral("5.0.0.4")}, step), -1);
    QVERIFY2(log().contains(QStringLiteral("killed at the update step ") + step),
             qPrintable(log()));
    // Cut off midway, the files are a mix until the next start rolls them back.
    if (step == QLatin1String("during"))
        QCOMPARE(versionOf(ZipTestKit::snapshot(installation()), before), QStringLiteral("mixed"));
    QProcess client;
    client.setProcessEnvironment(environment());
    client.setWorkingDirectory(installation());
    client.start(installation() + QStringLiteral("/tarnex"), {QStringLiteral("update")});
    QVERIFY(client.waitForFinished(60000));
    QCOMPARE(client.exitCode(), 0);
    QVERIFY2(log().contains(QStringLiteral("first frame")), qPrintable(log()));
    const auto after = ZipTestKit::snapshot(installation());
    QCOMPARE(versionOf(after, before), version);
    if (version == QLatin1String("old")) {
        // Nothing of the cut-off update is left behind.
        QCOMPARE(after, before);
        QCOMPARE(log().contains(QStringLiteral("rolling it back")),
                 step != QLatin1String("staged"));
    }
    qInfo().noquote() << "killed at" << step << "-> the client starts as the" << version
                      << "version";
}

void TestUpdater::tooFewArgumentsOnlyRestart_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("none") << QStringList();
    QTest::newRow("feed only") << QStringList{QStringLiteral("{}")};
}

void TestUpdater::tooFewArgumentsOnlyRestart()
{
    QFETCH(QStringList, args);
    const auto before = ZipTestKit::snapshot(installation());
    QCOMPARE(runUpdater(args), 0);
    QVERIFY2(waitForLog(QStringLiteral("first frame")), qPrintable(log()));
    QVERIFY(waitForOurProcessesToEnd());
    const QString text = log();
    QVERIFY(text.contains(QStringLiteral("argc == 2")));
    QVERIFY(!text.contains(QStringLiteral("updater stage")));
    QCOMPARE(ZipTestKit::snapshot(installation()), before);
}

void TestUpdater::runningClientIsEnded()
{
    // A client that keeps running until something ends it.
    QProcess client;
    client.setProcessEnvironment(environment(false));
    client.setWorkingDirectory(installation());
    client.start(installation() + QStringLiteral("/tarnex"), {QStringLiteral("update")});
    QVERIFY2(waitForLog(QStringLiteral("first frame")), qPrintable(log()));

    m_server.hook(QStringLiteral("package"), {{"mode", "missing"}});
    QProcess updater;
    updater.setProcessEnvironment(environment());
    updater.setWorkingDirectory(installation());
    updater.start(installation() + QStringLiteral("/update/tarnex-update"),
                  {feedText(), QStringLiteral("5.0.0.4")});
    QVERIFY(client.waitForFinished(15000));
    // SIGTERM takes the client's orderly way out, as a quit from the window does.
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QVERIFY(updater.waitForFinished(60000));
    // Then the updater brings a client back.
    QVERIFY2(waitForLog(QStringLiteral("first frame"), 2), qPrintable(log()));
    QVERIFY(waitForOurProcessesToEnd());
    QVERIFY(log().contains(QStringLiteral("ending the running client")));
}

TARNEX_TEST_MAIN(TestUpdater)
#include "tst_updater.moc"

#include "procusage.h"
#include "referenceserver.h"
#include "signedinclient.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The client's start-up as real processes: the update hand-over, the published version and the
// restart protocol. The client runs from a copy in its own installation folder, whose updater is
// a stand-in script that records its arguments; it is started from another working folder
// (as a log-in start from the home folder is), which holds a planted updater of its own.
class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void updateCheck_data();
    void updateCheck();
    void slowFeedDoesNotHoldStartUp();
    void missingUpdaterStillOpensTheWindow();
    void windowWithoutOpenGl();
    void secondStartRaisesTheFirst();
    void restartWith773();
    void otherExitCodesEnd();
    void noWebEngineBeforeTheFirstPage();

private:
    struct Run
    {
        int exitCode = -1;
        QString log;
        QString updaterArgs;
        bool updaterStarted = false;
        bool plantedStarted = false;
    };
    Run runClient(const QStringList &args, const QString &quitCodes = QStringLiteral("0"),
                  bool backendGiven = true);
    void setFeed(const QJsonObject &feed) { m_server.hook(QStringLiteral("feed"), feed); }

    static bool writeStandIn(const QString &path, const QString &record);

    ReferenceServer m_server;
    QTemporaryDir m_installation;
    QTemporaryDir m_workingDir;
    QString m_client;
};

bool TestStartup::writeStandIn(const QString &path, const QString &record)
{
    QFile updater(path);
    if (!updater.open(QIODevice::WriteOnly))
        return false;
    updater.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/" + record.toUtf8() +
                  "\"\n");
    updater.close();
    return updater.setPermissions(updater.permissions() | QFile::ExeOwner);
}

void TestStartup::initTestCase()
{
    QVERIFY(!qEnvironmentVariableIsEmpty("TARNEX_TARNEX_PROGRAM"));
    // A newer release hands over only when signed with a key the build trusts: its test key.
    QVERIFY2(
        m_server.start({QStringLiteral("--release-key"), QStringLiteral(TARNEX_TEST_RELEASE_KEY)}),
        qPrintable(m_server.output()));
    // The program finds its updater beside itself, so it runs from a copy.
    m_client = m_installation.filePath(QStringLiteral("tarnex"));
    QVERIFY(QFile::copy(qEnvironmentVariable("TARNEX_TARNEX_PROGRAM"), m_client));
    QVERIFY(QDir(m_installation.path()).mkpath(QStringLiteral("update")));
    QVERIFY(writeStandIn(m_installation.filePath(QStringLiteral("update/tarnex-update")),
                         QStringLiteral("args.txt")));
    QVERIFY(QDir(m_workingDir.path()).mkpath(QStringLiteral("update")));
    QVERIFY(writeStandIn(m_workingDir.filePath(QStringLiteral("update/tarnex-update")),
                         QStringLiteral("planted.txt")));
}

void TestStartup::init()
{
    QFile::remove(m_installation.filePath(QStringLiteral("update/args.txt")));
    QFile::remove(m_workingDir.filePath(QStringLiteral("update/planted.txt")));
    QFile::remove(m_installation.filePath(QStringLiteral("client.log")));
    m_server.hook(QStringLiteral("reset"));
}

TestStartup::Run TestStartup::runClient(const QStringList &args, const QString &quitCodes,
                                        bool backendGiven)
{
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!backendGiven)
        env.remove(QStringLiteral("QT_QUICK_BACKEND"));
    env.insert(QStringLiteral("TARNEX_UPDATE_FEED"),
               m_server.baseUrl().toString() +
                   QStringLiteral("/tarnex10pack/client/client.php?platform=win"));
    env.insert(QStringLiteral("TARNEX_LOG_FILE"),
               m_installation.filePath(QStringLiteral("client.log")));
    env.insert(QStringLiteral("TARNEX_QUIT_AFTER_FIRST_FRAME"), quitCodes);
    client.setProcessEnvironment(env);
    client.setWorkingDirectory(m_workingDir.path());
    client.start(m_client, args);
    Run run;
    if (!client.waitForFinished(60000)) {
        client.kill();
        client.waitForFinished();
        return run;
    }
    run.exitCode = client.exitCode();
    QFile log(m_installation.filePath(QStringLiteral("client.log")));
    if (log.open(QIODevice::ReadOnly))
        run.log = QString::fromUtf8(log.readAll());
    // The stand-in updater is detached; give it time to write what it was given.
    const QString argsPath = m_installation.filePath(QStringLiteral("update/args.txt"));
    if (!run.log.contains(QLatin1String("first frame")))
        (void)QTest::qWaitFor([&] { return QFile::exists(argsPath); }, 10000);
    QFile updaterArgs(argsPath);
    if (updaterArgs.open(QIODevice::ReadOnly)) {
        run.updaterStarted = true;
        run.updaterArgs = QString::fromUtf8(updaterArgs.readAll());
    }
    // The working folder's updater is never the one started.
    run.plantedStarted = QFile::exists(m_workingDir.filePath(QStringLiteral("update/planted.txt")));
    return run;
}

void TestStartup::updateCheck_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("feedMode");
    QTest::addColumn<QString>("feedValue");
    QTest::addColumn<bool>("handsOver");
    QTest::addColumn<QString>("shownVersion");
    QTest::addColumn<int>("reloadView");

    QTest::newRow("newer, no argument") << QStringList() << "normal"
                                        << "5.0.1.0" << true << "" << 0;
    QTest::newRow("newer, one argument") << QStringList{QStringLiteral("update")} << "normal"
                                         << "5.0.1.0" << false << "5.0.1.0" << 0;
    QTest::newRow("newer, two arguments")
        << QStringList{QStringLiteral("1"), QStringLiteral("2")} << "normal"
        << "5.0.1.0" << false << "5.0.1.0" << 1;
    QTest::newRow("equal") << QStringList() << "normal"
                           << "5.0.0.4" << false << "5.0.0.4" << 0;
    QTest::newRow("digits compare as a number") << QStringList() << "normal"
                                                << "5.0.0.10" << true << "" << 0;
    QTest::newRow("older") << QStringList() << "normal"
                           << "4.9.9.9" << false << "4.9.9.9" << 0;
    // Parts compare as numbers one by one, never as the digits run together.
    QTest::newRow("older, more digits") << QStringList() << "normal"
                                        << "4.10.0.0" << false << "4.10.0.0" << 0;
    QTest::newRow("newer, fewer parts") << QStringList() << "normal"
                                        << "5.1" << true << "" << 0;
    QTest::newRow("not JSON") << QStringList() << "raw"
                              << "<html>oops</html>" << false << "5.0.0.4" << 0;
    QTest::newRow("empty body") << QStringList() << "empty"
                                << "" << false << "5.0.0.4" << 0;
    QTest::newRow("no version") << QStringList() << "raw"
                                << "{\"url\": \"x\"}" << false << "" << 0;
}

void TestStartup::updateCheck()
{
    QFETCH(QStringList, args);
    QFETCH(QString, feedMode);
    QFETCH(QString, feedValue);
    QFETCH(bool, handsOver);
    QFETCH(QString, shownVersion);
    QFETCH(int, reloadView);

    QJsonObject feed{{QStringLiteral("mode"), feedMode}};
    feed.insert(feedMode == QLatin1String("raw") ? QStringLiteral("body")
                                                 : QStringLiteral("version"),
                feedValue);
    setFeed(feed);
    const Run run = runClient(args);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.updaterStarted, handsOver);
    QVERIFY(!run.plantedStarted);
    QCOMPARE(run.log.contains(QLatin1String("first frame")), !handsOver);
    if (handsOver) {
        const QStringList updaterArgs =
            run.updaterArgs.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(updaterArgs.size(), 2);
        // The feed text is handed over stripped of every space, tab and line feed.
        QVERIFY(updaterArgs.at(0).startsWith(QLatin1Char('{')));
        QVERIFY(!updaterArgs.at(0).contains(QLatin1Char(' ')));
        QVERIFY(updaterArgs.at(0).contains(QStringLiteral("\"version\":\"") + feedValue));
        QCOMPARE(updaterArgs.at(1), QStringLiteral("5.0.0.4"));
    } else {
        QVERIFY2(run.log.contains(QStringLiteral("newVersionInfor == \"%1\" reloadView == %2")
                                      .arg(shownVersion)
                                      .arg(reloadView)),
                 qPrintable(run.log));
    }
}

void TestStartup::slowFeedDoesNotHoldStartUp()
{
    setFeed({{QStringLiteral("mode"), QStringLiteral("silent")}});
    const Run run = runClient({});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!run.updaterStarted);
    QVERIFY2(run.log.contains(QLatin1String("newVersionInfor == \"5.0.0.4\"")),
             qPrintable(run.log));
}

// An update is offered, but the updater is gone: the window opens all the same.
void TestStartup::missingUpdaterStillOpensTheWindow()
{
    const QString updater = m_installation.filePath(QStringLiteral("update/tarnex-update"));
    const QString aside = updater + QStringLiteral(".aside");
    QVERIFY(QFile::rename(updater, aside));
    setFeed({{QStringLiteral("mode"), QStringLiteral("normal")},
             {QStringLiteral("version"), QStringLiteral("5.0.1.0")}});
    const Run run = runClient({});
    QVERIFY(QFile::rename(aside, updater));
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!run.updaterStarted);
    QVERIFY2(run.log.contains(QLatin1String("no updater at")), qPrintable(run.log));
    QVERIFY2(run.log.contains(QLatin1String("first frame")), qPrintable(run.log));
    QVERIFY(run.log.contains(QLatin1String("newVersionInfor == \"5.0.1.0\"")));
}

// The offscreen platform has no OpenGL: the client must choose the software renderer itself.
void TestStartup::windowWithoutOpenGl()
{
    if (qEnvironmentVariable("QT_QPA_PLATFORM") != QLatin1String("offscreen"))
        QSKIP("needs the offscreen platform");
    const Run run = runClient({QStringLiteral("update")}, QStringLiteral("0"), false);
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.log.contains(QLatin1String("software renderer")), qPrintable(run.log));
    QVERIFY2(run.log.contains(QLatin1String("first frame")), qPrintable(run.log));
}

// One client per session: a second start shows the first one's window and ends with 0, and
// leaves the first one's scratch files alone.
void TestStartup::secondStartRaisesTheFirst()
{
    setFeed({{QStringLiteral("mode"), QStringLiteral("normal")},
             {QStringLiteral("version"), QStringLiteral("5.0.0.4")}});
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TARNEX_UPDATE_FEED"),
               m_server.baseUrl().toString() +
                   QStringLiteral("/tarnex10pack/client/client.php?platform=win"));
    env.insert(QStringLiteral("TARNEX_LOG_FILE"),
               m_installation.filePath(QStringLiteral("client.log")));
    env.remove(QStringLiteral("TARNEX_QUIT_AFTER_FIRST_FRAME"));
    first.setProcessEnvironment(env);
    first.setWorkingDirectory(m_workingDir.path());
    first.start(m_client, {QStringLiteral("update")});
    QFile log(m_installation.filePath(QStringLiteral("client.log")));
    auto logText = [&log] {
        log.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(log.readAll());
        log.close();
        return text;
    };
    QVERIFY2(
        QTest::qWaitFor([&] { return logText().contains(QLatin1String("first frame")); }, 60000),
        qPrintable(logText()));
    // A file of the running client's in its scratch folder.
    const QString scratch = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                            QStringLiteral("/morvane/tarnex/configimage/");
    QVERIFY(QDir().mkpath(scratch));
    QFile kept(scratch + QStringLiteral("pasted.png"));
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.close();

    const Run second = runClient({QStringLiteral("update")});
    QCOMPARE(second.exitCode, 0);
    QVERIFY2(second.log.contains(QLatin1String("a client runs already")), qPrintable(second.log));
    QCOMPARE(second.log.count(QLatin1String("first frame")), 1);
    QVERIFY2(
        QTest::qWaitFor(
            [&] { return logText().contains(QLatin1String("raised by a second start")); }, 10000),
        qPrintable(logText()));
    QVERIFY(QFile::exists(kept.fileName()));
    QCOMPARE(first.state(), QProcess::Running);
    first.terminate();
    QVERIFY(first.waitForFinished(30000));
}

void TestStartup::restartWith773()
{
    setFeed({{QStringLiteral("mode"), QStringLiteral("normal")},
             {QStringLiteral("version"), QStringLiteral("5.0.0.4")}});
    const Run run = runClient({}, QStringLiteral("773,0"));
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.log.contains(QLatin1String("adta == 773")));
    // The restarted copy is detached and writes to the same log: it was started with "1" "2".
    QFile log(m_installation.filePath(QStringLiteral("client.log")));
    QVERIFY(QTest::qWaitFor(
        [&] {
            log.open(QIODevice::ReadOnly);
            const QString text = QString::fromUtf8(log.readAll());
            log.close();
            return text.count(QLatin1String("first frame")) == 2;
        },
        60000));
    log.open(QIODevice::ReadOnly);
    const QString text = QString::fromUtf8(log.readAll());
    QVERIFY2(text.contains(QLatin1String("argc == 3")), qPrintable(text));
    QVERIFY(text.contains(QLatin1String("reloadView == 1")));
}

void TestStartup::otherExitCodesEnd()
{
    const Run run = runClient({QStringLiteral("update")}, QStringLiteral("900"));
    // A process's exit status keeps only the low eight bits of the code on Unix.
    QCOMPARE(run.exitCode, 900 & 0xff);
    QVERIFY(!run.log.contains(QLatin1String("adta")));
}

TARNEX_TEST_MAIN(TestStartup)

// Signed in, with the window up and the directory loaded, the client has no web engine yet:
// neither a QtWebEngineProcess below it nor the engine's library in its memory.
void TestStartup::noWebEngineBeforeTheFirstPage()
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral(".local/share")));
    QVERIFY(presetAutoLogin(env, m_server.address()));
    const QString logPath = home.filePath(QStringLiteral("client.log"));
    pointClientAt(env, logPath, m_server.baseUrl());
    QProcess client;
    client.setProcessEnvironment(env);
    client.setWorkingDirectory(m_workingDir.path());
    client.start(m_client, QStringList());
    QVERIFY(client.waitForStarted(10000));
    auto log = [&logPath] {
        QFile file(logPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QLatin1String("main frame shown")) &&
                                 log().contains(QLatin1String("organisation loaded")),
                             60000);
    QCOMPARE(client.state(), QProcess::Running);

    const QString pid = QString::number(client.processId());
    QVERIFY(procusage::pssOf(pid) > 0);
    const procusage::Usage usage = procusage::usageOf(pid);
    QVERIFY2(!usage.webEngineMapped, "the web engine is loaded");
    QCOMPARE(usage.webEngineProcesses, 0);

    client.terminate();
    if (!client.waitForFinished(15000)) {
        client.kill();
        client.waitForFinished();
    }
}

#include "tst_startup.moc"

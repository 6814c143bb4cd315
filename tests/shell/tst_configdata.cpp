#include "filestestkit.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "config/secretseal.h"
#include "platform/autostart.h"
#include "platform/runningclient.h"
#include "shell/configdata.h"
#include "shell/updatecheck.h"

#include <QCursor>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

// The documents' settings facade: its forwards to the store and its own functions.
class TestConfigData : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void serverAddresses();
    void accounts();
    void signInServerAndChoices();
    void folderChoices();
    void currentChatsFollowTheSignedInUser();
    void historicalRecords();
    void filterRichText_data();
    void filterRichText();
    void pointInRect_data();
    void pointInRect();
    void mousePositionUsesTheCursor();
    void startWithTheSystem();
    void versionRequest();
    void exitCodes_data();
    void exitCodes();
    void handOverWithoutUpdater();

private:
    RecordingEngine m_engine{QStringLiteral("31")};
    QTemporaryDir m_base;
};

void TestConfigData::initTestCase()
{
    FileMessageEngine::replace(&m_engine);
    QVERIFY(m_base.isValid());
}

void TestConfigData::init()
{
    ConfigFile::resetForTests(m_base.path() + QLatin1Char('/'));
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"),
                                          QStringLiteral("oa.example.com:8080"));
}

void TestConfigData::cleanupTestCase()
{
    FileMessageEngine::replace(nullptr);
}

void TestConfigData::serverAddresses()
{
    ConfigData data;
    QSignalSpy added(&data, &ConfigData::sigAddServerAddress);
    data.addServerAddress(QStringLiteral("http://10.1.2.3:81"), QStringLiteral("en"));
    data.addServerAddress(QStringLiteral("https://oa.example.com"));
    QCOMPARE(added.size(), 2);
    QStringList listed = data.getServerAddress();
    listed.sort();
    QCOMPARE(listed, (QStringList{"10.1.2.3:81", "https://oa.example.com"}));
    QCOMPARE(data.getServerAddressLangue(QStringLiteral("10.1.2.3:81")), QStringLiteral("en"));
    QCOMPARE(data.getServerAddressLangue(QStringLiteral("https://oa.example.com")), QString());
    data.removeServerAddress(QStringLiteral("10.1.2.3:81"));
    QCOMPARE(data.getServerAddress(), QStringList{QStringLiteral("https://oa.example.com")});
}

void TestConfigData::accounts()
{
    ConfigData data;
    QSignalSpy changed(&data, &ConfigData::sigAccountChagnge);
    data.setAccountPassword(QStringLiteral("zhangwei"), QStringLiteral("p&ss=中文"));
    data.setAccountImage(QStringLiteral("zhangwei"), QStringLiteral("avatar.png"));
    data.setAccountPassword(QStringLiteral("lina"), QStringLiteral("x"));
    QCOMPARE(changed.size(), 2);
    QStringList all = data.getAllAccount();
    all.sort();
    QCOMPARE(all, (QStringList{"lina", "zhangwei"}));
    QCOMPARE(data.getAccountPassword(QStringLiteral("zhangwei")), QStringLiteral("p&ss=中文"));
    QCOMPARE(data.getAccountImage(QStringLiteral("zhangwei")), QStringLiteral("avatar.png"));

    // The file holds it sealed, never the password.
    const QString digest = ConfigFile::instance()->severIpMd5();
    QSettings file(ConfigFile::instance()->settingsFilePath(), QSettings::IniFormat);
    QVERIFY(SecretSeal::isSealed(
        file.value(QStringLiteral("accounts%1/zhangwei").arg(digest)).toString()));

    data.removeAccount(QStringLiteral("zhangwei"));
    QCOMPARE(changed.size(), 3);
    QCOMPARE(data.getAllAccount(), QStringList{QStringLiteral("lina")});
    QCOMPARE(data.getAccountImage(QStringLiteral("zhangwei")), QString());
}

// What the sign-in views leave to the facade: server addresses, the first view, the form's
// choices and the avatars of the current server.
void TestConfigData::signInServerAndChoices()
{
    ConfigData data;
    QCOMPARE(data.plainServerAddress(QStringLiteral("  http://10.1.2.3:81//  ")),
             QStringLiteral("10.1.2.3:81"));
    QCOMPARE(data.plainServerAddress(QStringLiteral("https://oa.example.com/")),
             QStringLiteral("https://oa.example.com"));
    QCOMPARE(data.serverCheckUrl(QStringLiteral("10.1.2.3:81")),
             QStringLiteral("http://10.1.2.3:81/tarnex10/server/public/"));
    QCOMPARE(data.serverCheckUrl(QStringLiteral("https://oa.example.com")),
             QStringLiteral("https://oa.example.com/tarnex10/server/public/"));

    // The frame opens where it was left, but never on the form without a server.
    QVERIFY(data.currentServerSet());
    QCOMPARE(data.loginStartView(), QStringLiteral("password"));
    data.setCurrentMainFile(QStringLiteral("qrcode"), QStringLiteral("loginView"));
    QCOMPARE(data.loginStartView(), QStringLiteral("qrcode"));
    for (const char *bare : {"", "http://", "https://"}) {
        data.setCurrentMainFile(QLatin1String(bare), QStringLiteral("currentServerIp"));
        QVERIFY2(!data.currentServerSet(), bare);
        QCOMPARE(data.loginStartView(), QStringLiteral("server"));
    }

    QSignalSpy added(&data, &ConfigData::sigAddServerAddress);
    data.saveServer(QStringLiteral("10.1.2.3:81"), QStringLiteral("en"));
    QCOMPARE(added.size(), 1);
    QVERIFY(data.getServerAddress().contains(QStringLiteral("10.1.2.3:81")));
    QCOMPARE(data.getServerAddressLangue(QStringLiteral("10.1.2.3:81")), QStringLiteral("en"));
    QCOMPARE(data.getCurrentMainFile(QStringLiteral("serverAddress")),
             QStringLiteral("10.1.2.3:81"));
    QCOMPARE(data.getCurrentMainFile(QStringLiteral("currentServerIp")),
             QStringLiteral("http://10.1.2.3:81"));

    // The form's choices, and its password only while it is kept.
    data.setCurrentMainFile(QStringLiteral("lina"), QStringLiteral("currentAccount"));
    data.saveSignIn(QStringLiteral("zhangwei"), QStringLiteral("secret"), true, true);
    QCOMPARE(data.getCurrentMainFile(QStringLiteral("currentAccount")), QStringLiteral("zhangwei"));
    QCOMPARE(data.getCurrentMainFile(QStringLiteral("rememberPassword")), QStringLiteral("true"));
    QCOMPARE(data.getCurrentMainFile(QStringLiteral("autoLogin")), QStringLiteral("true"));
    QCOMPARE(data.getCurrentMainFile(QStringLiteral("currentPassword")), QStringLiteral("secret"));
    data.saveSignIn(QStringLiteral("zhangwei"), QStringLiteral("secret"), false, false);
    QCOMPARE(data.getCurrentMainFile(QStringLiteral("rememberPassword")), QStringLiteral("false"));
    QCOMPARE(data.getCurrentMainFile(QStringLiteral("currentPassword")), QString());

    const QString base = QStringLiteral("http://10.1.2.3:81");
    QCOMPARE(data.avatarUrl(QString()), QStringLiteral("qrc:/images/defaulticon.png"));
    QCOMPARE(data.avatarUrl(QStringLiteral("https://cdn/x.png")),
             QStringLiteral("https://cdn/x.png"));
    QCOMPARE(data.avatarUrl(QStringLiteral("file:///tmp/x.png")),
             QStringLiteral("file:///tmp/x.png"));
    QCOMPARE(data.avatarUrl(QStringLiteral("api/portal/tx/avatar/7")),
             base + QStringLiteral("/api/portal/tx/avatar/7"));
    QCOMPARE(data.avatarUrl(QStringLiteral("avatar/7.png")),
             base + QStringLiteral("/tarnex10/server/public/avatar/7.png"));
    QCOMPARE(data.avatarUrl(QStringLiteral("7.png")),
             base + QStringLiteral("/tarnex10/server/public/avatar/7.png"));
}

void TestConfigData::folderChoices()
{
    ConfigData data;
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    QCOMPARE(data.getDefaultDownloadPath(), downloads);
    QCOMPARE(data.getBrowserPath(QStringLiteral("never set")), downloads);
    data.setBrowserPath(QStringLiteral("/srv/files"), QStringLiteral("downloadPath"));
    QCOMPARE(data.getBrowserPath(QStringLiteral("downloadPath")), QStringLiteral("/srv/files"));
    QCOMPARE(data.getExitbtnStatus(), false);
    data.setExitbtnStatus(true);
    QCOMPARE(data.getExitbtnStatus(), true);
    data.setCurrentMainFile(QStringLiteral("blue"), QStringLiteral("skin"));
    QCOMPARE(data.getCurrentMainFile(QStringLiteral("skin")), QStringLiteral("blue"));
}

void TestConfigData::currentChatsFollowTheSignedInUser()
{
    ConfigData data;
    data.setCurrentChatName(QStringLiteral("12"), QStringLiteral("王伟"));
    data.setCurrentChatTypes(QStringLiteral("12"), QStringLiteral("2"));
    QCOMPARE(data.getCurrentChat(), QStringList{QStringLiteral("12")});
    QVERIFY(data.judgeCurrentChatName(QStringLiteral("12")));
    QCOMPARE(data.getCurrentChatName(QStringLiteral("12")), QStringLiteral("王伟"));
    QCOMPARE(data.getCurrentChatTypes(QStringLiteral("12")), QStringLiteral("2"));
    QCOMPARE(data.getUserId(), QStringLiteral("31"));

    // Another user on the same machine and server has chats of their own.
    m_engine = RecordingEngine(QStringLiteral("32"));
    QVERIFY(data.getCurrentChat().isEmpty());
    m_engine = RecordingEngine(QStringLiteral("31"));

    data.removeCurrentChat(QStringLiteral("12"));
    QVERIFY(!data.judgeCurrentChatName(QStringLiteral("12")));
    QCOMPARE(data.getCurrentChatTypes(QStringLiteral("12")), QString());

    // The open conversation comes back for the same user only, and only whole.
    data.rememberConversation(QStringLiteral("g-7"), QStringLiteral("项目组"), QStringLiteral("3"),
                              true);
    const QVariantMap last = data.lastConversation();
    QCOMPARE(last.value("id").toString(), QStringLiteral("g-7"));
    QCOMPARE(last.value("name").toString(), QStringLiteral("项目组"));
    QCOMPARE(last.value("types").toString(), QStringLiteral("3"));
    QVERIFY(last.value("history").toBool());
    m_engine = RecordingEngine(QStringLiteral("32"));
    QVERIFY(data.lastConversation().isEmpty());
    m_engine = RecordingEngine(QStringLiteral("31"));
    const QString key = QStringLiteral("lastConversation");
    for (const char *broken :
         {"", "{not json", "[]", R"({"id":"","types":"2"})", R"({"id":5,"types":"2"})",
          R"({"id":"12","types":"4"})", R"({"id":"12","types":"2","user":31})"}) {
        data.setCurrentMainFile(QString::fromUtf8(broken), key);
        QVERIFY2(data.lastConversation().isEmpty(), broken);
    }
    // Written without the user (an older client, a preset): anyone's.
    data.setCurrentMainFile(QStringLiteral(R"({"id":"12","types":"2"})"), key);
    QCOMPARE(data.lastConversation().value("name").toString(), QString());
    QVERIFY(!data.lastConversation().value("history").toBool());
    data.rememberConversation(QString(), QString(), QString(), false);
    QVERIFY(data.lastConversation().isEmpty());
}

void TestConfigData::historicalRecords()
{
    ConfigData data;
    data.setHistoricalRecord(QStringLiteral("王伟"));
    data.setHistoricalRecord(QStringLiteral("项目组"), QStringLiteral("3"));
    QCOMPARE(data.getHistoricalGroup(QStringLiteral("王伟")), QStringLiteral("2"));
    QCOMPARE(data.getHistoricalGroup(QStringLiteral("项目组")), QStringLiteral("3"));
    data.removeHistoricalRecord(QStringLiteral("王伟"));
    QCOMPARE(data.getHistoricalRecord(), QStringList{QStringLiteral("项目组")});
}

void TestConfigData::filterRichText_data()
{
    QTest::addColumn<QString>("rich");
    QTest::addColumn<QString>("plain");
    QTest::newRow("paragraphs") << "<p>a</p>\n<p>b</p>"
                                << "ab";
    QTest::newRow("with a picture stays") << "<p><img src=\"x.png\"></p>"
                                          << "<p><img src=\"x.png\"></p>";
    QTest::newRow("style block goes")
        << "<html><head><style type=\"text/css\">p { margin: 0 }</style></head>"
           "<body><p>你好 world</p></body></html>"
        << "你好 world";
    QTest::newRow("plain text") << "no tags at all"
                                << "no tags at all";
    QTest::newRow("lone closing bracket") << "a > b"
                                          << "a  b";
}

void TestConfigData::filterRichText()
{
    QFETCH(QString, rich);
    QFETCH(QString, plain);
    QCOMPARE(ConfigData().filterRichText(rich), plain);
}

void TestConfigData::pointInRect_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<bool>("inside");
    // The rectangle x 100..150, y 200..230.
    QTest::newRow("left edge") << QPoint(100, 210) << true;
    QTest::newRow("right edge") << QPoint(150, 210) << true;
    QTest::newRow("top edge") << QPoint(120, 200) << true;
    QTest::newRow("bottom edge") << QPoint(120, 230) << true;
    QTest::newRow("corner") << QPoint(150, 230) << true;
    QTest::newRow("left of it") << QPoint(99, 210) << false;
    QTest::newRow("right of it") << QPoint(151, 210) << false;
    QTest::newRow("above") << QPoint(120, 199) << false;
    QTest::newRow("below") << QPoint(120, 231) << false;
}

void TestConfigData::pointInRect()
{
    QFETCH(QPoint, point);
    QFETCH(bool, inside);
    QCOMPARE(ConfigData::pointInRect(point.x(), point.y(), 100, 200, 50, 30), inside);
}

void TestConfigData::mousePositionUsesTheCursor()
{
    QCursor::setPos(120, 210);
    if (QCursor::pos() != QPoint(120, 210))
        QSKIP("this platform does not move the cursor");
    ConfigData data;
    QVERIFY(data.getMousePosition(100, 200, 20, 10));
    QVERIFY(!data.getMousePosition(121, 200, 20, 10));
}

void TestConfigData::startWithTheSystem()
{
    ConfigData data;
    QVERIFY(!data.getStartCompany());
    data.setStartCompany(true);
    QVERIFY(data.getStartCompany());
    QFile entry(Autostart::entryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QByteArray text = entry.readAll();
    QVERIFY(text.startsWith("[Desktop Entry]\n"));
    QVERIFY(text.contains("Exec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\"\n"));
    entry.close();
    data.setStartCompany(true); // already there: unchanged
    QVERIFY(data.getStartCompany());
    data.setStartCompany(false);
    QVERIFY(!data.getStartCompany());
    QVERIFY(!QFile::exists(Autostart::entryPath()));
}

void TestConfigData::exitCodes_data()
{
    QTest::addColumn<bool>("restart");
    QTest::addColumn<int>("code");
    QTest::newRow("quit") << false << 900;
    QTest::newRow("restart") << true << 773;
}

void TestConfigData::exitCodes()
{
    QFETCH(bool, restart);
    QFETCH(int, code);
    ConfigData data;
    // The application's own loop: an exit code marks the thread as quitting until the next
    // exec(), which a local loop would never clear.
    QTimer::singleShot(0, &data, [&] {
        if (restart)
            data.restartDevice();
        else
            data.openExeProgram();
    });
    QTimer::singleShot(5000, &data, [] { QCoreApplication::exit(-1); });
    QCOMPARE(QCoreApplication::exec(), code);
}

void TestConfigData::handOverWithoutUpdater()
{
    // An updater beside this program would really start (and end the test).
    if (QFileInfo::exists(RunningClient::updaterProgramIn(QCoreApplication::applicationDirPath())))
        QSKIP("an updater lies beside the test program");
    ConfigData data;
    bool started = true;
    QTimer::singleShot(0, &data, [&] {
        started = data.openUpdateProgrom(QStringLiteral("{\"version\":\"9.9.9.9\"}"),
                                         QStringLiteral("5.0.0.4"));
        // Had the hand-over ended the loop, exec() would return 0 before this fires.
        QTimer::singleShot(100, &data, [] { QCoreApplication::exit(42); });
    });
    QTimer::singleShot(5000, &data, [] { QCoreApplication::exit(-1); });
    QCOMPARE(QCoreApplication::exec(), 42);
    QVERIFY(!started);
}

void TestConfigData::versionRequest()
{
    ReferenceServer server;
    QVERIFY2(server.start({QStringLiteral("--feed-version"), QStringLiteral("5.0.1.0")}),
             qPrintable(server.output()));
    qputenv("TARNEX_UPDATE_FEED", (server.baseUrl().toString() +
                                   QStringLiteral("/tarnex10pack/client/client.php?platform=win"))
                                      .toUtf8());
    ConfigData data;
    QSignalSpy feed(&data, &ConfigData::sigUpdateDataInfor);
    data.getVersionInfor();
    QVERIFY(feed.wait(10000));
    QCOMPARE(feed.first().at(0).toString(), QStringLiteral("5.0.1.0"));
    QVERIFY(feed.first().at(1).toString().endsWith(QStringLiteral("tarnex-5.0.1.0.zip")));
    QVERIFY(!feed.first().at(4).toString().contains(QLatin1Char(' ')));
    // Only the first call asks.
    data.getVersionInfor();
    QVERIFY(!feed.wait(500));

    // The dialogs' check asks anew each time; a second check replaces the first, whose answer
    // is not reported.
    UpdateCheck check;
    QSignalSpy answered(&check, &UpdateCheck::answered);
    check.check();
    check.check();
    QVERIFY(answered.wait(10000));
    QCOMPARE(answered.size(), 1);
    QCOMPARE(answered.first().at(0).toString(), QStringLiteral("5.0.1.0"));
    QCOMPARE(answered.first().at(1), feed.first().at(1));
    QVERIFY(!answered.first().at(3).toString().endsWith(QLatin1Char('\n')));
    QVERIFY(check.isNewer(QStringLiteral("5.0.1.0"), QStringLiteral("5.0.0.10")));
    QVERIFY(!check.isNewer(QStringLiteral("5.0.0.10"), QStringLiteral("5.0.1.0")));
    QVERIFY(!check.isNewer(QStringLiteral("5.0.1.0"), QStringLiteral("5.0.1")));
    QVERIFY(!check.isNewer(QStringLiteral("beta"), QStringLiteral("5.0.1")));
    const QString url = QStringLiteral("http://h/tarnex.zip");
    QCOMPARE(check.phaseFor(QString(), QStringLiteral("5.0.1"), url),
             QStringLiteral("checkfailed"));
    QCOMPARE(check.phaseFor(QStringLiteral("5.0.2"), QStringLiteral("5.0.1"), url),
             QStringLiteral("available"));
    QCOMPARE(check.phaseFor(QStringLiteral("5.0.2"), QStringLiteral("5.0.1"), QString()),
             QStringLiteral("latest"));
    QCOMPARE(check.phaseFor(QStringLiteral("5.0.1"), QStringLiteral("5.0.1"), url),
             QStringLiteral("latest"));
    // A feed that does not answer in time is reported as failed.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    qputenv("TARNEX_UPDATE_FEED",
            QStringLiteral("http://127.0.0.1:%1/feed").arg(silent.serverPort()).toUtf8());
    check.setTimeLimit(100);
    check.check();
    QVERIFY(answered.wait(10000));
    QCOMPARE(answered.size(), 2);
    QCOMPARE(answered.last().at(0).toString(), QString());
    qunsetenv("TARNEX_UPDATE_FEED");
}

TARNEX_TEST_MAIN(TestConfigData)
#include "tst_configdata.moc"

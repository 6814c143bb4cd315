#include "testenvironment.h"

#include "config/configfile.h"
#include "reminders/menuitem.h"
#include "reminders/systemhandl.h"
#include "session/parameterinfor.h"
#include "shell/browserguard.h"

#include <QDesktopServices>
#include <QtTest>

#include <functional>

// Catches what would go to the system's default browser.
class BrowserCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void openUrl(const QUrl &url) { opened.append(url); }
};

// Addresses of the server's web client built by the openers of reminders, mentions, data
// records, links and menu entries, and where they open.
class TestWebClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void addresses_data();
    void addresses();
    void unusableArgumentsOpenNothing_data();
    void unusableArgumentsOpenNothing();
    void systemBrowserChoice_data();
    void systemBrowserChoice();
    void tokenStaysWithTheServer();
    void cleanupTestCase();

private:
    BrowserCatcher m_browser;
};

using Opener = std::function<void(SystemHandl &, MenuItem &)>;
Q_DECLARE_METATYPE(Opener)

namespace {

const QString server = QStringLiteral("http://10.1.2.3:8080");
const QString token = QStringLiteral("tok123");
const QString custom = QStringLiteral("/oa/web/index.html#");
const QString builtIn = QStringLiteral("/tarnex10/client/app/web/login.html#");

// Runs the opener and returns what reached the documents with jumpBrowser, and with
// openExternally after "external ".
QStringList jumps(const Opener &open)
{
    SystemHandl handl;
    MenuItem menu;
    QStringList texts;
    const auto external = [&](const QString &t) { texts << QStringLiteral("external ") + t; };
    QObject::connect(&handl, &SystemHandl::jumpBrowser, [&](const QString &t) { texts << t; });
    QObject::connect(&menu, &MenuItem::jumpBrowser, [&](const QString &t) { texts << t; });
    QObject::connect(&handl, &SystemHandl::openExternally, external);
    QObject::connect(&menu, &MenuItem::openExternally, external);
    open(handl, menu);
    return texts;
}

} // namespace

void TestWebClient::initTestCase()
{
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"),
                                          QStringLiteral("10.1.2.3:8080"));
    ParameterInfor::instance()->setToken(token);
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_browser, "openUrl");
}

void TestWebClient::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void TestWebClient::init()
{
    ConfigFile::instance()->setMainConfig(QStringLiteral("systemBrowser"), QString());
    ConfigFile::instance()->setWebSystemIp(custom);
    m_browser.opened.clear();
}

void TestWebClient::addresses_data()
{
    QTest::addColumn<QString>("clientPath");
    QTest::addColumn<Opener>("open");
    QTest::addColumn<QString>("between"); // between the token and "&platform=client"

    const QString prefix = server + custom + QStringLiteral("token=") + token;
    QTest::newRow("reminder") << custom << Opener([](SystemHandl &h, MenuItem &) {
        h.openMessageInfor(QStringLiteral("1001"), QStringLiteral("flow_todo"),
                           QStringLiteral("flow"));
    }) << "&module=flow&action=flow_todo&params=1001";
    QTest::newRow("empty parts keep their keys")
        << custom << Opener([](SystemHandl &h, MenuItem &) { h.openMessageInfor({}, {}, {}); })
        << "&module=&action=";
    QTest::newRow("mention") << custom << Opener([](SystemHandl &h, MenuItem &) {
        h.openMetionInfor(
            QStringLiteral(R"({"name":"flow.approve","params":{"run_id":7,"note":"a b\\c"}})"));
    }) << R"(&mention=flow&action=approve&params={"note":"abc","run_id":7})";
    QTest::newRow("mention without a dot") << custom << Opener([](SystemHandl &h, MenuItem &) {
        h.openMetionInfor(QStringLiteral(R"({"name":"flow","params":{"id":1}})"));
    }) << R"(&mention=&action=&params={"id":1})";
    QTest::newRow("data record, first key wins")
        << custom << Opener([](SystemHandl &h, MenuItem &) {
               h.openDataInfor(QStringLiteral(R"(##{"zeta":{"x":1},"alpha":{"id":3}}##)"));
           })
        << R"(&systemData=alpha&params={"id":3})";
    QTest::newRow("menu entry") << custom << Opener([](SystemHandl &, MenuItem &m) {
        m.openWebInfor(QStringLiteral("2"), QStringLiteral("201"));
    }) << "&module_id=2&menu_id=201";
    QTest::newRow("menu entry without module keeps its key")
        << custom << Opener([](SystemHandl &, MenuItem &m) {
               m.openWebInfor(QString(), QStringLiteral("201"));
           })
        << "&module_id=&menu_id=201";
    QTest::newRow("menu entry without ids")
        << custom << Opener([](SystemHandl &, MenuItem &m) { m.openWebInfor({}, {}); }) << "";
    QTest::newRow("client_url naming another host")
        << "@other.example/app#" << Opener([](SystemHandl &h, MenuItem &) {
               h.openMessageInfor(QStringLiteral("9"), QStringLiteral("a"), QStringLiteral("m"));
           })
        << "&module=m&action=a&params=9";
    QTest::newRow("no client_url at login") << QString() << Opener([](SystemHandl &h, MenuItem &) {
        h.openMessageInfor(QStringLiteral("9"), QStringLiteral("a"), QStringLiteral("m"));
    }) << "&module=m&action=a&params=9";
}

void TestWebClient::addresses()
{
    QFETCH(QString, clientPath);
    QFETCH(Opener, open);
    QFETCH(QString, between);
    ConfigFile::instance()->setWebSystemIp(clientPath);
    // The token never goes to another host: such a path gives way to the built-in one.
    const QString path = clientPath.startsWith(QLatin1Char('/')) ? clientPath : builtIn;
    const QString expected = server + path + QStringLiteral("token=") + token + between +
                             QStringLiteral("&platform=client");
    const QStringList texts = jumps(open);
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts.first(), QUrl(expected, QUrl::TolerantMode).toString());
    QVERIFY(texts.first().startsWith(server + path + QStringLiteral("token=")));
}

void TestWebClient::unusableArgumentsOpenNothing_data()
{
    QTest::addColumn<Opener>("open");
    QTest::newRow("empty mention")
        << Opener([](SystemHandl &h, MenuItem &) { h.openMetionInfor(QString()); });
    QTest::newRow("mention not JSON") << Opener([](SystemHandl &h, MenuItem &) {
        h.openMetionInfor(QStringLiteral("{name: flow.approve"));
    });
    QTest::newRow("data without members")
        << Opener([](SystemHandl &h, MenuItem &) { h.openDataInfor(QStringLiteral("##{}##")); });
    QTest::newRow("data not JSON") << Opener(
        [](SystemHandl &h, MenuItem &) { h.openDataInfor(QStringLiteral("##nonsense##")); });
}

void TestWebClient::unusableArgumentsOpenNothing()
{
    QFETCH(Opener, open);
    ConfigFile::instance()->setMainConfig(QStringLiteral("systemBrowser"), QStringLiteral("true"));
    QCOMPARE(jumps(open), QStringList());
    QVERIFY(m_browser.opened.isEmpty());
}

void TestWebClient::systemBrowserChoice_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<bool>("systemBrowser");
    QTest::newRow("true") << "true" << true;
    QTest::newRow("TRUE is not true") << "TRUE" << false;
}

void TestWebClient::systemBrowserChoice()
{
    QFETCH(QString, choice);
    QFETCH(bool, systemBrowser);
    ConfigFile::instance()->setMainConfig(QStringLiteral("systemBrowser"), choice);
    const QString link = QStringLiteral("http://example.test/a?b=1#c");
    const QStringList texts = jumps([&](SystemHandl &h, MenuItem &m) {
        h.openLinkWeb(link);
        h.openMessageInfor(QStringLiteral("1"), QStringLiteral("a"), QStringLiteral("m"));
        m.openWebInfor(QStringLiteral("2"), QStringLiteral("3"));
    });
    // The system's browser too is reached only through the link opener the documents hold,
    // which asks before another host ("example.test" here) and opens no other scheme.
    QVERIFY(m_browser.opened.isEmpty());
    QCOMPARE(texts.size(), 3);
    const QString via = systemBrowser ? QStringLiteral("external ") : QString();
    QCOMPARE(texts.first(), via + link);
    QVERIFY(texts.at(1).startsWith(via + server));
    QVERIFY(texts.at(2).startsWith(via + server));
    QVERIFY(texts.at(2).endsWith(QStringLiteral("&module_id=2&menu_id=3&platform=client")));
}

void TestWebClient::tokenStaysWithTheServer()
{
    // What the built-in browser refuses to request: the token at any other origin, wherever in
    // the address; the own server's pages and addresses without it load.
    const QUrl own(server);
    const auto away = [&](const char *url) {
        return BrowserGuard::carriesTokenAway(QUrl(QString::fromLatin1(url)), token, own);
    };
    QVERIFY(!away("http://10.1.2.3:8080/app#token=tok123"));
    QVERIFY(!away("HTTP://10.1.2.3:8080/a?api_token=tok123"));
    QVERIFY(!away("http://other.example/page"));
    QVERIFY(away("http://other.example/page?api_token=tok123"));
    QVERIFY(away("http://10.1.2.3:8081/app#token=tok123"));
    QVERIFY(away("https://10.1.2.3:8080/app?token=tok123"));
    QVERIFY(away("http://other.example/tok%31%323"));
    QVERIFY(!BrowserGuard::carriesTokenAway(QUrl(QStringLiteral("http://o.example/?t=ab")),
                                            QStringLiteral("ab"), own));
}

TARNEX_TEST_MAIN(TestWebClient)
#include "tst_webclient.moc"

#include "logwatch.h"
#include "referenceserver.h"
#include "signintestkit.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "messaging/sockethandl.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"
#include "reminders/menumodel.h"
#include "session/parameterinfor.h"
#include "shell/loginrequest.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace signintest;

// The password login, the server check, the silent re-login and the token refresh against the
// reference server.
class TestLoginRequest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void passwordLogin();
    void passwordWithReservedCharacters();
    void languageGoesWithLoginOnly();
    void refusedLogin_data();
    void refusedLogin();
    void silentServer();
    void otherInstancesStayQuiet();
    void checkServer_data();
    void checkServer();
    void silentRelogin_data();
    void silentRelogin();
    void tokenRefresh();

private:
    ReferenceServer m_server;
};

void TestLoginRequest::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    pointAt(m_server);
}

void TestLoginRequest::init()
{
    // A load started by an earlier login would add its requests to what the server saw.
    QTRY_VERIFY_WITH_TIMEOUT(!HandlOrganization::gestance()->getRunStatus(), 20000);
    m_server.hook(QStringLiteral("reset"));
}

void TestLoginRequest::cleanup()
{
    RequestWait::signin().setLimitMs(ServerRequest::dataWaitMs);
}

void TestLoginRequest::passwordLogin()
{
    EventLog log;
    LoginRequest request;
    log.watch(&request);
    request.loginServer(QStringLiteral("zhangwei"), QStringLiteral("123456"));
    QTRY_VERIFY_WITH_TIMEOUT(log.hasFinal(), 20000);

    // The name comes first; success reaches the documents at once (the final outcome from
    // within the first), and the organisation loads behind the window.
    QCOMPARE(log.events.mid(0, 3),
             QStringList({QStringLiteral("name 10001 张伟"), QStringLiteral("final true 1 "),
                          QStringLiteral("first true 1 ")}));
    QVERIFY(HandlOrganization::gestance()->getRunStatus() ||
            log.events.contains(QStringLiteral("organisation")));
    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains(QStringLiteral("organisation")), 20000);
    QCOMPARE(log.events.size(), 4);
    QCOMPARE(request.loginUserId(), QStringLiteral("10001"));

    // The reply is distributed to every store.
    ParameterInfor *parameters = ParameterInfor::instance();
    const QString port = QString::number(m_server.port());
    QCOMPARE(parameters->userId(), QStringLiteral("10001"));
    QCOMPARE(parameters->imHost(), QStringLiteral("127.0.0.1"));
    QCOMPARE(parameters->imPort(), port);
    QCOMPARE(parameters->imPortHttps(), port);
    const QJsonObject systemInfo =
        QJsonDocument::fromJson(parameters->systemInfo().toUtf8()).object();
    QCOMPARE(systemInfo.value(QLatin1String("system_name")).toString(),
             QStringLiteral("星河协同办公平台"));
    QVERIFY(parameters->systemInfo().contains(QLatin1Char('\n'))); // indented
    QCOMPARE(SocketHandl::instance()->userId(), QStringLiteral("10001"));
    QVERIFY(ConfigFile::instance()->clientUrlFlag());
    QCOMPARE(ConfigFile::instance()->webSystemIp(),
             QStringLiteral("/tarnex10/client/app/web/login.html#"));
    QVERIFY(MenuModel::instance()->rowCount() > 0);

    // The stored token is a live session of the server.
    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(manager.get(
        ServerRequest::make(ServerRequest::currentBaseUrl() + QStringLiteral("api/user/10002"),
                            ServerRequest::Body::Form, true)));
    QVERIFY(ServerRequest::waitFor(reply.data()));
    QVERIFY(reply->readAll().contains("\"status\":1"));
}

void TestLoginRequest::passwordWithReservedCharacters()
{
    LoginRequest request;
    QSignalSpy first(&request, &LoginRequest::sigLoginStatush);
    request.loginServer(QStringLiteral("zhaolei"), QStringLiteral("k&y=1+2%3 密码"));
    QVERIFY(first.wait(20000));
    QCOMPARE(first.at(0).at(0).toBool(), true);
    QCOMPARE(ParameterInfor::instance()->userId(), QStringLiteral("10006"));
}

void TestLoginRequest::languageGoesWithLoginOnly()
{
    ConfigFile::instance()->addServerAddress(m_server.address(), QStringLiteral("en"));
    LoginRequest request;
    QSignalSpy first(&request, &LoginRequest::sigLoginStatush);
    // Refused, so that no request of the loading after a login follows it.
    request.loginServer(QStringLiteral("lina"), QStringLiteral("wrong"));
    QVERIFY(first.wait(20000));
    QJsonObject form =
        m_server.hook(QStringLiteral("last-request")).value(QLatin1String("form")).toObject();
    QCOMPARE(form.value(QLatin1String("local")).toString(), QStringLiteral("en"));

    QSignalSpy silent(&request, &LoginRequest::sigRetLogin);
    request.loginServers(QStringLiteral("lina"), QStringLiteral("wrong"));
    QVERIFY(silent.wait(20000));
    form = m_server.hook(QStringLiteral("last-request")).value(QLatin1String("form")).toObject();
    QCOMPARE(form.value(QLatin1String("user_account")).toString(), QStringLiteral("lina"));
    QVERIFY(!form.contains(QLatin1String("local")));
    ConfigFile::instance()->removeServerAddress(m_server.address());
}

void TestLoginRequest::refusedLogin_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("errors");

    const QString address = QStringLiteral("服务器地址错误");
    const QString failed = QStringLiteral("登录失败");
    QTest::newRow("wrong password") << "normal" << QByteArray() << "654321"
                                    << "账号或密码错误，请重新输入";
    QTest::newRow("refusal") << "status0" << QByteArray() << "123456"
                             << "服务器繁忙，请稍后再试";
    QTest::newRow("first of many messages")
        << "raw" << QByteArray(R"({"status":0,"errors":[{"message":"a"},{"message":"b"}]})")
        << "123456"
        << "a";
    QTest::newRow("status 0 without errors")
        << "raw" << QByteArray(R"({"status":0})") << "123456" << failed;
    QTest::newRow("empty errors") << "raw" << QByteArray(R"({"status":0,"errors":[]})") << "123456"
                                  << failed;
    QTest::newRow("not JSON") << "garbage" << QByteArray() << "123456" << address;
    QTest::newRow("array") << "raw" << QByteArray(R"([{"status":1}])") << "123456" << address;
    QTest::newRow("no status") << "raw" << QByteArray(R"({"data":{"token":"t"}})") << "123456"
                               << address;
    QTest::newRow("success without data")
        << "raw" << QByteArray(R"({"status":1})") << "123456" << failed;
    QTest::newRow("data of the wrong kind")
        << "raw" << QByteArray(R"({"status":1,"data":[1,2]})") << "123456" << failed;
    QTest::newRow("token without user")
        << "raw" << QByteArray(R"({"status":1,"data":{"token":"t","current_user":"x"}})")
        << "123456" << failed;
    QTest::newRow("user without token")
        << "raw" << QByteArray(R"({"status":1,"data":{"current_user":{"user_id":"1"}}})")
        << "123456" << failed;

    QJsonArray many;
    for (int i = 0; i < 200000; ++i)
        many.append(QJsonObject{{QStringLiteral("message"), QString::number(i)}});
    QTest::newRow("huge errors array")
        << "raw"
        << QJsonDocument(
               QJsonObject{{QStringLiteral("status"), 0}, {QStringLiteral("errors"), many}})
               .toJson(QJsonDocument::Compact)
        << "123456"
        << "0";
    QTest::newRow("too deeply nested") << "raw"
                                       << QByteArray(R"({"status":1,"data":)") +
                                              QByteArray(5000, '[') + QByteArray(5000, ']') + '}'
                                       << "123456" << address;
}

void TestLoginRequest::refusedLogin()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, body);
    QFETCH(QString, password);
    QFETCH(QString, errors);

    ParameterInfor *parameters = ParameterInfor::instance();
    parameters->setToken(QStringLiteral("kept-token"));
    parameters->setUserId(QStringLiteral("kept-user"));
    const int menuRows = MenuModel::instance()->rowCount();
    authMode(m_server, QStringLiteral("login"), mode, body);

    EventLog log;
    LoginRequest request;
    log.watch(&request);
    request.loginServer(QStringLiteral("zhangwei"), password);
    QTRY_VERIFY_WITH_TIMEOUT(log.hasFinal(), 20000);
    // Reported at once, the same values in both signals, and nothing else. (The final outcome
    // is emitted from within the first, so a listener connected later sees it first.)
    QCOMPARE(log.events,
             QStringList({EventLog::outcome(QStringLiteral("final"), false, 1, errors),
                          EventLog::outcome(QStringLiteral("first"), false, 1, errors)}));
    QCOMPARE(parameters->token(), QStringLiteral("kept-token"));
    QCOMPARE(parameters->userId(), QStringLiteral("kept-user"));
    QCOMPARE(MenuModel::instance()->rowCount(), menuRows);
}

void TestLoginRequest::silentServer()
{
    RequestWait::signin().setLimitMs(1500);
    authMode(m_server, QStringLiteral("login"), QStringLiteral("silent"));
    EventLog log;
    LoginRequest request;
    log.watch(&request);
    QElapsedTimer clock;
    clock.start();
    request.loginServer(QStringLiteral("zhangwei"), QStringLiteral("123456"));
    QTRY_VERIFY_WITH_TIMEOUT(log.hasFinal(), 10000);
    QCOMPARE(log.lastFinal(), QStringLiteral("final false 1 服务器地址错误"));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
}

void TestLoginRequest::otherInstancesStayQuiet()
{
    // Every login view has its own LoginRequest; only the one that signed in reports.
    LoginRequest bystander;
    QSignalSpy bystanderStatus(&bystander, &LoginRequest::sigLoginStatus);
    EventLog log;
    LoginRequest request;
    log.watch(&request);
    request.loginServer(QStringLiteral("wangfang"), QStringLiteral("123456"));
    QTRY_VERIFY_WITH_TIMEOUT(log.hasFinal(), 20000);
    QCOMPARE(log.lastFinal(), QStringLiteral("final true 1 "));
    QCOMPARE(bystanderStatus.count(), 0);

    // A later reload of the organisation does not report the login again.
    QSignalSpy completion(HandlOrganization::gestance(), &HandlOrganization::sigHandlCompletion);
    HandlOrganization::gestance()->start();
    QVERIFY(completion.wait(20000));
    QCOMPARE(log.events.filter(QStringLiteral("final")).size(), 1);
    QCOMPARE(bystanderStatus.count(), 0);
}

void TestLoginRequest::checkServer_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<QString>("infors");
    QTest::newRow("server root") << "" << true << "服务器地址正确";
    QTest::newRow("any page passes")
        << "/tarnex10/client/app/web/login.html" << true << "服务器地址正确";
    QTest::newRow("HTTP error") << "/no/such/page" << false << "服务器地址错误";
}

void TestLoginRequest::checkServer()
{
    QFETCH(QString, path);
    QFETCH(bool, reachable);
    QFETCH(QString, infors);
    LoginRequest request;
    QSignalSpy status(&request, &LoginRequest::sigCheckServerStatus);
    // As the user types it: no scheme.
    request.checkServerIp(m_server.address() + path);
    QVERIFY(status.wait(20000));
    QCOMPARE(status.at(0).at(0).toBool(), reachable);
    QCOMPARE(status.at(0).at(1).toString(), infors);
}

void TestLoginRequest::silentRelogin_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("signedIn");
    QTest::newRow("success") << "normal" << QByteArray() << "123456" << true;
    QTest::newRow("wrong password") << "normal" << QByteArray() << "x" << false;
    QTest::newRow("not JSON") << "garbage" << QByteArray() << "123456" << false;
    QTest::newRow("no token") << "raw" << QByteArray(R"({"status":1,"data":{}})") << "123456"
                              << false;
    QTest::newRow("token of the wrong kind")
        << "raw" << QByteArray(R"({"status":1,"data":{"token":{}}})") << "123456" << false;
}

void TestLoginRequest::silentRelogin()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, body);
    QFETCH(QString, password);
    QFETCH(bool, signedIn);
    ParameterInfor::instance()->setToken(QStringLiteral("kept-token"));
    authMode(m_server, QStringLiteral("login"), mode, body);

    LoginRequest request;
    QSignalSpy result(&request, &LoginRequest::sigRetLogin);
    QSignalSpy final(&request, &LoginRequest::sigLoginStatus);
    request.loginServers(QStringLiteral("zhangwei"), password);
    QVERIFY(result.wait(20000));
    QCOMPARE(result.at(0).at(0).toBool(), signedIn);
    const QString token = ParameterInfor::instance()->token();
    QCOMPARE(token != QLatin1String("kept-token"), signedIn);
    QVERIFY(!token.isEmpty());
    QCOMPARE(final.count(), 0);
}

void TestLoginRequest::tokenRefresh()
{
    LoginRequest request;
    QSignalSpy reflushed(&request, &LoginRequest::sigReflushToken);
    ParameterInfor::instance()->setToken(QStringLiteral("a+b/c"));
    request.reflushToken();
    QVERIFY(reflushed.wait(20000));
    const QJsonObject sent = m_server.hook(QStringLiteral("last-request"));
    QCOMPARE(sent.value(QLatin1String("query")).toObject().value(QLatin1String("api_token")),
             QJsonValue(QStringLiteral("a+b/c")));
    QCOMPARE(sent.value(QLatin1String("headers")).toObject().value(QLatin1String("content-type")),
             QJsonValue(QStringLiteral("application/json;charset=UTF-8")));
    // The reply is not stored; the server keeps earlier tokens valid.
    QCOMPARE(ParameterInfor::instance()->token(), QStringLiteral("a+b/c"));

    authMode(m_server, QStringLiteral("refresh"), QStringLiteral("garbage"));
    LogWatch log;
    request.reflushToken();
    // The reply is logged once it has been handled.
    QTRY_COMPARE_WITH_TIMEOUT(log.count(QStringLiteral("token refresh")), 1, 20000);
    QCoreApplication::processEvents();
    QCOMPARE(reflushed.count(), 1);
}

TARNEX_TEST_MAIN(TestLoginRequest)
#include "tst_loginrequest.moc"

#include "referenceserver.h"
#include "signintestkit.h"
#include "testenvironment.h"

#include "desktop/startupprobe.h"
#include "logredaction.h"
#include "logwatch.h"
#include "messaging/sockethandl.h"
#include "reminders/webclientaddress.h"
#include "session/parameterinfor.h"

#include <QFile>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// No secret reaches a log line: by pattern (tokens in URLs, headers and JSON, passwords in
// forms) and by value (the token of the session), also in a real sign-in's log file.
class TestLogRedaction : public QObject
{
    Q_OBJECT
private slots:
    void patterns_data();
    void patterns();
    // First: no redacting handler is installed yet.
    void coreLogsNoSecret();
    void signInLogHoldsNoToken();
};

void TestLogRedaction::patterns_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("query token") << "GET http://h/a?api_token=s3cr3t&x=1"
                                 << "GET http://h/a?api_token=***&x=1";
    QTest::newRow("web client address")
        << "urlStr == http://h/login.html#token=s3cr3t&platform=client"
        << "urlStr == http://h/login.html#token=***&platform=client";
    QTest::newRow("bearer header") << "Authorization: Bearer s3cr3t"
                                   << "Authorization: Bearer ***";
    QTest::newRow("login reply") << R"({"status":1,"data":{"token":"s3cr3t","user_id":"7"}})"
                                 << R"({"status":1,"data":{"token":"***","user_id":"7"}})";
    QTest::newRow("login reply as QDebug quotes it")
        << R"(reply "{\"token\":\"s3cr3t\",\"user_id\":\"7\"}")"
        << R"(reply "{\"token\":\"***\",\"user_id\":\"7\"}")";
    QTest::newRow("password form") << "user_account=zw&password=p%26ss"
                                   << "user_account=zw&password=***";
    QTest::newRow("password JSON") << R"({"password": "p\"ss"})"
                                   << R"({"password": "***"})";
    QTest::newRow("ordinary text") << "signed in as 10001 张伟"
                                   << "signed in as 10001 张伟";
}

void TestLogRedaction::patterns()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QCOMPARE(LogRedaction::redact(line), expected);
}

void TestLogRedaction::coreLogsNoSecret()
{
    // The test's own handler sees every line as the library wrote it, before any redaction.
    LogWatch watch;
    QLoggingCategory::setFilterRules(QStringLiteral("tarnex.*.debug=true"));
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.output()));
    signintest::pointAt(server);

    signintest::EventLog events;
    LoginRequest request;
    events.watch(&request);
    request.loginServer(QStringLiteral("zhangwei"), QStringLiteral("123456"));
    QTRY_VERIFY_WITH_TIMEOUT(events.hasFinal(), 20000);
    QCOMPARE(events.lastFinal(), QStringLiteral("final true 1 "));
    const QString token = ParameterInfor::instance()->token();
    QVERIFY(token.size() >= 6);
    QString jump;
    WebClientAddress::open(WebClientAddress::build(QStringLiteral("&m=1")), &jump);

    // A message out and one in, both with their acknowledgements and echoes.
    SocketHandl *engine = SocketHandl::instance();
    QSignalSpy signedIn(engine, qOverload<bool>(&SocketHandl::sigConnectServer));
    QSignalSpy status(engine, &SocketHandl::sigPrivareMessageStatus);
    QSignalSpy arrived(engine, &SocketHandl::sigPrivareMessage);
    engine->connectServer();
    QVERIFY(signedIn.wait(30000));
    QVERIFY(signedIn.first().at(0).toBool());
    const QString sent = QStringLiteral("outgoing body 机密 4f1c");
    engine->sendPrivateInfor(QStringLiteral("10002"), sent, QString());
    QTRY_VERIFY_WITH_TIMEOUT(status.count() > 0, 30000);
    const QString received = QStringLiteral("incoming body 机密 9d2e");
    const QJsonObject answer =
        server.hook(QStringLiteral("send-as"), {{QStringLiteral("from"), QStringLiteral("10002")},
                                                {QStringLiteral("to"), QStringLiteral("10001")},
                                                {QStringLiteral("msg"), received}});
    QVERIFY(answer.value(QLatin1String("ok")).toBool());
    QTRY_VERIFY_WITH_TIMEOUT(arrived.count() > 0, 30000);
    engine->disConnectServer();

    QVERIFY(watch.count(QStringLiteral("login HTTP 200")) > 0);
    const QRegularExpression password(QStringLiteral("(?<![0-9])123456(?![0-9])"));
    for (const QString &line : watch.lines()) {
        QVERIFY2(!line.contains(token), qPrintable(line));
        QVERIFY2(!password.match(line).hasMatch(), qPrintable(line));
        for (const QString &body : {sent, received}) {
            QVERIFY2(!line.contains(body) && !line.contains(body.left(13)), qPrintable(line));
        }
    }
    QLoggingCategory::setFilterRules(QString());
}

void TestLogRedaction::signInLogHoldsNoToken()
{
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.output()));
    signintest::pointAt(server);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("client.log"));
    qputenv("TARNEX_LOG_FILE", path.toUtf8());
    QLoggingCategory::setFilterRules(QStringLiteral("tarnex.*.debug=true"));
    StartupProbe::installLogSink();

    signintest::EventLog events;
    LoginRequest request;
    events.watch(&request);
    request.loginServer(QStringLiteral("zhangwei"), QStringLiteral("123456"));
    QTRY_VERIFY_WITH_TIMEOUT(events.hasFinal(), 20000);
    const QString token = ParameterInfor::instance()->token();
    QVERIFY(token.size() >= 6);
    // The web client's address carries the token; opening it logs the address.
    QString jump;
    WebClientAddress::open(WebClientAddress::build(QStringLiteral("&m=1")), &jump);
    QVERIFY(jump.contains(token));
    qDebug() << "a line naming the token itself:" << token;

    QFile log(path);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    QVERIFY2(text.contains(QLatin1String("opening")), qPrintable(text));
    QVERIFY2(!text.contains(token), qPrintable(text));
    QCOMPARE(log.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    QLoggingCategory::setFilterRules(QString());
}

TARNEX_TEST_MAIN(TestLogRedaction)
#include "tst_logredaction.moc"

#include "referenceserver.h"
#include "testenvironment.h"

#include "net/replyenvelope.h"
#include "net/serverrequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QtTest>

class TestServerRequest : public QObject
{
    Q_OBJECT
private slots:
    void baseUrl_data();
    void baseUrl();
    void requestHeaders();
    void envelope_data();
    void envelope();
    void formValuesArriveIntact();
    void waitIsBounded();
    void transportFailure();
};

void TestServerRequest::baseUrl_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no scheme") << "oa.example.com:8080"
                               << "http://oa.example.com:8080/tarnex10/server/public/";
    QTest::newRow("http") << "http://oa.example.com:8080"
                          << "http://oa.example.com:8080/tarnex10/server/public/";
    QTest::newRow("https kept") << "https://oa.example.com"
                                << "https://oa.example.com/tarnex10/server/public/";
    QTest::newRow("empty") << ""
                           << "http:///tarnex10/server/public/";
}

void TestServerRequest::baseUrl()
{
    QFETCH(QString, address);
    QFETCH(QString, expected);
    QCOMPARE(ServerRequest::baseUrl(address), expected);
}

void TestServerRequest::requestHeaders()
{
    const QNetworkRequest form =
        ServerRequest::make(QStringLiteral("https://oa.example.com/x"), ServerRequest::Body::Form);
    QCOMPARE(form.rawHeader("User-Agent"), QByteArray("Tarnex Client/10.0"));
    QCOMPARE(form.rawHeader("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    QVERIFY(!form.hasRawHeader("Authorization"));
    QCOMPARE(form.sslConfiguration().peerVerifyMode(), QSslSocket::VerifyPeer);
    // TLS 1.0 / SSL 3 fail against current servers; Qt's secure default is kept.
    QCOMPARE(form.sslConfiguration().protocol(), QSsl::SecureProtocols);

    const QNetworkRequest json =
        ServerRequest::make(QStringLiteral("http://h/x"), ServerRequest::Body::JsonUtf8, true);
    QCOMPARE(json.rawHeader("Content-Type"), QByteArray("application/json;charset=UTF-8"));
    QVERIFY(json.rawHeader("Authorization").startsWith("Bearer "));
}

void TestServerRequest::envelope_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("message");
    QTest::newRow("success") << QByteArray(R"({"status":1,"data":{"a":1}})") << true << true << "";
    QTest::newRow("other non-zero") << QByteArray(R"({"status":200})") << true << true << "";
    QTest::newRow("failure with text")
        << QByteArray(R"({"status":0,"errors":[{"code":"x","message":"m"},{"message":"n"}]})")
        << true << false << "m";
    QTest::newRow("failure, empty errors")
        << QByteArray(R"({"status":0,"errors":[]})") << true << false << "";
    QTest::newRow("failure, errors not array")
        << QByteArray(R"({"status":0,"errors":"boom"})") << true << false << "";
    QTest::newRow("status as text reads 0")
        << QByteArray(R"({"status":"1"})") << true << false << "";
    QTest::newRow("status out of range reads 0")
        << QByteArray(R"({"status":1e300})") << true << false << "";
    QTest::newRow("array") << QByteArray(R"([{"status":1}])") << false << false << "";
    QTest::newRow("no status") << QByteArray(R"({"data":{}})") << false << false << "";
    QTest::newRow("not JSON") << QByteArray("<html>502</html>") << false << false << "";
    QTest::newRow("empty") << QByteArray() << false << false << "";
}

void TestServerRequest::envelope()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, answered);
    QFETCH(bool, success);
    QFETCH(QString, message);
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(body);
    QCOMPARE(envelope.answered(), answered);
    QCOMPARE(envelope.success(), success);
    QCOMPARE(envelope.errorMessage(), message);
    QVERIFY(!envelope.transportFailed());
}

void TestServerRequest::formValuesArriveIntact()
{
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.output()));
    const QString password = QStringLiteral("a&b=c+d%25e %中文");
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.post(
        ServerRequest::make(ServerRequest::baseUrl(server.address()) +
                            QStringLiteral("api/auth/login")),
        ServerRequest::formBody({{QStringLiteral("user_account"), QStringLiteral("nobody")},
                                 {QStringLiteral("password"), password}}));
    QVERIFY(ServerRequest::waitFor(reply, 20000));
    reply->deleteLater();
    const QJsonObject seen = server.hook(QStringLiteral("last-request"));
    const QJsonObject form = seen.value(QStringLiteral("form")).toObject();
    QCOMPARE(form.value(QStringLiteral("password")).toString(), password);
    QCOMPARE(form.value(QStringLiteral("user_account")).toString(), QStringLiteral("nobody"));
}

void TestServerRequest::waitIsBounded()
{
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.output()));
    server.hook(QStringLiteral("feed"), {{QStringLiteral("mode"), QStringLiteral("silent")}});
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(
        ServerRequest::make(server.baseUrl().toString() +
                            QStringLiteral("/tarnex10pack/client/client.php?platform=win")));
    QVERIFY(!ServerRequest::waitFor(reply, 300));
    // The abandoned reply reads as a transport failure, never as an answer.
    QVERIFY(ReplyEnvelope::fromReply(reply).transportFailed());
    reply->deleteLater();
}

void TestServerRequest::transportFailure()
{
    QVERIFY(ReplyEnvelope::fromReply(nullptr).transportFailed());
    QNetworkAccessManager manager;
    // Nothing listens on port 1 of the loopback address.
    QNetworkReply *reply = manager.get(ServerRequest::make(QStringLiteral("http://127.0.0.1:1/")));
    QVERIFY(ServerRequest::waitFor(reply, 20000));
    const ReplyEnvelope envelope = ReplyEnvelope::fromReply(reply);
    QVERIFY(envelope.transportFailed());
    QVERIFY(!envelope.success());
    reply->deleteLater();
}

TARNEX_TEST_MAIN(TestServerRequest)
#include "tst_serverrequest.moc"

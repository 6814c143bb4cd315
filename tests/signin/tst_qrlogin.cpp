#include "logwatch.h"
#include "referenceserver.h"
#include "signintestkit.h"
#include "testenvironment.h"

#include "messaging/sockethandl.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"
#include "session/parameterinfor.h"
#include "shell/loginrequest.h"
#include "signin/handlthreaddata.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace signintest;

// Sign-in by QR code: the code, the loader's polling, its stop and the outcome.
class TestQrLogin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void qrcodeText();
    void confirmedCodeSignsIn();
    void refreshedCodeSignsIn();
    void unusableCodeShowsNothing_data();
    void unusableCodeShowsNothing();
    void unreadablePollsAreReported();
    void stopReturnsPromptly_data();
    void stopReturnsPromptly();
    void silentPollIsBounded();

private:
    // Asks for a code and waits until the loader has polled for it at least once.
    QString showCode(LoginRequest &request);

    ReferenceServer m_server;
};

void TestQrLogin::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    pointAt(m_server);
}

void TestQrLogin::init()
{
    // A load started by an earlier login would add its requests to what the server saw.
    QTRY_VERIFY_WITH_TIMEOUT(!HandlOrganization::gestance()->getRunStatus(), 20000);
    m_server.hook(QStringLiteral("reset"));
}

void TestQrLogin::cleanup()
{
    RequestWait::signin().setLimitMs(ServerRequest::dataWaitMs);
}

QString TestQrLogin::showCode(LoginRequest &request)
{
    QSignalSpy created(&request, &LoginRequest::sigCreateQrcode);
    const int polls = qrPolls(m_server);
    request.getQrcode();
    if (!created.wait(20000))
        return QString();
    if (!QTest::qWaitFor([&] { return qrPolls(m_server) > polls; }, 5000))
        return QString();
    return created.at(0).at(1).toString();
}

void TestQrLogin::qrcodeText()
{
    // login_key first (key order), indentation kept, line feeds removed.
    QCOMPARE(LoginRequest::qrcodeText(QStringLiteral("N"), QStringLiteral("K")),
             QStringLiteral(R"({    "login_key": "K",    "nonce_str": "N"})"));
}

void TestQrLogin::confirmedCodeSignsIn()
{
    EventLog log;
    LoginRequest request;
    log.watch(&request);
    const QString text = showCode(request);
    const QJsonObject code = QJsonDocument::fromJson(text.toUtf8()).object();
    const QJsonObject pending = m_server.hook(QStringLiteral("qr-pending"))
                                    .value(QLatin1String("codes"))
                                    .toArray()
                                    .at(0)
                                    .toObject();
    QCOMPARE(code.value(QLatin1String("login_key")), pending.value(QLatin1String("login_key")));
    QCOMPARE(code.value(QLatin1String("nonce_str")), pending.value(QLatin1String("nonce_str")));
    QCOMPARE(text, LoginRequest::qrcodeText(code.value(QLatin1String("nonce_str")).toString(),
                                            code.value(QLatin1String("login_key")).toString()));

    // Refusals while unconfirmed are not reported, and polling goes on about once a second.
    const int before = qrPolls(m_server);
    QTRY_VERIFY_WITH_TIMEOUT(qrPolls(m_server) - before >= 2, 20000);
    QCoreApplication::processEvents();
    QVERIFY(log.events.isEmpty());

    m_server.hook(QStringLiteral("qr-confirm"),
                  {{QStringLiteral("account"), QStringLiteral("lina")}});
    QTRY_VERIFY_WITH_TIMEOUT(log.hasFinal(), 20000);
    QCOMPARE(log.events.mid(0, 2),
             QStringList({QStringLiteral("name 10002 李娜"), QStringLiteral("final true 2 ")}));
    // The organisation loads behind the window.
    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains(QStringLiteral("organisation")), 20000);
    QCOMPARE(ParameterInfor::instance()->userId(), QStringLiteral("10002"));
    // The loader's thread hands the messaging engine its identity too.
    QCOMPARE(SocketHandl::instance()->userId(), QStringLiteral("10002"));
    QVERIFY(!ParameterInfor::instance()->token().isEmpty());
    QCOMPARE(ParameterInfor::instance()->imPort(), QString::number(m_server.port()));

    // Signed in: the loader has stopped by itself, with no poll after the confirmed one.
    QTRY_VERIFY_WITH_TIMEOUT(request.qrLoader()->isFinished(), 20000);
    const int after = qrPolls(m_server);
    QVERIFY(m_server.roundTrip());
    QCOMPARE(qrPolls(m_server), after);
}

void TestQrLogin::refreshedCodeSignsIn()
{
    EventLog log;
    LoginRequest request;
    log.watch(&request);
    const QString first = showCode(request);
    const QString second = showCode(request);
    QVERIFY(!second.isEmpty() && second != first);
    // The newest code is the one the user scans.
    const QString key = QJsonDocument::fromJson(second.toUtf8())
                            .object()
                            .value(QLatin1String("login_key"))
                            .toString();
    m_server.hook(QStringLiteral("qr-confirm"),
                  {{QStringLiteral("login_key"), key},
                   {QStringLiteral("account"), QStringLiteral("liuyang")}});
    QTRY_VERIFY_WITH_TIMEOUT(log.hasFinal(), 20000);
    QCOMPARE(log.lastFinal(), QStringLiteral("final true 2 "));
    QCOMPARE(ParameterInfor::instance()->userId(), QStringLiteral("10004"));
}

void TestQrLogin::unusableCodeShowsNothing_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("refusal") << "status0" << QByteArray();
    QTest::newRow("not JSON") << "garbage" << QByteArray();
    QTest::newRow("no login key") << "raw"
                                  << QByteArray(R"({"status":1,"data":{"nonce_str":"n"}})");
    QTest::newRow("values of the wrong kind")
        << "raw" << QByteArray(R"({"status":1,"data":{"nonce_str":[],"login_key":{}}})");
}

void TestQrLogin::unusableCodeShowsNothing()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, body);
    authMode(m_server, QStringLiteral("general"), mode, body);
    LoginRequest request;
    QSignalSpy created(&request, &LoginRequest::sigCreateQrcode);
    const int polls = qrPolls(m_server);
    LogWatch log;
    request.getQrcode();
    // The reply is logged once it has been handled; a poll it started would reach the server
    // before the round trip's answer.
    QTRY_COMPARE_WITH_TIMEOUT(log.count(QStringLiteral("QR code")), 1, 20000);
    QVERIFY(m_server.roundTrip());
    QCOMPARE(created.count(), 0);
    QCOMPARE(qrPolls(m_server), polls);
}

void TestQrLogin::unreadablePollsAreReported()
{
    EventLog log;
    LoginRequest request;
    log.watch(&request);
    QVERIFY(!showCode(request).isEmpty());
    authMode(m_server, QStringLiteral("sign-on"), QStringLiteral("garbage"));
    // Every unreadable poll is a failure for the documents, and polling goes on.
    QTRY_VERIFY_WITH_TIMEOUT(log.events.size() >= 2, 10000);
    for (const QString &event : qAsConst(log.events))
        QCOMPARE(event, QStringLiteral("final false 2 "));
    authMode(m_server, QStringLiteral("sign-on"), QStringLiteral("normal"));
    m_server.hook(QStringLiteral("qr-confirm"));
    QTRY_COMPARE_WITH_TIMEOUT(log.lastFinal(), QStringLiteral("final true 2 "), 20000);
}

void TestQrLogin::stopReturnsPromptly_data()
{
    QTest::addColumn<QString>("signOnMode");
    QTest::newRow("pausing between polls") << "normal";
    QTest::newRow("waiting for a silent poll") << "silent";
}

void TestQrLogin::stopReturnsPromptly()
{
    QFETCH(QString, signOnMode);
    LoginRequest request;
    QVERIFY(!showCode(request).isEmpty());
    const int polled = qrPolls(m_server);
    authMode(m_server, QStringLiteral("sign-on"), signOnMode);
    // The loader is where the row says: a poll answered after the switch (the pause follows),
    // or one the server holds.
    if (signOnMode == QLatin1String("silent"))
        QTRY_VERIFY_WITH_TIMEOUT(heldQrPolls(m_server) > 0, 20000);
    else
        QTRY_VERIFY_WITH_TIMEOUT(qrPolls(m_server) > polled, 20000);

    QElapsedTimer clock;
    clock.start();
    request.setExitRun(true);
    const qint64 elapsed = clock.elapsed();
    qInfo("setExitRun returned after %lld ms", elapsed);
    QVERIFY2(elapsed < 500, qPrintable(QString::number(elapsed)));
    // The loader has ended, so every poll it sent has been counted.
    QVERIFY(request.qrLoader()->isFinished());
    const int polls = qrPolls(m_server);
    QVERIFY(m_server.roundTrip());
    QCOMPARE(qrPolls(m_server), polls);

    // Stopped temporarily, a new code starts the polling again.
    authMode(m_server, QStringLiteral("sign-on"), QStringLiteral("normal"));
    QVERIFY(!showCode(request).isEmpty());
    request.setExitTempRun(true);
}

void TestQrLogin::silentPollIsBounded()
{
    RequestWait::signin().setLimitMs(1000);
    EventLog log;
    LoginRequest request;
    log.watch(&request);
    QVERIFY(!showCode(request).isEmpty());
    authMode(m_server, QStringLiteral("sign-on"), QStringLiteral("silent"));
    // A poll that gets no answer gives up after its limit, is reported, and the next follows.
    QTRY_VERIFY_WITH_TIMEOUT(log.events.size() >= 2, 10000);
    QCOMPARE(log.events.at(0), QStringLiteral("final false 2 "));
    QElapsedTimer clock;
    clock.start();
    request.setExitRun(true);
    QVERIFY(clock.elapsed() < 500);
}

TARNEX_TEST_MAIN(TestQrLogin)
#include "tst_qrlogin.moc"

#include "directorytestkit.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "directory/treemodelitem.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScopedPointer>
#include <QtTest>

using namespace directorytest;

namespace {

QJsonObject parse(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

QStringList names(const QJsonArray &users)
{
    QStringList result;
    for (const QJsonValue &user : users)
        result << user.toObject().value(QLatin1String("user_name")).toString();
    return result;
}

} // namespace

class TestLookups : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void answers_data();
    void answers();
    void statusRules_data();
    void statusRules();
    void silentServerIsBounded();
    void silentServerFreezesOnce();

    void search();
    void searchTextIsSentSafely_data();
    void searchTextIsSentSafely();
    void searchFailuresStillReport_data();
    void searchFailuresStillReport();
    void onlyLatestSearchReports();

private:
    QJsonObject lastRequest() const { return m_server.hook(QStringLiteral("last-request")); }
    QString call(TreeModelitem &lookups, const QString &operation);

    ReferenceServer m_server;
};

void TestLookups::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    QVERIFY(signIn(m_server));
}

void TestLookups::cleanup()
{
    resetServer(m_server);
    RequestWait::directory().setLimitMs(ServerRequest::dataWaitMs);
    TreeModelitem::forgetSilentServer();
}

QString TestLookups::call(TreeModelitem &lookups, const QString &operation)
{
    if (operation == QLatin1String("company"))
        return lookups.getCompanyInfor();
    if (operation == QLatin1String("role"))
        return lookups.getRoleInfor();
    if (operation == QLatin1String("members"))
        return lookups.getDepthInfor(QStringLiteral("2"));
    return lookups.getRoleInformation(QStringLiteral("2"));
}

void TestLookups::answers_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("expected");
    QTest::newRow("company") << "company"
                             << "/api/system/company"
                             << ""
                             << "星河协同科技有限公司";
    QTest::newRow("department members") << "members"
                                        << "/api/directive/organization-members/2"
                                        << "communicate_type =sms"
                                        << "前端开发组";
    QTest::newRow("roles") << "role"
                           << "/api/role"
                           << ""
                           << "系统管理员";
    QTest::newRow("users of a role") << "users"
                                     << "/api/user/users"
                                     << R"({"search":{"role_id":["2"]}})"
                                     << "张伟";
}

// The `data` text, indented as the documents parse it, of the request each lookup makes.
void TestLookups::answers()
{
    QFETCH(QString, operation);
    QFETCH(QString, path);
    QFETCH(QString, body);
    QFETCH(QString, expected);
    TreeModelitem lookups;
    const QString text = call(lookups, operation);
    QVERIFY(text.startsWith(QLatin1String("{\n    \"")));
    QVERIFY2(text.contains(expected), qPrintable(text.left(300)));
    const QJsonObject seen = lastRequest();
    QVERIFY(seen.value(QLatin1String("path")).toString().endsWith(path));
    QCOMPARE(seen.value(QLatin1String("body")).toString(), body);
    QCOMPARE(seen.value(QLatin1String("headers"))
                 .toObject()
                 .value(QLatin1String("authorization"))
                 .toString(),
             QStringLiteral("Bearer ") + ParameterInfor::instance()->token());
}

void TestLookups::statusRules_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("answers");
    const QByteArray payload = R"("data":{"x":1})";
    // The company and the role list need status 1 exactly; the worker lookups any non-zero.
    const QList<QPair<QString, bool>> operations{{QStringLiteral("company"), true},
                                                 {QStringLiteral("role"), true},
                                                 {QStringLiteral("members"), false},
                                                 {QStringLiteral("users"), false}};
    for (const auto &operation : operations) {
        const QByteArray name = operation.first.toLatin1();
        QTest::newRow(name + ", status 1") << operation.first << "raw"
                                           << R"({"status":1,)" + payload + '}' << true;
        QTest::newRow(name + ", status 2")
            << operation.first << "raw"
            << R"({"status":2,)" + payload + '}' << !operation.second;
        QTest::newRow(name + ", status 0") << operation.first << "raw"
                                           << R"({"status":0,)" + payload + '}' << false;
        QTest::newRow(name + ", not JSON") << operation.first << "garbage" << QByteArray() << false;
        QTest::newRow(name + ", data is an array")
            << operation.first << "raw" << QByteArray(R"({"status":1,"data":[1]})") << false;
        QTest::newRow(name + ", no status")
            << operation.first << "raw" << QByteArray(R"({"data":{"x":1}})") << false;
    }
}

void TestLookups::statusRules()
{
    QFETCH(QString, operation);
    QFETCH(QString, mode);
    QFETCH(QByteArray, body);
    QFETCH(bool, answers);
    setMode(m_server, operation, mode, body);
    TreeModelitem lookups;
    QCOMPARE(call(lookups, operation),
             answers ? QStringLiteral("{\n    \"x\": 1\n}\n") : QString());
}

void TestLookups::silentServerIsBounded()
{
    RequestWait::directory().setLimitMs(800);
    setMode(m_server, QStringLiteral("all"), QStringLiteral("silent"));
    TreeModelitem lookups;
    for (const QString &operation : {QStringLiteral("company"), QStringLiteral("role"),
                                     QStringLiteral("members"), QStringLiteral("users")}) {
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(call(lookups, operation), QString());
        QVERIFY2(clock.elapsed() < 5000, qPrintable(operation));
    }
    QSignalSpy finished(&lookups, &TreeModelitem::sigUserInforFinished);
    lookups.findUserInfor(QStringLiteral("张"));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first().toString(), QString());
}

void TestLookups::silentServerFreezesOnce()
{
    // The request's own limit is long; the window waits a few seconds once, and lookups right
    // after (from any document) do not ask the silent server again.
    RequestWait::directory().setLimitMs(60000);
    setMode(m_server, QStringLiteral("all"), QStringLiteral("silent"));
    TreeModelitem lookups;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(call(lookups, QStringLiteral("members")), QString());
    QVERIFY2(clock.elapsed() < TreeModelitem::callerWaitMs + 1000,
             qPrintable(QString::number(clock.elapsed())));
    resetServer(m_server);
    TreeModelitem other;
    for (const QString &operation : {QStringLiteral("company"), QStringLiteral("role"),
                                     QStringLiteral("members"), QStringLiteral("users")}) {
        clock.restart();
        QCOMPARE(call(other, operation), QString());
        QVERIFY2(clock.elapsed() < 500, qPrintable(operation));
    }
    // (The abandoned request may still be retried by its own thread, so only these count.)
    const QString path = lastRequest().value(QLatin1String("path")).toString();
    QVERIFY2(!path.contains(QLatin1String("company")) && !path.contains(QLatin1String("role")) &&
                 !path.contains(QLatin1String("users")),
             qPrintable(path));
    // Once forgotten (each sign-in does), the server is asked again.
    TreeModelitem::forgetSilentServer();
    QVERIFY(
        call(other, QStringLiteral("company")).contains(QStringLiteral("星河协同科技有限公司")));
}

void TestLookups::search()
{
    TreeModelitem lookups;
    QSignalSpy finished(&lookups, &TreeModelitem::sigUserInforFinished);
    QCOMPARE(lookups.findUserInfor(QStringLiteral("张")), QString());
    QVERIFY(finished.wait(20000));
    const QStringList found =
        names(parse(finished.first().first().toString()).value(QLatin1String("list")).toArray());
    QVERIFY(found.contains(QStringLiteral("张伟")));
    QVERIFY(!found.contains(QStringLiteral("李娜")));
}

void TestLookups::searchTextIsSentSafely_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sent");
    QTest::newRow("plain") << QStringLiteral("张") << QStringLiteral("张");
    QTest::newRow("blanks and line feeds go")
        << QStringLiteral(" 张 伟\n") << QStringLiteral("张伟");
    QTest::newRow("backslashes go") << QStringLiteral("a\\b") << QStringLiteral("ab");
    QTest::newRow("a quote stays and the body stays JSON")
        << QStringLiteral("a\"b") << QStringLiteral("a\"b");
    QTest::newRow("a tab stays escaped") << QStringLiteral("a\tb") << QStringLiteral("a\tb");
}

void TestLookups::searchTextIsSentSafely()
{
    QFETCH(QString, text);
    QFETCH(QString, sent);
    TreeModelitem lookups;
    QSignalSpy finished(&lookups, &TreeModelitem::sigUserInforFinished);
    lookups.findUserInfor(text);
    QVERIFY(finished.wait(20000));
    const QString body = lastRequest().value(QLatin1String("body")).toString();
    QVERIFY2(!body.contains(QLatin1Char(' ')) && !body.contains(QLatin1Char('\n')),
             qPrintable(body));
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(body.toUtf8(), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(body));
    QCOMPARE(object.value(QLatin1String("user_group_name")).toString(), sent);
    QCOMPARE(object.value(QLatin1String("communicate_type")).toString(), QStringLiteral("sms"));
    const QJsonObject multi = object.value(QLatin1String("search"))
                                  .toObject()
                                  .value(QLatin1String("multiSearch"))
                                  .toObject();
    QCOMPARE(multi.value(QLatin1String("__relation__")).toString(), QStringLiteral("or"));
    for (const char *field : {"user_name", "user_name_py", "user_name_zm"})
        QCOMPARE(multi.value(QLatin1String(field)).toArray(),
                 QJsonArray({sent, QStringLiteral("like")}));
}

void TestLookups::searchFailuresStillReport_data()
{
    addBadReplyRows();
}

void TestLookups::searchFailuresStillReport()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, body);
    setMode(m_server, QStringLiteral("search"), mode, body);
    TreeModelitem lookups;
    QSignalSpy finished(&lookups, &TreeModelitem::sigUserInforFinished);
    lookups.findUserInfor(QStringLiteral("张"));
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toString(), QString());
}

void TestLookups::onlyLatestSearchReports()
{
    m_server.hook(QStringLiteral("directory"),
                  {{QStringLiteral("endpoint"), QStringLiteral("search")},
                   {QStringLiteral("mode"), QStringLiteral("slow")},
                   {QStringLiteral("delayMs"), 300}});
    TreeModelitem lookups;
    QSignalSpy finished(&lookups, &TreeModelitem::sigUserInforFinished);
    lookups.findUserInfor(QStringLiteral("张"));
    lookups.findUserInfor(QStringLiteral("王"));
    QVERIFY(finished.wait(20000));
    // The server answers slow searches in arrival order after the same delay: once a search
    // sent now is answered, an abandoned first reply would have been delivered too.
    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> later(
        manager.post(ServerRequest::make(ServerRequest::currentBaseUrl() +
                                             QStringLiteral("api/system/remind/get-reminds"),
                                         ServerRequest::Body::Json, true),
                     TreeModelitem::searchBody(QStringLiteral("王"))));
    QSignalSpy laterDone(later.data(), &QNetworkReply::finished);
    QVERIFY(laterDone.wait(20000));
    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), 1);
    const QStringList found =
        names(parse(finished.first().first().toString()).value(QLatin1String("list")).toArray());
    QVERIFY(found.contains(QStringLiteral("王芳")));
    QVERIFY(!found.contains(QStringLiteral("张伟")));
}

TARNEX_TEST_MAIN(TestLookups)
#include "tst_lookups.moc"

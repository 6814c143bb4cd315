#include "referenceserver.h"
#include "signintestkit.h"
#include "testenvironment.h"

#include "net/replyenvelope.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"
#include "session/parameterinfor.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace signintest;

// The user cache of the login parameters: one user fetched on demand, a group fetched at once.
class TestUserCache : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void emptyGroupSendsNothing();
    void fetchOnDemand_data();
    void fetchOnDemand();
    void cachedUserNeedsNoRequest();
    void unknownUserIsAskedAgain();
    void badReplyLeavesCacheAlone_data();
    void badReplyLeavesCacheAlone();
    void silentServerIsNotAskedAgain();
    void signOutDropsFetchUnderWay();
    void groupFetch();
    void groupReplyReplacesCachedUser();

private:
    // One field, fetched first when the user is not cached yet.
    static QString fetchedField(const QString &userId, const QString &field)
    {
        ParameterInfor *parameters = ParameterInfor::instance();
        if (parameters->hasUser(userId))
            return parameters->userField(userId, field);
        QSignalSpy fetched(parameters, &ParameterInfor::usersFetched);
        parameters->userField(userId, field);
        if (!fetched.wait(20000))
            return QStringLiteral("(no answer)");
        return parameters->hasUser(userId) ? parameters->userField(userId, field) : QString();
    }
    // Asks for the group request list and waits for the answer.
    static bool fetchGroup()
    {
        QSignalSpy fetched(ParameterInfor::instance(), &ParameterInfor::usersFetched);
        ParameterInfor::instance()->requestGroupUsers();
        return fetched.wait(20000);
    }
    QString lastPath() const
    {
        return m_server.hook(QStringLiteral("last-request"))
            .value(QLatin1String("path"))
            .toString();
    }
    void directoryMode(const QString &endpoint, const QString &mode, const QByteArray &body = {})
    {
        m_server.hook(QStringLiteral("directory"),
                      {{QStringLiteral("endpoint"), endpoint},
                       {QStringLiteral("mode"), mode},
                       {QStringLiteral("body"), QString::fromUtf8(body)}});
    }

    ReferenceServer m_server;
};

void TestUserCache::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    pointAt(m_server);
    // The user endpoints need a session.
    QNetworkAccessManager manager;
    QScopedPointer<QNetworkReply> reply(manager.post(
        ServerRequest::make(ServerRequest::currentBaseUrl() + QStringLiteral("api/auth/login")),
        ServerRequest::formBody({{QStringLiteral("user_account"), QStringLiteral("zhangwei")},
                                 {QStringLiteral("password"), QStringLiteral("123456")}})));
    QVERIFY(ServerRequest::waitFor(reply.data()));
    ParameterInfor::instance()->setToken(ReplyEnvelope::fromReply(reply.data())
                                             .dataObject()
                                             .value(QLatin1String("token"))
                                             .toString());
}

void TestUserCache::init()
{
    m_server.hook(QStringLiteral("reset"));
}

void TestUserCache::cleanup()
{
    RequestWait::signin().setLimitMs(ServerRequest::dataWaitMs);
    ParameterInfor::instance()->forgetSilentServer();
}

void TestUserCache::emptyGroupSendsNothing()
{
    ParameterInfor::instance()->requestGroupUsers();
    QCOMPARE(lastPath(), QString());
}

void TestUserCache::fetchOnDemand_data()
{
    QTest::addColumn<QString>("userId");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::newRow("name") << "10003"
                          << "user_name"
                          << "王芳";
    QTest::newRow("department") << "10005"
                                << "dept_name"
                                << "总经理办公室";
    QTest::newRow("first role") << "10001"
                                << "role_name"
                                << "部门经理";
    QTest::newRow("phone") << "10002"
                           << "phone_number"
                           << "13800010002";
    QTest::newRow("e-mail") << "10004"
                            << "email"
                            << "liuyang@xinghe-oa.example";
    QTest::newRow("unknown field") << "10006"
                                   << "avatar"
                                   << "";
}

void TestUserCache::fetchOnDemand()
{
    QFETCH(QString, userId);
    QFETCH(QString, field);
    QFETCH(QString, value);
    ParameterInfor *parameters = ParameterInfor::instance();
    QVERIFY(!parameters->hasUser(userId));
    // The lookup does not wait for the server: the user comes in behind it.
    QSignalSpy fetched(parameters, &ParameterInfor::usersFetched);
    QCOMPARE(parameters->userField(userId, field), QString());
    QVERIFY(!parameters->hasUser(userId));
    QVERIFY(fetched.wait(20000));
    QCOMPARE(fetched.first().first().toStringList(), QStringList{userId});
    QVERIFY(parameters->hasUser(userId));
    QCOMPARE(parameters->userField(userId, field), value);
    QCOMPARE(lastPath(), QStringLiteral("/tarnex10/server/public/api/user/") + userId);
}

void TestUserCache::cachedUserNeedsNoRequest()
{
    ParameterInfor *parameters = ParameterInfor::instance();
    QCOMPARE(fetchedField(QStringLiteral("10003"), QStringLiteral("user_name")),
             QStringLiteral("王芳"));
    m_server.hook(QStringLiteral("reset"));
    QSignalSpy fetched(parameters, &ParameterInfor::usersFetched);
    QCOMPARE(parameters->userField(QStringLiteral("10003"), QStringLiteral("nonsense")), QString());
    QCOMPARE(parameters->userField(QStringLiteral("10003"), QStringLiteral("dept_name")),
             QStringLiteral("人力资源部"));
    QCOMPARE(lastPath(), QString());
    QCOMPARE(fetched.count(), 0);
}

void TestUserCache::unknownUserIsAskedAgain()
{
    ParameterInfor *parameters = ParameterInfor::instance();
    for (int i = 0; i < 2; ++i) {
        m_server.hook(QStringLiteral("reset"));
        QCOMPARE(fetchedField(QStringLiteral("99999"), QStringLiteral("user_name")), QString());
        QCOMPARE(lastPath(), QStringLiteral("/tarnex10/server/public/api/user/99999"));
    }
    QVERIFY(!parameters->hasUser(QStringLiteral("99999")));
    // An id is one path segment; without one nothing is asked.
    m_server.hook(QStringLiteral("reset"));
    QCOMPARE(fetchedField(QStringLiteral("1/../2?x"), QStringLiteral("user_name")), QString());
    QCOMPARE(lastPath(), QStringLiteral("/tarnex10/server/public/api/user/1%2F..%2F2%3Fx"));
    m_server.hook(QStringLiteral("reset"));
    QSignalSpy fetched(parameters, &ParameterInfor::usersFetched);
    QCOMPARE(parameters->userField(QString(), QStringLiteral("user_name")), QString());
    QCOMPARE(lastPath(), QString());
    QCOMPARE(fetched.count(), 0);
}

void TestUserCache::badReplyLeavesCacheAlone_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("not JSON") << "garbage" << QByteArray();
    QTest::newRow("refusal") << "status0" << QByteArray();
    QTest::newRow("data missing") << "raw" << QByteArray(R"({"status":1})");
    QTest::newRow("data is an array")
        << "raw" << QByteArray(R"({"status":1,"data":[{"user_id":"20001"}]})");
    QTest::newRow("no user id") << "raw" << QByteArray(R"({"status":1,"data":{"user_name":"x"}})");
}

void TestUserCache::badReplyLeavesCacheAlone()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, body);
    directoryMode(QStringLiteral("user"), mode, body);
    ParameterInfor *parameters = ParameterInfor::instance();
    QCOMPARE(fetchedField(QStringLiteral("20001"), QStringLiteral("user_name")), QString());
    QVERIFY(!parameters->hasUser(QStringLiteral("20001")));
    QVERIFY(!parameters->hasUser(QString()));
}

void TestUserCache::silentServerIsNotAskedAgain()
{
    // Neither the lookup nor the group request waits for a silent server; each fetch gives up
    // at the request's limit, and lookups right after do not ask the silent server again.
    RequestWait::signin().setLimitMs(1000);
    directoryMode(QStringLiteral("all"), QStringLiteral("silent"));
    ParameterInfor *parameters = ParameterInfor::instance();
    QSignalSpy fetched(parameters, &ParameterInfor::usersFetched);
    QCOMPARE(parameters->userField(QStringLiteral("20003"), QStringLiteral("user_name")),
             QString());
    // Looking again while the fetch is under way asks nothing more.
    QCOMPARE(parameters->userField(QStringLiteral("20003"), QStringLiteral("email")), QString());
    parameters->appendGroupUser(QStringLiteral("20002"));
    parameters->requestGroupUsers();
    parameters->clearGroupUsers();
    QTRY_COMPARE_WITH_TIMEOUT(fetched.count(), 2, 20000);
    QVERIFY(!parameters->hasUser(QStringLiteral("20003")));
    QVERIFY(!parameters->hasUser(QStringLiteral("20002")));

    m_server.hook(QStringLiteral("reset"));
    QCOMPARE(parameters->userField(QStringLiteral("20004"), QStringLiteral("user_name")),
             QString());
    parameters->appendGroupUser(QStringLiteral("20005"));
    parameters->requestGroupUsers();
    parameters->clearGroupUsers();
    // Those waiting still hear that the fetch is over.
    QTRY_COMPARE_WITH_TIMEOUT(fetched.count(), 4, 20000);
    QCOMPARE(fetched.last().first().toStringList(), QStringList{QStringLiteral("20005")});
    QCOMPARE(lastPath(), QString());
    // Once forgotten (or after a while), it is asked again.
    parameters->forgetSilentServer();
    QCOMPARE(fetchedField(QStringLiteral("20004"), QStringLiteral("user_name")), QString());
    QCOMPARE(lastPath(), QStringLiteral("/tarnex10/server/public/api/user/20004"));
}

void TestUserCache::signOutDropsFetchUnderWay()
{
    // A fetch begun for one account brings nothing into the next account's cache.
    ParameterInfor *parameters = ParameterInfor::instance();
    const QString token = parameters->token();
    QSignalSpy fetched(parameters, &ParameterInfor::usersFetched);
    QCOMPARE(parameters->userField(QStringLiteral("10007"), QStringLiteral("user_name")),
             QString());
    parameters->forgetAccount();
    parameters->setToken(token);
    QVERIFY(fetched.wait(20000));
    QVERIFY(!parameters->hasUser(QStringLiteral("10007")));
    // The new account asks again, and this time keeps the answer.
    QVERIFY(fetchedField(QStringLiteral("10007"), QStringLiteral("user_name")) != QString());
}

void TestUserCache::groupFetch()
{
    ParameterInfor *parameters = ParameterInfor::instance();
    // A user without roles, sent as the group's answer alongside a real one.
    directoryMode(QStringLiteral("usersgroup"), QStringLiteral("raw"),
                  R"({"status":1,"data":[{"user_id":"30001","user_name":"甲",
                      "user_has_many_role":[]},"junk",{"user_id":30002,"user_name":"乙",
                      "user_has_many_role":[{"has_one_role":{"role_id":7,"role_name":"r"}}]}]})");
    parameters->appendGroupUser(QStringLiteral("30001"));
    parameters->appendGroupUser(QStringLiteral("30002"));
    QVERIFY(fetchGroup());
    const QJsonObject sent = m_server.hook(QStringLiteral("last-request"));
    QCOMPARE(sent.value(QLatin1String("path")).toString(),
             QStringLiteral("/tarnex10/server/public/api/user/usersgroup"));
    QCOMPARE(QJsonDocument::fromJson(sent.value(QLatin1String("body")).toString().toUtf8()).array(),
             QJsonArray({QStringLiteral("30001"), QStringLiteral("30002")}));
    QVERIFY(sent.value(QLatin1String("headers"))
                .toObject()
                .value(QLatin1String("authorization"))
                .toString()
                .startsWith(QLatin1String("Bearer ")));

    QCOMPARE(parameters->userField(QStringLiteral("30001"), QStringLiteral("role_name")),
             QString());
    QCOMPARE(parameters->userField(QStringLiteral("30002"), QStringLiteral("role_name")),
             QStringLiteral("r"));
    // The list stays for the next request.
    QCOMPARE(parameters->groupUsers(),
             QStringList({QStringLiteral("30001"), QStringLiteral("30002")}));
    parameters->clearGroupUsers();
}

void TestUserCache::groupReplyReplacesCachedUser()
{
    ParameterInfor *parameters = ParameterInfor::instance();
    QCOMPARE(fetchedField(QStringLiteral("10001"), QStringLiteral("user_name")),
             QStringLiteral("张伟"));
    directoryMode(QStringLiteral("usersgroup"), QStringLiteral("raw"),
                  R"({"status":1,"data":[{"user_id":"10001","user_name":"张伟伟"}]})");
    parameters->appendGroupUser(QStringLiteral("10001"));
    QVERIFY(fetchGroup());
    QCOMPARE(parameters->userField(QStringLiteral("10001"), QStringLiteral("user_name")),
             QStringLiteral("张伟伟"));
    QCOMPARE(parameters->userField(QStringLiteral("10001"), QStringLiteral("role_name")),
             QString());
    parameters->clearGroupUsers();
}

TARNEX_TEST_MAIN(TestUserCache)
#include "tst_usercache.moc"

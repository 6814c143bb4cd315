#include "testenvironment.h"

#include "config/configfile.h"
#include "messaging/sockethandl.h"
#include "net/replyenvelope.h"
#include "session/parameterinfor.h"
#include "shell/loginrequest.h"
#include "signin/loginreply.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

// Reading a successful login reply: which member each value comes from, and what a reply
// without some of them leaves behind.
class TestLoginReply : public QObject
{
    Q_OBJECT
private slots:
    void fields_data();
    void fields();
    void distributeWithoutClientUrl();

private:
    static LoginReply read(const QByteArray &data)
    {
        return LoginReply::read(ReplyEnvelope::fromBody(R"({"status":1,"data":)" + data + '}'));
    }
};

void TestLoginReply::fields_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");

    QTest::newRow("department from the system info")
        << QByteArray(R"({"current_user":{"dept_name":"flat","user_has_one_system_info":
              {"user_system_info_belongs_to_department":{"dept_name":"nested"}}}})")
        << "dept"
        << "nested";
    QTest::newRow("flat department")
        << QByteArray(R"({"current_user":{"dept_name":"flat"}})") << "dept"
        << "flat";
    QTest::newRow("roles: user_has_many_role only")
        << QByteArray(R"({"current_user":{"user_has_many_role":[{"has_one_role":{"role_name":""}},
              {"has_one_role":{"role_name":"second"}}],"roles":[{"role_name":"other"}]}})")
        << "role"
        << "second";
    QTest::newRow("roles: empty user_has_many_role wins")
        << QByteArray(R"({"current_user":{"user_has_many_role":[],"roles":[{"role_name":"r"}]}})")
        << "role"
        << "";
    QTest::newRow("roles: plain list")
        << QByteArray(R"({"current_user":{"roles":[{"role_name":""},{"role_name":"r2"}]}})")
        << "role"
        << "r2";
    QTest::newRow("system info of the user first")
        << QByteArray(R"({"system_info":{"a":1},"current_user":{"system_info":{"b":2}}})")
        << "system"
        << "{\n    \"b\": 2\n}\n";
    QTest::newRow("system info of the login")
        << QByteArray(R"({"system_info":{"a":1},"current_user":{"system_info":"x"}})") << "system"
        << "{\n    \"a\": 1\n}\n";
    QTest::newRow("no HTTPS port")
        << QByteArray(R"({"im_config":{"IM_HOST":"h","IM_PORT":"1"}})") << "https"
        << "";
    QTest::newRow("user id as number") << QByteArray(R"({"current_user":{"user_id":42}})") << "user"
                                       << "42";
    QTest::newRow("clock as text") << QByteArray(R"({"request_time":"1700000000123"})") << "clock"
                                   << "1700000000123";
    QTest::newRow("clock as number") << QByteArray(R"({"request_time":1700000000123})") << "clock"
                                     << "1700000000123";
    QTest::newRow("empty clock") << QByteArray(R"({"request_time":""})") << "clock"
                                 << "none";
    QTest::newRow("unreadable clock") << QByteArray(R"({"request_time":"soon"})") << "clock"
                                      << "none";
    QTest::newRow("no client url") << QByteArray(R"({})") << "client"
                                   << "none";
}

void TestLoginReply::fields()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, field);
    QFETCH(QString, value);
    const LoginReply reply = read(data);
    const QMap<QString, QString> values{
        {QStringLiteral("dept"), reply.deptName()},
        {QStringLiteral("role"), reply.roleName()},
        {QStringLiteral("system"), reply.systemInfo()},
        {QStringLiteral("https"), reply.imPortHttps()},
        {QStringLiteral("port"), reply.imPort()},
        {QStringLiteral("user"), reply.userId()},
        {QStringLiteral("clock"),
         reply.hasServerClock() ? QString::number(reply.serverClock()) : QStringLiteral("none")},
        {QStringLiteral("client"),
         reply.hasClientUrl() ? reply.clientUrl() : QStringLiteral("none")},
    };
    QCOMPARE(values.value(field), value);
}

void TestLoginReply::distributeWithoutClientUrl()
{
    QTemporaryDir base;
    ConfigFile::resetForTests(base.path());
    const LoginReply login =
        read(R"({"token":"t","current_user":{"user_id":"7","user_has_many_role":
             [{"has_one_role":{"role_name":"boss"}}]},"im_config":{"IM_HOST":"h","IM_PORT":"1"}})");
    login.distribute();
    // No client_url: the flag stays false, so the web client address is encoded once more.
    QVERIFY(!ConfigFile::instance()->clientUrlFlag());
    QCOMPARE(ParameterInfor::instance()->imPortHttps(), QString());
    QCOMPARE(ParameterInfor::instance()->imHost(), QStringLiteral("h"));
    QCOMPARE(ParameterInfor::instance()->userId(), QStringLiteral("7"));
    // The messaging engine gets its part from the sign-in's owner, not from the stores' hand-out.
    QCOMPARE(SocketHandl::instance()->userId(), QString());
    LoginRequest::handToMessaging(login);
    QCOMPARE(SocketHandl::instance()->userId(), QStringLiteral("7"));
    // The token is left to the caller, who stores it last.
    QCOMPARE(ParameterInfor::instance()->token(), QString());
}

TARNEX_TEST_MAIN(TestLoginReply)
#include "tst_loginreply.moc"

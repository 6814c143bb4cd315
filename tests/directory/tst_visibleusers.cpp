#include "directorytestkit.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "directory/filteruserauthority.h"

#include <QJsonDocument>
#include <QtTest>

using namespace directorytest;

// The visible-user set lives in the login parameters for the whole process; the cases run in
// order against it.
class TestVisibleUsers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void nothingVisibleBeforeTheFirstReply();
    void visibleUsersOfTheSignedInUser();
    void badRepliesKeepTheSet_data();
    void badRepliesKeepTheSet();
    void oddElements();
    void emptyListHidesEveryone();
    void hugeList();

private:
    void request(FilteruserAuthority &filter);
    void feed(const QByteArray &body);

    ReferenceServer m_server;
};

void TestVisibleUsers::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    QVERIFY(signIn(m_server, QStringLiteral("lina")));
}

void TestVisibleUsers::cleanup()
{
    resetServer(m_server);
}

void TestVisibleUsers::request(FilteruserAuthority &filter)
{
    QSignalSpy loaded(&filter, &FilteruserAuthority::sigFiltuserLoaded);
    filter.requestFiltuser();
    QVERIFY(loaded.wait(20000));
}

// Hands the reply of a raw body to the reply slot, as requestFiltuser's reply would be.
void TestVisibleUsers::feed(const QByteArray &body)
{
    setMode(m_server, QStringLiteral("visible"), QStringLiteral("raw"), body);
    QNetworkAccessManager manager;
    FilteruserAuthority filter;
    filter.onRequestFiltuser(fetch(manager, QStringLiteral("api/user?filter_type=1")));
}

void TestVisibleUsers::nothingVisibleBeforeTheFirstReply()
{
    FilteruserAuthority filter;
    QVERIFY(!filter.justFilterUserId(QStringLiteral("10002")));
    QVERIFY(!filter.justFilterUserId(QString()));
}

void TestVisibleUsers::visibleUsersOfTheSignedInUser()
{
    FilteruserAuthority filter;
    request(filter);
    const QJsonObject seen = m_server.hook(QStringLiteral("last-request"));
    const QJsonObject query = seen.value(QLatin1String("query")).toObject();
    QCOMPARE(query.value(QLatin1String("user_id")).toString(), QStringLiteral("10002"));
    QCOMPARE(query.value(QLatin1String("filter_type")).toString(), QStringLiteral("1"));
    QCOMPARE(query.value(QLatin1String("return_type")).toString(), QStringLiteral("array"));
    QCOMPARE(query.value(QLatin1String("communicate_type")).toString(), QStringLiteral("sms"));

    QVERIFY(filter.justFilterUserId(QStringLiteral("10002")));
    QVERIFY(filter.justFilterUserId(QStringLiteral("10001")));
    // The chairman is hidden from ordinary staff.
    QVERIFY(!filter.justFilterUserId(QStringLiteral("10050")));
    QVERIFY(!filter.justFilterUserId(QStringLiteral("1000")));
    // Every instance answers from the one set of the process.
    FilteruserAuthority other;
    QVERIFY(other.justFilterUserId(QStringLiteral("10001")));
}

void TestVisibleUsers::badRepliesKeepTheSet_data()
{
    addBadReplyRows();
    QTest::newRow("data is an object")
        << "raw" << QByteArray(R"({"status":1,"data":{"0":"10050"}})");
}

void TestVisibleUsers::badRepliesKeepTheSet()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, body);
    const int before = ParameterInfor::instance()->visibleUserCount();
    QVERIFY(before > 0);
    setMode(m_server, QStringLiteral("visible"), mode, body);
    QNetworkAccessManager manager;
    FilteruserAuthority filter;
    QSignalSpy loaded(&filter, &FilteruserAuthority::sigFiltuserLoaded);
    filter.onRequestFiltuser(fetch(manager, QStringLiteral("api/user?filter_type=1")));
    QCOMPARE(loaded.count(), 0);
    QCOMPARE(ParameterInfor::instance()->visibleUserCount(), before);
    QVERIFY(filter.justFilterUserId(QStringLiteral("10002")));
}

void TestVisibleUsers::oddElements()
{
    feed(R"({"status":1,"data":["10001",10002,null,"10003"]})");
    FilteruserAuthority filter;
    QVERIFY(filter.justFilterUserId(QStringLiteral("10001")));
    QVERIFY(filter.justFilterUserId(QStringLiteral("10003")));
    // A numeric id reads as its digits, as everywhere else; null stands for the empty text.
    QVERIFY(filter.justFilterUserId(QStringLiteral("10002")));
    QVERIFY(filter.justFilterUserId(QString()));
    QCOMPARE(ParameterInfor::instance()->visibleUserCount(), 4);
}

void TestVisibleUsers::emptyListHidesEveryone()
{
    feed(R"({"status":1,"data":[]})");
    FilteruserAuthority filter;
    QCOMPARE(ParameterInfor::instance()->visibleUserCount(), 0);
    QVERIFY(!filter.justFilterUserId(QStringLiteral("10001")));
}

void TestVisibleUsers::hugeList()
{
    QJsonArray ids;
    for (int i = 0; i < 200000; ++i)
        ids.append(QString::number(1000000 + i));
    feed(QJsonDocument(QJsonObject{{QStringLiteral("status"), 1}, {QStringLiteral("data"), ids}})
             .toJson(QJsonDocument::Compact));
    QCOMPARE(ParameterInfor::instance()->visibleUserCount(), 200000);
    FilteruserAuthority filter;
    QVERIFY(filter.justFilterUserId(QStringLiteral("1199999")));

    // And back to the signed-in user's list.
    resetServer(m_server);
    request(filter);
    QVERIFY(!filter.justFilterUserId(QStringLiteral("1199999")));
    QVERIFY(filter.justFilterUserId(QStringLiteral("10002")));
}

TARNEX_TEST_MAIN(TestVisibleUsers)
#include "tst_visibleusers.moc"

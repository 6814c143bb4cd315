#include "referenceserver.h"
#include "reminderslogin.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "reminders/remindreply.h"
#include "reminders/systemrequest.h"
#include "session/parameterinfor.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

// A module's reminder list and the read marks, against the reference server's demo data
// (reset before every case).
class TestSystemRequest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void searchArrivesIntact_data();
    void searchArrivesIntact();
    void secondRequestWhileBusyIsDropped();
    void unusablePage_data();
    void unusablePage();
    void markRead();
    void refusedMarkIsNoSuccess();
    void silentServerFreesTheChannel();
    void cleanupTestCase();

private:
    QJsonObject page(SystemRequest &request, const QString &menus, const QString &flags,
                     const QString &pages = QStringLiteral("1"));
    QJsonObject lastRequest(const QString &endpoint) const;
    void setMode(const QString &mode, int delayMs = 0);

    ReferenceServer m_server;
};

void TestSystemRequest::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), m_server.address());
    const QString token = loginToken(loginBody(m_server, QStringLiteral("zhangwei")));
    QVERIFY(!token.isEmpty());
    ParameterInfor::instance()->setToken(token);
}

void TestSystemRequest::cleanupTestCase()
{
    m_server.stop();
}

void TestSystemRequest::init()
{
    m_server.hook(QStringLiteral("reminders-reset"));
}

void TestSystemRequest::setMode(const QString &mode, int delayMs)
{
    QVERIFY(m_server
                .hook(QStringLiteral("reminders"),
                      {{QStringLiteral("mode"), mode}, {QStringLiteral("delayMs"), delayMs}})
                .value(QLatin1String("ok"))
                .toBool());
}

QJsonObject TestSystemRequest::lastRequest(const QString &endpoint) const
{
    return m_server.hook(QStringLiteral("reminders-requests"))
        .value(QLatin1String("last"))
        .toObject()
        .value(endpoint)
        .toObject();
}

// The `data` of the page reply the documents receive (empty when none arrived).
QJsonObject TestSystemRequest::page(SystemRequest &request, const QString &menus,
                                    const QString &flags, const QString &pages)
{
    QSignalSpy contents(&request, &SystemRequest::sigRequestSystemInfor);
    request.requestSystemInfor(menus, flags, pages);
    if (!contents.wait(20000))
        return QJsonObject();
    return QJsonDocument::fromJson(contents.first().first().toString().toUtf8())
        .object()
        .value(QLatin1String("data"))
        .toObject();
}

void TestSystemRequest::searchArrivesIntact_data()
{
    QTest::addColumn<QString>("menus");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("pages");

    QTest::newRow("plain") << "flow"
                           << "0"
                           << "1";
    QTest::newRow("query delimiters") << "a&b=c#d+e %f"
                                      << "1"
                                      << "2";
    QTest::newRow("chinese and quotes") << "流程\"审批\""
                                        << ""
                                        << "3&x=1";
}

void TestSystemRequest::searchArrivesIntact()
{
    QFETCH(QString, menus);
    QFETCH(QString, flags);
    QFETCH(QString, pages);
    SystemRequest request;
    QSignalSpy contents(&request, &SystemRequest::sigRequestSystemInfor);
    request.requestSystemInfor(menus, flags, pages);
    QVERIFY(contents.wait(20000));

    // Indented JSON without line feeds and tabs; the indentation blanks stay.
    const QJsonObject search{{QStringLiteral("remind_flag"), QJsonArray{flags}},
                             {QStringLiteral("sms_menu"), QJsonArray{menus}}};
    QString expected = QString::fromUtf8(QJsonDocument(search).toJson(QJsonDocument::Indented));
    expected.remove(QLatin1Char('\n')).remove(QLatin1Char('\t'));
    const QJsonObject query =
        lastRequest(QStringLiteral("list"))[QLatin1String("query")].toObject();
    QCOMPARE(query.value(QLatin1String("search")).toString(), expected);
    QCOMPARE(query.value(QLatin1String("page")).toString(), pages);
    QCOMPARE(query.keys(), (QStringList{QStringLiteral("page"), QStringLiteral("search")}));
}

void TestSystemRequest::secondRequestWhileBusyIsDropped()
{
    setMode(QStringLiteral("slow"), 800);
    const int before =
        m_server.hook(QStringLiteral("reminders-requests")).value(QLatin1String("list")).toInt();
    SystemRequest request;
    QSignalSpy contents(&request, &SystemRequest::sigRequestSystemInfor);
    request.requestSystemInfor(QStringLiteral("flow"), QStringLiteral("0"), QStringLiteral("1"));
    QVERIFY(request.isBusy(SystemRequest::ListChannel));
    request.requestSystemInfor(QStringLiteral("meeting"), QStringLiteral("0"), QStringLiteral("1"));
    // The other channels are not held up by the list.
    QSignalSpy marked(&request, &SystemRequest::sigRetSetStatus);
    request.setReadSignInformation(QStringLiteral("1001"));
    QVERIFY(contents.wait(20000));
    QTRY_COMPARE_WITH_TIMEOUT(marked.count(), 1, 20000);
    QVERIFY(m_server.roundTrip());
    QCOMPARE(contents.count(), 1);
    QVERIFY(contents.first().first().toString().contains(QLatin1String("\"flow\"")));
    QCOMPARE(
        m_server.hook(QStringLiteral("reminders-requests")).value(QLatin1String("list")).toInt(),
        before + 1);
    QVERIFY(!request.isBusy(SystemRequest::ListChannel));
}

void TestSystemRequest::unusablePage_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("text");
    QTest::newRow("not JSON") << "garbage"
                              << "系统消息获取失败";
    QTest::newRow("refused") << "status0"
                             << "提醒服务暂不可用，请稍后再试";
    QTest::newRow("an array") << "wrong-kind"
                              << "系统消息获取失败";
}

void TestSystemRequest::unusablePage()
{
    QFETCH(QString, mode);
    QFETCH(QString, text);
    setMode(mode);
    SystemRequest request;
    QSignalSpy contents(&request, &SystemRequest::sigRequestSystemInfor);
    QSignalSpy status(&request, &SystemRequest::sigRequestStatus);
    request.requestSystemInfor(QStringLiteral("flow"), QStringLiteral("0"), QStringLiteral("1"));
    QVERIFY(contents.wait(20000));
    QCOMPARE(contents.first().first().toString(), QStringLiteral("errors"));
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.first(), (QVariantList{false, int(SystemRequest::ListChannel), text}));
}

void TestSystemRequest::markRead()
{
    SystemRequest request;
    QSignalSpy done(&request, &SystemRequest::sigRetSetStatus);
    QSignalSpy status(&request, &SystemRequest::sigRequestStatus);
    request.setReadSignInformation(QStringLiteral("1001"));
    QVERIFY(done.wait(20000));
    QCOMPARE(status.first().first().toBool(), true);
    QCOMPARE(page(request, QStringLiteral("flow"), QStringLiteral("0"))
                 .value(QLatin1String("total"))
                 .toInt(),
             3);

    // An id is one path segment: "../unread" cannot reach another endpoint.
    status.clear();
    request.setReadSignInformation(QStringLiteral("../unread"));
    QVERIFY(done.wait(20000));
    QCOMPARE(status.first(), (QVariantList{false, int(SystemRequest::ReadOneChannel),
                                           QStringLiteral("该提醒不存在或已被删除")}));

    // The rest of the module at once.
    QSignalSpy module(&request, &SystemRequest::sigReadSignModule);
    request.setReadSignModule(QStringLiteral("flow"));
    QVERIFY(module.wait(20000));
    QCOMPARE(lastRequest(QStringLiteral("readModule"))[QLatin1String("query")].toObject(),
             (QJsonObject{{QStringLiteral("menu"), QStringLiteral("flow")}}));
    QCOMPARE(page(request, QStringLiteral("flow"), QStringLiteral("0"))
                 .value(QLatin1String("total"))
                 .toInt(),
             0);
}

void TestSystemRequest::refusedMarkIsNoSuccess()
{
    setMode(QStringLiteral("status0"));
    SystemRequest request;
    QSignalSpy done(&request, &SystemRequest::sigRetSetStatus);
    QSignalSpy module(&request, &SystemRequest::sigReadSignModule);
    QSignalSpy status(&request, &SystemRequest::sigRequestStatus);
    request.setReadSignModule(QStringLiteral("flow"));
    QVERIFY(done.wait(20000));
    QCOMPARE(module.count(), 0);
    QCOMPARE(status.first(), (QVariantList{false, int(SystemRequest::ReadModuleChannel),
                                           QStringLiteral("提醒服务暂不可用，请稍后再试")}));
    QVERIFY(!request.isBusy(SystemRequest::ReadModuleChannel));
}

void TestSystemRequest::silentServerFreesTheChannel()
{
    tarnex::reminders::setReplyLimitMs(1500);
    setMode(QStringLiteral("silent"));
    SystemRequest request;
    QSignalSpy done(&request, &SystemRequest::sigRetSetStatus);
    QSignalSpy status(&request, &SystemRequest::sigRequestStatus);
    QSignalSpy contents(&request, &SystemRequest::sigRequestSystemInfor);
    request.setReadSignModule(QStringLiteral("flow"));
    request.requestSystemInfor(QStringLiteral("flow"), QStringLiteral("0"), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(status.count(), 2, 15000);
    for (const QVariantList &report : qAsConst(status))
        QCOMPARE(report.at(2).toString(), QStringLiteral("连接服务器失败"));
    QCOMPARE(done.count(), 0);
    QCOMPARE(contents.first().first().toString(), QStringLiteral("errors"));
    QVERIFY(!request.isBusy(SystemRequest::ReadModuleChannel));
    QVERIFY(!request.isBusy(SystemRequest::ListChannel));
    tarnex::reminders::setReplyLimitMs(0);

    setMode(QStringLiteral("normal"));
    QSignalSpy module(&request, &SystemRequest::sigReadSignModule);
    request.setReadSignModule(QStringLiteral("flow"));
    QVERIFY(module.wait(20000));
}

TARNEX_TEST_MAIN(TestSystemRequest)
#include "tst_systemrequest.moc"

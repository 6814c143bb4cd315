#include "referenceserver.h"
#include "reminderslogin.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "reminders/remindreply.h"
#include "reminders/systemhandl.h"
#include "reminders/systeminformation.h"
#include "session/parameterinfor.h"

#include <QJsonArray>
#include <QtTest>

#include <thread>

// The reminder store is process-wide; every case starts from the server's demo data, reloaded
// by init(), and the cases that break the server put it back.
class TestReminderStore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void groupsAndItemsAscending();
    void fields_data();
    void fields();
    void unreadCountsWithAll();
    void unreadUpdateAndSystemMessage();
    void concurrentUnreadUpdates();
    void unreadRequestWhileBusyIsDropped();
    void badReplyKeepsTheStore_data();
    void badReplyKeepsTheStore();
    void silentServerEndsWithinTheLimit();
    void hugeReplies();
    void cleanupTestCase();

private:
    struct Snapshot
    {
        QList<int> groups;
        QList<int> flowItems;
        QString attendanceMenu;
        int all = 0;
        int flow = 0;
        bool operator==(const Snapshot &o) const
        {
            return groups == o.groups && flowItems == o.flowItems &&
                   attendanceMenu == o.attendanceMenu && all == o.all && flow == o.flow;
        }
    };
    Snapshot snapshot() const;
    void load();
    int requestCount(const QString &endpoint) const;
    void setMode(const QString &mode, const QStringList &endpoints = {}, int delayMs = 0);

    ReferenceServer m_server;
    SystemHandl m_handl;
    QString m_token;
};

void TestReminderStore::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), m_server.address());
    m_token = loginToken(loginBody(m_server, QStringLiteral("zhangwei")));
    QVERIFY(!m_token.isEmpty());
    ParameterInfor::instance()->setToken(m_token);
}

void TestReminderStore::cleanupTestCase()
{
    m_server.stop();
}

void TestReminderStore::init()
{
    m_server.hook(QStringLiteral("reminders-reset"));
    ParameterInfor::instance()->setToken(m_token);
    load();
}

void TestReminderStore::load()
{
    QSignalSpy groups(&m_handl, &SystemHandl::sigSystemInforChange);
    QSignalSpy unread(&m_handl, &SystemHandl::sigUnreadNumberFromRemindmenu);
    SystemInformation::gestance()->getSystemReminds();
    QVERIFY(groups.wait(20000));
    QTRY_COMPARE_WITH_TIMEOUT(unread.count(), 1, 20000);
}

TestReminderStore::Snapshot TestReminderStore::snapshot() const
{
    return {m_handl.getSystemRemindListId(), m_handl.getSystemRemindItemListId(1),
            m_handl.getSystemRemind(5, QStringLiteral("remind_menu")),
            m_handl.getUnreadNumberFromRemindmenu(QStringLiteral("all")),
            m_handl.getUnreadNumberFromRemindmenu(QStringLiteral("flow"))};
}

int TestReminderStore::requestCount(const QString &endpoint) const
{
    return m_server.hook(QStringLiteral("reminders-requests")).value(endpoint).toInt(-1);
}

void TestReminderStore::setMode(const QString &mode, const QStringList &endpoints, int delayMs)
{
    QJsonObject body{{QStringLiteral("mode"), mode}, {QStringLiteral("delayMs"), delayMs}};
    if (!endpoints.isEmpty())
        body.insert(QStringLiteral("endpoints"), QJsonArray::fromStringList(endpoints));
    QVERIFY(m_server.hook(QStringLiteral("reminders"), body).value(QLatin1String("ok")).toBool());
}

void TestReminderStore::groupsAndItemsAscending()
{
    // The demo lists group 3 first and its items in descending order.
    QCOMPARE(m_handl.getSystemRemindListId(), (QList<int>{1, 2, 3, 4, 5, 6, 7}));
    QCOMPARE(m_handl.getSystemRemindItemListId(3), (QList<int>{31, 32}));
    QCOMPARE(m_handl.getSystemRemindItemListId(1), (QList<int>{11, 12, 13}));
    QCOMPARE(m_handl.getSystemRemindItemListId(99), QList<int>());
    // Numeric module keys are indexed as text.
    QCOMPARE(m_handl.getSmsnameFromSmsmenu(QStringLiteral("7")), QStringLiteral("考勤管理"));
    QCOMPARE(m_handl.getSmsnameFromSmsmenu(QStringLiteral("nosuch")), QString());
    QCOMPARE(SystemInformation::gestance()->groupIdFromRemindmenu(QStringLiteral("7")), 5);
}

void TestReminderStore::fields_data()
{
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("item"); // -1: the group itself
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("numeric module key as text") << 5 << -1 << "remind_menu"
                                                << "7";
    QTest::newRow("group menu name") << 1 << -1 << "menu_name"
                                     << "流程中心";
    QTest::newRow("group unread starts at 0") << 1 << -1 << "unReadNum"
                                              << "0";
    QTest::newRow("group unknown field") << 1 << -1 << "nosuch"
                                         << "";
    QTest::newRow("absent group") << 99 << -1 << "id"
                                  << "";
    QTest::newRow("item integer") << 1 << 13 << "is_hand"
                                  << "1";
    QTest::newRow("item module key stays text") << 5 << 51 << "remind_menu"
                                                << "7";
    QTest::newRow("item has no menu_name") << 1 << 13 << "menu_name"
                                           << "";
    QTest::newRow("item of absent group") << 99 << 13 << "id"
                                          << "";
}

void TestReminderStore::fields()
{
    QFETCH(int, group);
    QFETCH(int, item);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QString value = item < 0 ? m_handl.getSystemRemind(group, key)
                                   : m_handl.getSystemRemindItem(group, item, key);
    QCOMPARE(value, expected);
}

void TestReminderStore::unreadCountsWithAll()
{
    // zhangwei's unread demo reminders: flow 4, document 2, one each in four more modules.
    QCOMPARE(m_handl.getUnreadNumberFromRemindmenu(QStringLiteral("flow")), 4);
    QCOMPARE(m_handl.getUnreadNumberFromRemindmenu(QStringLiteral("7")), 1);
    QCOMPARE(m_handl.getUnreadNumberFromRemindmenu(QStringLiteral("vehicle")), 0);
    QCOMPARE(m_handl.getUnreadNumberFromRemindmenu(QStringLiteral("nosuch")), 0);
    QCOMPARE(m_handl.getUnreadNumberFromRemindmenu(QStringLiteral("all")), 10);

    // A module that happens to be called "all" does not hide the total.
    m_server.hook(QStringLiteral("reminders-add"), {{QStringLiteral("sms_menu"), "all"}});
    m_server.hook(QStringLiteral("reminders-add"), {{QStringLiteral("sms_menu"), "flow"}});
    QSignalSpy unread(&m_handl, &SystemHandl::sigUnreadNumberFromRemindmenu);
    m_handl.getSystemUnreadNumbers();
    QVERIFY(unread.wait(20000));
    QCOMPARE(m_handl.getUnreadNumberFromRemindmenu(QStringLiteral("all")), 12);
    QCOMPARE(m_handl.getUnreadNumberFromRemindmenu(QStringLiteral("flow")), 5);
}

void TestReminderStore::unreadUpdateAndSystemMessage()
{
    SystemInformation *store = SystemInformation::gestance();
    store->updateUnreadNumber(1, 3);
    QCOMPARE(m_handl.getSystemRemind(1, QStringLiteral("unReadNum")), QStringLiteral("3"));
    store->updateUnreadNumber(1, 5, true);
    QCOMPARE(m_handl.getSystemRemind(1, QStringLiteral("unReadNum")), QStringLiteral("0"));
    store->updateUnreadNumber(99, 1);
    QCOMPARE(m_handl.getSystemRemindListId().size(), 7);

    QStringList order;
    QVariantList tip;
    connect(
        &m_handl, &SystemHandl::jumpWebpage, this,
        [&](const QString &ida, const QString &params, const QString &menu, const QString &type) {
            order << QStringLiteral("jump:") + ida + params + menu + type;
        });
    connect(&m_handl, &SystemHandl::messageTipInfors, this,
            [&](int ids, const QString &menus, const QString &content, const QString &time) {
                order << QStringLiteral("tip");
                tip = {ids, menus, content, time};
            });
    store->receiveSystemMessage(QStringLiteral("3021"), QStringLiteral("{\"run_id\":3021}"),
                                QStringLiteral("7"), QStringLiteral("attendance_missing"),
                                QStringLiteral("缺卡"), QStringLiteral("2024-06-01 09:00:00"));
    QCOMPARE(order, (QStringList{QStringLiteral("jump:3021{\"run_id\":3021}7attendance_missing"),
                                 QStringLiteral("tip")}));
    QCOMPARE(tip, (QVariantList{5, QStringLiteral("7"), QStringLiteral("缺卡"),
                                QStringLiteral("2024-06-01 09:00:00")}));
    QCOMPARE(m_handl.getSystemRemind(5, QStringLiteral("unReadNum")), QStringLiteral("1"));

    // A module without a group counts nowhere and reports group -3.
    store->receiveSystemMessage(QStringLiteral("1"), QString(), QStringLiteral("nosuch"), QString(),
                                QString(), QString());
    QCOMPARE(tip.first().toInt(), -3);
    disconnect(&m_handl, nullptr, this, nullptr);
}

void TestReminderStore::concurrentUnreadUpdates()
{
    // The messaging engine counts system messages from its network thread while the documents
    // read the store.
    constexpr int updates = 20000;
    std::thread engine([] {
        for (int i = 0; i < updates; ++i)
            SystemInformation::gestance()->updateUnreadNumber(2, 1);
    });
    int reads = 0;
    while (m_handl.getSystemRemind(2, QStringLiteral("unReadNum")).toInt() < updates) {
        QVERIFY(!m_handl.getSystemRemindItemListId(2).isEmpty());
        ++reads;
    }
    engine.join();
    QVERIFY(reads > 0);
    QCOMPARE(m_handl.getSystemRemind(2, QStringLiteral("unReadNum")), QString::number(updates));
}

void TestReminderStore::unreadRequestWhileBusyIsDropped()
{
    SystemInformation *store = SystemInformation::gestance();
    const int before = requestCount(QStringLiteral("unread"));
    setMode(QStringLiteral("slow"), {QStringLiteral("unread")}, 800);
    QSignalSpy unread(&m_handl, &SystemHandl::sigUnreadNumberFromRemindmenu);
    store->getSystemUnreadNumbers();
    QVERIFY(store->unreadRequestBusy());
    m_handl.getSystemUnreadNumbers();
    // The groups' own unread request is dropped too while one is outstanding.
    QSignalSpy groups(&m_handl, &SystemHandl::sigSystemInforChange);
    store->getSystemReminds();
    QVERIFY(groups.wait(20000));
    QVERIFY(unread.wait(20000));
    QVERIFY(!store->unreadRequestBusy());
    QVERIFY(m_server.roundTrip());
    QCOMPARE(unread.count(), 1);
    QCOMPARE(requestCount(QStringLiteral("unread")), before + 1);
    setMode(QStringLiteral("normal"));
}

void TestReminderStore::badReplyKeepsTheStore_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("types");
    QTest::addColumn<QString>("text");

    const QString builtIn = QStringLiteral("系统消息获取失败");
    const QString server = QStringLiteral("提醒服务暂不可用，请稍后再试");
    const int groups = SystemInformation::GroupRequest;
    const int unread = SystemInformation::UnreadRequest;
    for (int types : {groups, unread}) {
        const char *kind = types == groups ? "groups" : "unread";
        QTest::addRow("%s: not JSON", kind) << "garbage" << types << builtIn;
        QTest::addRow("%s: refused with message", kind) << "status0" << types << server;
        QTest::addRow("%s: refused without errors", kind) << "status0-bare" << types << builtIn;
        QTest::addRow("%s: wrong kinds", kind) << "wrong-kind" << types << builtIn;
        QTest::addRow("%s: missing members", kind) << "missing" << types << builtIn;
    }
}

void TestReminderStore::badReplyKeepsTheStore()
{
    QFETCH(QString, mode);
    QFETCH(int, types);
    QFETCH(QString, text);
    const bool groups = types == SystemInformation::GroupRequest;
    const Snapshot before = snapshot();
    const int unreadRequests = requestCount(QStringLiteral("unread"));
    setMode(mode, {groups ? QStringLiteral("groups") : QStringLiteral("unread")});

    QSignalSpy status(&m_handl, &SystemHandl::sigRequestStatus);
    QSignalSpy changed(&m_handl, &SystemHandl::sigSystemInforChange);
    QSignalSpy unread(&m_handl, &SystemHandl::sigUnreadNumberFromRemindmenu);
    if (groups)
        SystemInformation::gestance()->getSystemReminds();
    else
        m_handl.getSystemUnreadNumbers();
    QVERIFY(status.wait(20000));
    QCOMPARE(status.first(), (QVariantList{false, types, text}));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(unread.count(), 0);
    QVERIFY(snapshot() == before);
    QVERIFY(!SystemInformation::gestance()->unreadRequestBusy());
    if (groups) // a failed group reply asks for no counts
        QCOMPARE(requestCount(QStringLiteral("unread")), unreadRequests);
    setMode(QStringLiteral("normal"));
}

void TestReminderStore::silentServerEndsWithinTheLimit()
{
    tarnex::reminders::setReplyLimitMs(1500);
    setMode(QStringLiteral("silent"));
    const Snapshot before = snapshot();
    QSignalSpy status(&m_handl, &SystemHandl::sigRequestStatus);
    m_handl.getSystemUnreadNumbers();
    SystemInformation::gestance()->getSystemReminds();
    QTRY_COMPARE_WITH_TIMEOUT(status.count(), 2, 15000);
    for (const QVariantList &report : qAsConst(status)) {
        QCOMPARE(report.at(0).toBool(), false);
        QCOMPARE(report.at(2).toString(), QStringLiteral("连接服务器失败"));
    }
    QVERIFY(snapshot() == before);
    QVERIFY(!SystemInformation::gestance()->unreadRequestBusy());
    tarnex::reminders::setReplyLimitMs(0);

    // The channel is free again.
    setMode(QStringLiteral("normal"));
    QSignalSpy unread(&m_handl, &SystemHandl::sigUnreadNumberFromRemindmenu);
    m_handl.getSystemUnreadNumbers();
    QVERIFY(unread.wait(20000));
}

void TestReminderStore::hugeReplies()
{
    m_server.hook(QStringLiteral("reminders"), {{QStringLiteral("mode"), "huge"},
                                                {QStringLiteral("count"), 5000},
                                                {QStringLiteral("items"), 40}});
    load();
    QCOMPARE(m_handl.getSystemRemindListId().size(), 5000);
    QCOMPARE(m_handl.getSystemRemindItemListId(4999).size(), 40);
    QCOMPARE(m_handl.getSmsnameFromSmsmenu(QStringLiteral("m4999")), QStringLiteral("菜单4999"));
    QCOMPARE(m_handl.getUnreadNumberFromRemindmenu(QStringLiteral("m6")), 6);
    setMode(QStringLiteral("normal"));
}

TARNEX_TEST_MAIN(TestReminderStore)
#include "tst_reminderstore.moc"

// Which messages and reminders become desktop notifications, what they say and where a click
// leads, against a notification service of the test's own on a private session bus.

#include "config/configfile.h"
#include "fakenotificationserver.h"
#include "privatebus.h"
#include "shell/messagenotices.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestMessageNotices : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void contentAndOneNotificationPerConversation();
    void quietWhenSeenOrDoNotDisturb();
    void clickOpensConversationOrReminder();
    void trayStandsInWithoutService();
    void offNeverUsesTheBus();

private:
    static void setSetting(const char *key, bool on)
    {
        ConfigFile::instance()->setMainConfig(
            QString::fromLatin1(key), on ? QStringLiteral("true") : QStringLiteral("false"));
    }
    QTemporaryDir m_base;
};

void TestMessageNotices::initTestCase()
{
    QVERIFY(m_base.isValid());
}

void TestMessageNotices::init()
{
    ConfigFile::resetForTests(m_base.path() + QLatin1Char('/'));
    setSetting("hidePreview", false);
    setSetting("doNotDisturb", false);
}

void TestMessageNotices::contentAndOneNotificationPerConversation()
{
    FakeNotificationServer server;
    QVERIFY(server.start());
    MessageNotices notices(QDBusConnection::sessionBus());
    QVERIFY(notices.available());

    QVERIFY(notices.notifyMessage(
        QStringLiteral("10002"), QStringLiteral("2"), QStringLiteral("李娜"), QString(),
        QStringLiteral("<p>明天<b>开会</b></p>"), QStringLiteral("text")));
    QTRY_COMPARE(server.shown.size(), 1);
    QCOMPARE(server.shown[0].summary, QStringLiteral("李娜"));
    QCOMPARE(server.shown[0].body, QStringLiteral("明天开会"));

    // A group message names the writer and the group; a picture shows as its marker.
    QVERIFY(notices.notifyMessage(QStringLiteral("g1"), QStringLiteral("3"),
                                  QStringLiteral("项目组"), QStringLiteral("王强"),
                                  QStringLiteral("/upload/a.png"), QStringLiteral("img")));
    QTRY_COMPARE(server.shown.size(), 2);
    QCOMPARE(server.shown[1].summary, QStringLiteral("王强 · 项目组"));
    QCOMPARE(server.shown[1].body, QStringLiteral("[图片]"));
    // The markers follow the interface language.
    notices.setProperty("fileMarker", QStringLiteral("[File]"));
    QVERIFY(notices.notifyMessage(QStringLiteral("g1"), QStringLiteral("3"),
                                  QStringLiteral("项目组"), QStringLiteral("王强"),
                                  QStringLiteral("a.pdf"), QStringLiteral("file")));
    QTRY_COMPARE(server.shown.size(), 3);
    QCOMPARE(server.shown[2].body, QStringLiteral("[File]"));

    // The next message of a conversation replaces its notification; hidden text when asked.
    setSetting("hidePreview", true);
    notices.setHiddenText(QStringLiteral("新消息"));
    QVERIFY(notices.notifyMessage(QStringLiteral("10002"), QStringLiteral("2"),
                                  QStringLiteral("李娜"), QString(), QStringLiteral("密码是 1234"),
                                  QStringLiteral("text")));
    QTRY_COMPARE(server.shown.size(), 4);
    QCOMPARE(server.shown[3].replacesId, 41u);
    QCOMPARE(server.shown[3].summary, QStringLiteral("李娜"));
    QCOMPARE(server.shown[3].body, QStringLiteral("新消息"));

    QVERIFY(notices.notifyReminder(QStringLiteral("flow"), QStringLiteral("流程中心"),
                                   QStringLiteral("差旅报销等待您办理")));
    QTRY_COMPARE(server.shown.size(), 5);
    QCOMPARE(server.shown[4].replacesId, 0u);
    QCOMPARE(server.shown[4].body, QStringLiteral("新消息"));
}

void TestMessageNotices::quietWhenSeenOrDoNotDisturb()
{
    FakeNotificationServer server;
    QVERIFY(server.start());
    MessageNotices notices(QDBusConnection::sessionBus());
    const auto message = [&](const QString &ids, const QString &text) {
        return notices.notifyMessage(ids, QStringLiteral("2"), QStringLiteral("赵敏"), QString(),
                                     text, QStringLiteral("text"));
    };

    // The conversation in view of the focused window: nothing; any other still shows.
    notices.setWindowActive(true);
    notices.setOpenConversation(QStringLiteral("10004"));
    QVERIFY(!message(QStringLiteral("10004"), QStringLiteral("seen")));
    QVERIFY(message(QStringLiteral("10005"), QStringLiteral("other")));
    QTRY_COMPARE(server.shown.size(), 1);
    QCOMPARE(server.shown[0].body, QStringLiteral("other"));

    // The same conversation while the window is in the background does show, and is taken off
    // the screen when the user comes back to it.
    notices.setWindowActive(false);
    QVERIFY(message(QStringLiteral("10004"), QStringLiteral("away")));
    QTRY_COMPARE(server.shown.size(), 2);
    QVERIFY(message(QStringLiteral("10004"), QStringLiteral("away 2")));
    QTRY_COMPARE(server.shown.size(), 3);
    QCOMPARE(server.shown[2].replacesId, 42u);
    notices.setWindowActive(true);
    QTRY_COMPARE(server.closed, (QList<uint>{42u}));

    // Opening a conversation withdraws its notification.
    notices.setOpenConversation(QStringLiteral("10005"));
    QTRY_COMPARE(server.closed, (QList<uint>{42u, 41u}));

    // Do not disturb: nothing at all, reminders included.
    setSetting("doNotDisturb", true);
    QSignalSpy fallback(&notices, &MessageNotices::sigFallback);
    QVERIFY(!message(QStringLiteral("10006"), QStringLiteral("quiet")));
    QVERIFY(!notices.notifyReminder(QStringLiteral("flow"), QStringLiteral("流程中心"),
                                    QStringLiteral("x")));
    setSetting("doNotDisturb", false);
    QVERIFY(message(QStringLiteral("10006"), QStringLiteral("loud")));
    QTRY_COMPARE(server.shown.size(), 4);
    QCOMPARE(server.shown[3].body, QStringLiteral("loud"));
    QCOMPARE(fallback.size(), 0);
}

void TestMessageNotices::clickOpensConversationOrReminder()
{
    FakeNotificationServer server;
    QVERIFY(server.start());
    MessageNotices notices(QDBusConnection::sessionBus());
    QSignalSpy chats(&notices, &MessageNotices::sigOpenChat);
    QSignalSpy reminders(&notices, &MessageNotices::sigOpenReminder);

    notices.notifyMessage(QStringLiteral("g1"), QStringLiteral("3"), QStringLiteral("项目组"),
                          QStringLiteral("王强"), QStringLiteral("hi"), QStringLiteral("text"));
    notices.notifyReminder(QStringLiteral("flow"), QStringLiteral("流程中心"),
                           QStringLiteral("等待您办理"));
    QTRY_COMPARE(server.shown.size(), 2);
    // Their ids are known once a second message of the group replaces the first.
    notices.notifyMessage(QStringLiteral("g1"), QStringLiteral("3"), QStringLiteral("项目组"),
                          QStringLiteral("王强"), QStringLiteral("hi 2"), QStringLiteral("text"));
    QTRY_COMPARE(server.shown.size(), 3);
    QCOMPARE(server.shown[2].replacesId, 41u);

    QVERIFY(server.emitSignal(QStringLiteral("ActionInvoked"),
                              {QVariant::fromValue(41u), QStringLiteral("default")}));
    QVERIFY(chats.wait());
    QCOMPARE(chats[0],
             (QVariantList{QStringLiteral("g1"), QStringLiteral("项目组"), QStringLiteral("3")}));
    QVERIFY(server.emitSignal(QStringLiteral("ActionInvoked"),
                              {QVariant::fromValue(42u), QStringLiteral("default")}));
    QVERIFY(reminders.wait());
    QCOMPARE(reminders[0][0].toString(), QStringLiteral("flow"));
    QCOMPARE(chats.size(), 1);
}

void TestMessageNotices::trayStandsInWithoutService()
{
    MessageNotices notices(QDBusConnection::sessionBus());
    QSignalSpy fallback(&notices, &MessageNotices::sigFallback);
    QSignalSpy availability(&notices, &MessageNotices::availableChanged);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "desktop notifications are not available")));

    // The first notice is tried on the bus; when nobody answers, the tray shows it.
    QVERIFY(notices.notifyMessage(QStringLiteral("10002"), QStringLiteral("2"),
                                  QStringLiteral("李娜"), QString(), QStringLiteral("one"),
                                  QStringLiteral("text")));
    QTRY_COMPARE(fallback.size(), 1);
    QCOMPARE(fallback[0], (QVariantList{QStringLiteral("chat:10002"), QStringLiteral("李娜"),
                                        QStringLiteral("one")}));
    QVERIFY(!notices.available());
    QCOMPARE(availability.size(), 1);

    // From then on straight to the tray, with the same rules.
    setSetting("hidePreview", true);
    QVERIFY(notices.notifyReminder(QStringLiteral("flow"), QStringLiteral("流程中心"),
                                   QStringLiteral("x")));
    QCOMPARE(fallback.size(), 2);
    QCOMPARE(fallback[1], (QVariantList{QStringLiteral("remind:flow"), QStringLiteral("流程中心"),
                                        notices.hiddenText()}));
    setSetting("doNotDisturb", true);
    QVERIFY(!notices.notifyMessage(QStringLiteral("10002"), QStringLiteral("2"),
                                   QStringLiteral("李娜"), QString(), QStringLiteral("two"),
                                   QStringLiteral("text")));
    QCOMPARE(fallback.size(), 2);
}

void TestMessageNotices::offNeverUsesTheBus()
{
    FakeNotificationServer server;
    QVERIFY(server.start());
    qputenv("TARNEX_NOTIFICATIONS", "off");
    MessageNotices notices;
    qunsetenv("TARNEX_NOTIFICATIONS");
    QSignalSpy fallback(&notices, &MessageNotices::sigFallback);
    QVERIFY(!notices.available());
    QVERIFY(notices.notifyMessage(QStringLiteral("10002"), QStringLiteral("2"),
                                  QStringLiteral("李娜"), QString(), QStringLiteral("one"),
                                  QStringLiteral("text")));
    QCOMPARE(fallback.size(), 1);
    notices.setOpenConversation(QStringLiteral("10002"));
    // No notifier was made: nothing here can reach the bus.
    QCOMPARE(notices.findChildren<QObject *>().size(), 0);
    QVERIFY(server.shown.isEmpty());
}

TARNEX_PRIVATE_BUS_TEST_MAIN(TestMessageNotices)
#include "tst_messagenotices.moc"

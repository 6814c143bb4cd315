// Desktop notifications against a notification service of the test's own on a private session
// bus.

#include "fakenotificationserver.h"
#include "platform/desktopnotifier.h"
#include "privatebus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

class TestDesktopNotifier : public QObject
{
    Q_OBJECT
private slots:
    void replacesPerKeyAndEscapesMarkup();
    void clickReachesTheClient();
    void withdrawAndClosedNotifications();
    void missingServiceIsIgnored();
};

void TestDesktopNotifier::replacesPerKeyAndEscapesMarkup()
{
    FakeNotificationServer server;
    QVERIFY(server.start());
    DesktopNotifier notifier(QDBusConnection::sessionBus());

    notifier.show(QStringLiteral("2:10002"), QStringLiteral("李娜"),
                  QStringLiteral("<b>hi</b> & <a href=\"x\">link</a>"));
    QTRY_COMPARE(server.shown.size(), 1);
    QCOMPARE(server.shown[0].replacesId, 0u);
    QCOMPARE(server.shown[0].summary, QStringLiteral("李娜"));
    QCOMPARE(
        server.shown[0].body,
        QStringLiteral("&lt;b&gt;hi&lt;/b&gt; &amp; &lt;a href=&quot;x&quot;&gt;link&lt;/a&gt;"));
    QVERIFY(server.shown[0].actions.contains(QStringLiteral("default")));

    // The same conversation replaces its notification; another one gets its own.
    notifier.show(QStringLiteral("2:10002"), QStringLiteral("李娜"), QStringLiteral("second"));
    QTRY_COMPARE(server.shown.size(), 2);
    QCOMPARE(server.shown[1].replacesId, 41u);
    notifier.show(QStringLiteral("3:g1"), QStringLiteral("项目组"), QStringLiteral("third"));
    QTRY_COMPARE(server.shown.size(), 3);
    QCOMPARE(server.shown[2].replacesId, 0u);

    // A burst sent before the first id is known still replaces, and ends on the newest text.
    for (int i = 0; i < 5; ++i)
        notifier.show(QStringLiteral("2:10003"), QStringLiteral("王强"),
                      QStringLiteral("burst %1").arg(i));
    QTRY_COMPARE(server.shown.last().body, QStringLiteral("burst 4"));
    QCOMPARE(server.shown.size(), 5);
    QCOMPARE(server.shown[3].replacesId, 0u);
    QCOMPARE(server.shown[4].replacesId, 43u);
}

void TestDesktopNotifier::clickReachesTheClient()
{
    FakeNotificationServer server;
    QVERIFY(server.start());
    DesktopNotifier notifier(QDBusConnection::sessionBus());
    QSignalSpy activated(&notifier, &DesktopNotifier::activated);

    notifier.show(QStringLiteral("3:g1"), QStringLiteral("项目组"), QStringLiteral("hello"));
    QTRY_COMPARE(server.shown.size(), 1);
    // Give the reply time to arrive: the id is known once a second call would replace it.
    notifier.show(QStringLiteral("3:g1"), QStringLiteral("项目组"), QStringLiteral("hello 2"));
    QTRY_COMPARE(server.shown.size(), 2);

    // Another program's notification and other actions are not ours.
    QVERIFY(server.emitSignal(QStringLiteral("ActionInvoked"),
                              {QVariant::fromValue(999u), QStringLiteral("default")}));
    QVERIFY(server.emitSignal(QStringLiteral("ActionInvoked"),
                              {QVariant::fromValue(41u), QStringLiteral("reply")}));
    QVERIFY(server.emitSignal(QStringLiteral("ActionInvoked"),
                              {QVariant::fromValue(41u), QStringLiteral("default")}));
    QVERIFY(activated.wait());
    QCOMPARE(activated.size(), 1);
    QCOMPARE(activated[0][0].toString(), QStringLiteral("3:g1"));
}

void TestDesktopNotifier::withdrawAndClosedNotifications()
{
    FakeNotificationServer server;
    QVERIFY(server.start());
    DesktopNotifier notifier(QDBusConnection::sessionBus());

    notifier.show(QStringLiteral("2:10002"), QStringLiteral("李娜"), QStringLiteral("one"));
    // Withdrawn while its call is still out: closed once the id is known.
    notifier.withdraw(QStringLiteral("2:10002"));
    QTRY_COMPARE(server.closed, (QList<uint>{41u}));

    // The user closed it: the next message shows a new one instead of replacing a gone id.
    notifier.show(QStringLiteral("2:10004"), QStringLiteral("赵敏"), QStringLiteral("a"));
    notifier.show(QStringLiteral("2:10004"), QStringLiteral("赵敏"), QStringLiteral("b"));
    QTRY_COMPARE(server.shown.size(), 3);
    QCOMPARE(server.shown[2].replacesId, 42u);
    QTRY_COMPARE(notifier.callsInFlight(), 0);
    QVERIFY(server.emitSignal(QStringLiteral("NotificationClosed"),
                              {QVariant::fromValue(42u), QVariant::fromValue(2u)}));
    // The signal has crossed the bus once a later answer of the same server has.
    notifier.show(QStringLiteral("3:g9"), QStringLiteral("x"), QStringLiteral("sync"));
    QTRY_COMPARE(server.shown.size(), 4);
    QTRY_COMPARE(notifier.callsInFlight(), 0);
    notifier.show(QStringLiteral("2:10004"), QStringLiteral("赵敏"), QStringLiteral("c"));
    QTRY_COMPARE(server.shown.size(), 5);
    QCOMPARE(server.shown[4].replacesId, 0u);
}

void TestDesktopNotifier::missingServiceIsIgnored()
{
    DesktopNotifier notifier(QDBusConnection::sessionBus());
    // Said once; a second line would fail the test.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "desktop notifications are not available")));
    notifier.show(QStringLiteral("2:1"), QStringLiteral("a"), QStringLiteral("b"));
    notifier.show(QStringLiteral("2:1"), QStringLiteral("a"), QStringLiteral("c"));
    notifier.show(QStringLiteral("2:2"), QStringLiteral("a"), QStringLiteral("d"));
    QVERIFY(notifier.callsInFlight() > 0);
    QTRY_COMPARE(notifier.callsInFlight(), 0);
    notifier.withdraw(QStringLiteral("2:1"));
}

TARNEX_PRIVATE_BUS_TEST_MAIN(TestDesktopNotifier)
#include "tst_desktopnotifier.moc"

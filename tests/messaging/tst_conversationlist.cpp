// The news list's model, under Qt's model checker, fed by the process engine with named
// fixtures of the inbound fuzz corpus: arriving messages move rows (never reset them), the
// system row stays on top, ids keep finding their rows through every move and removal, and the
// unread total follows the rows.

#include "config/configfile.h"
#include "messaging/conversationlistmodel.h"
#include "messaging/sockethandl.h"
#include "messaging/socketstate.h"
#include "messagingtestkit.h"
#include "testenvironment.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>

#include <QtTest>

namespace {

const QString me = QStringLiteral("10001");
const QString privateType = QStringLiteral("2");
const QString groupType = QStringLiteral("3");

using messagingtest::fixture;

QStringList order(const ConversationListModel &model)
{
    QStringList ids;
    for (int i = 0; i < model.count(); ++i)
        ids << model.row(i).ids;
    return ids;
}

// Every row is found by its id where it is.
bool indexConsistent(const ConversationListModel &model)
{
    for (int i = 0; i < model.count(); ++i) {
        if (model.indexOf(model.row(i).ids) != i)
            return false;
    }
    return true;
}

qint64 localMs(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::LocalTime).toMSecsSinceEpoch();
}

} // namespace

class TestConversationList : public QObject
{
    Q_OBJECT
private slots:
    void storeMessagesMoveRows();
    void orderUnreadAndRemoval();
    void lastRecordsAndTimes();
    void keepingFollowsTheStore();
};

void TestConversationList::storeMessagesMoveRows()
{
    SocketHandl *engine = messagingtest::engineAs(me);
    SocketState state;
    ConversationListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setStore(&state);
    model.setSystemUnread(4);
    model.ensureSystemRow(QStringLiteral("系统消息"), QStringLiteral("提醒"));
    model.ensureSystemRow(QStringLiteral("twice"), QString());
    for (const char *id : {"10005", "g-1", "10003", "10002"})
        model.addConversation(QLatin1String(id), QLatin1String(id),
                              QLatin1String(id).startsWith('g') ? groupType : privateType, false,
                              QString(), true);
    QCOMPARE(order(model), (QStringList{"system", "10002", "10003", "g-1", "10005"}));
    QCOMPARE(model.row(0).unread, 4);

    // The model reads the store's texts; the document decides the preview and calls arrive.
    QSignalSpy arrived(&model, &ConversationListModel::messageArrived);
    QObject::connect(
        &model, &ConversationListModel::messageArrived, &model,
        [&model](const QString &ids, const QString &, const QString &, const QString &sender,
                 const QString &msg, const QString &, double stamp,
                 bool) { model.arrive(ids, sender.isEmpty() ? msg : sender + ": " + msg, stamp); });
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    const auto group = fixture("group_message");
    QVERIFY(!group.first.isEmpty());
    QVERIFY(engine->dispatchInbound(group.first, group.second));
    QCOMPARE(arrived.count(), 1);
    QList<QVariant> args = arrived.takeFirst();
    QCOMPARE(args.at(0).toString(), QStringLiteral("g-1"));
    QCOMPARE(args.at(1).toString(), groupType);
    QCOMPARE(args.at(2).toString(), QStringLiteral("组"));
    QCOMPARE(args.at(3).toString(), QStringLiteral("李娜"));
    QCOMPARE(args.at(4).toString(), QStringLiteral("hi"));
    QCOMPARE(args.at(5).toString(), QStringLiteral("text"));
    QVERIFY(args.at(7).toBool());
    // Its own time, to the second.
    QCOMPARE(qint64(args.at(6).toDouble()) / 1000, qint64(1700000000));
    QCOMPARE(order(model), (QStringList{"system", "g-1", "10002", "10003", "10005"}));
    QCOMPARE(model.get(1).value("content").toString(), QStringLiteral("李娜: hi"));
    QCOMPARE(model.get(1).value("times").toString(),
             ConversationListModel::timeText(1700000000000.0, QDateTime::currentMSecsSinceEpoch()));

    const auto single = fixture("private_message");
    QVERIFY(engine->dispatchInbound(single.first, single.second));
    QCOMPARE(arrived.count(), 1);
    args = arrived.takeFirst();
    QCOMPARE(args.at(0).toString(), QStringLiteral("10002"));
    QCOMPARE(args.at(1).toString(), privateType);
    QCOMPARE(args.at(4).toString(), QStringLiteral("你好 <b>x</b>"));
    QCOMPARE(args.at(5).toString(), QStringLiteral("file"));
    QVERIFY(args.at(7).toBool());
    QCOMPARE(order(model), (QStringList{"system", "10002", "g-1", "10003", "10005"}));

    // The last row to the top, then the top row again: one move, then none.
    model.arrive(QStringLiteral("10005"), QStringLiteral("x"), 5);
    QCOMPARE(model.arrive(QStringLiteral("10005"), QStringLiteral("y"), 6), 1);
    QCOMPARE(order(model), (QStringList{"system", "10005", "10002", "g-1", "10003"}));
    QCOMPARE(moved.count(), 3);
    QCOMPARE(reset.count(), 0);
    QCOMPARE(inserted.count(), 0);
    QVERIFY(indexConsistent(model));
    QCOMPARE(model.arrive(QStringLiteral("nobody"), QStringLiteral("z"), 7), -1);

    // The own messages and texts that are no message.
    model.readPrivate(QStringLiteral("10003"),
                      QStringLiteral(R"({"creator":"%1","msg":"ok","send_time":"x"})").arg(me));
    model.readPrivate(QStringLiteral("10003"), QStringLiteral("[1]"));
    model.readGroup(QString(), false, QStringLiteral("{}"));
    model.readGroup(QStringLiteral("g-1"), true, QStringLiteral(R"({"msg":5,"user_name":"x"})"));
    QCOMPARE(arrived.count(), 2);
    QCOMPARE(arrived.at(0).at(0).toString(), QStringLiteral("10003"));
    QVERIFY(!arrived.at(0).at(7).toBool());
    QCOMPARE(arrived.at(1).at(3).toString(), QString());
    QCOMPARE(arrived.at(1).at(4).toString(), QStringLiteral("5"));
    QVERIFY(!arrived.at(1).at(7).toBool());
    // A message without a readable time is as new as now.
    QVERIFY(arrived.at(1).at(6).toDouble() >= QDateTime::currentMSecsSinceEpoch() - 60000);

    // Without a store nothing arrives any more.
    model.setStore(nullptr);
    engine->dispatchInbound(single.first, single.second);
    QCOMPARE(arrived.count(), 2);
}

void TestConversationList::orderUnreadAndRemoval()
{
    ConversationListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.ensureSystemRow(QStringLiteral("系统消息"), QString());
    const struct
    {
        const char *id;
        double stamp;
        int unread;
    } rows[] = {{"a", 10, 1}, {"b", 30, 0}, {"c", 20, 2}, {"d", 30, 0}, {"e", 0, 3}, {"f", 20, 0}};
    for (const auto &r : rows) {
        const int at = model.addConversation(QLatin1String(r.id), QLatin1String(r.id), privateType,
                                             false, QString(), false);
        model.showMessage(at, QStringLiteral("m"), r.stamp);
        model.setUnread(at, r.unread);
    }
    QCOMPARE(model.addConversation(QStringLiteral("c"), QStringLiteral("again"), privateType, false,
                                   QString(), true),
             3);
    QCOMPARE(model.unreadTotal(), 6);
    model.setSystemUnread(9);
    QCOMPARE(model.get(0).value("unread").toInt(), 9);
    QCOMPARE(model.unreadTotal(), 6);

    // Newest first; equal times keep their order; the system row stays on top.
    model.sortByTime();
    QCOMPARE(order(model), (QStringList{"system", "b", "d", "c", "f", "a", "e"}));
    QVERIFY(indexConsistent(model));
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    model.sortByTime();
    QCOMPARE(moved.count(), 0);

    QVERIFY(!model.setUnread(model.indexOf("c"), 2));
    QVERIFY(model.setUnread(model.indexOf("c"), -5));
    QCOMPARE(model.unreadTotal(), 4);
    QVERIFY(!model.remove(0));
    QVERIFY(model.remove(model.indexOf("e")));
    QCOMPARE(model.unreadTotal(), 1);
    QVERIFY(model.remove(model.indexOf("b")));
    QCOMPARE(model.indexOf("b"), -1);
    QVERIFY(indexConsistent(model));
    QCOMPARE(model.count(), 5);
    QVERIFY(model.get(99).isEmpty());

    // Names, online marks (people only), the search and the last-record request.
    model.addConversation(QStringLiteral("g-9"), QStringLiteral("项目组"), groupType, false,
                          QStringLiteral("qrc:/images/groupavatar.svg"), true);
    model.setName(model.indexOf("d"), QStringLiteral("Dana Li"));
    model.setOnline({QStringLiteral("d"), QStringLiteral("g-9"), QStringLiteral("zz")}, true);
    QVERIFY(model.get(model.indexOf("d")).value("online").toBool());
    QVERIFY(!model.get(model.indexOf("g-9")).value("online").toBool());
    QCOMPARE(model.unnamed(), (QStringList{"c", "f", "a"}));
    const QVariantList found = model.matching(QStringLiteral("  dANA "));
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().toMap().value("ids").toString(), QStringLiteral("d"));
    QCOMPARE(model.matching(QStringLiteral("g-9")).size(), 1);
    QVERIFY(model.matching(QStringLiteral("系统")).isEmpty());
    QVERIFY(model.matching(QStringLiteral(" ")).isEmpty());
    QCOMPARE(QJsonDocument::fromJson(model.lastRecordRequest().toUtf8()).array().first(),
             QJsonValue(QJsonObject{{"id", "g-9"}, {"types", groupType}}));
    QCOMPARE(QJsonDocument::fromJson(model.lastRecordRequest().toUtf8()).array().size(), 5);
    QCOMPARE(reset.count(), 0);
}

void TestConversationList::lastRecordsAndTimes()
{
    // Times as the row shows them, against a fixed now.
    const qint64 now = localMs(2026, 3, 14, 9, 30);
    QCOMPARE(ConversationListModel::timeText(double(localMs(2026, 3, 14, 8, 5)), now),
             QStringLiteral("08:05"));
    QCOMPARE(ConversationListModel::timeText(double(localMs(2026, 3, 13, 23, 59)), now),
             QStringLiteral("03-13"));
    QCOMPARE(ConversationListModel::timeText(0, now), QString());
    QCOMPARE(ConversationListModel::stampOf(QStringLiteral("2026-03-14 08:05")),
             double(localMs(2026, 3, 14, 8, 5)));
    QCOMPARE(ConversationListModel::stampOf(QStringLiteral("2026-03-14 08:05:07.5")),
             double(localMs(2026, 3, 14, 8, 5) + 7000));
    QCOMPARE(ConversationListModel::stampOf(QStringLiteral("14.03.2026 08:05")), 0.0);
    QCOMPARE(ConversationListModel::stampOf(QStringLiteral("2026-13-14 08:05")), 0.0);
    // A clock time ahead of now is yesterday's; one minute ahead is still today's.
    QCOMPARE(ConversationListModel::stampOfClock(QStringLiteral(" 09:31"), now),
             double(localMs(2026, 3, 14, 9, 31)));
    QCOMPARE(ConversationListModel::stampOfClock(QStringLiteral(" 21:00"), now),
             double(localMs(2026, 3, 13, 21, 0)));
    QCOMPARE(ConversationListModel::stampOfClock(QStringLiteral("-"), now), 0.0);

    ConversationListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.ensureSystemRow(QStringLiteral("系统消息"), QString());
    const int a = model.addConversation(QStringLiteral("a"), QStringLiteral("a"), groupType, false,
                                        QString(), false);
    QVERIFY(!model.showLastRecord(QStringLiteral("none"), QStringLiteral("x"),
                                  QStringLiteral("09:00")));
    // An answer for a row without a message shows.
    QVERIFY(
        model.showLastRecord(QStringLiteral("a"), QStringLiteral("旧"), QStringLiteral("00:00")));
    QCOMPARE(model.get(a).value("content").toString(), QStringLiteral("旧"));
    // A live message keeps its exact time and the sender's name before the same text.
    const double live = double(QDateTime::currentMSecsSinceEpoch());
    model.showMessage(a, QStringLiteral("王芳: 周五团建"), live);
    const QString clock = QDateTime::fromMSecsSinceEpoch(qint64(live)).toString(" hh:mm");
    QVERIFY(!model.showLastRecord(QStringLiteral("a"), QStringLiteral("周五团建"), clock));
    QCOMPARE(model.get(a).value("content").toString(), QStringLiteral("王芳: 周五团建"));
    QCOMPARE(model.get(a).value("stamp").toDouble(), live);
    // Another text of the same minute is the newer truth.
    QVERIFY(model.showLastRecord(QStringLiteral("a"), QStringLiteral("改到周六"), clock));
    QCOMPARE(model.get(a).value("content").toString(), QStringLiteral("改到周六"));
    QVERIFY(model.get(a).value("stamp").toDouble() <= live);
}

// The signed-in user's list: the store's messages and counts merged in, the open conversation
// read at once, and the names and types kept in the settings for the next sign-in.
void TestConversationList::keepingFollowsTheStore()
{
    SocketHandl::instance()->setLoginIdentity(me, QString(), QString());
    SocketState state;
    ConversationListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setStore(&state);
    model.setKeeping(true);
    model.setMarkers({QStringLiteral("[P]"), QStringLiteral("[F]"), QStringLiteral("[E]")});
    model.ensureSystemRow(QStringLiteral("系统消息"), QString());
    QSignalSpy unread(&model, &ConversationListModel::unreadShown);
    QSignalSpy notices(&model, &ConversationListModel::notice);

    // A group message of somebody else: a new row on top, counted, told.
    emit model.messageArrived(QStringLiteral("g-k"), groupType, QStringLiteral("项目组"),
                              QStringLiteral("王芳"), QStringLiteral("<img src=\"a.png\">"),
                              QStringLiteral("image"), 1000, true);
    QCOMPARE(order(model), (QStringList{"system", "g-k"}));
    QCOMPARE(model.row(1).names, QStringLiteral("项目组"));
    QCOMPARE(model.row(1).content, QStringLiteral("王芳: [P]"));
    QCOMPARE(model.row(1).unread, 1);
    QCOMPARE(unread.count(), 1);
    QCOMPARE(unread.at(0).at(2).toString(), QStringLiteral("1"));
    QCOMPARE(notices.count(), 1);
    QCOMPARE(notices.at(0).at(6).toString(), QStringLiteral("王芳: [P]"));

    // On screen: read at once, and no notice. Covered again: counted.
    model.setOpenId(QStringLiteral("g-k"));
    emit model.messageArrived(QStringLiteral("g-k"), groupType, QString(), QStringLiteral("王芳"),
                              QStringLiteral("again"), QStringLiteral("text"), 2000, true);
    QCOMPARE(model.row(1).unread, 0);
    QCOMPARE(notices.count(), 1);
    // The server's counts are the truth for the others; a conversation without a row and
    // without unread messages does not appear.
    emit state.sigMessageUnreadNums(QStringLiteral("g-k"), 4, groupType, QString());
    QCOMPARE(model.row(1).unread, 0);
    emit state.sigMessageUnreadNums(QStringLiteral("10077"), 0, privateType, QString());
    emit state.sigMessageUnreadNums(QStringLiteral("10078"), -3, QStringLiteral("9"), QString());
    QCOMPARE(model.count(), 2);
    model.setOpenId(QString());
    emit state.sigMessageUnreadNums(QStringLiteral("g-k"), 4, groupType, QString());
    emit state.sigMessageUnreadNums(QStringLiteral("10077"), 2, privateType, QString());
    QCOMPARE(model.get(model.indexOf(QStringLiteral("g-k"))).value("unread").toInt(), 4);
    QCOMPARE(model.unreadTotal(), 6);

    // Kept for the next sign-in, under the signed-in user; a removed row is forgotten there
    // and its count told as cleared. The system row stays.
    ConfigFile *settings = ConfigFile::instance();
    QCOMPARE(settings->getCurrentChatName(me, QStringLiteral("g-k")), QStringLiteral("项目组"));
    QCOMPARE(settings->getCurrentChatTypes(me, QStringLiteral("g-k")), groupType);
    QSignalSpy removed(&model, &ConversationListModel::removed);
    QCOMPARE(model.removeConversation(0), QString());
    QCOMPARE(model.removeConversation(model.indexOf(QStringLiteral("10077"))),
             QStringLiteral("10077"));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(unread.last().at(2).toString(), QStringLiteral("0"));
    QVERIFY(!settings->getCurrentChat(me).contains(QStringLiteral("10077")));
    QCOMPARE(model.unreadTotal(), 4);

    ConversationListModel again;
    again.setStore(&state);
    again.setKeeping(true);
    again.ensureSystemRow(QStringLiteral("系统消息"), QString());
    again.loadKept();
    QVERIFY(again.indexOf(QStringLiteral("g-k")) > 0);
    QCOMPARE(again.get(again.indexOf(QStringLiteral("g-k"))).value("names").toString(),
             QStringLiteral("项目组"));
    QCOMPARE(again.indexOf(QStringLiteral("10077")), -1);

    // Not keeping: the store's answers leave the rows alone.
    model.setKeeping(false);
    emit state.sigMessageUnreadNums(QStringLiteral("g-k"), 9, groupType, QString());
    emit model.messageArrived(QStringLiteral("10079"), privateType, QString(), QString(),
                              QStringLiteral("x"), QStringLiteral("text"), 3000, true);
    QCOMPARE(model.unreadTotal(), 4);
    QCOMPARE(model.indexOf(QStringLiteral("10079")), -1);
}

TARNEX_TEST_MAIN(TestConversationList)
#include "tst_conversationlist.moc"

// The open conversation's model, under Qt's model checker: fed by the process engine with named
// fixtures of the inbound fuzz corpus and by the texts the engine writes for its records. Rows
// are found, updated and placed by message id; an older page joins at the far end without a
// reset or a second row for a message; delivery states only rise; an upload's row takes the
// stored message's id. The history panel's pages come from the history store, each replacing
// the rows, with the local history's mark.

#include "messaging/conversationmodel.h"
#include "messaging/messagejson.h"
#include "messaging/sockethandl.h"
#include "messaging/socketstate.h"
#include "messagingtestkit.h"
#include "testenvironment.h"

#include <QAbstractItemModelTester>
#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>

#include <QtTest>

namespace {

const QString me = QStringLiteral("10001");
const QString peer = QStringLiteral("10002");
const qulonglong firstId = 1765000000000;
// Rows a minute apart: no time mark between them.
constexpr qulonglong minute = 60000;

using messagingtest::fixture;

// A message as the engine's text for the documents, every third one the user's own.
QString text(qulonglong id, const QString &status = QString(), const QString &msg = QString(),
             const QString &type = QStringLiteral("text"), const QString &download = QString())
{
    MessageRecord r;
    r.msgId = QString::number(id);
    r.creator = (id - firstId) / minute % 3 == 0 ? me : peer;
    r.msg = msg.isEmpty() ? QStringLiteral("第 %1 条").arg(id) : msg;
    r.msgType = type;
    r.download = download;
    r.sendTime = QString::number(id);
    r.sendStatus = status.isEmpty() ? QStringLiteral("2") : status;
    return MessageJson::privateText(r);
}

// Texts oldest first, as the store hands them.
QStringList page(int from, int to)
{
    QStringList texts;
    for (int i = from; i < to; ++i)
        texts << text(firstId + qulonglong(i) * minute);
    return texts;
}

// Every row found by its id where it is, newest first, each id once.
bool consistent(const ConversationModel &model)
{
    QSet<QString> seen;
    for (int i = 0; i < model.count(); ++i) {
        const ConversationModel::Row &r = model.row(i);
        if (model.indexOf(r.msgId) != i || seen.contains(r.msgId))
            return false;
        if (i > 0 && model.row(i - 1).idNum <= r.idNum)
            return false;
        seen << r.msgId;
    }
    return true;
}

QString field(const ConversationModel &model, const QString &msgId, const char *name)
{
    return model.get(model.indexOf(msgId)).value(QLatin1String(name)).toString();
}

} // namespace

class TestConversationModel : public QObject
{
    Q_OBJECT
private slots:
    void engineFeedsRows();
    void olderPagesJoinAtTheFarEnd();
    void statusesRiseAndFailuresStay();
    void uploadTakesStoredId();
    void historyPagesReplaceRows();
};

void TestConversationModel::engineFeedsRows()
{
    SocketHandl *engine = messagingtest::engineAs(me);
    SocketState state;
    ConversationModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setStore(&state);
    model.setSelfId(me);
    model.setTypes(QStringLiteral("2"));
    model.setConversation(peer);
    // The document hands every text of its conversation on as it comes.
    QObject::connect(&state, &SocketState::sigPrivareMessage, &model,
                     [&model](const QString &ids, const QString &messages) {
                         if (ids == model.conversation())
                             model.receive(messages);
                     });

    // A received file: its fields read from the engine's text, the descriptor kept compact.
    const auto single = fixture("private_message");
    QVERIFY(!single.first.isEmpty());
    QVERIFY(engine->dispatchInbound(single.first, single.second));
    QCOMPARE(model.count(), 1);
    const QString fileId = QStringLiteral("1700000000001");
    QCOMPARE(model.indexOf(fileId), 0);
    const QVariantMap row = model.get(0);
    QCOMPARE(row.value("kind").toString(), QStringLiteral("file"));
    QCOMPARE(row.value("msg").toString(), QStringLiteral("你好 <b>x</b>"));
    QCOMPARE(row.value("fileType").toString(), QStringLiteral("pdf"));
    QCOMPARE(row.value("download").toString(), QStringLiteral(R"({"name":"ab.pdf","size":3})"));
    QCOMPARE(row.value("creator").toString(), peer);
    QVERIFY(!row.value("isSelf").toBool());
    QVERIFY(row.value("showTime").toBool());
    QCOMPARE(row.value("progress").toDouble(), -1.0);
    // A descriptor without an id names no attachment; the icon goes by the kind of file.
    QCOMPARE(row.value("attachment").toString(), QString());
    QCOMPARE(row.value("fileIcon").toString(), QStringLiteral("qrc:/images/pdf.png"));

    // The same message in the store's page: still one row, no reset.
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    const auto records = fixture("get_record");
    QVERIFY(engine->dispatchReply(records.first, records.second, peer));
    QVERIFY(model.storedTexts().size() >= 1);
    model.mergeStored();
    QVERIFY(model.indexOf(fileId) >= 0);
    QVERIFY(consistent(model));
    QCOMPARE(reset.count(), 0);
    const int shown = model.count();
    model.mergeStored();
    QCOMPARE(model.count(), shown);
    // Opened anew, the rows read from the store itself: what it holds, each message once.
    model.load();
    QCOMPARE(reset.count(), 1);
    QVERIFY(model.indexOf(fileId) >= 0);
    QVERIFY(consistent(model));

    // The document's own readers.
    const auto none = [&model](const char *text) {
        return model.rowOf(QString::fromUtf8(text)).userType() == QMetaType::Nullptr;
    };
    QVERIFY(none("not json"));
    QVERIFY(none(R"({"creator":"10002","msg":"hi","msg_id":""})"));
    QVERIFY(none(R"([{"msg_id":"5"}])"));
    const QVariantMap card =
        model
            .rowOf(QStringLiteral(R"({"creator":"10002","msg":"{\"name\":\"notice.view\",)"
                                  R"(\"params\":{}}","msg_id":"5","msg_type":"text"})"))
            .toMap();
    QCOMPARE(card.value("kind").toString(), QStringLiteral("system"));
    QCOMPARE(model.rowOf(text(firstId, {}, {}, QStringLiteral("metion"))).toMap().value("kind"),
             QVariant(QStringLiteral("system")));
    QCOMPARE(ConversationModel::recordOf(QStringLiteral(R"({"msg":"say \"msg_id\": \"1\""})"))
                 .value("msg")
                 .toString(),
             QStringLiteral(R"(say "msg_id": "1")"));
    QVERIFY(ConversationModel::recordOf(QStringLiteral("[1]")).isEmpty());
    const QVariantMap system =
        ConversationModel::systemCard(QStringLiteral(R"({"name":"a.b","title":"T"})"));
    QCOMPARE(system.value("name").toString(), QStringLiteral("a.b"));
    QCOMPARE(system.value("content").toString(), QStringLiteral("T"));
    QVERIFY(!ConversationModel::systemCard(QStringLiteral("plain words")).value("parsed").toBool());
    using M = ConversationModel;
    QCOMPARE(M::attachmentOf(QStringLiteral(R"({"id":"att-1"})")), QStringLiteral("att-1"));
    QCOMPARE(M::attachmentOf(QStringLiteral(R"({"attachment_id":7})")), QStringLiteral("7"));
    QCOMPARE(M::attachmentOf(QStringLiteral("{not json")), QString());
    QCOMPARE(M::attachmentOf(QStringLiteral("att-2")), QStringLiteral("att-2"));
    QCOMPARE(M::fileIconOf(QStringLiteral("DOCX")), QStringLiteral("qrc:/images/docx.png"));
    QCOMPARE(M::fileIconOf(QStringLiteral(".xlsx")), QStringLiteral("qrc:/images/excel.png"));
    QCOMPARE(M::fileIconOf(QStringLiteral("constructor")),
             QStringLiteral("qrc:/images/others.png"));
    QCOMPARE(M::fileIconOf(QString()), QStringLiteral("qrc:/images/others.png"));
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QCOMPARE(M::timeLabelOf(today + QStringLiteral(" 09:41:07")), QStringLiteral("09:41"));
    QCOMPARE(M::timeLabelOf(QStringLiteral("2001-02-03 04:05:06")),
             QStringLiteral("2001-02-03 04:05"));
    QCOMPARE(M::timeLabelOf(QStringLiteral("09:41")), QStringLiteral("09:41"));
    // The history caps widths alone; a narrow panel caps at what fits.
    QCOMPARE(M::capWidths(QStringLiteral(R"(<img width="300" height="90"><img width="150">)"), 200),
             QStringLiteral(R"(<img width="200" height="90"><img width="150">)"));
    QCOMPARE(M::capWidths(QStringLiteral(R"(<img width="300">)"), 187.5),
             QStringLiteral(R"(<img width="187.5">)"));
    QCOMPARE(M::dayShifted(QStringLiteral("2024-03-01"), -1), QStringLiteral("2024-02-29"));
    QCOMPARE(M::dayShifted(QString(), 1),
             QDate::currentDate().addDays(1).toString(QStringLiteral("yyyy-MM-dd")));
    QCOMPARE(M::dayShifted(QStringLiteral("2024-13-01"), 1), QString());
    // The first server picture a shown text links to, and the first other link.
    const QString markup =
        QStringLiteral(R"(<a href="https://h/p?a=1&amp;b=2">x</a>)"
                       R"(<a href="https://h/api/attachment/index/9?t=1&amp;u=2">)");
    QCOMPARE(M::linkOf(markup, true), QStringLiteral("https://h/api/attachment/index/9?t=1&u=2"));
    QCOMPARE(M::linkOf(markup, false), QStringLiteral("https://h/p?a=1&b=2"));
    QCOMPARE(M::linkOf(QStringLiteral("no links"), true), QString());
    // Pictures narrowed to the bubble keep their proportions, whichever attribute comes first.
    QCOMPARE(M::fitPictures(QStringLiteral(R"(a<img src="x" width="400" height="200" />b)"
                                           R"(<img height="30" width="600">c<img width="50">)"),
                            200),
             QStringLiteral(R"(a<img src="x" width="200" height="100" />b)"
                            R"(<img height="10" width="200">c<img width="50">)"));

    // Without a conversation the store gives nothing.
    model.setConversation(QString());
    QVERIFY(model.storedTexts().isEmpty());
}

void TestConversationModel::olderPagesJoinAtTheFarEnd()
{
    ConversationModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setSelfId(me);
    // The newest page first, then each larger page as the store answers "load more": it holds
    // the rows shown already.
    model.setRecords(page(25, 45));
    QCOMPARE(model.count(), 20);
    QCOMPARE(model.row(0).idNum, firstId + 44 * minute);
    QVERIFY(model.row(19).showTime);
    QVERIFY(!model.row(0).showTime);
    QVERIFY(model.row(0).isSelf == ((44 % 3) == 0));

    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.merge(page(5, 45));
    QCOMPARE(model.count(), 40);
    QCOMPARE(inserted.count(), 20);
    for (const auto &args : qAsConst(inserted))
        QVERIFY2(args.at(1).toInt() >= 20, "an older row went below the rows shown");
    // The row that was the oldest no longer shows the time; the new oldest does.
    QVERIFY(!model.row(19).showTime);
    QVERIFY(model.row(39).showTime);
    model.merge(page(0, 45));
    QCOMPARE(model.count(), 45);
    QCOMPARE(model.row(44).idNum, firstId);
    QVERIFY(consistent(model));
    QCOMPARE(reset.count(), 0);
    // The store's texts again: the unchanged ones are passed over, one whose state rose since
    // is read (own: 42 minutes in).
    changed.clear();
    QStringList again = page(0, 45);
    const QString readId = QString::number(firstId + 42 * minute);
    again[42] = text(firstId + 42 * minute, QStringLiteral("3"));
    model.merge(again);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.row(model.indexOf(readId)).sendStatus, QStringLiteral("3"));
    QCOMPARE(model.count(), 45);

    // Messages between rows and after a pause go in their place by id, the time marks with them.
    inserted.clear();
    const qulonglong between = firstId + 10 * minute + 1;
    QCOMPARE(model.receive(text(between)), 34);
    const qulonglong later = firstId + 44 * minute + ConversationModel::timeGapMs + 1;
    QCOMPARE(model.receive(text(later)), 0);
    QVERIFY(model.row(0).showTime);
    QVERIFY(!model.row(1).showTime);
    QCOMPARE(inserted.count(), 2);
    QVERIFY(consistent(model));

    // A message that comes again replaces its row's fields in place.
    changed.clear();
    QCOMPARE(model.receive(text(between, QStringLiteral("2"), QStringLiteral("改过"))), 35);
    QCOMPARE(model.row(35).msg, QStringLiteral("改过"));
    QCOMPARE(model.count(), 47);
    QCOMPARE(changed.count(), 1);
    // A text that is no message changes nothing.
    QCOMPARE(model.receive(QStringLiteral(R"({"msg":"x"})")), -1);
    QCOMPARE(model.count(), 47);

    // Only the messages still stored, when the history was cleared.
    model.setRecords(page(40, 42));
    QCOMPARE(model.count(), 2);
    // Texts read before the rows were set anew are read again.
    model.merge(page(38, 42));
    QCOMPARE(model.count(), 4);
    model.setRecords(page(40, 42));
    QVERIFY(consistent(model));
    QCOMPARE(model.indexOf(QString::number(between)), -1);
    model.clear();
    QCOMPARE(model.count(), 0);
    QVERIFY(model.get(0).isEmpty());
}

void TestConversationModel::statusesRiseAndFailuresStay()
{
    ConversationModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setSelfId(me);
    const qulonglong own = firstId + 3 * minute;
    const qulonglong ownLater = firstId + 6 * minute;
    const QString ownId = QString::number(own);
    const QString laterId = QString::number(ownLater);
    model.setRecords({text(firstId), text(own, QStringLiteral("1")),
                      text(firstId + 4 * minute, QStringLiteral("3")),
                      text(ownLater, QStringLiteral("1"))});
    QCOMPARE(field(model, ownId, "sendStatus"), QStringLiteral("1"));

    // Read up to a message: the user's own messages up to it, not the later ones.
    QVERIFY(model.setStatus(QString::number(firstId + 1), QStringLiteral("3")));
    QCOMPARE(field(model, QString::number(firstId), "sendStatus"), QStringLiteral("3"));
    QCOMPARE(field(model, ownId, "sendStatus"), QStringLiteral("1"));
    QCOMPARE(field(model, laterId, "sendStatus"), QStringLiteral("1"));
    QVERIFY(!model.setStatus(QStringLiteral("999"), QStringLiteral("2")));

    // Sent, then an older state from the store or the engine: it stays sent.
    QVERIFY(model.setStatus(ownId, QStringLiteral("2")));
    model.merge({text(own, QStringLiteral("1"))});
    QCOMPARE(field(model, ownId, "sendStatus"), QStringLiteral("2"));
    model.receive(text(own, QStringLiteral("1")));
    QCOMPARE(field(model, ownId, "sendStatus"), QStringLiteral("2"));
    QVERIFY(model.setStatus(ownId, QStringLiteral("1")));
    QCOMPARE(field(model, ownId, "sendStatus"), QStringLiteral("2"));
    // A later state from the store does show.
    model.merge({text(own, QStringLiteral("3"))});
    QCOMPARE(field(model, ownId, "sendStatus"), QStringLiteral("3"));

    // A failure keeps its state and its reason through the message's next text.
    QVERIFY(model.setStatus(laterId, QStringLiteral("4")));
    QVERIFY(model.get(model.indexOf(laterId)).value("failed").toBool());
    QCOMPARE(field(model, laterId, "sendStatus"), QStringLiteral("1"));
    model.markFailed(laterId, QStringLiteral("接收人不存在"));
    model.receive(text(ownLater, QStringLiteral("1")));
    QVERIFY(model.get(model.indexOf(laterId)).value("failed").toBool());
    QCOMPARE(field(model, laterId, "failText"), QStringLiteral("接收人不存在"));
    // A failure reported before its row: the row comes failed.
    const qulonglong early = firstId + 9 * minute;
    model.markFailed(QString::number(early), QStringLiteral("断开"));
    model.receive(text(early, QStringLiteral("1")));
    QCOMPARE(field(model, QString::number(early), "failText"), QStringLiteral("断开"));
    // Sent again under its id: pending, nothing failed.
    model.retried(laterId);
    QVERIFY(!model.get(model.indexOf(laterId)).value("failed").toBool());
    QCOMPARE(field(model, laterId, "sendStatus"), QStringLiteral("1"));
    QCOMPARE(field(model, laterId, "failText"), QString());
    // Sent again as a new message: the old copy stays out, whatever the store says.
    const int before = model.count();
    model.resend(QString::number(early));
    QCOMPARE(model.count(), before - 1);
    model.merge({text(early, QStringLiteral("4"))});
    QCOMPARE(model.receive(text(early, QStringLiteral("4"))), -1);
    model.setRecords({text(early), text(own)});
    QCOMPARE(model.count(), 1);
    QVERIFY(consistent(model));
}

void TestConversationModel::uploadTakesStoredId()
{
    ConversationModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setSelfId(me);
    model.setSavedFileLookup([](const QString &, const QString &id) {
        return id == QLatin1String("1765000000003") ? QStringLiteral("/d/saved.txt") : QString();
    });
    const QString report = QStringLiteral("report.txt");
    const QString file = QStringLiteral("file");
    // A saved file's row knows where it is; an unknown one has no path.
    model.setRecords({text(firstId + 3, {}, report, file), text(firstId + 6 * minute)});
    QCOMPARE(field(model, QStringLiteral("1765000000003"), "localPath"),
             QStringLiteral("/d/saved.txt"));

    // The engine shows the upload under its registration id (own: 3 minutes in).
    const qulonglong registration = firstId + 9 * minute;
    const QString key = QString::number(registration);
    QCOMPARE(model.receive(text(registration, QStringLiteral("1"), report, file)), 0);
    QVERIFY(model.row(0).transient);
    QCOMPARE(model.row(0).localPath, QString());
    model.setUploadProgress(key, QStringLiteral("/home/u/report.txt"), 0.5);
    QCOMPARE(model.row(0).progress, 0.5);
    // A half-done upload is no stored message yet; a finished one is.
    const qulonglong stored = firstId + 12 * minute;
    QCOMPARE(model.receive(text(stored, QStringLiteral("1"), report, file)), 0);
    QCOMPARE(model.count(), 4);
    model.resend(QString::number(stored));
    QCOMPARE(model.count(), 3);
    model.setUploadProgress(key, QStringLiteral("/elsewhere"), 1);
    const qulonglong finished = firstId + 15 * minute;
    const QString finalId = QString::number(finished);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.merge({text(finished, QStringLiteral("2"), report, file, QStringLiteral("att-1"))});
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(model.indexOf(key), -1);
    QCOMPARE(model.indexOf(finalId), 0);
    const ConversationModel::Row &row = model.row(0);
    QCOMPARE(row.sendStatus, QStringLiteral("2"));
    QCOMPARE(row.download, QStringLiteral("att-1"));
    QCOMPARE(row.progress, -1.0);
    QCOMPARE(row.localPath, QStringLiteral("/home/u/report.txt"));
    QVERIFY(!row.transient);
    QVERIFY(consistent(model));

    // A stopped transfer: no progress, failed with its reason; roles set as a ListModel's.
    model.setUploadProgress(finalId, QString(), 0.2);
    model.setTransferFailed(finalId, QStringLiteral("已取消"));
    QCOMPARE(model.row(0).progress, -1.0);
    QVERIFY(model.row(0).failed);
    QVERIFY(model.setProperty(0, QStringLiteral("failText"), QString()));
    QVERIFY(model.setProperty(0, QStringLiteral("progress"), 0.25));
    QCOMPARE(model.row(0).progress, 0.25);
    QVERIFY(!model.setProperty(0, QStringLiteral("msgId"), QStringLiteral("x")));
    QVERIFY(!model.setProperty(9, QStringLiteral("progress"), 0));
    QCOMPARE(model.row(0).failText, QString());
}

void TestConversationModel::historyPagesReplaceRows()
{
    SocketHandl *engine = messagingtest::engineAs(me);
    SocketState state;
    ConversationModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setStore(&state);
    model.setSelfId(me);
    model.setHistory(true);
    const QString group = QStringLiteral("g-1");
    model.setTypes(QStringLiteral("3"));
    model.setConversation(group);

    // A group's history reply: read from the history store, the sender named by its details.
    // The conversation's own page is no history page.
    const auto live = fixture("get_record");
    QVERIFY(engine->dispatchReply(live.first, live.second, peer));
    QSignalSpy replied(&state, &SocketState::sigHistoryGetRecord);
    const auto reply = fixture("get_image_record");
    QCOMPARE(reply.first, QStringLiteral("get imageRecord"));
    QVERIFY(engine->dispatchReply(reply.first, reply.second, group));
    QVERIFY(replied.count() > 0 || replied.wait());
    model.setRecords(model.storedTexts());
    QCOMPARE(model.count(), 1);
    const QVariantMap row = model.get(model.indexOf(QStringLiteral("1700000000002")));
    QCOMPARE(row.value("userName").toString(), QStringLiteral("李娜"));
    QCOMPARE(row.value("creator").toString(), peer);
    QVERIFY(!row.value("local").toBool());
    model.setTypes(QStringLiteral("2"));
    model.setConversation(peer);
    QVERIFY(model.storedTexts().isEmpty());
    model.setHistory(false);
    QVERIFY(!model.storedTexts().isEmpty());

    // "Older" asks for a larger page, which replaces the rows; the rows the local history found
    // keep their mark.
    model.setRecords(page(25, 45));
    QStringList larger = page(5, 45);
    MessageRecord kept;
    kept.msgId = QString::number(firstId + 5 * minute);
    kept.creator = peer;
    kept.msg = QStringLiteral("离线时的");
    kept.local = true;
    larger[0] = MessageJson::privateText(kept);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.setRecords(larger);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.count(), 40);
    QVERIFY(consistent(model));
    QVERIFY(model.get(39).value("local").toBool());
    QVERIFY(!model.get(0).value("local").toBool());

    // The files page in their place: earlier rows gone, a saved file's path known, and the
    // download helper finding its row by id.
    // The saved copy is looked up under the conversation shown.
    model.setSavedFileLookup([](const QString &conversation, const QString &id) {
        return conversation == peer && id == QLatin1String("1765000000001")
                   ? QStringLiteral("/d/kept.pdf")
                   : QString();
    });
    const QString file = QStringLiteral("file");
    model.setRecords(
        {text(firstId + 1, {}, QStringLiteral("kept.pdf"), file),
         text(firstId + 2, {}, QStringLiteral("new.pdf"), file, QStringLiteral("a-2"))});
    QCOMPARE(model.count(), 2);
    QCOMPARE(model.indexOf(kept.msgId), -1);
    QCOMPARE(field(model, QStringLiteral("1765000000001"), "localPath"),
             QStringLiteral("/d/kept.pdf"));
    const int at = model.indexOf(QStringLiteral("1765000000002"));
    QCOMPARE(at, 0);
    QCOMPARE(model.get(at).value("download").toString(), QStringLiteral("a-2"));
    QCOMPARE(model.get(at).value("attachment").toString(), QStringLiteral("a-2"));
    QCOMPARE(model.get(at).value("fileIcon").toString(), QStringLiteral("qrc:/images/pdf.png"));
    QVERIFY(model.setProperty(at, QStringLiteral("progress"), 0.5));
    QVERIFY(model.setProperty(at, QStringLiteral("localPath"), QStringLiteral("/d/new.pdf")));
    QCOMPARE(field(model, QStringLiteral("1765000000002"), "localPath"),
             QStringLiteral("/d/new.pdf"));
    QCOMPARE(model.row(at).progress, 0.5);
    // A day without messages: no rows.
    model.setRecords({});
    QCOMPARE(model.count(), 0);
}

TARNEX_TEST_MAIN(TestConversationModel)
#include "tst_conversationmodel.moc"

// The local history behind the messaging engine: batched writes that survive a burst and a
// shutdown, what a second start shows before the service answers, merging the service's pages
// by id, pages read offline, a search that marks what came from this machine, and clearing.

#include "../messaging/messagingtestkit.h"
#include "history/historydatabase.h"
#include "history/localhistory.h"
#include "messaging/conversationstore.h"
#include "messaging/messagejson.h"
#include "messaging/sockethandl.h"
#include "shell/historylink.h"
#include "testenvironment.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace messagingtest;

namespace {

const QString me = QStringLiteral("10001");
const QString peer = QStringLiteral("10002");

QJsonObject privateMessage(qulonglong id, const QString &msg = QStringLiteral("你好"),
                           const QString &creator = peer)
{
    return QJsonObject{{QStringLiteral("creator"), creator},
                       {QStringLiteral("msg"), msg},
                       {QStringLiteral("msg_id"), double(id)},
                       {QStringLiteral("msg_type"), QStringLiteral("text")},
                       {QStringLiteral("send_time"), double(id)},
                       {QStringLiteral("time"), double(id)},
                       {QStringLiteral("type"), QStringLiteral("user")},
                       {QStringLiteral("chat_object"), peer}};
}

QJsonArray recordReply(const QList<qulonglong> &ids)
{
    QJsonArray list;
    for (const qulonglong id : ids)
        list.append(privateMessage(id));
    return QJsonArray{list};
}

QList<qulonglong> idsOf(const QStringList &texts)
{
    QList<qulonglong> ids;
    for (const QString &text : texts)
        ids << QJsonDocument::fromJson(text.toUtf8())
                   .object()
                   .value(QLatin1String("msg_id"))
                   .toString()
                   .toULongLong();
    return ids;
}

bool isLocal(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object().value(QLatin1String("local")) ==
           QLatin1String("1");
}

// An engine with a history of its own, signed in (to the file) as `me`.
struct Client
{
    explicit Client(const QString &path)
        : engine(new SocketHandl), link(new HistoryLink(engine.get())), log(engine.get())
    {
        engine->setLoginIdentity(me, QStringLiteral("研发部"), QStringLiteral("经理"));
        QSignalSpy shown(link.get(), &HistoryLink::shown);
        link->signIn(path);
        ok = shown.wait(10000);
    }
    ~Client()
    {
        link.reset();
        engine.reset();
    }
    std::unique_ptr<SocketHandl> engine;
    std::unique_ptr<HistoryLink> link;
    SignalLog log;
    bool ok = false;
};

} // namespace

class TestLocalHistory : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("h%1.sqlite").arg(++m_serial));
        clearOutbox(me);
    }

    void burstIsBatchedAndShutdownWritesTheRest()
    {
        std::atomic<int> largest{0};
        {
            LocalHistory history;
            // Counted on the worker thread, while the history exists.
            connect(
                &history, &LocalHistory::batchWritten, &history,
                [&largest](int n) { largest = qMax(largest.load(), n); }, Qt::DirectConnection);
            // Records kept before the file is open wait for it.
            history.keepPrivate(peer, 1, MessageRecord());
            QSignalSpy opened(&history, &LocalHistory::opened);
            history.open(m_path);
            QVERIFY(opened.wait());
            QVERIFY(opened.first().first().toBool());
            MessageRecord record;
            record.creator = peer;
            record.sendStatus = QStringLiteral("3");
            for (qulonglong id = 2; id <= 3001; ++id) {
                record.msg = QString::number(id);
                history.keepPrivate(peer, id, record);
            }
            QTRY_COMPARE(history.writtenCount(), qint64(3001));
            // Records being written count as waiting until they are written, and no longer.
            QCOMPARE(history.queuedCount(), 0);
            for (qulonglong id = 3002; id <= 4001; ++id)
                history.keepPrivate(peer, id, record);
            // Destroyed with records still queued: they are written, not dropped.
        }
        QVERIFY(largest > 0);
        QVERIFY(largest <= LocalHistory::batchSize);
        HistoryDatabase db;
        QVERIFY(db.open(m_path));
        QCOMPARE(db.count(), 4001);
    }

    void secondStartShowsKeptRecordsAndMergesServerPages()
    {
        {
            Client first(m_path);
            QVERIFY(first.ok);
            for (qulonglong id = 101; id <= 131; ++id)
                QVERIFY(first.engine->dispatchInbound(
                    QStringLiteral("private message"),
                    {privateMessage(id, id == 131 ? QStringLiteral("最后一条") : "你好")}));
            QTRY_COMPARE(first.engine->getPrivateIdFromInfors(peer).size(), 31);
        }
        Client second(m_path);
        QVERIFY(second.ok);
        // Shown at once, before any answer of the service.
        QStringList texts = second.engine->getPrivateIdFromInfors(peer);
        QCOMPARE(texts.size(), 31);
        QVERIFY(isLocal(texts.first()));
        QVERIFY(second.log.count(QStringLiteral("sigGetRecord")) >= 1);
        QCOMPARE(second.log.last(QStringLiteral("sigSendLastMessageInfor")).value(1).toString(),
                 QStringLiteral("最后一条"));

        // The service's page overlaps what is kept: one record per id, none lost.
        QVERIFY(second.engine->dispatchReply(QStringLiteral("get record"),
                                             recordReply({125, 128, 131, 132}), peer));
        QTRY_COMPARE(second.engine->getPrivateIdFromInfors(peer).size(), 32);
        texts = second.engine->getPrivateIdFromInfors(peer);
        const QList<qulonglong> ids = idsOf(texts);
        QCOMPARE(ids.first(), 101ULL);
        QCOMPARE(ids.last(), 132ULL);
        QVERIFY(!isLocal(texts.last()));
    }

    void keptRecordsJoinServerPagesWithoutGaps()
    {
        auto kept = [](ConversationStore &store) {
            ConversationStore::PrivateTable local;
            for (qulonglong id = 1; id <= 5; ++id) {
                MessageRecord record;
                record.local = true;
                local[peer].insert(id, record);
            }
            store.mergeKept(local, {});
            ConversationStore::PrivateTable page;
            for (qulonglong id : {50, 51, 52})
                page[peer].insert(id, MessageRecord());
            store.insertPrivate(page);
        };
        // A full page that does not reach down to the kept records: what lies between is
        // unknown, so only the page stays until the view asks for more.
        ConversationStore gap;
        kept(gap);
        gap.settleKept(false, peer, 50, true);
        QCOMPARE(gap.privateConversation(peer).keys(), (QList<qulonglong>{50, 51, 52}));
        // A short page is all the service has: the kept records stay below it.
        ConversationStore shortPage;
        kept(shortPage);
        shortPage.settleKept(false, peer, 50, false);
        QCOMPARE(shortPage.privateCount(peer), 8);
        // A page reaching into the kept records joins them.
        ConversationStore overlap;
        kept(overlap);
        overlap.settleKept(false, peer, 4, true);
        QCOMPARE(overlap.privateCount(peer), 8);
        // Settled once: a later page does not take them away.
        overlap.settleKept(false, peer, 50, true);
        QCOMPARE(overlap.privateCount(peer), 8);
    }

    // The list itself comes back at the next start: conversations known only from the service's
    // last messages or counts too, with what arrived and what was read meanwhile.
    void conversationListShownAtSecondStart()
    {
        const QString other = QStringLiteral("10003");
        const QString group = QStringLiteral("g1");
        const qint64 lastMs = QDateTime::currentMSecsSinceEpoch() - 60000;
        {
            Client first(m_path);
            QVERIFY(first.ok);
            QVERIFY(first.engine->dispatchInbound(
                QStringLiteral("private message"),
                {privateMessage(qulonglong(lastMs + 10), QStringLiteral("晚上见"))}));
            QVERIFY(first.engine->dispatchInbound(
                QStringLiteral("private message"),
                {privateMessage(qulonglong(lastMs + 20), QStringLiteral("到了吗"))}));
            QVERIFY(first.engine->dispatchInbound(
                QStringLiteral("private message"),
                {privateMessage(qulonglong(lastMs + 30), QStringLiteral("在路上"),
                                QStringLiteral("10004"))}));
            QVERIFY(first.engine->dispatchInbound(
                QStringLiteral("send groupRecordLength"),
                {QJsonObject{{QStringLiteral("id"), group},
                             {QStringLiteral("length"), 3},
                             {QStringLiteral("info"),
                              QJsonObject{{QStringLiteral("name"), QStringLiteral("项目组")}}}}}));
            QVERIFY(first.engine->dispatchReply(
                QStringLiteral("get lastrecord"),
                QJsonArray{QJsonObject{
                    {other + QStringLiteral("**_**2"), QStringLiteral("明天见,%1").arg(lastMs)}}}));
            // A group without anything unread is no row of the list.
            QVERIFY(first.engine->dispatchInbound(
                QStringLiteral("send groupRecordLength"),
                {QJsonObject{{QStringLiteral("id"), QStringLiteral("g2")},
                             {QStringLiteral("length"), 0},
                             {QStringLiteral("info"), QJsonObject()}}}));
            QTRY_COMPARE(first.log.count(QStringLiteral("sigSendLastMessageInfor")), 1);
            QTRY_COMPARE(first.log.count(QStringLiteral("sigMessageUnreadNums")), 2);
            QTRY_COMPARE(first.log.count(QStringLiteral("sigPrivareMessage")), 3);
            first.engine->setPrivateAlreadyRead(peer);
            // The name the list found for a private conversation; an unknown one (its id) not.
            first.engine->keepConversationName(other, QStringLiteral("2"), QStringLiteral("王芳"));
            first.engine->keepConversationName(peer, QStringLiteral("2"), peer);
        }
        Client second(m_path);
        QVERIFY(second.ok);
        QMap<QString, KeptConversation> byId;
        for (const KeptConversation &c : second.engine->keptConversations())
            byId.insert(c.id, c);
        QCOMPARE(byId.keys(), (QStringList{peer, other, QStringLiteral("10004"), group}));
        QCOMPARE(byId[peer].text, QStringLiteral("到了吗"));
        QCOMPARE(byId[peer].timeMs, lastMs + 20);
        QCOMPARE(byId[peer].unread, 0);
        QVERIFY(!byId[peer].group);
        QCOMPARE(byId[QStringLiteral("10004")].unread, 1);
        QCOMPARE(byId[other].text, QStringLiteral("明天见"));
        QCOMPARE(byId[other].timeMs, lastMs);
        QCOMPARE(byId[other].name, QStringLiteral("王芳"));
        QVERIFY(byId[peer].name.isEmpty());
        QVERIFY(byId[group].group);
        QCOMPARE(byId[group].name, QStringLiteral("项目组"));
        QCOMPARE(byId[group].unread, 3);

        // Clearing the history forgets the list too.
        QSignalSpy cleared(second.link.get(), &HistoryLink::cleared);
        second.link->clear();
        QVERIFY(cleared.wait());
        QVERIFY(second.engine->keptConversations().isEmpty());
    }

    // Signing in as somebody else: the list of the one before is not offered meanwhile.
    void otherUsersListIsNotOffered()
    {
        {
            Client first(m_path);
            QVERIFY(first.ok);
            QVERIFY(first.engine->dispatchInbound(QStringLiteral("private message"),
                                                  {privateMessage(5)}));
            QTRY_COMPARE(first.log.count(QStringLiteral("sigPrivareMessage")), 1);
        }
        Client second(m_path);
        QVERIFY(second.ok);
        QCOMPARE(second.engine->keptConversations().size(), 1);
        QSignalSpy shown(second.link.get(), &HistoryLink::shown);
        second.link->signIn(m_path + QStringLiteral("-other"));
        QVERIFY(second.engine->keptConversations().isEmpty());
        QVERIFY(shown.wait());
        QVERIFY(second.engine->keptConversations().isEmpty());
    }

    void readStateSticksAcrossStarts()
    {
        {
            Client first(m_path);
            QVERIFY(first.ok);
            first.engine->sendPrivateInfor(peer, QStringLiteral("在吗"), QString());
            const qulonglong id = first.engine->currentMessageId().toULongLong();
            first.engine->onPrivareMessageStatus(peer, id, QStringLiteral("2"));
            first.engine->onPrivareMessageStatus(peer, id, QStringLiteral("3"));
            QCOMPARE(first.engine->getMessageStatus(peer, QStringLiteral("2"), QString::number(id)),
                     QStringLiteral("3"));
            // A reload from the service that calls it only sent.
            QJsonObject stale = privateMessage(id, QStringLiteral("在吗"), me);
            stale.insert(QStringLiteral("haveread"), QStringLiteral("0"));
            first.engine->dispatchReply(QStringLiteral("get record"), QJsonArray{QJsonArray{stale}},
                                        peer);
            QTRY_COMPARE(first.log.count(QStringLiteral("sigGetRecord")), 2);
        }
        HistoryDatabase db;
        QVERIFY(db.open(m_path));
        RecordKeeper::PrivateTable priv;
        RecordKeeper::GroupTable group;
        QVERIFY(db.recent(50, &priv, &group));
        QCOMPARE(priv[peer].size(), 1);
        QCOMPARE(priv[peer].first().sendStatus, QStringLiteral("3"));
    }

    void historyPageSeenBeforeReadsOffline()
    {
        {
            Client first(m_path);
            QVERIFY(first.ok);
            QVERIFY(first.engine->dispatchReply(QStringLiteral("get imageRecord"),
                                                recordReply({7, 8, 9}), peer));
            QTRY_COMPARE(first.engine->getHistoryPrivateIdFromInfors(peer).size(), 3);
        }
        Client second(m_path);
        QVERIFY(second.ok);
        // No link: the page comes from this machine, marked so.
        second.engine->getUserHistoryLength(peer, 10, QString(), QStringLiteral("2"));
        QTRY_COMPARE(second.log.count(QStringLiteral("sigHistoryGetRecord")), 1);
        const QStringList texts = second.engine->getHistoryPrivateIdFromInfors(peer);
        QCOMPARE(idsOf(texts), (QList<qulonglong>{7, 8, 9}));
        QVERIFY(isLocal(texts.first()));
    }

    void searchMarksLocalResults()
    {
        ReferenceServer server;
        QVERIFY2(server.start(), qPrintable(server.output()));
        {
            Client first(m_path);
            QVERIFY(first.ok);
            first.engine->dispatchInbound(
                QStringLiteral("private message"),
                {privateMessage(77, QStringLiteral("只在本机的会议纪要"))});
            QTRY_COMPARE(first.engine->getPrivateIdFromInfors(peer).size(), 1);
        }
        Client second(m_path);
        QVERIFY(second.ok);
        pointAt(server, *second.engine, me);
        MESSAGING_SIGN_IN(*second.engine, second.log);
        auto foundLocally = [&second] {
            const QStringList texts = second.engine->getHistoryPrivateIdFromInfors(peer);
            for (const QString &text : texts) {
                if (idsOf({text}).first() == 77)
                    return isLocal(text);
            }
            return false;
        };
        auto search = [&second] {
            second.engine->getUserHistoryLength(peer, 10, QString(), QStringLiteral("2"),
                                                QStringLiteral("会议"));
        };
        // The service keeps quiet: what this machine keeps is found all the same.
        server.hook(
            QStringLiteral("event-silence"),
            QJsonObject{{QStringLiteral("events"), QJsonArray{QStringLiteral("get record")}}});
        search();
        QTRY_COMPARE(second.log.count(QStringLiteral("sigHistoryGetRecord")), 1);
        QVERIFY(foundLocally());
        // The service's answer, then what this machine adds to it (its own first answer may
        // come before).
        server.hook(QStringLiteral("event-silence"), QJsonObject{{QStringLiteral("off"), true}});
        search();
        QTRY_VERIFY_WITH_TIMEOUT(second.log.count(QStringLiteral("sigHistoryGetRecord")) >= 3 &&
                                     foundLocally(),
                                 longWait);
        second.engine->shutdown();
    }

    void clearDeletesFileAndViewsForget()
    {
        {
            Client first(m_path);
            QVERIFY(first.ok);
            first.engine->dispatchInbound(QStringLiteral("private message"), {privateMessage(5)});
            QTRY_COMPARE(first.engine->getPrivateIdFromInfors(peer).size(), 1);
        }
        Client second(m_path);
        QVERIFY(second.ok);
        QCOMPARE(second.engine->getPrivateIdFromInfors(peer).size(), 1);
        second.engine->dispatchInbound(QStringLiteral("private message"), {privateMessage(6)});
        QTRY_COMPARE(second.engine->getPrivateIdFromInfors(peer).size(), 2);
        QSignalSpy cleared(second.link.get(), &HistoryLink::cleared);
        second.link->clear();
        QVERIFY(cleared.wait());
        QVERIFY(cleared.first().first().toBool());
        // What came from the file is gone from the view; this run's message stays.
        QCOMPARE(idsOf(second.engine->getPrivateIdFromInfors(peer)), QList<qulonglong>{6});
        second.link->close();
        HistoryDatabase db;
        QVERIFY(db.open(m_path));
        QCOMPARE(db.count(), 0);
    }

    void damagedFileIsSetAsideAndSaid_data()
    {
        QTest::addColumn<bool>("junk");
        QTest::newRow("not a database") << true;
        QTest::newRow("a damaged page") << false;
    }
    void damagedFileIsSetAsideAndSaid()
    {
        QFETCH(bool, junk);
        if (!junk) {
            HistoryDatabase db;
            QVERIFY(db.open(m_path));
            QVector<HistoryDatabase::Entry> entries;
            for (qulonglong id = 1; id <= 300; ++id) {
                HistoryDatabase::Entry entry;
                entry.conversation = peer;
                entry.id = id;
                entry.record.creator = peer;
                entry.record.msg = QString(200, QLatin1Char('m'));
                entries << entry;
            }
            QVERIFY(db.write(entries));
        }
        {
            QFile file(m_path);
            QVERIFY(file.open(junk ? QIODevice::WriteOnly : QIODevice::ReadWrite));
            if (!junk)
                QVERIFY(file.seek(3 * 4096));
            QVERIFY(file.write(QByteArray(junk ? 3000 : 4096, char(0x5a))) > 0);
        }
        Client client(m_path);
        QVERIFY(client.ok);
        const QStringList aside =
            QDir(m_dir.path())
                .entryList({QFileInfo(m_path).fileName() + QStringLiteral(".damaged-*")});
        QCOMPARE(aside.size(), 1);
        QVERIFY2(client.link->notice().contains(aside.first()), qPrintable(client.link->notice()));
        // The new file keeps what comes.
        client.engine->dispatchInbound(QStringLiteral("private message"), {privateMessage(7)});
        QTRY_COMPARE(client.link->history()->writtenCount(), qint64(1));
        client.link->close();
        HistoryDatabase db;
        QVERIFY(db.open(m_path));
        QVERIFY(db.setAsidePath().isEmpty());
        QCOMPARE(db.count(), 1);
    }

    void waitingRecordsAreBoundedAndTheGapSaid()
    {
        LocalHistory history;
        QSignalSpy gap(&history, &LocalHistory::gapStarted);
        MessageRecord record;
        record.creator = peer;
        record.msg = QString(10000, QLatin1Char('m'));
        // The file is not open: nothing is written, so the queue reaches its bound.
        const int offered = int(LocalHistory::queueByteLimit / (2 * record.msg.size())) + 500;
        for (int id = 1; id <= offered; ++id)
            history.keepPrivate(peer, qulonglong(id), record);
        const int kept = history.queuedCount();
        QVERIFY(kept < offered);
        QVERIFY(history.queuedBytes() <= LocalHistory::queueByteLimit);
        QVERIFY(history.queuedBytes() > LocalHistory::queueByteLimit * 9 / 10);
        QVERIFY(gap.wait());
        QCOMPARE(gap.size(), 1);
        // What was kept is written once the file opens, and room is made again.
        history.open(m_path);
        QTRY_COMPARE_WITH_TIMEOUT(history.writtenCount(), qint64(kept), 60000);
        QCOMPARE(history.queuedBytes(), 0);
        history.keepPrivate(peer, qulonglong(offered + 1), record);
        QTRY_COMPARE(history.writtenCount(), qint64(kept + 1));
        QCOMPARE(gap.size(), 1);
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_serial = 0;
};

TARNEX_TEST_MAIN(TestLocalHistory)
#include "tst_localhistory.moc"

// The history file itself: its schema steps, how records merge by id, what a search finds, who
// may read it and that clearing deletes it.

#include "history/historydatabase.h"
#include "testenvironment.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

HistoryDatabase::Entry entry(const QString &conversation, qulonglong id, const QString &status,
                             const QString &msg = QStringLiteral("你好"), bool group = false)
{
    HistoryDatabase::Entry e;
    e.group = group;
    e.conversation = conversation;
    e.id = id;
    e.record.creator = QStringLiteral("10002");
    e.record.msg = msg;
    e.record.msgId = QString::number(id);
    e.record.msgType = QStringLiteral("text");
    e.record.sendTime = QString::number(id);
    e.record.sendStatus = status;
    if (group) {
        e.record.groupId = conversation;
        e.record.groupName = QStringLiteral("项目组");
        e.record.members = QStringList{QStringLiteral("10001"), QStringLiteral("10002")};
        e.record.readers = {QStringLiteral("10002")};
    }
    return e;
}

} // namespace

class TestHistoryDatabase : public QObject
{
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }

    void createsPrivateFileAtCurrentVersion()
    {
        const QString path = m_dir.filePath(QStringLiteral("a/history.sqlite"));
        HistoryDatabase db;
        QVERIFY2(db.open(path), qPrintable(db.error()));
        QCOMPARE(db.version(), HistoryDatabase::schemaVersion);
        QVERIFY(db.write({entry(QStringLiteral("p"), 1, QStringLiteral("3"))}));
        const QFile::Permissions mode = QFile::permissions(path);
        QCOMPARE(mode & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                         QFile::WriteOther | QFile::ReadUser),
                 QFile::ReadUser);
        QVERIFY(!(mode & (QFile::ReadGroup | QFile::ReadOther)));
        // The journal beside it is as private as the file.
        if (QFile::exists(path + QStringLiteral("-wal")))
            QVERIFY(!(QFile::permissions(path + QStringLiteral("-wal")) &
                      (QFile::ReadGroup | QFile::ReadOther)));
    }

    void migratesFirstVersionKeepingRecords()
    {
        const QString path = m_dir.filePath(QStringLiteral("old.sqlite"));
        {
            // A file as the first release wrote it.
            QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "old");
            old.setDatabaseName(path);
            QVERIFY(old.open());
            QSqlQuery q(old);
            QVERIFY(
                q.exec("CREATE TABLE messages (kind INTEGER NOT NULL, conversation TEXT NOT "
                       "NULL, msg_id INTEGER NOT NULL, creator TEXT NOT NULL DEFAULT '', msg "
                       "TEXT NOT NULL DEFAULT '', send_status TEXT NOT NULL DEFAULT '', body "
                       "TEXT NOT NULL DEFAULT '{}', PRIMARY KEY (kind, conversation, msg_id))"));
            QVERIFY(q.exec("CREATE TABLE conversations (kind INTEGER NOT NULL, id TEXT NOT NULL, "
                           "last_msg_id INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (kind, id))"));
            QVERIFY(q.exec("INSERT INTO messages VALUES (0, 'p', 7, '10002', '图片', '2', "
                           "'{\"creator\":\"10002\",\"msg\":\"图片\",\"msgType\":\"img\"}')"));
            QVERIFY(q.exec("INSERT INTO conversations VALUES (0, 'p', 7)"));
            QVERIFY(q.exec("PRAGMA user_version = 1"));
            old.close();
        }
        QSqlDatabase::removeDatabase("old");

        HistoryDatabase db;
        QVERIFY2(db.open(path), qPrintable(db.error()));
        QCOMPARE(db.version(), HistoryDatabase::schemaVersion);
        // The new column is filled from what the old rows held.
        KeptRecordQuery pictures;
        pictures.conversation = QStringLiteral("p");
        pictures.msgType = QStringLiteral("img");
        RecordKeeper::PrivateTable p;
        RecordKeeper::GroupTable g;
        QVERIFY(db.find(pictures, &p, &g));
        QCOMPARE(p.value(QStringLiteral("p")).size(), 1);
        QCOMPARE(p[QStringLiteral("p")][7].sendStatus, QStringLiteral("2"));
        QVERIFY(p[QStringLiteral("p")][7].local);
    }

    void migratesSecondVersionIntoConversationList()
    {
        const QString path = m_dir.filePath(QStringLiteral("second.sqlite"));
        {
            // A file as the second release wrote it: a group with its name, one message.
            QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "second");
            old.setDatabaseName(path);
            QVERIFY(old.open());
            QSqlQuery q(old);
            QVERIFY(q.exec("CREATE TABLE messages (kind INTEGER NOT NULL, conversation TEXT NOT "
                           "NULL, msg_id INTEGER NOT NULL, creator TEXT NOT NULL DEFAULT '', msg "
                           "TEXT NOT NULL DEFAULT '', send_status TEXT NOT NULL DEFAULT '', body "
                           "TEXT NOT NULL DEFAULT '{}', msg_type TEXT NOT NULL DEFAULT '', "
                           "PRIMARY KEY (kind, conversation, msg_id))"));
            QVERIFY(q.exec("CREATE TABLE conversations (kind INTEGER NOT NULL, id TEXT NOT NULL, "
                           "last_msg_id INTEGER NOT NULL DEFAULT 0, name TEXT NOT NULL DEFAULT "
                           "'', PRIMARY KEY (kind, id))"));
            QVERIFY(q.exec("INSERT INTO messages VALUES (1, 'g', 1700000000000, '10002', '开会', "
                           "'3', '{\"creator\":\"10002\",\"msg\":\"开会\",\"userName\":"
                           "\"李娜\",\"sendTime\":\"1700000000000\"}', 'text')"));
            QVERIFY(q.exec("INSERT INTO conversations VALUES (1, 'g', 1700000000000, '项目组')"));
            QVERIFY(q.exec("PRAGMA user_version = 2"));
            old.close();
        }
        QSqlDatabase::removeDatabase("second");

        HistoryDatabase db;
        QVERIFY2(db.open(path), qPrintable(db.error()));
        QCOMPARE(db.version(), 3);
        QVector<KeptConversation> list;
        QVERIFY(db.conversations(&list));
        QCOMPARE(list.size(), 1);
        QVERIFY(list[0].group);
        QCOMPARE(list[0].name, QStringLiteral("项目组"));
        QCOMPARE(list[0].text, QStringLiteral("开会"));
        QCOMPARE(list[0].senderName, QStringLiteral("李娜"));
        QCOMPARE(list[0].timeMs, 1700000000000LL);
        QCOMPARE(list[0].unread, 0);
    }

    // The list row: the newest of the kept record and the service's last word; counts replaced,
    // counted up by arrivals and reset by a read; empty fields of a change keep what is there.
    void conversationListMergesChanges()
    {
        HistoryDatabase db;
        QVERIFY(db.open(m_dir.filePath(QStringLiteral("list.sqlite"))));
        QVERIFY(db.write(
            {entry(QStringLiteral("p"), 5000, QStringLiteral("3"), QStringLiteral("旧"))}));
        auto change = [](const QString &id, const QString &text, qint64 ms, int unread) {
            KeptConversation c;
            c.id = id;
            c.text = text;
            c.timeMs = ms;
            c.unread = unread;
            return c;
        };
        KeptConversation more = change(QStringLiteral("p"), QString(), 0, -1);
        more.oneMoreUnread = true;
        KeptConversation named = change(QStringLiteral("g"), QString(), 0, 2);
        named.group = true;
        named.name = QStringLiteral("项目组");
        QVERIFY(db.writeConversations(
            {change(QStringLiteral("p"), QStringLiteral("新"), 6000, 3), more,
             change(QStringLiteral("p"), QStringLiteral("更旧"), 4000, -1), named}));
        QVector<KeptConversation> list;
        QVERIFY(db.conversations(&list));
        QCOMPARE(list.size(), 2);
        const KeptConversation g = list[1].group ? list[1] : list[0];
        const KeptConversation p = list[1].group ? list[0] : list[1];
        QCOMPARE(p.text, QStringLiteral("新"));
        QCOMPARE(p.timeMs, 6000LL);
        QCOMPARE(p.unread, 4);
        QCOMPARE(g.name, QStringLiteral("项目组"));
        QCOMPARE(g.unread, 2);
        QVERIFY(g.text.isEmpty());

        // A record newer than the service's word wins; a read clears the count.
        QVERIFY(db.write(
            {entry(QStringLiteral("p"), 7000, QStringLiteral("3"), QStringLiteral("最新"))}));
        QVERIFY(db.writeConversations({change(QStringLiteral("p"), QString(), 0, 0)}));
        list.clear();
        QVERIFY(db.conversations(&list));
        const KeptConversation after = list[0].group ? list[1] : list[0];
        QCOMPARE(after.text, QStringLiteral("最新"));
        QCOMPARE(after.timeMs, 7000LL);
        QCOMPARE(after.creator, QStringLiteral("10002"));
        QCOMPARE(after.unread, 0);

        // A deleted group leaves the list; its records stay for the history.
        KeptConversation gone = named;
        gone.removed = true;
        QVERIFY(db.writeConversations({gone}));
        list.clear();
        QVERIFY(db.conversations(&list));
        QCOMPARE(list.size(), 1);
        QVERIFY(!list[0].group);
    }

    void refusesNewerFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("newer.sqlite"));
        {
            QSqlDatabase newer = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "newer");
            newer.setDatabaseName(path);
            QVERIFY(newer.open());
            QSqlQuery(newer).exec(QStringLiteral("PRAGMA user_version = 99"));
            newer.close();
        }
        QSqlDatabase::removeDatabase("newer");
        HistoryDatabase db;
        QVERIFY(!db.open(path));
        QVERIFY(db.error().contains(QLatin1String("newer")));
        QVERIFY(!db.isOpen());
    }

    void mergesByIdWithoutDowngrade()
    {
        HistoryDatabase db;
        QVERIFY(db.open(m_dir.filePath(QStringLiteral("merge.sqlite"))));
        const QString p = QStringLiteral("p");
        // Pending, then sent, then read; then a late copy saying "sent" again.
        QVERIFY(db.write({entry(p, 5, QStringLiteral("1"))}));
        QVERIFY(db.write({entry(p, 5, QStringLiteral("2")), entry(p, 6, QStringLiteral("3"))}));
        QVERIFY(db.write({entry(p, 5, QStringLiteral("3"))}));
        QVERIFY(db.write({entry(p, 5, QStringLiteral("2"), QStringLiteral("改过"))}));
        // A record that holds only a state keeps the stored text.
        HistoryDatabase::Entry bare;
        bare.conversation = p;
        bare.id = 6;
        bare.record.sendStatus = QStringLiteral("3");
        QVERIFY(db.write({bare}));
        QCOMPARE(db.count(), 2);

        RecordKeeper::PrivateTable priv;
        RecordKeeper::GroupTable group;
        QVERIFY(db.recent(50, &priv, &group));
        QCOMPARE(priv[p].size(), 2);
        QCOMPARE(priv[p][5].sendStatus, QStringLiteral("3"));
        QCOMPARE(priv[p][5].msg, QStringLiteral("改过"));
        QCOMPARE(priv[p][6].msg, QStringLiteral("你好"));
        QCOMPARE(priv[p][6].creator, QStringLiteral("10002"));
    }

    void failedThenRetriedMovesOn()
    {
        HistoryDatabase db;
        QVERIFY(db.open(m_dir.filePath(QStringLiteral("retry.sqlite"))));
        const QString p = QStringLiteral("p");
        for (const char *status : {"1", "4", "1", "2"})
            QVERIFY(db.write({entry(p, 9, QLatin1String(status))}));
        RecordKeeper::PrivateTable priv;
        RecordKeeper::GroupTable group;
        QVERIFY(db.recent(50, &priv, &group));
        QCOMPARE(priv[p][9].sendStatus, QStringLiteral("2"));
    }

    void recentLimitsEachConversationAndKeepsGroupFields()
    {
        HistoryDatabase db;
        QVERIFY(db.open(m_dir.filePath(QStringLiteral("recent.sqlite"))));
        QVector<HistoryDatabase::Entry> batch;
        for (qulonglong id = 1; id <= 80; ++id)
            batch << entry(QStringLiteral("p"), id, QStringLiteral("3"));
        batch << entry(QStringLiteral("g"), 3, QStringLiteral("3"), QStringLiteral("组"), true);
        QVERIFY(db.write(batch));
        RecordKeeper::PrivateTable priv;
        RecordKeeper::GroupTable group;
        QVERIFY(db.recent(50, &priv, &group));
        QCOMPARE(priv[QStringLiteral("p")].size(), 50);
        QCOMPARE(priv[QStringLiteral("p")].firstKey(), 31ULL);
        QCOMPARE(priv[QStringLiteral("p")].lastKey(), 80ULL);
        const GroupMessageRecord r = group[QStringLiteral("g")][3];
        QCOMPARE(r.groupName, QStringLiteral("项目组"));
        QCOMPARE(r.members.size(), 2);
        QVERIFY(r.readers.contains(QStringLiteral("10002")));
    }

    void searchesTextDayAndKind()
    {
        HistoryDatabase db;
        QVERIFY(db.open(m_dir.filePath(QStringLiteral("search.sqlite"))));
        QVERIFY(db.write({entry(QStringLiteral("p"), 1000, QStringLiteral("3"), "明天开会"),
                          entry(QStringLiteral("p"), 2000, QStringLiteral("3"), "100%_done"),
                          entry(QStringLiteral("p"), 3000, QStringLiteral("3"), "午饭"),
                          entry(QStringLiteral("q"), 4000, QStringLiteral("3"), "明天见")}));
        auto found = [&db](KeptRecordQuery query) {
            RecordKeeper::PrivateTable priv;
            RecordKeeper::GroupTable group;
            db.find(query, &priv, &group);
            return priv.value(QStringLiteral("p")).keys();
        };
        KeptRecordQuery query;
        query.conversation = QStringLiteral("p");
        query.text = QStringLiteral("明天");
        QCOMPARE(found(query), QList<qulonglong>{1000});
        // Wildcards of the pattern language are plain text here.
        query.text = QStringLiteral("%_");
        QCOMPARE(found(query), QList<qulonglong>{2000});
        query.text.clear();
        query.fromMs = 1500;
        query.toMs = 3000;
        QCOMPARE(found(query), (QList<qulonglong>{2000, 3000}));
        query.fromMs = query.toMs = 0;
        query.limit = 2;
        QCOMPARE(found(query), (QList<qulonglong>{2000, 3000}));
    }

    void removeDeletesFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("gone.sqlite"));
        HistoryDatabase db;
        QVERIFY(db.open(path));
        QVERIFY(db.write({entry(QStringLiteral("p"), 1, QStringLiteral("3"))}));
        QVERIFY(db.remove());
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
        QVERIFY(!db.isOpen());
    }

    void storedTextIsWhatQtsWriterGives()
    {
        // Files written before and after must read alike: the stored text of a record is what
        // QJsonDocument writes for its fields, escapes, unpaired surrogates and all.
        const QString path = m_dir.filePath(QStringLiteral("body/history.sqlite"));
        HistoryDatabase db;
        QVERIFY(db.open(path));
        const QString odd = QStringLiteral("a\"b\\c\n\t\u0001\u007f 你好 😀 ") + QChar(0xd800) +
                            QStringLiteral("/") + QChar(0xdc00);
        HistoryDatabase::Entry plain = entry(QStringLiteral("p"), 1, QStringLiteral("3"), odd);
        plain.record.download = QStringLiteral(R"({"name":"a.pdf"})");
        HistoryDatabase::Entry group =
            entry(QStringLiteral("g"), 2, QStringLiteral("2"), odd, true);
        group.record.readers = {QStringLiteral("10002"), QStringLiteral("10003"), odd};
        group.record.userName = odd;
        group.record.unread = QStringLiteral("1");
        QVERIFY(db.write({plain, group}));

        auto expected = [](const HistoryDatabase::Entry &e) {
            const GroupMessageRecord &r = e.record;
            QJsonObject o{
                {QStringLiteral("creator"), r.creator},   {QStringLiteral("download"), r.download},
                {QStringLiteral("fileType"), r.fileType}, {QStringLiteral("haveread"), r.haveread},
                {QStringLiteral("msg"), r.msg},           {QStringLiteral("msgId"), r.msgId},
                {QStringLiteral("msgType"), r.msgType},   {QStringLiteral("sendTime"), r.sendTime},
                {QStringLiteral("time"), r.time},         {QStringLiteral("type"), r.type}};
            if (e.group) {
                o.insert(QStringLiteral("groupId"), r.groupId);
                o.insert(QStringLiteral("userId"), r.userId);
                o.insert(QStringLiteral("userName"), r.userName);
                o.insert(QStringLiteral("groupName"), r.groupName);
                o.insert(QStringLiteral("unread"), r.unread);
                o.insert(QStringLiteral("userTime"), r.userTime);
                o.insert(QStringLiteral("members"), QJsonArray::fromStringList(r.members));
                o.insert(QStringLiteral("readers"), QJsonArray::fromStringList(QStringList(
                                                        r.readers.cbegin(), r.readers.cend())));
            }
            return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
        };
        {
            QSqlDatabase raw =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("body-check"));
            raw.setDatabaseName(path);
            QVERIFY(raw.open());
            QSqlQuery query(raw);
            QVERIFY(query.exec(QStringLiteral("SELECT body FROM messages ORDER BY msg_id")));
            QVERIFY(query.next());
            QCOMPARE(query.value(0).toString(), expected(plain));
            QVERIFY(query.next());
            QCOMPARE(query.value(0).toString(), expected(group));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("body-check"));

        // And it reads back as the record it was.
        RecordKeeper::PrivateTable privateRecords;
        RecordKeeper::GroupTable groupRecords;
        QVERIFY(db.recent(HistoryDatabase::recentLimit, &privateRecords, &groupRecords));
        QCOMPARE(privateRecords.value(QStringLiteral("p")).value(1).msg, odd);
        const GroupMessageRecord back = groupRecords.value(QStringLiteral("g")).value(2);
        QCOMPARE(back.userName, odd);
        QCOMPARE(back.readers, group.record.readers);
        QCOMPARE(back.members, group.record.members);
    }

    void conversationKeepsNewestIdAndLastName()
    {
        // Within one batch and across batches: the newest id however the records come, and the
        // last name given (an empty one keeps the name).
        const QString path = m_dir.filePath(QStringLiteral("conv/history.sqlite"));
        HistoryDatabase db;
        QVERIFY(db.open(path));
        auto named = [](qulonglong id, const QString &name) {
            HistoryDatabase::Entry e =
                entry(QStringLiteral("g"), id, QStringLiteral("3"), QStringLiteral("x"), true);
            e.record.groupName = name;
            return e;
        };
        QVERIFY(db.write({named(5, QStringLiteral("一")), entry(QStringLiteral("p"), 9, "3"),
                          named(7, QString()), named(3, QStringLiteral("二")),
                          entry(QStringLiteral("p"), 2, "3"), named(6, QString())}));
        auto rows = [&path]() {
            QStringList seen;
            {
                QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"),
                                                             QStringLiteral("conv-check"));
                raw.setDatabaseName(path);
                raw.open();
                QSqlQuery query(raw);
                query.exec(QStringLiteral("SELECT kind, id, last_msg_id, name FROM conversations"
                                          " ORDER BY rowid"));
                while (query.next())
                    seen << QStringLiteral("%1 %2 %3 %4")
                                .arg(query.value(0).toString(), query.value(1).toString(),
                                     query.value(2).toString(), query.value(3).toString());
            }
            QSqlDatabase::removeDatabase(QStringLiteral("conv-check"));
            return seen;
        };
        QCOMPARE(rows(), (QStringList{QStringLiteral("1 g 7 二"), QStringLiteral("0 p 9 ")}));
        QVERIFY(db.write({named(4, QString()), entry(QStringLiteral("p"), 12, "3")}));
        QCOMPARE(rows(), (QStringList{QStringLiteral("1 g 7 二"), QStringLiteral("0 p 12 ")}));
        QVERIFY(db.write({named(8, QStringLiteral("三"))}));
        QCOMPARE(rows(), (QStringList{QStringLiteral("1 g 8 三"), QStringLiteral("0 p 12 ")}));
    }

    void pathsSeparateServersAndUsers()
    {
        const QString a = HistoryDatabase::pathFor("/d", "10.0.0.1:80", "7");
        QVERIFY(a.startsWith(QLatin1String("/d/users/7/history-")));
        QVERIFY(a != HistoryDatabase::pathFor("/d", "10.0.0.2:80", "7"));
        QVERIFY(a != HistoryDatabase::pathFor("/d", "10.0.0.1:80", "8"));
        QVERIFY(!HistoryDatabase::pathFor("/d", "x", "../../etc").contains(QLatin1String("..")));
    }

private:
    QTemporaryDir m_dir;
};

TARNEX_TEST_MAIN(TestHistoryDatabase)
#include "tst_historydatabase.moc"

#include "historydatabase.h"

#include "logging.h"
#include "json/jsontext.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QVariant>

#include <atomic>

namespace {

// Each step takes the file from the version before it to its own; never edited once shipped.
const QStringList migrationSteps[] = {
    // 1: the messages and the conversations.
    {QStringLiteral("CREATE TABLE messages (kind INTEGER NOT NULL, conversation TEXT NOT NULL,"
                    " msg_id INTEGER NOT NULL, creator TEXT NOT NULL DEFAULT '',"
                    " msg TEXT NOT NULL DEFAULT '', send_status TEXT NOT NULL DEFAULT '',"
                    " body TEXT NOT NULL DEFAULT '{}', PRIMARY KEY (kind, conversation, msg_id))"),
     QStringLiteral("CREATE TABLE conversations (kind INTEGER NOT NULL, id TEXT NOT NULL,"
                    " last_msg_id INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (kind, id))")},
    // 2: attachment searches and the conversation's name.
    {QStringLiteral("ALTER TABLE messages ADD COLUMN msg_type TEXT NOT NULL DEFAULT ''"),
     QStringLiteral("UPDATE messages SET msg_type = COALESCE(json_extract(body, '$.msgType'), '')"),
     QStringLiteral("ALTER TABLE conversations ADD COLUMN name TEXT NOT NULL DEFAULT ''")},
    // 3: the conversation list as the service last gave it: its last message and unread count.
    {QStringLiteral("ALTER TABLE conversations ADD COLUMN last_text TEXT NOT NULL DEFAULT ''"),
     QStringLiteral("ALTER TABLE conversations ADD COLUMN last_type TEXT NOT NULL DEFAULT ''"),
     QStringLiteral("ALTER TABLE conversations ADD COLUMN last_time INTEGER NOT NULL DEFAULT 0"),
     QStringLiteral("ALTER TABLE conversations ADD COLUMN unread INTEGER NOT NULL DEFAULT 0")},
};

// "3" read > "2" sent > "1" pending = "4" failed (a retry makes a failed message pending).
QString rankOf(const QString &column)
{
    return QStringLiteral("(CASE %1 WHEN '3' THEN 3 WHEN '2' THEN 2 WHEN '1' THEN 1 WHEN '4' "
                          "THEN 1 ELSE 0 END)")
        .arg(column);
}

QStringList toList(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &item : value.toArray())
        list << item.toString();
    return list;
}

// The record's stored text: what QJsonDocument writes for it, written directly, since building
// a QJsonObject for every record cost more than the database itself.
QString bodyOf(const HistoryDatabase::Entry &entry)
{
    const GroupMessageRecord &r = entry.record;
    // Members in the order Qt's writer sorts them into.
    JsonText::ObjectText body(256 + r.msg.size() + r.download.size() + r.creator.size() +
                              (entry.group ? 128 + r.userName.size() + r.groupName.size() : 0));
    body.add(TARNEX_COMPACT_MEMBER("creator"), r.creator);
    body.add(TARNEX_COMPACT_MEMBER("download"), r.download);
    body.add(TARNEX_COMPACT_MEMBER("fileType"), r.fileType);
    if (entry.group) {
        body.add(TARNEX_COMPACT_MEMBER("groupId"), r.groupId);
        body.add(TARNEX_COMPACT_MEMBER("groupName"), r.groupName);
    }
    body.add(TARNEX_COMPACT_MEMBER("haveread"), r.haveread);
    if (entry.group)
        body.add(TARNEX_COMPACT_MEMBER("members"), r.members);
    body.add(TARNEX_COMPACT_MEMBER("msg"), r.msg);
    body.add(TARNEX_COMPACT_MEMBER("msgId"), r.msgId);
    body.add(TARNEX_COMPACT_MEMBER("msgType"), r.msgType);
    if (entry.group)
        body.add(TARNEX_COMPACT_MEMBER("readers"),
                 QStringList(r.readers.cbegin(), r.readers.cend()));
    body.add(TARNEX_COMPACT_MEMBER("sendTime"), r.sendTime);
    body.add(TARNEX_COMPACT_MEMBER("time"), r.time);
    body.add(TARNEX_COMPACT_MEMBER("type"), r.type);
    if (entry.group) {
        body.add(TARNEX_COMPACT_MEMBER("unread"), r.unread);
        body.add(TARNEX_COMPACT_MEMBER("userId"), r.userId);
        body.add(TARNEX_COMPACT_MEMBER("userName"), r.userName);
        body.add(TARNEX_COMPACT_MEMBER("userTime"), r.userTime);
    }
    return body.finish();
}

GroupMessageRecord recordOf(const QString &body, const QString &status)
{
    const QJsonObject o = QJsonDocument::fromJson(body.toUtf8()).object();
    auto text = [&o](const char *key) { return o.value(QLatin1String(key)).toString(); };
    GroupMessageRecord r;
    r.creator = text("creator");
    r.download = text("download");
    r.fileType = text("fileType");
    r.haveread = text("haveread");
    r.msg = text("msg");
    r.msgId = text("msgId");
    r.msgType = text("msgType");
    r.sendTime = text("sendTime");
    r.time = text("time");
    r.type = text("type");
    r.groupId = text("groupId");
    r.userId = text("userId");
    r.userName = text("userName");
    r.groupName = text("groupName");
    r.unread = text("unread");
    r.userTime = text("userTime");
    r.members = toList(o.value(QLatin1String("members")));
    const QStringList readers = toList(o.value(QLatin1String("readers")));
    r.readers = QSet<QString>(readers.cbegin(), readers.cend());
    r.sendStatus = status;
    r.local = true;
    return r;
}

void addRow(QSqlQuery &query, RecordKeeper::PrivateTable *privateRecords,
            RecordKeeper::GroupTable *groupRecords)
{
    const bool group = query.value(0).toInt() == 1;
    const QString conversation = query.value(1).toString();
    const qulonglong id = query.value(2).toULongLong();
    GroupMessageRecord record = recordOf(query.value(4).toString(), query.value(3).toString());
    if (record.msgId.isEmpty())
        record.msgId = QString::number(id);
    if (group) {
        if (record.groupId.isEmpty())
            record.groupId = conversation;
        (*groupRecords)[conversation].insert(id, record);
    } else {
        (*privateRecords)[conversation].insert(id, record);
    }
}

// A null text binds as SQL NULL, which the NOT NULL columns refuse.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

QString likePattern(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

} // namespace

HistoryDatabase::HistoryDatabase()
{
    static std::atomic<int> serial{0};
    m_connection = QStringLiteral("tarnex-history-%1").arg(++serial);
}

HistoryDatabase::~HistoryDatabase()
{
    close();
}

bool HistoryDatabase::fail(const QString &what, const QString &detail)
{
    m_error = what + QLatin1String(": ") + detail;
    qCWarning(lcMessaging) << "history" << m_path << m_error;
    return false;
}

bool HistoryDatabase::fail(const QString &what, const QSqlError &error)
{
    // SQLITE_FULL (a failed commit keeps only its text), or any failure on a disk with no
    // room left: the same to the user.
    m_diskFull = error.nativeErrorCode() == QLatin1String("13") ||
                 error.databaseText().contains(QLatin1String("disk is full")) ||
                 QStorageInfo(QFileInfo(m_path).absolutePath()).bytesAvailable() < 64 * 1024;
    return fail(what, error.text());
}

bool HistoryDatabase::open(const QString &path)
{
    m_setAside.clear();
    if (openFile(path))
        return true;
    if (!QSqlDatabase::contains(m_connection) || !damaged())
        return false;
    close();
    if (!setAside())
        return false;
    return openFile(path);
}

bool HistoryDatabase::damaged()
{
    QSqlQuery check(QSqlDatabase::database(m_connection, false));
    if (!check.exec(QStringLiteral("PRAGMA quick_check(1)"))) {
        // SQLITE_CORRUPT, SQLITE_NOTADB
        const int code = check.lastError().nativeErrorCode().toInt() % 256;
        return code == 11 || code == 26;
    }
    return !check.next() || check.value(0).toString() != QLatin1String("ok");
}

bool HistoryDatabase::setAside()
{
    const QString moved =
        m_path + QStringLiteral(".damaged-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    if (!QFile::rename(m_path, moved))
        return fail(QStringLiteral("cannot set the damaged file aside"), moved);
    // The journal belongs to the damaged file; a new file must not replay it.
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFile::exists(m_path + suffix))
            QFile::rename(m_path + suffix, moved + suffix);
    }
    qCWarning(lcMessaging) << "history" << m_path << "is damaged; set aside as" << moved;
    m_setAside = moved;
    return true;
}

bool HistoryDatabase::openFile(const QString &path)
{
    close();
    m_path = path;
    m_error.clear();
    m_diskFull = false;
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("no folder"), info.absolutePath());
    // Created empty and private before SQLite opens it, so it is never readable by others.
    if (!info.exists()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot create"), file.errorString());
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(path);
        if (!db.open())
            return fail(QStringLiteral("cannot open"), db.lastError());
        // A damaged file is found now, not by the first write that touches the damage.
        if (damaged())
            return fail(QStringLiteral("damaged"), QStringLiteral("quick_check"));
        QSqlQuery pragma(db);
        // The journal beside the file takes the file's mode; WAL keeps readers and the writer
        // apart, and a committed write survives the process being killed.
        pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    if (!migrate()) {
        const QString error = m_error;
        close();
        m_error = error;
        return false;
    }
    return true;
}

void HistoryDatabase::close()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool HistoryDatabase::isOpen() const
{
    return QSqlDatabase::contains(m_connection) &&
           QSqlDatabase::database(m_connection, false).isOpen();
}

int HistoryDatabase::scalar(const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(sql) || !query.next())
        return -1;
    return query.value(0).toInt();
}

int HistoryDatabase::version()
{
    return scalar(QStringLiteral("PRAGMA user_version"));
}

bool HistoryDatabase::migrate()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const int current = version();
    if (current < 0)
        return fail(QStringLiteral("unreadable"), db.lastError().text());
    if (current > schemaVersion)
        return fail(QStringLiteral("written by a newer version"), QString::number(current));
    for (int step = current; step < schemaVersion; ++step) {
        if (!db.transaction())
            return fail(QStringLiteral("migration"), db.lastError().text());
        QSqlQuery query(db);
        for (const QString &statement : migrationSteps[step]) {
            if (!query.exec(statement)) {
                const QString detail = query.lastError().text();
                db.rollback();
                return fail(QStringLiteral("migration to %1").arg(step + 1), detail);
            }
        }
        // The version moves in the same transaction as the step.
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(step + 1)) || !db.commit()) {
            const QString detail = query.lastError().text();
            db.rollback();
            return fail(QStringLiteral("migration to %1").arg(step + 1), detail);
        }
    }
    return true;
}

bool HistoryDatabase::write(const QVector<Entry> &entries)
{
    return write(entries.constData(), entries.size());
}

bool HistoryDatabase::writeStep(QSqlQuery &query, QSqlDatabase &db)
{
    if (query.exec())
        return true;
    // Nothing of a failed batch stays half written.
    const QSqlError error = query.lastError();
    db.rollback();
    return fail(QStringLiteral("write"), error);
}

bool HistoryDatabase::write(const Entry *entries, int count)
{
    if (count <= 0)
        return true;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen())
        return fail(QStringLiteral("not open"), m_path);
    m_diskFull = false;
    if (!db.transaction())
        return fail(QStringLiteral("write"), db.lastError());
    // A record holding only a state (its sender unknown) keeps the text stored.
    auto keep = [](const char *column) {
        return QStringLiteral("%1 = CASE WHEN excluded.creator <> '' THEN excluded.%1 ELSE %1 END")
            .arg(QLatin1String(column));
    };
    QSqlQuery message(db);
    message.prepare(QStringLiteral("INSERT INTO messages (kind, conversation, msg_id, creator, msg,"
                                   " msg_type, send_status, body) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"
                                   " ON CONFLICT (kind, conversation, msg_id) DO UPDATE SET ") +
                    keep("creator") + QLatin1String(", ") + keep("msg") + QLatin1String(", ") +
                    keep("msg_type") + QLatin1String(", ") + keep("body") +
                    QStringLiteral(", send_status = CASE WHEN %1 >= %2 THEN excluded.send_status"
                                   " ELSE send_status END")
                        .arg(rankOf(QStringLiteral("excluded.send_status")),
                             rankOf(QStringLiteral("send_status"))));
    QSqlQuery conversation(db);
    conversation.prepare(
        QStringLiteral("INSERT INTO conversations (kind, id, last_msg_id, name) VALUES (?, ?, ?, ?)"
                       " ON CONFLICT (kind, id) DO UPDATE SET last_msg_id = MAX(last_msg_id, "
                       "excluded.last_msg_id),"
                       " name = CASE WHEN excluded.name <> '' THEN excluded.name ELSE name END"));
    // A conversation's row keeps its newest id and the last name given, so one upsert per
    // conversation and batch leaves what one per record left, in the same order of first
    // appearance.
    struct Latest
    {
        int kind;
        QString id;
        qulonglong lastId;
        QString name;
    };
    QVector<Latest> latest;
    QHash<QPair<int, QString>, int> conversationIndex;
    for (const Entry *it = entries; it != entries + count; ++it) {
        const Entry &entry = *it;
        const int kind = entry.group ? 1 : 0;
        message.addBindValue(kind);
        message.addBindValue(text(entry.conversation));
        message.addBindValue(entry.id);
        message.addBindValue(text(entry.record.creator));
        message.addBindValue(text(entry.record.msg));
        message.addBindValue(text(entry.record.msgType));
        message.addBindValue(text(entry.record.sendStatus));
        message.addBindValue(bodyOf(entry));
        if (!writeStep(message, db))
            return false;
        const QString name = entry.group ? entry.record.groupName : QString();
        const QPair<int, QString> key(kind, entry.conversation);
        const auto found = conversationIndex.constFind(key);
        if (found == conversationIndex.cend()) {
            conversationIndex.insert(key, latest.size());
            latest.append({kind, entry.conversation, entry.id, name});
            continue;
        }
        Latest &row = latest[found.value()];
        // Compared as the database compares the stored integers.
        if (qint64(entry.id) > qint64(row.lastId))
            row.lastId = entry.id;
        if (!name.isEmpty())
            row.name = name;
    }
    for (const Latest &row : qAsConst(latest)) {
        conversation.addBindValue(row.kind);
        conversation.addBindValue(text(row.id));
        conversation.addBindValue(row.lastId);
        conversation.addBindValue(text(row.name));
        if (!writeStep(conversation, db))
            return false;
    }
    if (!db.commit()) {
        const QSqlError error = db.lastError();
        db.rollback();
        return fail(QStringLiteral("commit"), error);
    }
    return true;
}

bool HistoryDatabase::writeConversations(const QVector<KeptConversation> &changes)
{
    if (changes.isEmpty())
        return true;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen())
        return fail(QStringLiteral("not open"), m_path);
    m_diskFull = false;
    if (!db.transaction())
        return fail(QStringLiteral("write"), db.lastError());
    // An older last message than the kept one changes nothing; a count replaces the kept one
    // unless the change only counts one more.
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "INSERT INTO conversations (kind, id, name, last_text, last_type, last_time, unread)"
        " VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT (kind, id) DO UPDATE SET"
        " name = CASE WHEN excluded.name <> '' THEN excluded.name ELSE name END,"
        " last_text = CASE WHEN excluded.last_time > 0 AND excluded.last_time >= last_time"
        " THEN excluded.last_text ELSE last_text END,"
        " last_type = CASE WHEN excluded.last_time > 0 AND excluded.last_time >= last_time"
        " THEN excluded.last_type ELSE last_type END,"
        " last_time = MAX(last_time, excluded.last_time),"
        " unread = CASE WHEN ? THEN unread + 1 WHEN ? >= 0 THEN excluded.unread ELSE unread END"));
    QSqlQuery removal(db);
    removal.prepare(QStringLiteral("DELETE FROM conversations WHERE kind = ? AND id = ?"));
    for (const KeptConversation &change : changes) {
        if (change.id.isEmpty())
            continue;
        if (change.removed) {
            removal.addBindValue(change.group ? 1 : 0);
            removal.addBindValue(change.id);
            if (!writeStep(removal, db))
                return false;
            continue;
        }
        query.addBindValue(change.group ? 1 : 0);
        query.addBindValue(change.id);
        query.addBindValue(text(change.name));
        query.addBindValue(text(change.text));
        query.addBindValue(text(change.msgType));
        query.addBindValue(qMax<qint64>(0, change.timeMs));
        query.addBindValue(change.oneMoreUnread ? 1 : qMax(0, change.unread));
        query.addBindValue(change.oneMoreUnread ? 1 : 0);
        query.addBindValue(change.unread);
        if (!writeStep(query, db))
            return false;
    }
    if (!db.commit()) {
        const QSqlError error = db.lastError();
        db.rollback();
        return fail(QStringLiteral("commit"), error);
    }
    return true;
}

bool HistoryDatabase::conversations(QVector<KeptConversation> *list)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery rows(db);
    if (!rows.exec(QStringLiteral(
            "SELECT c.kind, c.id, c.name, c.last_text, c.last_type, c.last_time, c.unread,"
            " m.msg_id, m.body FROM conversations c LEFT JOIN messages m ON m.kind = c.kind"
            " AND m.conversation = c.id AND m.msg_id = c.last_msg_id"
            // A count of nothing alone does not make a row, as in the list itself.
            " WHERE c.last_msg_id > 0 OR c.last_text <> '' OR c.unread > 0 ORDER BY c.kind, c.id")))
        return fail(QStringLiteral("read"), rows.lastError().text());
    while (rows.next()) {
        KeptConversation c;
        c.group = rows.value(0).toInt() == 1;
        c.id = rows.value(1).toString();
        c.name = rows.value(2).toString();
        c.text = rows.value(3).toString();
        c.msgType = rows.value(4).toString();
        c.timeMs = rows.value(5).toLongLong();
        c.unread = rows.value(6).toInt();
        if (!rows.value(7).isNull()) {
            // The newest record kept wins over the service's last word when it is not older.
            const GroupMessageRecord last = recordOf(rows.value(8).toString(), QString());
            bool ok = false;
            qint64 ms = last.sendTime.toLongLong(&ok);
            if (!ok || ms <= 0)
                ms = qint64(rows.value(7).toULongLong());
            if (ms >= c.timeMs) {
                c.text = last.msg;
                c.msgType = last.msgType;
                c.timeMs = ms;
                c.creator = last.creator;
                c.senderName = last.userName;
            }
            if (c.name.isEmpty() && c.group)
                c.name = last.groupName;
        }
        list->append(c);
    }
    return true;
}

bool HistoryDatabase::recent(int limit, RecordKeeper::PrivateTable *privateRecords,
                             RecordKeeper::GroupTable *groupRecords)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery conversations(db);
    if (!conversations.exec(QStringLiteral("SELECT kind, id FROM conversations")))
        return fail(QStringLiteral("read"), conversations.lastError().text());
    QSqlQuery rows(db);
    rows.prepare(
        QStringLiteral("SELECT kind, conversation, msg_id, send_status, body FROM messages"
                       " WHERE kind = ? AND conversation = ? ORDER BY msg_id DESC LIMIT ?"));
    while (conversations.next()) {
        rows.addBindValue(conversations.value(0));
        rows.addBindValue(conversations.value(1));
        rows.addBindValue(limit);
        if (!rows.exec())
            return fail(QStringLiteral("read"), rows.lastError().text());
        while (rows.next())
            addRow(rows, privateRecords, groupRecords);
    }
    return true;
}

bool HistoryDatabase::find(const KeptRecordQuery &query, RecordKeeper::PrivateTable *privateRecords,
                           RecordKeeper::GroupTable *groupRecords)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QString sql =
        QStringLiteral("SELECT kind, conversation, msg_id, send_status, body FROM messages"
                       " WHERE kind = ? AND conversation = ?");
    QVariantList values{query.group ? 1 : 0, query.conversation};
    if (query.fromMs > 0 || query.toMs > 0) {
        sql += QLatin1String(" AND msg_id BETWEEN ? AND ?");
        values << query.fromMs
               << (query.toMs > 0 ? query.toMs : std::numeric_limits<qint64>::max());
    }
    if (!query.text.isEmpty()) {
        sql += QLatin1String(" AND msg LIKE ? ESCAPE '\\'");
        values << likePattern(query.text);
    }
    if (!query.msgType.isEmpty()) {
        sql += QLatin1String(" AND msg_type = ?");
        values << query.msgType;
    }
    sql += QLatin1String(" ORDER BY msg_id DESC LIMIT ?");
    values << qMax(1, query.limit);
    QSqlQuery rows(db);
    rows.prepare(sql);
    for (const QVariant &value : qAsConst(values))
        rows.addBindValue(value);
    if (!rows.exec())
        return fail(QStringLiteral("search"), rows.lastError().text());
    while (rows.next())
        addRow(rows, privateRecords, groupRecords);
    return true;
}

int HistoryDatabase::count()
{
    return scalar(QStringLiteral("SELECT COUNT(*) FROM messages"));
}

bool HistoryDatabase::remove()
{
    const QString path = m_path;
    close();
    if (path.isEmpty())
        return true;
    bool removed = true;
    for (const QString &suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        if (QFile::exists(path + suffix))
            removed = QFile::remove(path + suffix) && removed;
    }
    return removed;
}

QString HistoryDatabase::pathFor(const QString &dataFolder, const QString &server,
                                 const QString &userId)
{
    // User ids are digits; anything else must not reach the path. The server address becomes
    // a short digest, so any address makes a file name.
    QString user = userId;
    user.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(server.trimmed().toLower().toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16));
    QString folder = dataFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("users/") + user + QStringLiteral("/history-") + digest +
           QStringLiteral(".sqlite");
}

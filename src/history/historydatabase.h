#pragma once

#include "messaging/recordkeeper.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVector>

// One user's message history on one server, in an SQLite file readable by that user alone. Used
// from one thread only (the history's worker, or a test): Qt's database connections belong to
// the thread that opened them.
class HistoryDatabase
{
public:
    // The schema this build writes; older files are brought up to it step by step.
    static constexpr int schemaVersion = 3;
    // The conversation's newest records read at start.
    static constexpr int recentLimit = 50;

    struct Entry
    {
        bool group = false;
        QString conversation;
        qulonglong id = 0;
        GroupMessageRecord record; // a private record uses only the MessageRecord part
    };

    HistoryDatabase();
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase &) = delete;
    HistoryDatabase &operator=(const HistoryDatabase &) = delete;

    // Opens (creating it, mode 0600) and migrates. A file that is not a database, or fails
    // SQLite's quick check, is renamed aside (setAsidePath()) and a new one is made in its place.
    // False, with error(), when the file cannot be used, also when a newer build wrote it.
    bool open(const QString &path);
    // Where the last open() moved a damaged file; empty when it did not.
    QString setAsidePath() const { return m_setAside; }
    // The last failure was the disk's lack of space.
    bool diskFull() const { return m_diskFull; }
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }
    QString error() const { return m_error; }
    int version();

    // One transaction: each record replaces the stored one with its id, except that a delivery
    // state never goes back (read stays read) and a record holding only a state keeps the
    // stored text.
    bool write(const QVector<Entry> &entries);
    bool write(const Entry *entries, int count);

    // One transaction of changes to the conversation list.
    bool writeConversations(const QVector<KeptConversation> &changes);
    // Every conversation kept with a message or something unread, with its last message: the newest
    // record kept, or what the service last said when that is newer.
    bool conversations(QVector<KeptConversation> *list);

    // The newest `limit` records of every conversation, oldest first within each.
    bool recent(int limit, RecordKeeper::PrivateTable *privateRecords,
                RecordKeeper::GroupTable *groupRecords);
    bool find(const KeptRecordQuery &query, RecordKeeper::PrivateTable *privateRecords,
              RecordKeeper::GroupTable *groupRecords);
    int count();

    // Closes and deletes the file.
    bool remove();

    // Where a user's history of a server is kept, below `dataFolder`.
    static QString pathFor(const QString &dataFolder, const QString &server, const QString &userId);

private:
    bool openFile(const QString &path);
    // True when the open file is damaged (not a database, or the quick check finds faults).
    bool damaged();
    bool setAside();
    bool migrate();
    // The first column of a one-row query, or -1 when it fails.
    int scalar(const QString &sql);
    bool fail(const QString &what, const QString &detail);
    bool fail(const QString &what, const QSqlError &error);
    // One statement of a write; a failure undoes the whole transaction.
    bool writeStep(QSqlQuery &query, QSqlDatabase &db);

    QString m_connection;
    QString m_path;
    QString m_error;
    QString m_setAside;
    bool m_diskFull = false;
};

#pragma once

#include "historyworker.h"
#include "messaging/recordkeeper.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QVector>

#include <memory>

// The local message history of the signed-in user: keeps every record the engine's stores take
// in and answers searches and the start-up view, all on a worker thread of its own. Records are
// queued (cheaply, under a short lock, from any thread) and written in batches of 500, one
// transaction each, when the queue is 100 ms old or holds 20,000 records: a burst is taken in
// while it arrives, without the writes taking a core from it, and written right after. Reads
// see everything queued before them.
class LocalHistory : public QObject, public RecordKeeper
{
    Q_OBJECT
public:
    static constexpr int batchDelayMs = 100;
    static constexpr int batchSize = 500;
    // So many queued records are written at once, without waiting for the delay.
    static constexpr int queueLimit = 20000;

    explicit LocalHistory(QObject *parent = nullptr);
    // Writes what is queued and closes the file.
    ~LocalHistory() override;

    // Opens (or creates) the file and brings its schema up to date; opened() tells how it went.
    // Records queued meanwhile are written to it.
    void open(const QString &path);
    // Writes what is queued and closes the file, waiting for the worker (used at exit).
    void close();
    // The conversation list and the newest `limit` records of every conversation;
    // conversationsLoaded() then recentLoaded() bring them.
    void loadRecent(int limit);
    // Forgets what is queued, deletes the file and starts an empty one; cleared() follows.
    void clear();
    // Written records so far, and waiting ones, also those being written (for tests and the
    // benchmark).
    qint64 writtenCount() const;
    int queuedCount() const;
    QString path() const;

    void keepPrivate(const QString &conversation, qulonglong id,
                     const MessageRecord &record) override;
    void keepGroup(const QString &groupId, qulonglong id,
                   const GroupMessageRecord &record) override;
    void find(const KeptRecordQuery &query, QObject *context, Found found) override;
    void keepConversation(const KeptConversation &change) override;

signals:
    void opened(bool ok, const QString &error);
    void conversationsLoaded(const QVector<KeptConversation> &conversations);
    void recentLoaded(const RecordKeeper::PrivateTable &privateRecords,
                      const RecordKeeper::GroupTable &groupRecords);
    void cleared(bool ok);
    // A batch could not be written; its records are lost to the history (not to the view).
    void writeFailed(const QString &error);
    void batchWritten(int records);

private:
    void enqueue(bool group, const QString &conversation, qulonglong id, GroupMessageRecord record);

    QThread m_thread;
    HistoryWorker *m_worker = nullptr;
    std::shared_ptr<HistoryWorker::Queue> m_queue;
    QString m_path;
};

Q_DECLARE_METATYPE(RecordKeeper::PrivateTable)
Q_DECLARE_METATYPE(RecordKeeper::GroupTable)
Q_DECLARE_METATYPE(QVector<KeptConversation>)

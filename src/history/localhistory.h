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
// transaction each, once the queue is 100 ms old and no record came for 20 ms (after a second at
// most), or when it holds 20,000 records: a burst is taken in while it arrives, without the
// writes taking a core from it, and written right after. Reads see everything queued before
// them.
//
// A batch that fails (a full disk) stays queued and is tried again, each time later. What waits
// is bounded in memory: a record that does not fit is left out (the service keeps it), and
// gapStarted() says from when the local copy misses records.
class LocalHistory : public QObject, public RecordKeeper
{
    Q_OBJECT
public:
    static constexpr int batchDelayMs = 100;
    // While records keep coming, the write waits for a pause this long, up to the bound.
    static constexpr int batchQuietMs = 20;
    static constexpr int batchMaxDelayMs = 1000;
    static constexpr int batchSize = 500;
    // So many queued records are written at once, without waiting for the delay.
    static constexpr int queueLimit = 20000;
    // The most the records waiting to be written may hold in memory (about 60,000 messages).
    static constexpr qint64 queueByteLimit = 64 * 1024 * 1024;
    // A failed write is tried again after this long, doubled each time up to the last.
    static constexpr int retryFirstMs = 500;
    static constexpr int retryLastMs = 30000;

    explicit LocalHistory(QObject *parent = nullptr);
    // Writes what is queued and closes the file.
    ~LocalHistory() override;

    // Opens (or creates) the file and brings its schema up to date; opened() tells how it went.
    // Records queued meanwhile are written to it.
    void open(const QString &path);
    // Writes what is queued and closes the file, waiting for the worker (used at exit).
    // `dropUnwritten`: what could not be written goes too, so it never reaches the next file
    // (a sign-out; the server keeps the history).
    void close(bool dropUnwritten = false);
    // The conversation list and the newest `limit` records of every conversation;
    // conversationsLoaded() then recentLoaded() bring them.
    void loadRecent(int limit);
    // Forgets what is queued, deletes the file and starts an empty one; cleared() follows.
    void clear();
    // Written records so far, and waiting ones, also those being written (for tests and the
    // benchmark).
    qint64 writtenCount() const;
    int queuedCount() const;
    // About the memory the waiting records hold now, and the most they held.
    qint64 queuedBytes() const;
    qint64 peakQueuedBytes() const;
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
    // The file was damaged; it was renamed to `movedTo` and an empty one is used instead.
    void setAside(const QString &movedTo);
    // A batch could not be written; it stays queued and is tried again later.
    void writeFailed(const QString &error, bool diskFull);
    // Writes succeed again after writeFailed().
    void writeResumed();
    // Records arriving from `sinceMs` (ms since the epoch) on did not fit in the queue and are
    // not kept here; once per gap.
    void gapStarted(qint64 sinceMs);
    void batchWritten(int records);

private:
    void enqueue(bool group, const QString &conversation, qulonglong id, GroupMessageRecord record);
    // Counts `bytes` in, or says the queue is full; with the queue's lock held.
    bool admit(qint64 bytes);

    QThread m_thread;
    HistoryWorker *m_worker = nullptr;
    std::shared_ptr<HistoryWorker::Queue> m_queue;
    QString m_path;
};

Q_DECLARE_METATYPE(RecordKeeper::PrivateTable)
Q_DECLARE_METATYPE(RecordKeeper::GroupTable)
Q_DECLARE_METATYPE(QVector<KeptConversation>)

#pragma once

#include "historydatabase.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QVector>

#include <memory>
#include <mutex>

class LocalHistory;
class QTimer;

// The history's side on its worker thread: owns the database connection and writes the
// queued records in batches.
class HistoryWorker : public QObject
{
    Q_OBJECT
public:
    struct Queue
    {
        std::mutex mutex;
        QVector<HistoryDatabase::Entry> entries;
        QVector<KeptConversation> conversations;
        bool flushPosted = false;
        // Records and changes queued so far, so the worker sees whether a burst goes on.
        quint64 arrivals = 0;
        qint64 written = 0;
        // Taken from `entries` by the worker and not written yet.
        int taken = 0;
        // About how much memory the records not written yet hold (queued and taken), and the
        // most they held; bounded by LocalHistory::queueByteLimit.
        qint64 bytes = 0;
        qint64 peakBytes = 0;
        // When the first record that did not fit was left out (ms since the epoch; 0: none).
        qint64 gapSinceMs = 0;
    };

    // About what one record or change takes in memory while it waits.
    static qint64 bytesOf(const HistoryDatabase::Entry &entry);
    static qint64 bytesOf(const KeptConversation &change);

    HistoryWorker(LocalHistory *owner, std::shared_ptr<Queue> queue);

    // All run on the worker thread.
    void start();
    void open(const QString &path);
    // Writes what is queued, unless a failed write waits for its retry (`retrying` is that
    // retry, or the last chance at close).
    void flush(bool retrying = false);
    void close(bool dropUnwritten = false);
    void loadRecent(int limit);
    void clear();
    void find(const KeptRecordQuery &query, const QPointer<QObject> &target,
              RecordKeeper::Found found);
    // Asked from any thread once the queue has something: a batch soon, or at once when full.
    void schedule(bool full);

private:
    // Puts what was not written back in front of the queue and tries again later, each time
    // waiting longer.
    void keepForRetry(QVector<KeptConversation> changes,
                      const QVector<HistoryDatabase::Entry> &rest, int from);
    // A write succeeded: after failures, writeResumed().
    void resumed();
    // The batch delay ran out: written now, unless records still pour in (then a little later,
    // up to LocalHistory::batchMaxDelayMs after the first of them).
    void batchDue();

    LocalHistory *m_owner;
    std::shared_ptr<Queue> m_queue;
    HistoryDatabase m_db;
    QTimer *m_timer = nullptr;
    QElapsedTimer m_waiting; // since the batch timer was first armed for what waits
    quint64 m_armedArrivals = 0;
    QTimer *m_retry = nullptr;
    int m_retryDelayMs = 0;
    bool m_failing = false;
};

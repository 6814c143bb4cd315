#pragma once

#include "historydatabase.h"

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
        qint64 written = 0;
        // Taken from `entries` by the worker and not written yet.
        int taken = 0;
    };

    HistoryWorker(LocalHistory *owner, std::shared_ptr<Queue> queue);

    // All run on the worker thread.
    void start();
    void open(const QString &path);
    void flush();
    void close();
    void loadRecent(int limit);
    void clear();
    void find(const KeptRecordQuery &query, const QPointer<QObject> &target,
              RecordKeeper::Found found);
    // Asked from any thread once the queue has something: a batch soon, or at once when full.
    void schedule(bool full);

private:
    LocalHistory *m_owner;
    std::shared_ptr<Queue> m_queue;
    HistoryDatabase m_db;
    QTimer *m_timer = nullptr;
};

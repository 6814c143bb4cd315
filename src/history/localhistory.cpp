#include "localhistory.h"

#include <QDateTime>
#include <QMetaObject>
#include <QPointer>

LocalHistory::LocalHistory(QObject *parent)
    : QObject(parent), m_queue(std::make_shared<HistoryWorker::Queue>())
{
    qRegisterMetaType<RecordKeeper::PrivateTable>();
    qRegisterMetaType<RecordKeeper::GroupTable>();
    qRegisterMetaType<QVector<KeptConversation>>();
    m_worker = new HistoryWorker(this, m_queue);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("history"));
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, [worker = m_worker]() { worker->start(); });
}

LocalHistory::~LocalHistory()
{
    close();
    m_thread.quit();
    m_thread.wait();
}

void LocalHistory::open(const QString &path)
{
    m_path = path;
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, path]() { worker->open(path); });
}

void LocalHistory::close(bool dropUnwritten)
{
    if (!m_thread.isRunning())
        return;
    // Bounded by what is queued: the worker never waits for this thread.
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, dropUnwritten]() { worker->close(dropUnwritten); },
        Qt::BlockingQueuedConnection);
}

void LocalHistory::loadRecent(int limit)
{
    QMetaObject::invokeMethod(m_worker,
                              [worker = m_worker, limit]() { worker->loadRecent(limit); });
}

void LocalHistory::clear()
{
    QMetaObject::invokeMethod(m_worker, [worker = m_worker]() { worker->clear(); });
}

qint64 LocalHistory::writtenCount() const
{
    std::lock_guard<std::mutex> lock(m_queue->mutex);
    return m_queue->written;
}

int LocalHistory::queuedCount() const
{
    std::lock_guard<std::mutex> lock(m_queue->mutex);
    return m_queue->entries.size() + m_queue->taken;
}

qint64 LocalHistory::queuedBytes() const
{
    std::lock_guard<std::mutex> lock(m_queue->mutex);
    return m_queue->bytes;
}

qint64 LocalHistory::peakQueuedBytes() const
{
    std::lock_guard<std::mutex> lock(m_queue->mutex);
    return m_queue->peakBytes;
}

bool LocalHistory::admit(qint64 bytes)
{
    if (m_queue->bytes + bytes > queueByteLimit) {
        if (m_queue->gapSinceMs == 0) {
            const qint64 since = QDateTime::currentMSecsSinceEpoch();
            m_queue->gapSinceMs = since;
            // Told from this object's thread: the caller holds a store's lock.
            QMetaObject::invokeMethod(
                this, [this, since]() { emit gapStarted(since); }, Qt::QueuedConnection);
        }
        return false;
    }
    m_queue->bytes += bytes;
    m_queue->peakBytes = qMax(m_queue->peakBytes, m_queue->bytes);
    return true;
}

QString LocalHistory::path() const
{
    return m_path;
}

void LocalHistory::enqueue(bool group, const QString &conversation, qulonglong id,
                           GroupMessageRecord record)
{
    if (conversation.isEmpty() || id == 0)
        return;
    HistoryDatabase::Entry entry;
    entry.group = group;
    entry.conversation = conversation;
    entry.id = id;
    entry.record = std::move(record);
    const qint64 bytes = HistoryWorker::bytesOf(entry);
    bool post = false;
    bool full = false;
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        if (!admit(bytes))
            return;
        m_queue->entries.append(std::move(entry));
        ++m_queue->arrivals;
        full = m_queue->entries.size() % queueLimit == 0;
        // One wake-up per batch, not one per record.
        post = !m_queue->flushPosted || full;
        m_queue->flushPosted = true;
    }
    if (post)
        QMetaObject::invokeMethod(m_worker,
                                  [worker = m_worker, full]() { worker->schedule(full); });
}

void LocalHistory::keepConversation(const KeptConversation &change)
{
    if (change.id.isEmpty())
        return;
    bool post = false;
    const qint64 bytes = HistoryWorker::bytesOf(change);
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        if (!admit(bytes))
            return;
        m_queue->conversations.append(change);
        ++m_queue->arrivals;
        post = !m_queue->flushPosted;
        m_queue->flushPosted = true;
    }
    if (post)
        QMetaObject::invokeMethod(m_worker, [worker = m_worker]() { worker->schedule(false); });
}

void LocalHistory::keepPrivate(const QString &conversation, qulonglong id,
                               const MessageRecord &record)
{
    GroupMessageRecord copy;
    static_cast<MessageRecord &>(copy) = record;
    enqueue(false, conversation, id, std::move(copy));
}

void LocalHistory::keepGroup(const QString &groupId, qulonglong id,
                             const GroupMessageRecord &record)
{
    enqueue(true, groupId, id, record);
}

void LocalHistory::find(const KeptRecordQuery &query, QObject *context, Found found)
{
    QMetaObject::invokeMethod(m_worker,
                              [worker = m_worker, query, target = QPointer<QObject>(context),
                               found]() { worker->find(query, target, found); });
}

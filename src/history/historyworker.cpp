#include "historyworker.h"

#include "localhistory.h"
#include "logging.h"

#include <QPointer>
#include <QTimer>

HistoryWorker::HistoryWorker(LocalHistory *owner, std::shared_ptr<Queue> queue)
    : m_owner(owner), m_queue(std::move(queue))
{}

void HistoryWorker::start()
{
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(LocalHistory::batchDelayMs);
    connect(m_timer, &QTimer::timeout, this, &HistoryWorker::flush);
}

void HistoryWorker::open(const QString &path)
{
    const bool ok = m_db.open(path);
    emit m_owner->opened(ok, m_db.error());
    if (ok)
        flush();
}

void HistoryWorker::schedule(bool full)
{
    if (full) {
        flush();
        return;
    }
    if (!m_timer->isActive())
        m_timer->start();
}

void HistoryWorker::flush()
{
    m_timer->stop();
    // Nothing is taken before the file is open: what arrives before sign-in's open waits.
    if (!m_db.isOpen()) {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        m_queue->flushPosted = false;
        return;
    }
    while (true) {
        // All that is queued at once, written in batches: taking each batch off the front of
        // the queue moved the whole rest of a long burst every time.
        QVector<HistoryDatabase::Entry> pending;
        QVector<KeptConversation> changes;
        {
            std::lock_guard<std::mutex> lock(m_queue->mutex);
            if (m_queue->entries.isEmpty() && m_queue->conversations.isEmpty()) {
                m_queue->flushPosted = false;
                return;
            }
            changes.swap(m_queue->conversations);
            pending.swap(m_queue->entries);
            m_queue->taken = pending.size();
        }
        if (!changes.isEmpty() && !m_db.writeConversations(changes))
            emit m_owner->writeFailed(m_db.error());
        for (int from = 0; from < pending.size(); from += LocalHistory::batchSize) {
            const int count = qMin(LocalHistory::batchSize, pending.size() - from);
            const bool ok = m_db.write(pending.constData() + from, count);
            {
                std::lock_guard<std::mutex> lock(m_queue->mutex);
                m_queue->taken -= count;
                if (ok)
                    m_queue->written += count;
            }
            if (ok)
                emit m_owner->batchWritten(count);
            else
                emit m_owner->writeFailed(m_db.error());
        }
    }
}

void HistoryWorker::close()
{
    flush();
    m_db.close();
}

void HistoryWorker::loadRecent(int limit)
{
    flush();
    RecordKeeper::PrivateTable privateRecords;
    RecordKeeper::GroupTable groupRecords;
    QVector<KeptConversation> conversations;
    if (m_db.isOpen()) {
        m_db.conversations(&conversations);
        m_db.recent(limit, &privateRecords, &groupRecords);
    }
    // The list first, so its rows are there when their records come.
    emit m_owner->conversationsLoaded(conversations);
    emit m_owner->recentLoaded(privateRecords, groupRecords);
}

void HistoryWorker::clear()
{
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        m_queue->entries.clear();
        m_queue->conversations.clear();
    }
    const QString path = m_db.path();
    bool ok = m_db.remove();
    // A fresh, empty file for what the user sees from now on.
    if (!path.isEmpty())
        ok = m_db.open(path) && ok;
    emit m_owner->cleared(ok);
}

void HistoryWorker::find(const KeptRecordQuery &query, const QPointer<QObject> &target,
                         RecordKeeper::Found found)
{
    flush();
    RecordKeeper::PrivateTable privateRecords;
    RecordKeeper::GroupTable groupRecords;
    if (m_db.isOpen())
        m_db.find(query, &privateRecords, &groupRecords);
    if (!target)
        return;
    QMetaObject::invokeMethod(
        target.data(),
        [target, found = std::move(found), privateRecords, groupRecords]() {
            if (target)
                found(privateRecords, groupRecords);
        },
        Qt::QueuedConnection);
}

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
    connect(m_timer, &QTimer::timeout, this, &HistoryWorker::batchDue);
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, [this]() { flush(true); });
}

qint64 HistoryWorker::bytesOf(const HistoryDatabase::Entry &entry)
{
    // Each text is an allocation of its own: a header and UTF-16 with its terminator.
    auto textBytes = [](const QString &text) -> qint64 {
        return text.isNull() ? 0 : 32 + 2 * (qint64(text.size()) + 1);
    };
    const GroupMessageRecord &r = entry.record;
    qint64 bytes = sizeof(HistoryDatabase::Entry) + textBytes(entry.conversation);
    for (const QString *text :
         {&r.creator, &r.download, &r.fileType, &r.haveread, &r.msg, &r.msgId, &r.msgType,
          &r.sendTime, &r.time, &r.type, &r.sendStatus, &r.groupId, &r.userId, &r.userName,
          &r.groupName, &r.unread, &r.userTime})
        bytes += textBytes(*text);
    for (const QString &member : r.members)
        bytes += 8 + textBytes(member);
    for (const QString &reader : r.readers)
        bytes += 32 + textBytes(reader);
    return bytes;
}

qint64 HistoryWorker::bytesOf(const KeptConversation &change)
{
    qint64 bytes = sizeof(KeptConversation);
    for (const QString *text : {&change.id, &change.name, &change.text, &change.msgType,
                                &change.creator, &change.senderName})
        bytes += text->isNull() ? 0 : 32 + 2 * (qint64(text->size()) + 1);
    return bytes;
}

void HistoryWorker::open(const QString &path)
{
    m_retry->stop();
    m_retryDelayMs = 0;
    m_failing = false;
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        m_queue->gapSinceMs = 0;
    }
    const bool ok = m_db.open(path);
    if (!m_db.setAsidePath().isEmpty())
        emit m_owner->setAside(m_db.setAsidePath());
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
    if (m_timer->isActive())
        return;
    if (!m_waiting.isValid())
        m_waiting.start();
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        m_armedArrivals = m_queue->arrivals;
    }
    m_timer->start(LocalHistory::batchDelayMs);
}

void HistoryWorker::batchDue()
{
    quint64 arrivals = 0;
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        arrivals = m_queue->arrivals;
    }
    // Writing while a burst is still taken in would take a core from it: the writes wait for a
    // pause, or for the bound.
    if (arrivals != m_armedArrivals && m_waiting.isValid() &&
        m_waiting.elapsed() < LocalHistory::batchMaxDelayMs) {
        m_armedArrivals = arrivals;
        m_timer->start(LocalHistory::batchQuietMs);
        return;
    }
    flush();
}

void HistoryWorker::flush(bool retrying)
{
    m_timer->stop();
    m_waiting.invalidate();
    // A failed write waits for its retry; the records stay queued (and flushPosted set, so
    // arrivals post nothing meanwhile).
    if (m_retry->isActive() && !retrying)
        return;
    m_retry->stop();
    // Nothing is taken before the file is open: what arrives before sign-in's open waits.
    if (!m_db.isOpen())
        return;
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
        if (!changes.isEmpty()) {
            if (!m_db.writeConversations(changes)) {
                keepForRetry(std::move(changes), pending, 0);
                return;
            }
            qint64 bytes = 0;
            for (const KeptConversation &change : qAsConst(changes))
                bytes += bytesOf(change);
            {
                std::lock_guard<std::mutex> lock(m_queue->mutex);
                m_queue->bytes -= bytes;
            }
            resumed();
        }
        for (int from = 0; from < pending.size(); from += LocalHistory::batchSize) {
            const int count = qMin(LocalHistory::batchSize, pending.size() - from);
            if (!m_db.write(pending.constData() + from, count)) {
                keepForRetry({}, pending, from);
                return;
            }
            qint64 bytes = 0;
            for (int i = from; i < from + count; ++i)
                bytes += bytesOf(pending.at(i));
            {
                std::lock_guard<std::mutex> lock(m_queue->mutex);
                m_queue->taken -= count;
                m_queue->written += count;
                m_queue->bytes -= bytes;
            }
            resumed();
            emit m_owner->batchWritten(count);
        }
    }
}

void HistoryWorker::resumed()
{
    if (!m_failing)
        return;
    m_failing = false;
    m_retryDelayMs = 0;
    emit m_owner->writeResumed();
}

void HistoryWorker::keepForRetry(QVector<KeptConversation> changes,
                                 const QVector<HistoryDatabase::Entry> &rest, int from)
{
    {
        std::lock_guard<std::mutex> lock(m_queue->mutex);
        // In front of what came meanwhile: a later change of a record must stay the later one.
        if (from < rest.size()) {
            QVector<HistoryDatabase::Entry> entries;
            entries.reserve(rest.size() - from + m_queue->entries.size());
            std::copy(rest.cbegin() + from, rest.cend(), std::back_inserter(entries));
            entries += m_queue->entries;
            m_queue->entries.swap(entries);
        }
        if (!changes.isEmpty()) {
            changes += m_queue->conversations;
            m_queue->conversations.swap(changes);
        }
        m_queue->taken = 0;
        m_queue->flushPosted = true;
    }
    m_failing = true;
    m_retryDelayMs = m_retryDelayMs == 0 ? LocalHistory::retryFirstMs
                                         : qMin(2 * m_retryDelayMs, LocalHistory::retryLastMs);
    m_retry->start(m_retryDelayMs);
    emit m_owner->writeFailed(m_db.error(), m_db.diskFull());
}

void HistoryWorker::close(bool dropUnwritten)
{
    // One more try for what waits after a failure: the process may be about to end.
    flush(m_retry->isActive());
    m_retry->stop();
    m_db.close();
    if (!dropUnwritten)
        return;
    std::lock_guard<std::mutex> lock(m_queue->mutex);
    m_queue->entries.clear();
    m_queue->conversations.clear();
    m_queue->taken = 0;
    m_queue->bytes = 0;
    m_queue->flushPosted = false;
    m_queue->gapSinceMs = 0;
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
        m_queue->bytes = 0;
        m_queue->gapSinceMs = 0;
        m_queue->flushPosted = false;
    }
    m_retry->stop();
    m_retryDelayMs = 0;
    m_failing = false;
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

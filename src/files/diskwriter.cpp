#include "diskwriter.h"

#include "logging.h"

#include <QSaveFile>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif

namespace {

// Every so many bytes the disk is asked to start writing them, so the wait for the disk when the
// file is put in place covers only the last of them rather than the whole file.
constexpr qint64 kWriteBehindStep = 8 * 1024 * 1024;

} // namespace

DiskWriter::DiskWriter(std::unique_ptr<QSaveFile> file, QObject *owner, qint64 limit,
                       std::function<void()> drained, std::function<void()> failed)
    : m_file(std::move(file))
    , m_fileName(m_file->fileName())
    , m_owner(owner)
    , m_limit(limit)
    , m_drained(std::move(drained))
    , m_failed(std::move(failed))
{
    m_thread = std::thread([this] { run(); });
}

DiskWriter::~DiskWriter()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_queue.clear();
    }
    m_wake.notify_one();
    m_thread.join();
    // Not put in place: the temporary file goes.
    if (m_file->isOpen())
        m_file->cancelWriting();
}

void DiskWriter::write(QByteArray data)
{
    if (data.isEmpty())
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_broken || m_stop || m_finishing)
            return;
        m_queuedBytes += data.size();
        m_queue.push_back(std::move(data));
        if (m_queuedBytes >= m_limit)
            m_drainAsked = true;
    }
    m_wake.notify_one();
}

qint64 DiskWriter::queuedBytes() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_queuedBytes;
}

void DiskWriter::finish(bool keep, std::function<void(bool)> done)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finishing)
            return;
        m_finishing = true;
        m_keep = keep;
        m_done = std::move(done);
        if (!keep) {
            m_queue.clear();
            m_queuedBytes = 0;
        }
    }
    m_wake.notify_one();
}

void DiskWriter::post(std::function<void()> call)
{
    if (QObject *owner = m_owner.data())
        QMetaObject::invokeMethod(owner, std::move(call), Qt::QueuedConnection);
}

void DiskWriter::writeBehind(qint64 written)
{
    m_unsynced += written;
    if (m_unsynced < kWriteBehindStep)
        return;
#ifdef Q_OS_LINUX
    // Only starts the writing: the thread goes on at once.
    if (m_file->flush())
        ::sync_file_range(m_file->handle(), m_synced, m_unsynced, SYNC_FILE_RANGE_WRITE);
#endif
    m_synced += m_unsynced;
    m_unsynced = 0;
}

void DiskWriter::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_finishing || !m_queue.empty(); });
        if (m_stop)
            return;
        if (!m_queue.empty()) {
            const QByteArray data = std::move(m_queue.front());
            m_queue.pop_front();
            const bool broken = m_broken;
            lock.unlock();
            const bool written = broken || m_file->write(data) == data.size();
            if (written && !broken)
                writeBehind(data.size());
            if (!written)
                qCWarning(lcFiles)
                    << "cannot write the download" << m_fileName << m_file->errorString();
            lock.lock();
            m_queuedBytes -= data.size();
            if (!written && !m_broken) {
                m_broken = true;
                post(m_failed);
            }
            if (m_drainAsked && m_queuedBytes < m_limit / 2) {
                m_drainAsked = false;
                post(m_drained);
            }
            continue;
        }
        // Finishing, and everything is written.
        const bool keep = m_keep && !m_broken;
        std::function<void(bool)> done = std::move(m_done);
        lock.unlock();
        bool inPlace = false;
        if (keep) {
            // Flushed first: on a full disk the commit alone can report a write that failed in
            // its buffer as done, and put a short file in place.
            inPlace = m_file->flush() && m_file->commit();
            if (!inPlace)
                qCWarning(lcFiles)
                    << "cannot put the download in place" << m_fileName << m_file->errorString();
        } else {
            m_file->cancelWriting();
        }
        if (done)
            post([done, inPlace] { done(inPlace); });
        lock.lock();
        // Nothing more to do; the destructor ends the thread.
        m_wake.wait(lock, [this] { return m_stop; });
        return;
    }
}

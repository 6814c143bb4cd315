#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QSaveFile;

// Writes a download to its file on a thread of its own, so neither a slow disk holds the window
// nor the disk and the network wait for each other. What waits to be written is bounded by its
// owner, which stops taking bytes from the network while `queuedBytes()` is above its mark.
class DiskWriter
{
public:
    // `owner` hears the writer's news on its own thread; news for an owner gone is dropped.
    // `drained`: the queue fell below half of `limit`; `failed`: a write went wrong (no further
    // write is tried).
    DiskWriter(std::unique_ptr<QSaveFile> file, QObject *owner, qint64 limit,
               std::function<void()> drained, std::function<void()> failed);
    // Drops what is not written yet and the temporary file.
    ~DiskWriter();
    DiskWriter(const DiskWriter &) = delete;
    DiskWriter &operator=(const DiskWriter &) = delete;

    void write(QByteArray data);
    qint64 queuedBytes() const;
    bool full() const { return queuedBytes() >= m_limit; }
    QString fileName() const { return m_fileName; }
    // Writes what is queued, then puts the file in place (`keep`) or drops it, and tells `done`
    // on the owner's thread whether the file is in place.
    void finish(bool keep, std::function<void(bool inPlace)> done);

private:
    void run();
    // On the writer's thread, after each write.
    void writeBehind(qint64 written);
    void post(std::function<void()> call);

    const std::unique_ptr<QSaveFile> m_file;
    const QString m_fileName;
    const QPointer<QObject> m_owner;
    const qint64 m_limit;
    const std::function<void()> m_drained;
    const std::function<void()> m_failed;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<QByteArray> m_queue;
    qint64 m_queuedBytes = 0;
    bool m_broken = false;
    bool m_stop = false;
    bool m_finishing = false;
    bool m_keep = false;
    bool m_drainAsked = false;
    std::function<void(bool)> m_done;
    // The writer thread's own: how far the disk was asked to write, and what came since.
    qint64 m_synced = 0;
    qint64 m_unsynced = 0;
    std::thread m_thread;
};

#include "signaloutbox.h"

#include <QThread>
#include <QTimer>

SignalOutbox::SignalOutbox(QObject *parent) : QObject(parent)
{
    connect(this, &SignalOutbox::ready, this, &SignalOutbox::drain, Qt::QueuedConnection);
}

void SignalOutbox::post(std::function<void()> work)
{
    const bool here = QThread::currentThread() == thread();
    bool wake = false;
    bool scheduleFlush = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (here && m_queue.empty()) {
            // Nothing waits that should go first.
        } else {
            m_queue.push_back(std::move(work));
            work = nullptr;
            if (here) {
                wake = !m_wakePending;
                m_wakePending = true;
            } else {
                if (!m_flushScheduled) {
                    m_flushScheduled = true;
                    scheduleFlush = true;
                }
                // A long batch of input wakes an idle owner before it ends, so both threads
                // work on a burst at once instead of one after the other.
                if (!m_wakePending && m_queue.size() >= earlyWakeBatch) {
                    m_wakePending = true;
                    wake = true;
                }
            }
        }
    }
    if (work)
        work();
    if (wake)
        emit ready();
    // Runs on this thread after what it is busy with now (the rest of the input already read).
    if (scheduleFlush)
        QTimer::singleShot(0, [this]() { flush(); });
}

void SignalOutbox::flush()
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_flushScheduled = false;
        wake = !m_queue.empty() && !m_wakePending;
        if (wake)
            m_wakePending = true;
    }
    if (wake)
        emit ready();
}

void SignalOutbox::discard()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.clear();
}

void SignalOutbox::drain()
{
    // Inside a local event loop of a slot: what arrived meanwhile waits for the outer drain,
    // which takes it once the rest of its batch is done (the wake stays pending until then).
    if (m_draining)
        return;
    m_draining = true;
    for (;;) {
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            batch.swap(m_queue);
            if (batch.empty()) {
                m_wakePending = false;
                break;
            }
        }
        for (const std::function<void()> &work : batch)
            work();
    }
    m_draining = false;
}

#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

// Hands work (in practice: signal emissions) from the socket.io network thread to the thread the
// outbox lives on, in the order it was posted. A burst of events costs one wake-up of that
// thread per batch of network input instead of one per event: the network thread gathers what
// it posts while it works through its input and wakes the owner once it is done with it, or
// earlier in a long batch while the owner is idle.
class SignalOutbox : public QObject
{
    Q_OBJECT
public:
    // Posts from another thread that wake the owner without waiting for the end of the batch,
    // when it is not busy with earlier ones already.
    static constexpr std::size_t earlyWakeBatch = 64;

    explicit SignalOutbox(QObject *parent = nullptr);

    // Runs `work` on the outbox's thread: at once when called there with nothing waiting,
    // otherwise after everything posted before it.
    void post(std::function<void()> work);
    // Drops what was posted and has not run yet (the link it came from is gone).
    void discard();

signals:
    // Internal: there is work for the outbox's thread.
    void ready();

private slots:
    void drain();

private:
    // On a posting thread, once its current batch of input is handled.
    void flush();

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_queue;
    bool m_wakePending = false;
    bool m_flushScheduled = false;
    // Owner's thread only: a drain is running. A slot that waits in a local event loop must not
    // start a second one, which would hand over later work ahead of the rest of this batch.
    bool m_draining = false;
};

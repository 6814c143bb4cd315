#pragma once

#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

class QThread;

namespace sio {

class ClientCore;

// State that the public Client, its Sockets (on any thread) and the I/O thread's ClientCore share.
// Work for the core goes through `run`, which refuses once the client is going away. Plain
// standard mutexes, so thread checkers see every hand-over between the threads.
class ClientShared
{
public:
    using Task = std::function<void(ClientCore *)>;
    using Listener = std::function<void()>;
    using ReasonListener = std::function<void(const QString &reason)>;
    using SocketListener = std::function<void(const QString &nsp)>;
    using SocketCloseListener = std::function<void(const QString &nsp, const QString &reason)>;

    void attach(ClientCore *core, QThread *thread);

    // Runs `task` on the I/O thread: at once when already there, otherwise queued behind every
    // task queued before it (so each caller's order holds). False once the client is gone.
    bool run(Task task);
    // Runs the queued tasks; called on the I/O thread by `core`.
    void drain(ClientCore *core);

    // Takes the core away from future `run` calls, silences every listener and handler, and
    // queues `last` as the final task.
    void detach(Task last);
    bool alive() const;

    void setOpenListener(Listener listener);
    void setFailListener(ReasonListener listener);
    void setReconnectingListener(ReasonListener listener);
    void setSocketOpenListener(SocketListener listener);
    void setSocketCloseListener(SocketCloseListener listener);
    void clearListeners();

    // Copies of the listeners, taken under the lock; empty once the client is gone.
    Listener openListener() const;
    ReasonListener failListener() const;
    ReasonListener reconnectingListener() const;
    SocketListener socketOpenListener() const;
    SocketCloseListener socketCloseListener() const;

    std::atomic<bool> open{false};
    // Set by the I/O thread as the very last thing it does for the client.
    std::atomic<bool> finished{false};
    // The client went away without waiting for its thread (destroyed from its own callback).
    std::atomic<bool> orphaned{false};

private:
    // Queues under the lock; wakes the core when the queue was empty (one wake-up per batch).
    void enqueue(std::unique_lock<std::mutex> &lock, ClientCore *target, Task task);

    mutable std::mutex m_mutex;
    ClientCore *m_core = nullptr;
    QThread *m_thread = nullptr;
    // Written under the lock, read without it: every event's dispatch asks.
    std::atomic<bool> m_alive{true};
    std::deque<Task> m_tasks;
    Listener m_onOpen;
    ReasonListener m_onFail;
    ReasonListener m_onReconnecting;
    SocketListener m_onSocketOpen;
    SocketCloseListener m_onSocketClose;
};

} // namespace sio

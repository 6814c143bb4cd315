#include "clientshared.h"

#include "clientcore.h"

#include <QThread>

namespace sio {

void ClientShared::attach(ClientCore *core, QThread *thread)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_core = core;
    m_thread = thread;
}

bool ClientShared::run(Task task)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ClientCore *target = m_core;
    if (!target)
        return false;
    if (QThread::currentThread() == m_thread) {
        // The core is only deleted on this thread, so it outlives this call without the lock.
        lock.unlock();
        task(target);
        return true;
    }
    enqueue(lock, target, std::move(task));
    return true;
}

void ClientShared::enqueue(std::unique_lock<std::mutex> &lock, ClientCore *target, Task task)
{
    const bool wake = m_tasks.empty();
    m_tasks.push_back(std::move(task));
    // The wake-up carries no data: the tasks themselves cross under the mutex. Posted under it,
    // so the core cannot run this task (the last one deletes it) before the post is done.
    if (wake)
        QMetaObject::invokeMethod(target, "drainTasks", Qt::QueuedConnection);
    lock.unlock();
}

void ClientShared::drain(ClientCore *core)
{
    std::deque<Task> tasks;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        tasks.swap(m_tasks);
    }
    for (Task &task : tasks)
        task(core);
}

void ClientShared::detach(Task last)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ClientCore *target = m_core;
    m_core = nullptr;
    m_alive = false;
    m_onOpen = nullptr;
    m_onFail = nullptr;
    m_onReconnecting = nullptr;
    m_onSocketOpen = nullptr;
    m_onSocketClose = nullptr;
    if (target)
        enqueue(lock, target, std::move(last));
}

bool ClientShared::alive() const
{
    return m_alive.load(std::memory_order_acquire);
}

void ClientShared::setOpenListener(Listener listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_alive)
        m_onOpen = std::move(listener);
}

void ClientShared::setFailListener(ReasonListener listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_alive)
        m_onFail = std::move(listener);
}

void ClientShared::setReconnectingListener(ReasonListener listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_alive)
        m_onReconnecting = std::move(listener);
}

void ClientShared::setSocketOpenListener(SocketListener listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_alive)
        m_onSocketOpen = std::move(listener);
}

void ClientShared::setSocketCloseListener(SocketCloseListener listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_alive)
        m_onSocketClose = std::move(listener);
}

void ClientShared::clearListeners()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onOpen = nullptr;
    m_onFail = nullptr;
    m_onReconnecting = nullptr;
    m_onSocketOpen = nullptr;
    m_onSocketClose = nullptr;
}

ClientShared::Listener ClientShared::openListener() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_onOpen;
}

ClientShared::ReasonListener ClientShared::failListener() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_onFail;
}

ClientShared::ReasonListener ClientShared::reconnectingListener() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_onReconnecting;
}

ClientShared::SocketListener ClientShared::socketOpenListener() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_onSocketOpen;
}

ClientShared::SocketCloseListener ClientShared::socketCloseListener() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_onSocketClose;
}

} // namespace sio

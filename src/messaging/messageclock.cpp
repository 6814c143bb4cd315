#include "messageclock.h"

#include <QDateTime>

MessageClock::MessageClock()
{
    const qint64 now = localNow();
    m_serverTime = now;
    m_clientTime = now;
}

void MessageClock::setServerClock(qint64 serverMs, qint64 localMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_serverTime = serverMs;
    m_clientTime = localMs;
}

void MessageClock::setServerClock(qint64 serverMs)
{
    setServerClock(serverMs, localNow());
}

qint64 MessageClock::synchronisedNow(qint64 localMs) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return localMs + (m_serverTime - m_clientTime);
}

qint64 MessageClock::synchronisedNow() const
{
    return synchronisedNow(localNow());
}

qulonglong MessageClock::nextMessageId(qint64 localMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const qint64 now = localMs + (m_serverTime - m_clientTime);
    const qulonglong candidate = now > 0 ? qulonglong(now) : 0;
    m_lastId = candidate > m_lastId ? candidate : m_lastId + 1;
    return m_lastId;
}

qulonglong MessageClock::nextMessageId()
{
    return nextMessageId(localNow());
}

qint64 MessageClock::readMark(qint64 localMs) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_serverTime + 2 * (localMs - m_clientTime);
}

qint64 MessageClock::readMark() const
{
    return readMark(localNow());
}

qint64 MessageClock::localNow()
{
    return QDateTime::currentMSecsSinceEpoch();
}

#include "parameterinfor.h"

#include <QMutexLocker>

ParameterInfor *ParameterInfor::instance()
{
    static ParameterInfor *single = new ParameterInfor;
    return single;
}

bool ParameterInfor::isOnline(const QString &id) const
{
    QMutexLocker lock(&m_onlineMutex);
    return m_onlineUsers.contains(id);
}

void ParameterInfor::insertOnline(const QString &id)
{
    QMutexLocker lock(&m_onlineMutex);
    m_onlineUsers.insert(id);
}

void ParameterInfor::removeOnline(const QString &id)
{
    QMutexLocker lock(&m_onlineMutex);
    m_onlineUsers.remove(id);
}

void ParameterInfor::uniteOnline(const QStringList &ids)
{
    QMutexLocker lock(&m_onlineMutex);
    for (const QString &id : ids)
        m_onlineUsers.insert(id);
}

void ParameterInfor::subtractOnline(const QStringList &ids)
{
    QMutexLocker lock(&m_onlineMutex);
    for (const QString &id : ids)
        m_onlineUsers.remove(id);
}

QStringList ParameterInfor::onlineUsers() const
{
    QMutexLocker lock(&m_onlineMutex);
    return m_onlineUsers.values();
}

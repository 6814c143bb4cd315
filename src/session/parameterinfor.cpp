#include "parameterinfor.h"

#include "logging.h"
#include "net/sessiontoken.h"
#include "records/memberrecord.h"
#include "session/parametergroupthread.h"
#include "session/parameterinforthread.h"
#include "session/userfetchthread.h"

#include <QElapsedTimer>
#include <QMutexLocker>

ParameterInfor *ParameterInfor::instance()
{
    static ParameterInfor *single = new ParameterInfor;
    return single;
}

void ParameterInfor::setToken(const QString &token)
{
    SessionToken::set(token);
}

QString ParameterInfor::token() const
{
    return SessionToken::get();
}

void ParameterInfor::setUserId(const QString &id)
{
    QMutexLocker lock(&m_valuesMutex);
    m_userId = id;
}

QString ParameterInfor::userId() const
{
    QMutexLocker lock(&m_valuesMutex);
    return m_userId;
}

void ParameterInfor::setSystemInfo(const QString &info)
{
    QMutexLocker lock(&m_valuesMutex);
    m_systemInfo = info;
}

QString ParameterInfor::systemInfo() const
{
    QMutexLocker lock(&m_valuesMutex);
    return m_systemInfo;
}

void ParameterInfor::setImHost(const QString &host)
{
    QMutexLocker lock(&m_valuesMutex);
    m_imHost = host;
}

QString ParameterInfor::imHost() const
{
    QMutexLocker lock(&m_valuesMutex);
    return m_imHost;
}

void ParameterInfor::setImPort(const QString &port)
{
    QMutexLocker lock(&m_valuesMutex);
    m_imPort = port;
}

QString ParameterInfor::imPort() const
{
    QMutexLocker lock(&m_valuesMutex);
    return m_imPort;
}

void ParameterInfor::setImPortHttps(const QString &port)
{
    QMutexLocker lock(&m_valuesMutex);
    m_imPortHttps = port;
}

QString ParameterInfor::imPortHttps() const
{
    QMutexLocker lock(&m_valuesMutex);
    return m_imPortHttps;
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

QString ParameterInfor::userField(const QString &userId, const QString &field)
{
    // Without an id there is nobody to ask the server for.
    if (userId.isEmpty())
        return QString();
    if (!hasUser(userId))
        fetchUsers(std::make_unique<ParameterInforThread>(userId));

    QMutexLocker lock(&m_cacheMutex);
    const MemberRecord *record = m_userCache.value(userId);
    if (!record)
        return QString();
    if (field == QLatin1String("user_name"))
        return record->user_name;
    if (field == QLatin1String("dept_name"))
        return record->dept_name;
    if (field == QLatin1String("role_name"))
        return record->roles.isEmpty() ? QString() : record->roles.first()->role_name;
    if (field == QLatin1String("phone_number"))
        return record->phone_number;
    if (field == QLatin1String("email"))
        return record->email;
    return QString();
}

bool ParameterInfor::hasUser(const QString &userId) const
{
    QMutexLocker lock(&m_cacheMutex);
    return m_userCache.contains(userId);
}

void ParameterInfor::appendGroupUser(const QString &userId)
{
    QMutexLocker lock(&m_cacheMutex);
    m_groupUsers.append(userId);
}

void ParameterInfor::clearGroupUsers()
{
    QMutexLocker lock(&m_cacheMutex);
    m_groupUsers.clear();
}

QStringList ParameterInfor::groupUsers() const
{
    QMutexLocker lock(&m_cacheMutex);
    return m_groupUsers;
}

void ParameterInfor::requestGroupUsers()
{
    const QStringList ids = groupUsers();
    if (ids.isEmpty())
        return;
    fetchUsers(std::make_unique<ParameterGroupThread>(ids));
}

namespace {

qint64 monotonicMs()
{
    static QElapsedTimer clock = []() {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed() + 1;
}

} // namespace

void ParameterInfor::fetchUsers(std::unique_ptr<UserFetchThread> thread)
{
    if (m_silentUntil != 0 && monotonicMs() < m_silentUntil) {
        qCDebug(lcSignin) << "user fetch skipped: the server did not answer a moment ago";
        return;
    }
    bool timedOut = false;
    storeUsers(UserFetchThread::fetch(std::move(thread), &timedOut));
    m_silentUntil = timedOut ? monotonicMs() + silentServerMemoryMs : 0;
}

void ParameterInfor::forgetSilentServer()
{
    m_silentUntil = 0;
}

void ParameterInfor::storeUsers(const QList<MemberRecord *> &records)
{
    QList<MemberRecord *> replaced;
    {
        QMutexLocker lock(&m_cacheMutex);
        for (MemberRecord *record : records) {
            // A record without an id could never be looked up.
            if (record->user_id.isEmpty()) {
                replaced.append(record);
                continue;
            }
            // Nothing outside the cache holds its records, so a replaced one can go.
            MemberRecord *previous = m_userCache.value(record->user_id);
            if (previous && previous != record)
                replaced.append(previous);
            m_userCache.insert(record->user_id, record);
        }
    }
    for (MemberRecord *record : qAsConst(replaced)) {
        qDeleteAll(record->roles);
        delete record;
    }
    qCDebug(lcSignin) << records.size() << "users fetched into the cache";
}

#include "parameterinfor.h"

#include "logging.h"
#include "net/sessiontoken.h"
#include "records/memberrecord.h"
#include "session/parametergroupthread.h"
#include "session/parameterinforthread.h"
#include "session/userfetchthread.h"

#include <utility>

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
    m_userId.set(id);
}

QString ParameterInfor::userId() const
{
    return m_userId.get();
}

void ParameterInfor::setSystemInfo(const QString &info)
{
    m_systemInfo.set(info);
}

QString ParameterInfor::systemInfo() const
{
    return m_systemInfo.get();
}

void ParameterInfor::setImHost(const QString &host)
{
    m_imHost.set(host);
}

QString ParameterInfor::imHost() const
{
    return m_imHost.get();
}

void ParameterInfor::setImPort(const QString &port)
{
    m_imPort.set(port);
}

QString ParameterInfor::imPort() const
{
    return m_imPort.get();
}

void ParameterInfor::setImPortHttps(const QString &port)
{
    m_imPortHttps.set(port);
}

QString ParameterInfor::imPortHttps() const
{
    return m_imPortHttps.get();
}

bool ParameterInfor::isOnline(const QString &id) const
{
    return m_onlineUsers.read([&](const QSet<QString> &users) { return users.contains(id); });
}

void ParameterInfor::insertOnline(const QString &id)
{
    m_onlineUsers.update([&](QSet<QString> &users) { users.insert(id); });
}

void ParameterInfor::removeOnline(const QString &id)
{
    m_onlineUsers.update([&](QSet<QString> &users) { users.remove(id); });
}

void ParameterInfor::uniteOnline(const QStringList &ids)
{
    m_onlineUsers.update([&](QSet<QString> &users) {
        for (const QString &id : ids)
            users.insert(id);
    });
}

void ParameterInfor::subtractOnline(const QStringList &ids)
{
    m_onlineUsers.update([&](QSet<QString> &users) {
        for (const QString &id : ids)
            users.remove(id);
    });
}

QStringList ParameterInfor::onlineUsers() const
{
    return m_onlineUsers.read([](const QSet<QString> &users) { return users.values(); });
}

bool ParameterInfor::isVisibleUser(const QString &id) const
{
    return m_visibleUsers.read([&](const QSet<QString> &users) { return users.contains(id); });
}

void ParameterInfor::insertVisibleUser(const QString &id)
{
    m_visibleUsers.update([&](QSet<QString> &users) { users.insert(id); });
}

void ParameterInfor::clearVisibleUsers()
{
    m_visibleUsers.set({});
}

int ParameterInfor::visibleUserCount() const
{
    return m_visibleUsers.read([](const QSet<QString> &users) { return users.size(); });
}

QString ParameterInfor::userField(const QString &userId, const QString &field)
{
    // Without an id there is nobody to ask the server for.
    if (userId.isEmpty())
        return QString();
    if (!hasUser(userId))
        fetchUsers(std::make_unique<ParameterInforThread>(userId));

    // Read under the lock: a later fetch may replace (and delete) the record.
    return m_cache.read([&](const UserCache &cache) {
        const MemberRecord *record = cache.records.value(userId);
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
    });
}

bool ParameterInfor::hasUser(const QString &userId) const
{
    return m_cache.read([&](const UserCache &cache) { return cache.records.contains(userId); });
}

void ParameterInfor::appendGroupUser(const QString &userId)
{
    m_cache.update([&](UserCache &cache) { cache.groupUsers.append(userId); });
}

void ParameterInfor::clearGroupUsers()
{
    m_cache.update([](UserCache &cache) { cache.groupUsers.clear(); });
}

QStringList ParameterInfor::groupUsers() const
{
    return m_cache.read([](const UserCache &cache) { return cache.groupUsers; });
}

void ParameterInfor::requestGroupUsers()
{
    const QStringList ids = groupUsers();
    if (ids.isEmpty())
        return;
    fetchUsers(std::make_unique<ParameterGroupThread>(ids));
}

void ParameterInfor::fetchUsers(std::unique_ptr<UserFetchThread> thread)
{
    if (m_silentServer.remembered()) {
        qCDebug(lcSignin) << "user fetch skipped: the server did not answer a moment ago";
        return;
    }
    bool timedOut = false;
    storeUsers(UserFetchThread::fetch(std::move(thread), &timedOut));
    m_silentServer.settle(timedOut);
}

void ParameterInfor::forgetAccount()
{
    SessionToken::set(QString());
    m_userId.set({});
    m_systemInfo.set({});
    m_imHost.set({});
    m_imPort.set({});
    m_imPortHttps.set({});
    m_onlineUsers.set({});
    m_visibleUsers.set({});
    const QMap<QString, MemberRecord *> records = m_cache.update([](UserCache &cache) {
        cache.groupUsers.clear();
        return std::exchange(cache.records, {});
    });
    for (MemberRecord *record : records) {
        qDeleteAll(record->roles);
        delete record;
    }
    m_silentServer.forget();
}

void ParameterInfor::forgetSilentServer()
{
    m_silentServer.forget();
}

void ParameterInfor::storeUsers(const QList<MemberRecord *> &records)
{
    QList<MemberRecord *> replaced;
    m_cache.update([&](UserCache &cache) {
        for (MemberRecord *record : records) {
            // A record without an id could never be looked up.
            if (record->user_id.isEmpty()) {
                replaced.append(record);
                continue;
            }
            // Nothing outside the cache holds its records, so a replaced one can go.
            MemberRecord *previous = cache.records.value(record->user_id);
            if (previous && previous != record)
                replaced.append(previous);
            cache.records.insert(record->user_id, record);
        }
    });
    for (MemberRecord *record : qAsConst(replaced)) {
        qDeleteAll(record->roles);
        delete record;
    }
    qCDebug(lcSignin) << records.size() << "users fetched into the cache";
}

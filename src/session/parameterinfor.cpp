#include "parameterinfor.h"

#include "logging.h"
#include "net/sessiontoken.h"
#include "records/memberrecord.h"
#include "session/parametergroupthread.h"
#include "session/parameterinforthread.h"
#include "session/userfetchthread.h"

#include <utility>

namespace {

void deleteRecords(const QList<MemberRecord *> &records)
{
    for (MemberRecord *record : records) {
        qDeleteAll(record->roles);
        delete record;
    }
}

} // namespace

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
    if (!hasUser(userId) && !m_fetching.contains(userId))
        fetchUsers(std::make_unique<ParameterInforThread>(userId), {userId});

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
    fetchUsers(std::make_unique<ParameterGroupThread>(ids), ids);
}

void ParameterInfor::fetchUsers(std::unique_ptr<UserFetchThread> thread, const QStringList &ids)
{
    if (m_silentServer.remembered()) {
        qCDebug(lcSignin) << "user fetch skipped: the server did not answer a moment ago";
        // Whoever waits for the answer hears it after the lookup has returned, as from a fetch.
        QMetaObject::invokeMethod(
            this, [this, ids] { emit usersFetched(ids); }, Qt::QueuedConnection);
        return;
    }
    for (const QString &id : ids)
        m_fetching.insert(id);
    const quint64 account = m_account;
    UserFetchThread::launch(
        std::move(thread), this,
        [this, ids, account](const QList<MemberRecord *> &records, bool timedOut) {
            if (account == m_account) {
                for (const QString &id : ids)
                    m_fetching.remove(id);
                storeUsers(records);
                m_silentServer.settle(timedOut);
            } else {
                deleteRecords(records);
            }
            emit usersFetched(ids);
        });
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
    deleteRecords(records.values());
    m_fetching.clear();
    ++m_account;
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
    deleteRecords(replaced);
    qCDebug(lcSignin) << records.size() << "users fetched into the cache";
}

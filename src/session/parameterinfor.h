#pragma once

#include "concurrency/lockedvalue.h"
#include "net/silentserver.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class MemberRecord;
class UserFetchThread;

// What the signed-in user's work needs everywhere: the access token, the user id, the system
// information, the messaging service address and the online and visible user sets; plus a cache
// of user records fetched on demand and the list of users a group view asks for.
class ParameterInfor : public QObject
{
    Q_OBJECT
public:
    static ParameterInfor *instance();

    // The QR-code loader writes these from its own thread while the documents may read them,
    // so they sit behind a lock.
    void setToken(const QString &token);
    QString token() const;
    void setUserId(const QString &id);
    QString userId() const;
    void setSystemInfo(const QString &info);
    QString systemInfo() const;
    void setImHost(const QString &host);
    QString imHost() const;
    void setImPort(const QString &port);
    QString imPort() const;
    void setImPortHttps(const QString &port);
    QString imPortHttps() const;

    // The online set is changed from the messaging network thread, hence the mutex.
    bool isOnline(const QString &id) const;
    void insertOnline(const QString &id);
    void removeOnline(const QString &id);
    void uniteOnline(const QStringList &ids);
    void subtractOnline(const QStringList &ids);
    QStringList onlineUsers() const;

    // Filled from the user-authority reply, read wherever a user list is filtered.
    bool isVisibleUser(const QString &id) const;
    void insertVisibleUser(const QString &id);
    void clearVisibleUsers();
    int visibleUserCount() const;

    // One field of a cached user ("user_name", "dept_name", "role_name", "phone_number",
    // "email"; anything else reads empty). An uncached user reads empty and is fetched behind
    // it: usersFetched() tells when the answer is in. A user the server does not return is
    // asked for again next time. A server that did not answer in time is not asked again for
    // silentServerMemoryMs. GUI thread only.
    QString userField(const QString &userId, const QString &field);
    bool hasUser(const QString &userId) const;
    // The group request list: ids appended one by one, fetched together by requestGroupUsers().
    void appendGroupUser(const QString &userId);
    void clearGroupUsers();
    QStringList groupUsers() const;
    // Fetches every user of the group request list into the cache with one request (nothing
    // when the list is empty), behind the caller; the list itself stays.
    void requestGroupUsers();
    static constexpr qint64 silentServerMemoryMs = 30000;
    // Forgets a silent server; each sign-in does.
    void forgetSilentServer();
    // Signing out: the token, the identity, the messaging address, the user sets and the user
    // cache go.
    void forgetAccount();

signals:
    void sigOnlineUsersChange(const QStringList &list, int statusa);
    // A fetch of these users has ended, with or without them: hasUser() tells which came.
    void usersFetched(const QStringList &ids);

private:
    ParameterInfor() = default;

    // Puts the records into the cache, each under its user id, replacing (and deleting) any
    // record held for that id. Takes ownership of every record.
    void storeUsers(const QList<MemberRecord *> &records);
    // Fetches `ids` with `thread` behind the caller, unless the server was silent a moment ago.
    void fetchUsers(std::unique_ptr<UserFetchThread> thread, const QStringList &ids);

    LockedValue<QString> m_userId;
    LockedValue<QString> m_systemInfo;
    LockedValue<QString> m_imHost;
    LockedValue<QString> m_imPort;
    LockedValue<QString> m_imPortHttps;
    LockedValue<QSet<QString>> m_onlineUsers;
    LockedValue<QSet<QString>> m_visibleUsers;
    struct UserCache
    {
        QMap<QString, MemberRecord *> records;
        QStringList groupUsers;
    };
    LockedValue<UserCache> m_cache;
    // Monotonic ms until which fetches are skipped (0: none); GUI thread.
    SilentServer m_silentServer{silentServerMemoryMs};
    // Ids with a fetch under way, so a lookup per frame asks once; GUI thread.
    QSet<QString> m_fetching;
    // Bumped at sign-out: a fetch begun for the old account brings nothing into the new cache.
    quint64 m_account = 0;
};

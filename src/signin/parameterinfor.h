#pragma once

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

// What the signed-in user's work needs everywhere: the access token, the user id, the system
// information, the messaging service address and the online and visible user sets.
class ParameterInfor : public QObject
{
    Q_OBJECT
public:
    static ParameterInfor *instance();

    void setToken(const QString &token) { m_token = token; }
    QString token() const { return m_token; }
    void setUserId(const QString &id) { m_userId = id; }
    QString userId() const { return m_userId; }
    void setSystemInfo(const QString &info) { m_systemInfo = info; }
    QString systemInfo() const { return m_systemInfo; }
    void setImHost(const QString &host) { m_imHost = host; }
    QString imHost() const { return m_imHost; }
    void setImPort(const QString &port) { m_imPort = port; }
    QString imPort() const { return m_imPort; }
    void setImPortHttps(const QString &port) { m_imPortHttps = port; }
    QString imPortHttps() const { return m_imPortHttps; }

    // The online set is changed from the messaging network thread, hence the mutex.
    bool isOnline(const QString &id) const;
    void insertOnline(const QString &id);
    void removeOnline(const QString &id);
    void uniteOnline(const QStringList &ids);
    void subtractOnline(const QStringList &ids);
    QStringList onlineUsers() const;

    bool isVisibleUser(const QString &id) const { return m_visibleUsers.contains(id); }
    void insertVisibleUser(const QString &id) { m_visibleUsers.insert(id); }
    void clearVisibleUsers() { m_visibleUsers.clear(); }
    int visibleUserCount() const { return m_visibleUsers.size(); }

signals:
    void sigOnlineUsersChange(const QStringList &list, int statusa);

private:
    ParameterInfor() = default;

    QString m_token;
    QString m_userId;
    QString m_systemInfo;
    QString m_imHost;
    QString m_imPort;
    QString m_imPortHttps;
    mutable QMutex m_onlineMutex;
    QSet<QString> m_onlineUsers;
    QSet<QString> m_visibleUsers;
};

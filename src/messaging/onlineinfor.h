#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The documents' view of who is online: the set of online user ids that the messaging engine
// keeps in the login parameters, and its changes.
class OnlineInfor : public QObject
{
    Q_OBJECT
public:
    explicit OnlineInfor(QObject *parent = nullptr);

    Q_INVOKABLE bool getOnlineUsers(const QString &names) const;
    Q_INVOKABLE void insertOnlineUsers(const QString &names);
    Q_INVOKABLE void removeOnlineUsers(const QString &names);

signals:
    // statusa true: the users came online; false: they went offline.
    void sigOnlineUsersChange(const QStringList &list, bool statusa);
};

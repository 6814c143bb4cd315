#pragma once

#include "storelink.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

class SocketState;

// Waits for the store's event that answers a group change asked of the server: "add" ends with
// an addition to the group, "remove" once every named member is out, "exit" and "delete" (and
// any change) when the group is gone. Without the answer within `timeout` ms the change is said
// to have failed. One change is waited for at a time; a new one replaces it.
class GroupChangeWatch : public QObject
{
    Q_OBJECT
    Q_PROPERTY(SocketState *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout NOTIFY timeoutChanged)
    // The group of the change waited for; empty when none is.
    Q_PROPERTY(QString groupId READ groupId NOTIFY waitingChanged)
    Q_PROPERTY(bool waiting READ waiting NOTIFY waitingChanged)
public:
    explicit GroupChangeWatch(QObject *parent = nullptr);

    SocketState *store() const { return m_store; }
    void setStore(SocketState *store);
    int timeout() const { return m_timer.interval(); }
    void setTimeout(int ms);
    QString groupId() const { return m_groupId; }
    bool waiting() const { return m_timer.isActive(); }

    // `userIds`: the members a change names, comma-separated.
    Q_INVOKABLE void watch(const QString &kind, const QString &groupId, const QString &userIds);

signals:
    void storeChanged();
    void timeoutChanged();
    void waitingChanged();
    void failed();

private:
    void edited(const QString &groupId, bool isAdd, const QString &deletes);
    void gone(const QString &groupId);
    void finish();

    StoreLink m_store;
    QTimer m_timer;
    QString m_kind;
    QString m_groupId;
    QSet<QString> m_users;
};

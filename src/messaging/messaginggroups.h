#pragma once

#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class ConversationStore;
class MessageClock;
class SignalOutbox;

namespace sio {
class Socket;
} // namespace sio

// The engine's groups as the documents ask for them: the list request, lookups in the group
// table, and the requests that create, edit, leave and delete groups. The table lives in the
// store and also follows the service's group events (the engine's inbound handlers). Lives on the
// engine's thread; the list's acknowledgement comes on the network thread and is applied on the
// outbox's, in order with the events around it.
class MessagingGroups : public QObject
{
    Q_OBJECT
public:
    // Who is signed in; called on either thread.
    using UserIdSource = std::function<QString()>;

    MessagingGroups(std::shared_ptr<sio::Socket> socket, ConversationStore &store,
                    const MessageClock &clock, SignalOutbox &outbox, UserIdSource userId,
                    QObject *parent = nullptr);

    void getGroupInfors();
    QStringList getGroupIds() const;
    // One field of a group ("creator", "name", "update_time", "create_time" its day only,
    // "members" joined with ";"); empty for an unknown group or field.
    QString getGroupInforFromId(const QString &ids, const QString &infors) const;
    QStringList getGroupMemberFromId(const QString &ids) const;
    void creatNewGroup(const QString &groupList, const QString &groupName);
    void groupAddNewMember(const QString &groupIds, const QString &groupNames,
                           const QString &groupList, const QString &addList);
    void groupDeleteNewMember(const QString &groupIds, const QString &groupNames,
                              const QString &groupList, const QString &deleteList);
    void exitGroup(const QString &groupIds);
    void deleteGroup(const QString &groupIds);

    // The list request's acknowledgement: replaces the table (network thread, or a test's
    // hand-over).
    void applyGroupList(const QJsonArray &ack);

signals:
    // The list arrived; sigGroupInforChange too when it names any group.
    void sigGetGroupInfor();
    void sigGroupInforChange();

private:
    std::shared_ptr<sio::Socket> m_socket;
    ConversationStore &m_store;
    const MessageClock &m_clock;
    SignalOutbox &m_outbox;
    UserIdSource m_userId;
};

#pragma once

#include "messagerecord.h"
#include "recordkeeper.h"
#include "json/fastjson.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class ConversationStore;
class ParameterInfor;
class SignalOutbox;
class SystemInformation;

namespace sio {
class Socket;
} // namespace sio

// The engine's inbound router: the service's events, read on the socket.io network thread and
// turned into changes of the store, the online users (ParameterInfor) and the reminders
// (SystemInformation), and into signals. Each handler ignores a payload of the wrong kind. What
// it changes and announces is handed to the outbox's thread in the order the events came, so the
// store has one writer there and the signals come on that thread.
class MessagingInbound : public QObject
{
    Q_OBJECT
public:
    // Who is signed in (either thread), and where a change of the conversation list goes (the
    // outbox's thread).
    using UserIdSource = std::function<QString()>;
    using KeepConversation = std::function<void(const KeptConversation &change)>;

    MessagingInbound(ConversationStore &store, SignalOutbox &outbox, UserIdSource userId,
                     KeepConversation keep, ParameterInfor &parameters,
                     SystemInformation &reminders, QObject *parent = nullptr);

    // Installs the handlers on `socket` (the busy chat messages read with the fast parser).
    void bind(sio::Socket &socket);
    // The events handled, and one handed to its handler as if it had arrived (tests and the
    // fuzz target). False for an event without a handler.
    static QStringList inboundEvents();
    bool dispatch(const QString &event, const QJsonArray &args);

signals:
    void sigPrivareMessage(const QString &ids, const QString &messages);
    void sigGroupMessage(const QString &groupIds, bool isSelf, const QString &messages);
    void sigMessageUnreadNums(const QString &id, int nums, const QString &types,
                              const QString &groupNames);
    void sigAddGroup(const QString &groupIds);
    void sigEditGroupCB(const QString &groupIds, bool isAdd, const QString &deletes);
    void sigEditGroupDelete(const QString &groupIds);
    // Receipts: a private message read ("3") by its receiver; a group message that reached the
    // service (`fromId` the user: its echo) or that member `fromId` read up to `msgid`.
    void sigPrivareMessageStatusSelf(const QString &ids, qulonglong msgid, const QString &statusa);
    void sigGroupMessageStatusSelf(const QString &groupIds, qulonglong msgid,
                                   const QString &fromId);

private:
    using Handler = void (MessagingInbound::*)(const QJsonValue &payload);
    struct Inbound
    {
        const char *event;
        Handler handler;
    };
    static const Inbound inboundTable[];

    void deliver(std::function<void()> work);
    void onNewPrivateMessage(const QJsonValue &payload);
    void onGroupMessage(const QJsonValue &payload);
    void onRawPrivateMessage(const FastJson::Value &event);
    void onRawGroupMessage(const FastJson::Value &event);
    void deliverPrivate(MessageRecord record, qulonglong id);
    void deliverGroup(GroupMessageRecord record, qulonglong id);
    void onUpdateRecord(const QJsonValue &payload);
    void onUpdateGroudRecord(const QJsonValue &payload);
    void onRecordLength(const QJsonValue &payload);
    void onGroupRecordLength(const QJsonValue &payload);
    void onGroupRecord(const QJsonValue &payload);
    void onMetionCallback(const QJsonValue &payload);
    void onSystemMessageChannel(const QJsonValue &payload);
    void onLineUsersInfor(const QJsonValue &payload);
    void onAddGroup(const QJsonValue &payload);
    void onEditGroupCB(const QJsonValue &payload);
    void onEditGroupDelete(const QJsonValue &payload);
    void onEditGroupAdd(const QJsonValue &payload);
    void onEditGroup(const QJsonValue &payload);

    ConversationStore &m_store;
    SignalOutbox &m_outbox;
    UserIdSource m_userId;
    KeepConversation m_keep;
    ParameterInfor &m_parameters;
    SystemInformation &m_reminders;
};

#pragma once

#include "conversationstore.h"
#include "fileattachment.h"
#include "messageclock.h"
#include "messaginglink.h"
#include "messagingsender.h"
#include "signaloutbox.h"
#include "json/fastjson.h"

#include <QDBusConnection>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QStringList>

#include <rapidjson/document.h>

#include <functional>
#include <memory>

class MessagingGroups;
class MessagingHistory;
class MessagingInbound;

// The messaging engine: the one socket.io connection to the server's messaging service on
// namespace "/client", its sign-in, time-out and reconnection, every inbound event turned into
// store changes and signals, and every request the documents make. The object lives on the GUI
// thread, where its timers run; the socket.io client calls the handlers and acknowledgements on
// its own network thread, so the stores sit behind one mutex (in ConversationStore), and what
// the network thread has to announce is handed to the GUI thread in order (SignalOutbox) and
// emitted there, after the lock is released. What the user sends waits in a durable outbox
// until the service acknowledges it. The class is the facade the rest of the program uses; its
// work is done by parts, each handed what it uses: the link (MessagingLink), the sender with the
// outbox (MessagingSender), the groups (MessagingGroups), the record and history queries with
// the local history (MessagingHistory) and the inbound router (MessagingInbound). The engine
// keeps the receipts' effect on the user's own messages, which joins the inbound router and the
// sender.
class SocketHandl : public QObject
{
    Q_OBJECT
public:
    // The process's engine, created on first use on the calling (GUI) thread.
    static SocketHandl *instance();
    // Besides instance(), tests make engines of their own.
    explicit SocketHandl(QObject *parent = nullptr);
    ~SocketHandl() override;

    // The service closes the connection on a larger frame, so larger messages are refused here.
    static constexpr qint64 maxFrameBytes = MessagingSender::maxFrameBytes;
    static constexpr int connectTimeoutMs = MessagingLink::connectTimeoutMs;
    static constexpr int reconnectDelayMs = MessagingLink::reconnectDelayMs;
    // A message written to a live link and not acknowledged within this time has failed.
    static constexpr int ackTimeoutMs = MessagingSender::ackTimeoutMs;

    // Sign-in time limit, delay before a reconnection (a random fifth of it is added) and the
    // acknowledgement time limit; the defaults above unless a test or tool shortens them.
    void setTimings(int connectMs, int reconnectMs, int ackMs);
    // The wait before a reconnection: `baseMs` and up to a fifth of it more, as `draw` (a random
    // number) says, so the clients a restarted server dropped do not all come back at once.
    static int reconnectDelay(int baseMs, quint32 draw);
    // The Engine.IO version of the next connections: 0 detects it per server (the default), 3 or
    // 4 insists on it (tests of a server's mode for older clients).
    void setEngineVersion(int version);

    // From the login: who signs in on the connection, and the server's clock.
    void setLoginIdentity(const QString &userId, const QString &deptId, const QString &roleId);
    void setServerClock(qint64 serverMs);
    QString userId() const;

    // (Re)connects to the messaging service of the current server.
    void connectServer();
    // A dropped link is tried again now instead of after its delay (the user asked, the
    // network came back, the machine woke up). Nothing happens while signed in, after a leave,
    // or before the first connectServer().
    void reconnectNow();
    // Calls reconnectNow() on resume and when the network returns, as `bus` reports them.
    void watchWakeups(const QDBusConnection &bus);
    // Tells the service the user leaves and closes the connection; no reconnection follows
    // until the next connectServer().
    void disConnectServer();
    // Signing out: leaves and closes the link, waits (bounded) until nothing of it runs any
    // more, writes and puts away the outbox and empties every store, so the next account starts
    // as after a restart. Engine's thread.
    void forgetAccount();
    static constexpr int closeWaitMs = MessagingLink::closeWaitMs;
    // The last thing before the process ends: the leave notice (bounded), the connection closed
    // and the network thread joined. Nothing of the engine runs on that thread afterwards.
    void shutdown();

    // Sending. The result is the new message's id. `send` false only registers and shows a
    // pending file message.
    QString sendPrivateInfor(const QString &ids, const QString &msgs, const QString &dateTimes,
                             const QString &sendTypes = QStringLiteral("text"),
                             const QString &filePathas = QString(), int fileIndex = 0,
                             bool send = true, const FileAttachment &file = FileAttachment());
    QString sendGroupInfor(const QString &ids, const QString &msgs, const QString &userName,
                           const QString &dateTimes,
                           const QString &sendTypes = QStringLiteral("text"),
                           const QString &filePathas = QString(), int fileIndex = 0,
                           bool send = true, const FileAttachment &file = FileAttachment());
    void setPrivateAlreadyRead(const QString &ids, const QString &msgIds = QString());
    // The name the conversation list shows for a conversation, kept with the list.
    void keepConversationName(const QString &ids, const QString &types, const QString &name);
    void setGroupAlreadyRead(const QString &groupIds, const QString &msgIds = QString());

    // Delivery states of the user's own messages (sendStatus): "1" pending (stored, not yet
    // acknowledged by the service), "2" sent, "3" read, "4" failed (refused, too large, or not
    // acknowledged in time). A pending message waits in the outbox across drops and restarts;
    // so does one not acknowledged in time on a link that then drops by itself (the silence
    // was the link's): it is pending again.
    static QString pendingStatus() { return MessagingSender::pendingStatus(); }
    static QString failedStatus() { return MessagingSender::failedStatus(); }
    // Sends a failed message again, with the same id (the service drops a copy it already has).
    // False when `msgIds` names no failed message of the conversation.
    bool retrySendMessage(const QString &ids, const QString &types, const QString &msgIds);
    // The sendStatus of a message of the live store ("" when it is not there).
    QString getMessageStatus(const QString &ids, const QString &types, const QString &msgIds) const;
    // Where the outbox of a user is kept: a file in that user's data folder.
    static QString outboxPathFor(const QString &userId);
    // Messages in the outbox (pending or failed), and where it is kept.
    int outboxCount() const { return m_sender->outboxCount(); }
    // Why the outbox cannot be written, in the user's words (a full disk); empty while it can.
    QString outboxProblem() const { return m_sender->outboxProblem(); }

    // Records and history.
    void getRecord(const QString &ids, const QString &types, int limits = 10);
    void getUserHistoryLength(const QString &userIds, int limits = 10,
                              const QString &times = QString(),
                              const QString &chatTypes = QStringLiteral("1"),
                              const QString &findConts = QString(), int findTypes = 1);
    void getLastrecord(const QString &contents);
    void getOutlineRecordLength();
    void getLastRecordLength();
    QStringList getPrivateIdFromInfors(const QString &ids) const;
    QStringList getGroupIdFromInfors(const QString &ids) const;
    QStringList getHistoryPrivateIdFromInfors(const QString &ids) const;
    QStringList getHistoryGroupIdFromInfors(const QString &ids) const;

    // The local history: every record the stores take in is handed to `keeper`, which also
    // answers history searches and, while the link is down, record requests (null: none).
    void setRecordKeeper(std::shared_ptr<RecordKeeper> keeper);
    // Shows records from the local history at once (before the service answers): stored
    // where the live store has no record of that id, each conversation's newest announced
    // as its last message.
    void showKept(const RecordKeeper::PrivateTable &privateRecords,
                  const RecordKeeper::GroupTable &groupRecords);
    // Shows the conversation list kept in the local history (keptConversations(), announced by
    // sigKeptConversations) until the service says more.
    void showKeptConversations(const QVector<KeptConversation> &conversations);
    QVector<KeptConversation> keptConversations() const;
    // The local history was deleted: what the views showed only from it goes.
    void forgetKept();
    // The local search a history request stands for (also used while offline).
    static KeptRecordQuery keptQuery(const QString &userIds, int limits, const QString &times,
                                     const QString &chatTypes, const QString &findConts,
                                     int findTypes);

    // The id of the message most recently created by a send operation.
    QString currentMessageId() const;

    // Groups.
    void getGroupInfors();
    QStringList getGroupIds() const;
    QString getGroupInforFromId(const QString &ids, const QString &infors) const;
    QStringList getGroupMemberFromId(const QString &ids) const;
    void creatNewGroup(const QString &groupList, const QString &groupName);
    void groupAddNewMember(const QString &groupIds, const QString &groupNames,
                           const QString &groupList, const QString &addList);
    void groupDeleteNewMember(const QString &groupIds, const QString &groupNames,
                              const QString &groupList, const QString &deleteList);
    void exitGroup(const QString &groupIds);
    void deleteGroup(const QString &groupIds);

    // The inbound events the engine handles, and a way to hand one to its handler as if it had
    // arrived (tests and the fuzz target). False for an event without a handler.
    static QStringList inboundEvents();
    bool dispatchInbound(const QString &event, const QJsonArray &args);
    // The same for the acknowledgement of a request the engine sends ("login", "send message",
    // "get record", "get imageRecord", "get lastrecord", "send myGroup"); `conversation` stands
    // for the conversation the request named.
    static QStringList acknowledgedEvents();
    bool dispatchReply(const QString &event, const QJsonArray &ack,
                       const QString &conversation = QString());

public slots:
    void onConnected(const QString &nsp);
    void onSigConnectServer();
    void onReconnect();
    void onRestartLogin();
    void onFailed();
    void onHeartInfor();
    void onDisconnected();
    void onReconnectListener();
    void onConnectServerTimeout();
    // A certificate was trusted: a link that waits for it connects again.
    void onServerTrusted();
    void onPrivareMessageStatus(const QString &ids, qulonglong msgid, const QString &statusa);
    void onGroupMessageStatusSelf(const QString &groupIds, qulonglong msgid, const QString &fromId);

signals:
    // Connection.
    void sigNetworkdisconnect(bool status);
    void sigConnectServer(bool status);
    void sigConnectServer();
    void sigReconnectInfor();
    // A connection attempt starts, or the next one is due in `delayMs`: the window says which.
    void sigConnecting();
    void sigReconnectScheduled(int delayMs);
    void sigLoginStatus(bool status, int types, const QString &errors);

    // Messages.
    void sigPrivareMessage(const QString &ids, const QString &messages);
    void sigGroupMessage(const QString &groupIds, bool isSelf, const QString &messages);
    void sigPrivareMessageStatus(const QString &ids, qulonglong msgid, const QString &statusa);
    void sigGroupMessageStatus(const QString &groupIds, qulonglong msgid, const QString &fromId,
                               const QString &statusa);
    void sigMessageUnreadNums(const QString &id, int nums, const QString &types,
                              const QString &groupNames);
    void sigRemoveMessage(const QString &ids, const QString &messgaeIds);
    // A message did not reach the service (refused, too large to send, or not acknowledged in
    // time): it stays in its conversation as failed ("4"), `errors` says why, for the user, and
    // retrySendMessage() sends it again.
    void sigSendMessageFail(const QString &ids, const QString &msgIds, const QString &types,
                            const QString &errors);
    // The delivery state of one of the user's own messages changed: types "2" or "3",
    // sendStatus as above ("3": read up to and including msgId).
    void sigMessageStatus(const QString &ids, const QString &types, qulonglong msgId,
                          const QString &sendStatus);
    void sigGetRecord();
    void sigHistoryGetRecord();
    // The local history was cleared: views reload what the stores still hold.
    void sigHistoryCleared();
    void sigSendLastMessageInfor(const QString &ids, const QString &contents, const QString &types,
                                 const QString &times);
    // The conversation list kept in the local history was read (or forgotten).
    void sigKeptConversations();
    // A private file message was sent: (conversation, message id, local path) for the
    // message-file store.
    void sigRecordMessageFile(const QString &ids, const QString &msgIds, const QString &path);
    // outboxProblem() changed.
    void sigOutboxProblem(const QString &problem);

    // Groups.
    void sigGetGroupInfor();
    void sigGroupInforChange();
    void sigNewGroupInfor(const QString &ids);
    void sigAddGroup(const QString &groupIds);
    void sigEditGroupCB(const QString &groupIds, bool isAdd, const QString &deletes);
    void sigEditGroupDelete(const QString &groupIds);

    // Receipts of the service, applied to the stores by the engine's own slots.
    void sigPrivareMessageStatusSelf(const QString &ids, qulonglong msgid, const QString &statusa);
    void sigGroupMessageStatusSelf(const QString &groupIds, qulonglong msgid,
                                   const QString &fromId);

private:
    // Emits on the engine's thread, in order with everything handed over before (SignalOutbox).
    void deliver(std::function<void()> emission) { m_outbox->post(std::move(emission)); }
    // Makes the parts and passes their signals on as the engine's own (sockethandlparts.cpp).
    void makeParts();

    // Receipts of the service (sockethandlinbound.cpp), on the engine's thread.
    void applyPrivateStatus(const QString &ids, qulonglong msgid, const QString &statusa);
    void applyGroupStatus(const QString &groupIds, qulonglong msgid, const QString &fromId);
    // Hands a change of the conversation list to the local history, when there is one.
    void keepConversation(const KeptConversation &change);

    SignalOutbox *m_outbox = nullptr;
    MessageClock m_clock;
    ConversationStore m_store;
    // The parts (children of the engine, on its thread); the link first, since the others use
    // its socket.
    MessagingLink *m_link = nullptr;
    std::shared_ptr<sio::Socket> m_socket;
    MessagingSender *m_sender = nullptr;
    MessagingGroups *m_groups = nullptr;
    MessagingHistory *m_history = nullptr;
    MessagingInbound *m_inbound = nullptr;
};

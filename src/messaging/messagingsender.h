#pragma once

#include "fileattachment.h"
#include "messageoutbox.h"
#include "messagerecord.h"
#include "sio/socket.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ConfigFile;
class ConversationStore;
class MessageClock;
class QTimer;
class SignalOutbox;
struct OutgoingMessage;

// The engine's sender: the user's chat messages shown in their conversation and written to the
// link, each waiting in a durable outbox (a file per user below `config`'s settings folder) until
// the service acknowledges it. It is written only while the link is signed in, in the order it
// was sent; what is in flight when the link drops is written again after the next sign-in (the
// service drops a copy it already has, by message id), and what is refused, too large or not
// acknowledged in time fails and waits for a retry. Lives on the engine's thread, where the
// outbox and its timer are; the acknowledgements come on the network thread and are handed over
// through the outbox in order with the events around them.
class MessagingSender : public QObject
{
    Q_OBJECT
public:
    // The service closes the connection on a larger frame, so larger messages are refused here.
    static constexpr qint64 maxFrameBytes = 1000000;
    // A message written to a live link and not acknowledged within this time has failed.
    static constexpr int ackTimeoutMs = 15000;

    // Who is signed in (either thread); whether the link is signed in (engine's thread).
    using UserIdSource = std::function<QString()>;
    using SignedInSource = std::function<bool()>;

    MessagingSender(std::shared_ptr<sio::Socket> socket, ConversationStore &store,
                    MessageClock &clock, SignalOutbox &outbox, UserIdSource userId,
                    SignedInSource signedIn, ConfigFile &config, QObject *parent = nullptr);
    ~MessagingSender() override;

    // sendStatus of the user's own messages: "1" pending, "2" sent, "3" read, "4" failed.
    static QString pendingStatus() { return QStringLiteral("1"); }
    static QString failedStatus() { return QStringLiteral("4"); }

    void setAckTimeout(int ackMs);
    // Where the outbox of a user is kept: a file in that user's data folder.
    static QString outboxPathFor(const ConfigFile &config, const QString &userId);

    // The result is the new message's id; `send` false only registers and shows a pending file
    // message.
    QString sendPrivateInfor(const QString &ids, const QString &msgs, const QString &sendTypes,
                             const QString &filePathas, int fileIndex, bool send,
                             const FileAttachment &file);
    QString sendGroupInfor(const QString &ids, const QString &msgs, const QString &userName,
                           const QString &sendTypes, const QString &filePathas, int fileIndex,
                           bool send, const FileAttachment &file);
    // Sends a failed message again, with the same id; false when there is none by that id.
    bool retrySendMessage(const QString &ids, const QString &types, const QString &msgIds);
    QString getMessageStatus(const QString &ids, const QString &types, const QString &msgIds) const;
    QString currentMessageId() const { return m_currentMessageId; }
    int outboxCount() const { return m_pending.entries().size(); }
    QString outboxProblem() const { return m_outboxProblem; }

    // The outbox of the user who signs in now, its messages shown in their conversations again.
    void openOutbox();
    // The link is signed in: what waits goes out, in order.
    void pumpOutbox();
    // The link is down or being replaced: what was in flight waits for the next sign-in; `dead`:
    // what failed on it for want of an acknowledgement waits as well (the silence was the
    // link's).
    void linkDown(bool dead);
    // The acknowledgement of a message (network thread, or a test's hand-over).
    void applySendReply(const QJsonArray &ack, const QString &conversation, qulonglong id,
                        const QString &types);
    // The service has the message (its acknowledgement, or the echo of a group message).
    void markDelivered(const QString &types, const QString &conversation, qulonglong id);

    // Signing out: the outbox written and put away; the next user opens their own.
    void forgetAccount();
    // Before the link's client goes: no timer, and the outbox on disk.
    void shutdown();

signals:
    // The user's own message, shown in its conversation.
    void sigPrivareMessage(const QString &ids, const QString &messages);
    void sigGroupMessage(const QString &groupIds, bool isSelf, const QString &messages);
    void sigRecordMessageFile(const QString &ids, const QString &msgIds, const QString &path);
    void sigSendMessageFail(const QString &ids, const QString &msgIds, const QString &types,
                            const QString &errors);
    void sigMessageStatus(const QString &ids, const QString &types, qulonglong msgId,
                          const QString &sendStatus);
    void sigOutboxProblem(const QString &problem);
    // A private message the service acknowledged, as its receipt names it.
    void sigPrivareMessageStatusSelf(const QString &ids, qulonglong msgid, const QString &statusa);

private:
    void deliver(std::function<void()> emission);
    OutgoingMessage newOutgoing(const QString &ids, const QString &msgs, const QString &sendTypes,
                                const QString &filePathas, int fileIndex,
                                const FileAttachment &file);
    // The fields every message of the user's own has, private or group.
    void fillOwnRecord(MessageRecord &record, const OutgoingMessage &message,
                       const QString &type) const;
    void sendChatMessage(const OutgoingMessage &message, const QString &types,
                         const QJsonObject &payload);
    void failSend(const QString &conversation, qulonglong id, const QString &types,
                  const QString &errors);
    void restoreOutbox();
    void writeEntry(MessageOutbox::Entry &entry);
    void onWriteFailed(const QString &types, const QString &conversation, qulonglong id,
                       quint64 write, sio::Socket::Failure failure, const QString &reason);
    void setOwnStatus(const QString &types, const QString &conversation, qulonglong id,
                      const QString &status);
    void armAckTimer();
    // Writes the outbox once the current burst of work is done.
    void saveOutboxSoon();
    void onAckTimeout();
    void updateOutboxProblem();

    std::shared_ptr<sio::Socket> m_socket;
    ConversationStore &m_store;
    MessageClock &m_clock;
    SignalOutbox &m_outbox;
    UserIdSource m_userId;
    SignedInSource m_signedIn;
    const ConfigFile &m_config;

    QTimer *m_ackTimer = nullptr;
    int m_ackTimeoutMs = ackTimeoutMs;
    // Engine's thread only: the messages not yet acknowledged.
    MessageOutbox m_pending;
    quint64 m_writes = 0;
    bool m_outboxSaveDue = false;
    QElapsedTimer m_monotonic;
    QString m_currentMessageId;
    QString m_outboxProblem;
};

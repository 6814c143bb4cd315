// The sender and its outbox. The outbox is a file per user, so what waits also survives a
// restart.

#include "messagingsender.h"

#include "config/configfile.h"
#include "conversationstore.h"
#include "conversationtypes.h"
#include "language/text.h"
#include "logging.h"
#include "messageclock.h"
#include "messagejson.h"
#include "messagepayloads.h"
#include "signaloutbox.h"
#include "sio/packetcodec.h"
#include "json/jsonfield.h"

#include <QRegularExpression>
#include <QTimer>

namespace {

using ConversationTypes::groupType;
using ConversationTypes::privateType;

// Bytes of the Engine.IO frame that carries the event: type digits, namespace, the longest ack
// id the client hands out, and the JSON body.
qint64 frameBytes(const QString &event, const QJsonArray &args)
{
    QJsonArray body{event};
    for (const QJsonValue &arg : args)
        body.append(arg);
    const qint64 overhead = 2 + QStringLiteral("/client,").size() + 16;
    return overhead + sio::PacketCodec::utf8Length(sio::PacketCodec::encodeValue(body));
}

} // namespace

MessagingSender::MessagingSender(std::shared_ptr<sio::Socket> socket, ConversationStore &store,
                                 MessageClock &clock, SignalOutbox &outbox, UserIdSource userId,
                                 SignedInSource signedIn, ConfigFile &config, QObject *parent)
    : QObject(parent)
    , m_socket(std::move(socket))
    , m_store(store)
    , m_clock(clock)
    , m_outbox(outbox)
    , m_userId(std::move(userId))
    , m_signedIn(std::move(signedIn))
    , m_config(config)
{
    // The writer says so on its own thread; the text is read again on this one.
    m_pending.setProblemListener([this]() {
        QMetaObject::invokeMethod(this, &MessagingSender::updateOutboxProblem,
                                  Qt::QueuedConnection);
    });
    m_ackTimer = new QTimer(this);
    m_ackTimer->setSingleShot(true);
    connect(m_ackTimer, &QTimer::timeout, this, &MessagingSender::onAckTimeout);
    m_monotonic.start();
}

MessagingSender::~MessagingSender()
{
    shutdown();
}

void MessagingSender::deliver(std::function<void()> emission)
{
    m_outbox.post(std::move(emission));
}

void MessagingSender::setAckTimeout(int ackMs)
{
    m_ackTimeoutMs = qMax(1, ackMs);
}

void MessagingSender::shutdown()
{
    m_ackTimer->stop();
    if (m_outboxSaveDue)
        m_pending.save();
    m_outboxSaveDue = false;
    m_pending.flush();
}

void MessagingSender::forgetAccount()
{
    m_pending.save();
    m_outboxSaveDue = false;
    m_pending.open(QString());
    updateOutboxProblem();
    m_currentMessageId.clear();
}

void MessagingSender::updateOutboxProblem()
{
    const QString problem = m_pending.path().isEmpty() ? QString() : m_pending.writeProblem();
    if (problem == m_outboxProblem)
        return;
    m_outboxProblem = problem;
    emit sigOutboxProblem(problem);
}

// Sending.

OutgoingMessage MessagingSender::newOutgoing(const QString &ids, const QString &msgs,
                                             const QString &sendTypes, const QString &filePathas,
                                             int fileIndex, const FileAttachment &file)
{
    OutgoingMessage message;
    message.conversation = ids;
    message.msg = msgs;
    message.sendTypes = sendTypes;
    message.filePathas = filePathas;
    message.fileIndex = fileIndex;
    message.id = m_clock.nextMessageId();
    message.attachmentId = file.id;
    message.fileSize = file.size;
    m_currentMessageId = QString::number(message.id);
    return message;
}

void MessagingSender::fillOwnRecord(MessageRecord &record, const OutgoingMessage &message,
                                    const QString &type) const
{
    const QString id = QString::number(message.id);
    record.creator = m_userId();
    record.msg = message.msg;
    record.msgId = id;
    record.sendTime = id;
    record.time = id;
    record.msgType = message.sendTypes;
    record.type = type;
    // Pending until the service acknowledges it.
    record.sendStatus = pendingStatus();
    // A text message has no attachment.
    if (message.sendTypes == QLatin1String("img") || message.sendTypes == QLatin1String("file")) {
        record.download = message.attachmentId;
        record.fileType = message.filePathas;
    }
}

QString MessagingSender::sendPrivateInfor(const QString &ids, const QString &msgs,
                                          const QString &sendTypes, const QString &filePathas,
                                          int fileIndex, bool send, const FileAttachment &file)
{
    const OutgoingMessage message = newOutgoing(ids, msgs, sendTypes, filePathas, fileIndex, file);
    const QString id = QString::number(message.id);
    if (!file.localPath.isEmpty())
        emit sigRecordMessageFile(ids, id, file.localPath);

    MessageRecord record;
    fillOwnRecord(record, message, QStringLiteral("user"));
    if (send)
        m_store.insertPrivate(ids, message.id, record);
    if (sendTypes != QLatin1String("file") || !send)
        emit sigPrivareMessage(ids, MessageJson::privateText(record));
    if (send)
        sendChatMessage(message, privateType, MessagePayloads::privateMessage(message, m_userId()));
    return id;
}

QString MessagingSender::sendGroupInfor(const QString &ids, const QString &msgs,
                                        const QString &userName, const QString &sendTypes,
                                        const QString &filePathas, int fileIndex, bool send,
                                        const FileAttachment &file)
{
    OutgoingMessage message = newOutgoing(ids, msgs, sendTypes, filePathas, fileIndex, file);
    message.userName = userName;
    const QString me = m_userId();
    GroupEntry group;
    m_store.group(ids, &group);

    GroupMessageRecord record;
    fillOwnRecord(record, message, QStringLiteral("personal_group"));
    record.groupId = ids;
    record.userId = me;
    record.userName = userName;
    record.groupName = group.name;
    record.members = group.members;
    record.unread = QStringLiteral("0");
    if (send)
        m_store.insertGroup(ids, message.id, record);
    if (sendTypes != QLatin1String("file") || !send)
        emit sigGroupMessage(ids, true, MessageJson::groupText(record, true));
    if (send)
        sendChatMessage(message, groupType, MessagePayloads::groupMessage(message, me, group));
    return QString::number(message.id);
}

void MessagingSender::sendChatMessage(const OutgoingMessage &message, const QString &types,
                                      const QJsonObject &payload)
{
    const QString event = QStringLiteral("send message");
    const qint64 bytes = frameBytes(event, QJsonArray{payload});
    if (bytes > maxFrameBytes) {
        qCWarning(lcMessaging) << "message" << message.id << "not sent:" << bytes
                               << "bytes exceed the limit of" << maxFrameBytes;
        failSend(message.conversation, message.id, types,
                 tarnex::text(QStringLiteral("message_too_large"),
                              QStringLiteral("消息过大，未能发送")));
        return;
    }
    openOutbox();
    MessageOutbox::Entry entry;
    entry.types = types;
    entry.conversation = message.conversation;
    entry.id = message.id;
    entry.payload = payload;
    m_pending.append(entry);
    pumpOutbox();
}

void MessagingSender::applySendReply(const QJsonArray &ack, const QString &conversation,
                                     qulonglong id, const QString &types)
{
    const QJsonValue first = ack.isEmpty() ? QJsonValue() : ack.first();
    if (!first.isObject()) {
        // The service refuses with a text; anything but an object is not a delivery.
        const QString reason = JsonField::text(first);
        qCWarning(lcMessaging) << "message" << id << "refused:" << reason;
        deliver([this, conversation, id, types, reason]() {
            // Only a message still waiting for its answer (a late refusal of a copy the
            // service already confirmed changes nothing).
            if (!m_pending.find(types, conversation, id))
                return;
            // The language texts belong to the engine's thread.
            failSend(conversation, id, types,
                     reason.isEmpty() ? tarnex::text(QStringLiteral("message_send_fail"),
                                                     QStringLiteral("消息发送失败"))
                                      : reason);
        });
        return;
    }
    const QJsonObject object = first.toObject();
    if (types == groupType) {
        // The service has it; its echo of the message says so to the documents as well.
        qCDebug(lcMessaging) << "group message" << id << "acknowledged";
        deliver([this, conversation, id]() { markDelivered(groupType, conversation, id); });
        return;
    }
    QString to = JsonField::id(object.value(QLatin1String("to")));
    qulonglong msgId = MessageJson::readId(object.value(QLatin1String("msg_id")));
    if (to.isEmpty())
        to = conversation;
    if (msgId == 0)
        msgId = id;
    deliver([this, conversation, id, to, msgId]() {
        markDelivered(privateType, conversation, id);
        emit sigPrivareMessageStatusSelf(to, msgId, privateType);
    });
}

void MessagingSender::failSend(const QString &conversation, qulonglong id, const QString &types,
                               const QString &errors)
{
    // Kept in the conversation, shown as failed, until the user sends it again.
    if (MessageOutbox::Entry *entry = m_pending.find(types, conversation, id)) {
        entry->state = MessageOutbox::State::Failed;
        entry->unansweredHere = false;
        // Once for a burst of late answers, not once per message.
        saveOutboxSoon();
    }
    setOwnStatus(types, conversation, id, failedStatus());
    emit sigSendMessageFail(conversation, QString::number(id), types, errors);
    emit sigMessageStatus(conversation, types, id, failedStatus());
}

// The outbox.

QString MessagingSender::outboxPathFor(const ConfigFile &config, const QString &userId)
{
    // User ids are digits; anything else must not reach the path.
    QString folder = userId;
    folder.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return config.settingsFolderPath() + QStringLiteral("users/") + folder +
           QStringLiteral("/outbox.json");
}

void MessagingSender::openOutbox()
{
    const QString user = m_userId();
    if (user.isEmpty())
        return;
    const QString path = outboxPathFor(m_config, user);
    if (path == m_pending.path())
        return;
    if (m_outboxSaveDue)
        m_pending.save();
    if (!m_pending.entries().isEmpty())
        qCWarning(lcMessaging) << "outbox of another user replaced:" << m_pending.path();
    m_pending.open(path);
    restoreOutbox();
}

void MessagingSender::restoreOutbox()
{
    // What a previous run left: shown in its conversation again, as pending or failed.
    for (const MessageOutbox::Entry &entry : m_pending.entries()) {
        const QString status =
            entry.state == MessageOutbox::State::Failed ? failedStatus() : pendingStatus();
        const QString id = QString::number(entry.id);
        if (entry.types == privateType) {
            MessageRecord record = MessageJson::privateRecord(entry.payload);
            record.time = id;
            record.sendStatus = status;
            m_store.insertPrivate(entry.conversation, entry.id, record);
        } else {
            GroupMessageRecord record = MessageJson::groupRecord(entry.payload);
            record.time = id;
            record.groupId = entry.conversation;
            record.unread = QStringLiteral("0");
            record.sendStatus = status;
            m_store.insertGroup(entry.conversation, entry.id, record);
        }
    }
}

void MessagingSender::pumpOutbox()
{
    if (!m_signedIn())
        return;
    for (MessageOutbox::Entry &entry : m_pending.entries()) {
        if (entry.state == MessageOutbox::State::Waiting)
            writeEntry(entry);
    }
    armAckTimer();
}

void MessagingSender::writeEntry(MessageOutbox::Entry &entry)
{
    entry.state = MessageOutbox::State::InFlight;
    entry.writtenAt = m_monotonic.elapsed();
    entry.write = ++m_writes;
    const QString types = entry.types;
    const QString conversation = entry.conversation;
    const qulonglong id = entry.id;
    const quint64 write = entry.write;
    // Never left waiting inside the client for a later connection: there it would go out
    // before the sign-in's acknowledgement and ahead of older messages of this outbox.
    m_socket->emitNow(
        QStringLiteral("send message"), QJsonArray{entry.payload},
        [this, conversation, id, types](const QJsonArray &ack) {
            applySendReply(ack, conversation, id, types);
        },
        [this, conversation, id, types, write](sio::Socket::Failure failure,
                                               const QString &reason) {
            deliver([this, types, conversation, id, write, failure, reason]() {
                onWriteFailed(types, conversation, id, write, failure, reason);
            });
        });
}

void MessagingSender::onWriteFailed(const QString &types, const QString &conversation,
                                    qulonglong id, quint64 write, sio::Socket::Failure failure,
                                    const QString &reason)
{
    MessageOutbox::Entry *entry = m_pending.find(types, conversation, id);
    // Only the write it was about: an earlier one may fail after the message went out again.
    if (!entry || entry->state != MessageOutbox::State::InFlight || entry->write != write)
        return;
    switch (failure) {
    case sio::Socket::Failure::NotConnected:
        // The link went away under it: written again after the next sign-in.
        entry->state = MessageOutbox::State::Waiting;
        return;
    case sio::Socket::Failure::TooLarge:
        qCWarning(lcMessaging) << "message" << id << "refused locally:" << reason;
        failSend(conversation, id, types,
                 tarnex::text(QStringLiteral("message_too_large"),
                              QStringLiteral("消息过大，未能发送")));
        return;
    case sio::Socket::Failure::TimedOut:
    case sio::Socket::Failure::TooManyPending:
        break;
    }
    qCWarning(lcMessaging) << "message" << id << "failed:" << reason;
    const bool unanswered = failure == sio::Socket::Failure::TimedOut;
    failSend(conversation, id, types,
             tarnex::text(QStringLiteral("message_send_fail"), QStringLiteral("消息发送失败")));
    // As for the own time limit: an unanswered message may be revived when the link proves dead.
    entry = m_pending.find(types, conversation, id);
    if (unanswered && entry && entry->state == MessageOutbox::State::Failed)
        entry->unansweredHere = true;
}

void MessagingSender::markDelivered(const QString &types, const QString &conversation,
                                    qulonglong id)
{
    if (!m_pending.remove(types, conversation, id, false))
        return;
    saveOutboxSoon();
    setOwnStatus(types, conversation, id, QStringLiteral("2"));
    emit sigMessageStatus(conversation, types, id, QStringLiteral("2"));
    armAckTimer();
}

void MessagingSender::setOwnStatus(const QString &types, const QString &conversation, qulonglong id,
                                   const QString &status)
{
    if (types == groupType)
        m_store.setGroupStatus(conversation, id, status);
    else
        m_store.setPrivateStatus(conversation, id, status);
}

void MessagingSender::saveOutboxSoon()
{
    if (m_outboxSaveDue)
        return;
    m_outboxSaveDue = true;
    QTimer::singleShot(0, this, [this]() {
        m_outboxSaveDue = false;
        m_pending.save();
    });
}

void MessagingSender::armAckTimer()
{
    qint64 earliest = -1;
    for (const MessageOutbox::Entry &entry : m_pending.entries()) {
        if (entry.state == MessageOutbox::State::InFlight &&
            (earliest < 0 || entry.writtenAt < earliest))
            earliest = entry.writtenAt;
    }
    if (earliest < 0) {
        m_ackTimer->stop();
        return;
    }
    const qint64 due = earliest + m_ackTimeoutMs - m_monotonic.elapsed();
    m_ackTimer->start(int(qBound<qint64>(0, due, m_ackTimeoutMs)));
}

void MessagingSender::onAckTimeout()
{
    const qint64 now = m_monotonic.elapsed();
    // Collected first: a slot of the failure signal may retry, which changes the outbox.
    struct Key
    {
        QString types;
        QString conversation;
        qulonglong id;
    };
    QList<Key> late;
    for (const MessageOutbox::Entry &entry : m_pending.entries()) {
        if (entry.state == MessageOutbox::State::InFlight &&
            entry.writtenAt + m_ackTimeoutMs <= now)
            late.append(Key{entry.types, entry.conversation, entry.id});
    }
    for (const Key &key : qAsConst(late)) {
        qCWarning(lcMessaging) << "message" << key.id << "not acknowledged within" << m_ackTimeoutMs
                               << "ms";
        failSend(key.conversation, key.id, key.types,
                 tarnex::text(QStringLiteral("message_send_fail"), QStringLiteral("消息发送失败")));
        // Marked after the failure, which clears the mark (a refusal or a size failure is final).
        MessageOutbox::Entry *entry = m_pending.find(key.types, key.conversation, key.id);
        if (entry && entry->state == MessageOutbox::State::Failed)
            entry->unansweredHere = true;
    }
    armAckTimer();
}

void MessagingSender::linkDown(bool dead)
{
    bool any = false;
    // Collected first: a slot of the status signal may retry, which changes the outbox.
    QList<MessageOutbox::Entry> revived;
    for (MessageOutbox::Entry &entry : m_pending.entries()) {
        if (entry.state == MessageOutbox::State::InFlight) {
            entry.state = MessageOutbox::State::Waiting;
            any = true;
        } else if (dead && entry.unansweredHere && entry.state == MessageOutbox::State::Failed) {
            // The heartbeat takes longer than the acknowledgement limit to find a frozen server
            // out: the answer never had a chance. Sent again, with the same id, after the next
            // sign-in.
            entry.state = MessageOutbox::State::Waiting;
            revived.append(entry);
        }
        // Only failures on this link count; the next one starts afresh.
        entry.unansweredHere = false;
    }
    if (any)
        qCDebug(lcMessaging) << "link down: messages in flight wait for the next sign-in";
    m_ackTimer->stop();
    if (revived.isEmpty())
        return;
    qCInfo(lcMessaging) << "link dead:" << revived.size()
                        << "unanswered messages wait for the next sign-in";
    saveOutboxSoon();
    for (const MessageOutbox::Entry &entry : qAsConst(revived)) {
        setOwnStatus(entry.types, entry.conversation, entry.id, pendingStatus());
        emit sigMessageStatus(entry.conversation, entry.types, entry.id, pendingStatus());
    }
}

bool MessagingSender::retrySendMessage(const QString &ids, const QString &types,
                                       const QString &msgIds)
{
    MessageOutbox::Entry *entry = m_pending.find(types, ids, msgIds.toULongLong());
    if (!entry || entry->state != MessageOutbox::State::Failed)
        return false;
    entry->state = MessageOutbox::State::Waiting;
    entry->unansweredHere = false;
    m_pending.save();
    const qulonglong id = entry->id;
    setOwnStatus(types, ids, id, pendingStatus());
    emit sigMessageStatus(ids, types, id, pendingStatus());
    pumpOutbox();
    return true;
}

QString MessagingSender::getMessageStatus(const QString &ids, const QString &types,
                                          const QString &msgIds) const
{
    return types == groupType ? m_store.groupStatus(ids, msgIds.toULongLong())
                              : m_store.privateStatus(ids, msgIds.toULongLong());
}

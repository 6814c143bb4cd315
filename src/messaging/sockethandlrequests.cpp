// The engine's sending: chat messages out, with their acknowledgements and failures, and read
// marks.

#include "conversationtypes.h"
#include "language/text.h"
#include "loggedemit.h"
#include "logging.h"
#include "messagejson.h"
#include "messagepayloads.h"
#include "sio/client.h"
#include "sio/packetcodec.h"
#include "sockethandl.h"
#include "json/jsonfield.h"

#include <QThread>

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

QString SocketHandl::currentMessageId() const
{
    return m_currentMessageId;
}

OutgoingMessage SocketHandl::newOutgoing(const QString &ids, const QString &msgs,
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

void SocketHandl::fillOwnRecord(MessageRecord &record, const OutgoingMessage &message,
                                const QString &type) const
{
    const QString id = QString::number(message.id);
    record.creator = userId();
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

QString SocketHandl::sendPrivateInfor(const QString &ids, const QString &msgs,
                                      const QString &dateTimes, const QString &sendTypes,
                                      const QString &filePathas, int fileIndex, bool send,
                                      const FileAttachment &file)
{
    Q_UNUSED(dateTimes)
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
        sendChatMessage(message, privateType, MessagePayloads::privateMessage(message, userId()));
    return id;
}

QString SocketHandl::sendGroupInfor(const QString &ids, const QString &msgs,
                                    const QString &userName, const QString &dateTimes,
                                    const QString &sendTypes, const QString &filePathas,
                                    int fileIndex, bool send, const FileAttachment &file)
{
    Q_UNUSED(dateTimes)
    OutgoingMessage message = newOutgoing(ids, msgs, sendTypes, filePathas, fileIndex, file);
    message.userName = userName;
    const QString me = userId();
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

void SocketHandl::sendChatMessage(const OutgoingMessage &message, const QString &types,
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

void SocketHandl::onSendAck(const QJsonArray &ack, const QString &conversation, qulonglong id,
                            const QString &types)
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

void SocketHandl::failSend(const QString &conversation, qulonglong id, const QString &types,
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

void SocketHandl::setPrivateAlreadyRead(const QString &ids, const QString &msgIds)
{
    Q_UNUSED(msgIds)
    KeptConversation read;
    read.id = ids;
    read.unread = 0;
    keepConversation(read);
    LoggedEmit::emitLogged(*m_socket, QStringLiteral("update havRead"),
                           MessagePayloads::privateRead(ids, userId(), m_clock.readMark()));
}

void SocketHandl::setGroupAlreadyRead(const QString &groupIds, const QString &msgIds)
{
    Q_UNUSED(msgIds)
    KeptConversation read;
    read.group = true;
    read.id = groupIds;
    read.unread = 0;
    keepConversation(read);
    LoggedEmit::emitLogged(*m_socket, QStringLiteral("update havRead"),
                           MessagePayloads::groupRead(groupIds, userId(), m_clock.readMark()));
}

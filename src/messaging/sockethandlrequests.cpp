// The engine's requests: chat messages out, read marks, records, history searches, last
// records and unread counts, with the replies that fill the stores.

#include "conversationtypes.h"
#include "language/text.h"
#include "logging.h"
#include "messagejson.h"
#include "messagepayloads.h"
#include "sio/client.h"
#include "sio/packetcodec.h"
#include "sockethandl.h"
#include "json/jsonfield.h"

#include <QDateTime>
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

// The message texts of a conversation, oldest first, for the documents.
template <typename Conversation, typename ToText>
QStringList textsOf(const Conversation &conversation, ToText toText)
{
    QStringList texts;
    texts.reserve(conversation.size());
    for (const auto &record : conversation)
        texts << toText(record);
    return texts;
}

QStringList privateTexts(const ConversationStore::PrivateConversation &conversation)
{
    return textsOf(conversation,
                   [](const MessageRecord &record) { return MessageJson::privateText(record); });
}

QStringList groupTexts(const ConversationStore::GroupConversation &conversation, const QString &me)
{
    return textsOf(conversation, [&me](const GroupMessageRecord &record) {
        return MessageJson::groupText(record, record.creator == me);
    });
}

} // namespace

void SocketHandl::emitEvent(const QString &event, const QJsonArray &args,
                            std::function<void(const QJsonArray &)> ack)
{
    m_socket->emitEvent(event, args, std::move(ack));
}

void SocketHandl::emitLogged(const QString &event, const QJsonValue &payload)
{
    emitEvent(event, QJsonArray{payload}, [event](const QJsonArray &ack) {
        if (ack.isEmpty() || ack.first().toString() != QLatin1String("success"))
            qCDebug(lcMessaging) << event << "acknowledged:" << ack.size() << "values";
    });
}

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
    emitLogged(QStringLiteral("update havRead"),
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
    emitLogged(QStringLiteral("update havRead"),
               MessagePayloads::groupRead(groupIds, userId(), m_clock.readMark()));
}

void SocketHandl::getRecord(const QString &ids, const QString &types, int limits)
{
    // Without a link the pages seen before come from the local history.
    if (!m_signedIn && m_keeper && (types == privateType || types == groupType)) {
        KeptRecordQuery query;
        query.group = types == groupType;
        query.conversation = ids;
        query.limit = limits;
        findKept(query, false);
        return;
    }
    emitEvent(
        QStringLiteral("get record"),
        QJsonArray{MessagePayloads::recordRequest(ids, types, limits, userId())},
        [this, ids, limits](const QJsonArray &ack) { applyRecordReply(ack, ids, false, limits); });
}

void SocketHandl::getUserHistoryLength(const QString &userIds, int limits, const QString &times,
                                       const QString &chatTypes, const QString &findConts,
                                       int findTypes)
{
    QString event;
    QJsonObject request;
    if (!MessagePayloads::historyRequest(userIds, limits, times, chatTypes, findConts, findTypes,
                                         userId(), &event, &request)) {
        qCDebug(lcMessaging) << "history search of unknown kind" << findTypes << "not sent";
        return;
    }
    const KeptRecordQuery local =
        keptQuery(userIds, limits, times, chatTypes, findConts, findTypes);
    if (!m_signedIn && m_keeper) {
        findKept(local, true);
        return;
    }
    // A text search also looks through the local history, at once and again with the reply.
    const KeptRecordQuery search = findConts.isEmpty() ? KeptRecordQuery() : local;
    ++m_historyRequests;
    if (m_keeper && !search.conversation.isEmpty())
        findKeptFirst(search);
    emitEvent(event, QJsonArray{request}, [this, userIds, search](const QJsonArray &ack) {
        applyRecordReply(ack, userIds, true, 0, search);
    });
}

void SocketHandl::applyRecordReply(const QJsonArray &ack, const QString &ids, bool history,
                                   int limit, const KeptRecordQuery &search)
{
    const QString me = userId();
    ConversationStore::PrivateTable privateRecords;
    ConversationStore::GroupTable groupRecords;
    const QJsonArray list = ack.isEmpty() ? QJsonArray() : ack.first().toArray();
    for (const QJsonValue &value : list) {
        if (!value.isObject())
            continue;
        const QJsonObject object = value.toObject();
        const qulonglong id = MessageJson::readId(object.value(QLatin1String("msg_id")));
        if (object.value(QLatin1String("type")).toString() == QLatin1String("personal_group")) {
            GroupMessageRecord record = MessageJson::groupRecord(object);
            const QString groupId = record.groupId.isEmpty() ? ids : record.groupId;
            record.unread = QStringLiteral("0");
            // The user's own messages are delivered; the read map below tells who read them.
            record.sendStatus = record.creator == me ? QStringLiteral("2") : QStringLiteral("3");
            groupRecords[groupId].insert(id, record);
            continue;
        }
        MessageRecord record = MessageJson::privateRecord(object);
        QString partner = JsonField::id(object.value(QLatin1String("chat_object")));
        if (partner.isEmpty())
            partner = ids;
        // A reload must not show the user's unread messages as read.
        if (record.creator == me && record.haveread != QLatin1String("1"))
            record.sendStatus = QStringLiteral("2");
        else
            record.sendStatus = QStringLiteral("3");
        privateRecords[partner].insert(id, record);
    }

    // A group's reply also says how far each member has read.
    const QJsonObject reads = ack.size() > 1 ? ack.at(1).toObject() : QJsonObject();
    if (history) {
        for (auto it = reads.constBegin(); it != reads.constEnd(); ++it) {
            const qulonglong upTo = MessageJson::readId(it.value());
            if (it.key().isEmpty() || it.key() == me || upTo == 0)
                continue;
            auto group = groupRecords.find(ids);
            if (group != groupRecords.end())
                ConversationStore::markRead(*group, upTo, it.key());
        }
        deliver([this, privateRecords, groupRecords, search]() {
            ++m_historyReplies;
            m_store.replaceHistory(privateRecords, groupRecords);
            emit sigHistoryGetRecord();
            if (m_keeper && !search.conversation.isEmpty())
                findKept(search, true);
        });
        return;
    }
    const bool fullPage = limit > 0 && list.size() >= limit;
    // Stored on the engine's thread, in order with the live events around the reply.
    deliver([this, privateRecords, groupRecords, reads, ids, me, fullPage]() {
        m_store.insertPrivate(privateRecords);
        m_store.insertGroup(groupRecords);
        for (auto it = privateRecords.cbegin(); it != privateRecords.cend(); ++it)
            m_store.settleKept(false, it.key(), it->firstKey(), fullPage);
        for (auto it = groupRecords.cbegin(); it != groupRecords.cend(); ++it)
            m_store.settleKept(true, it.key(), it->firstKey(), fullPage);
        for (auto it = reads.constBegin(); it != reads.constEnd(); ++it) {
            const qulonglong upTo = MessageJson::readId(it.value());
            if (!it.key().isEmpty() && it.key() != me && upTo != 0)
                applyGroupStatus(ids, upTo, it.key());
        }
        emit sigGetRecord();
    });
}

void SocketHandl::getLastrecord(const QString &contents)
{
    QJsonArray request;
    if (!MessagePayloads::lastRecordRequest(contents, &request)) {
        qCDebug(lcMessaging) << "last records: not a list of conversations";
        return;
    }
    emitEvent(QStringLiteral("get lastrecord"), QJsonArray{QJsonValue(request)},
              [this](const QJsonArray &ack) { applyLastRecords(ack); });
}

void SocketHandl::applyLastRecords(const QJsonArray &ack)
{
    const QJsonObject reply = ack.isEmpty() ? QJsonObject() : ack.first().toObject();
    const QString separator = QStringLiteral("**_**");
    for (auto it = reply.constBegin(); it != reply.constEnd(); ++it) {
        const QString key = it.key();
        QString ids;
        QString types;
        int cut = key.indexOf(separator);
        if (cut >= 0) {
            ids = key.left(cut);
            types = key.mid(cut + separator.size());
        } else {
            // The type is the last piece; an id may hold "_" itself.
            cut = key.lastIndexOf(QLatin1Char('_'));
            ids = cut >= 0 ? key.left(cut) : key;
            types = cut >= 0 ? key.mid(cut + 1) : QString();
        }
        const QString value = JsonField::text(it.value());
        // The time follows the last ",": the content may hold commas of its own.
        const int comma = value.lastIndexOf(QLatin1Char(','));
        const QString contents = comma >= 0 ? value.left(comma) : value;
        QString times;
        bool ok = false;
        const qint64 ms = comma >= 0 ? value.mid(comma + 1).trimmed().toLongLong(&ok) : 0;
        if (ok)
            times = QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral(" hh:mm"));
        deliver([this, ids, contents, types, times, ms]() {
            KeptConversation change;
            change.group = types == groupType;
            change.id = ids;
            change.text = contents;
            change.timeMs = ms;
            if (types == privateType || types == groupType)
                keepConversation(change);
            emit sigSendLastMessageInfor(ids, contents, types, times);
        });
    }
}

void SocketHandl::getOutlineRecordLength()
{
    emitEvent(QStringLiteral("outline recordLength"), QJsonArray{QString()});
}

void SocketHandl::getLastRecordLength()
{
    emitEvent(QStringLiteral("outline recordLength"), QJsonArray{QString()});
}

QStringList SocketHandl::getPrivateIdFromInfors(const QString &ids) const
{
    return privateTexts(m_store.privateConversation(ids));
}

QStringList SocketHandl::getGroupIdFromInfors(const QString &ids) const
{
    return groupTexts(m_store.groupConversation(ids), userId());
}

QStringList SocketHandl::getHistoryPrivateIdFromInfors(const QString &ids) const
{
    return privateTexts(m_store.privateHistory(ids));
}

QStringList SocketHandl::getHistoryGroupIdFromInfors(const QString &ids) const
{
    return groupTexts(m_store.groupHistory(ids), userId());
}

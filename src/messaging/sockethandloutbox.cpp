// The engine's outbox: every chat message the user sends waits there, pending, until the service
// acknowledges it. It is written only to a signed-in link, in the order it was sent; what is in
// flight when the link drops is written again after the next sign-in (the service drops a copy
// it already has, by message id), and what is not acknowledged in time is failed and kept for a
// retry. The outbox is a file per user, so it also survives a restart.

#include "config/configfile.h"
#include "conversationtypes.h"
#include "language/text.h"
#include "logging.h"
#include "messagejson.h"
#include "sio/socket.h"
#include "sockethandl.h"

#include <QRegularExpression>
#include <QTimer>

namespace {

using ConversationTypes::groupType;
using ConversationTypes::privateType;

} // namespace

QString SocketHandl::outboxPathFor(const QString &userId)
{
    // User ids are digits; anything else must not reach the path.
    QString folder = userId;
    folder.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return ConfigFile::instance()->settingsFolderPath() + QStringLiteral("users/") + folder +
           QStringLiteral("/outbox.json");
}

void SocketHandl::openOutbox()
{
    const QString user = userId();
    if (user.isEmpty())
        return;
    const QString path = outboxPathFor(user);
    if (path == m_pending.path())
        return;
    if (m_outboxSaveDue)
        m_pending.save();
    if (!m_pending.entries().isEmpty())
        qCWarning(lcMessaging) << "outbox of another user replaced:" << m_pending.path();
    m_pending.open(path);
    restoreOutbox();
}

void SocketHandl::restoreOutbox()
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

void SocketHandl::pumpOutbox()
{
    if (!m_signedIn)
        return;
    for (MessageOutbox::Entry &entry : m_pending.entries()) {
        if (entry.state == MessageOutbox::State::Waiting)
            writeEntry(entry);
    }
    armAckTimer();
}

void SocketHandl::writeEntry(MessageOutbox::Entry &entry)
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
            onSendAck(ack, conversation, id, types);
        },
        [this, conversation, id, types, write](sio::Socket::Failure failure,
                                               const QString &reason) {
            deliver([this, types, conversation, id, write, failure, reason]() {
                onWriteFailed(types, conversation, id, write, failure, reason);
            });
        });
}

void SocketHandl::onWriteFailed(const QString &types, const QString &conversation, qulonglong id,
                                quint64 write, sio::Socket::Failure failure, const QString &reason)
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

void SocketHandl::markDelivered(const QString &types, const QString &conversation, qulonglong id)
{
    if (!m_pending.remove(types, conversation, id, false))
        return;
    saveOutboxSoon();
    setOwnStatus(types, conversation, id, QStringLiteral("2"));
    emit sigMessageStatus(conversation, types, id, QStringLiteral("2"));
    armAckTimer();
}

void SocketHandl::setOwnStatus(const QString &types, const QString &conversation, qulonglong id,
                               const QString &status)
{
    if (types == groupType)
        m_store.setGroupStatus(conversation, id, status);
    else
        m_store.setPrivateStatus(conversation, id, status);
}

void SocketHandl::saveOutboxSoon()
{
    if (m_outboxSaveDue)
        return;
    m_outboxSaveDue = true;
    QTimer::singleShot(0, this, [this]() {
        m_outboxSaveDue = false;
        m_pending.save();
    });
}

void SocketHandl::armAckTimer()
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

void SocketHandl::onAckTimeout()
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

bool SocketHandl::retrySendMessage(const QString &ids, const QString &types, const QString &msgIds)
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

QString SocketHandl::getMessageStatus(const QString &ids, const QString &types,
                                      const QString &msgIds) const
{
    return types == groupType ? m_store.groupStatus(ids, msgIds.toULongLong())
                              : m_store.privateStatus(ids, msgIds.toULongLong());
}

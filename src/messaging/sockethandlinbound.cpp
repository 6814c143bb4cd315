// The engine's side of the service's receipts: the delivery states of the user's own messages,
// applied on the engine's thread.

#include "sockethandl.h"

void SocketHandl::onPrivareMessageStatus(const QString &ids, qulonglong msgid,
                                         const QString &statusa)
{
    applyPrivateStatus(ids, msgid, statusa);
}

void SocketHandl::onGroupMessageStatusSelf(const QString &groupIds, qulonglong msgid,
                                           const QString &fromId)
{
    applyGroupStatus(groupIds, msgid, fromId);
}

// Both run on the engine's thread (reached through its own queued hand-over).
void SocketHandl::applyPrivateStatus(const QString &ids, qulonglong msgid, const QString &statusa)
{
    if (statusa == QLatin1String("2")) {
        m_store.setPrivateSent(ids, msgid);
    } else {
        m_store.setPrivateStatusUpTo(ids, msgid, statusa);
        emit sigMessageStatus(ids, QStringLiteral("2"), msgid, statusa);
    }
    deliver([this, ids, msgid, statusa]() { emit sigPrivareMessageStatus(ids, msgid, statusa); });
}

void SocketHandl::applyGroupStatus(const QString &groupIds, qulonglong msgid, const QString &fromId)
{
    if (fromId == userId()) {
        // The echo of the user's own message: the service has it, also when its
        // acknowledgement was lost.
        m_sender->markDelivered(QStringLiteral("3"), groupIds, msgid);
        m_store.setGroupSent(groupIds, msgid);
        deliver([this, groupIds, msgid, fromId]() {
            emit sigGroupMessageStatus(groupIds, msgid, fromId, QStringLiteral("2"));
        });
        return;
    }
    m_store.setGroupReadUpTo(groupIds, msgid, fromId);
    emit sigMessageStatus(groupIds, QStringLiteral("3"), msgid, QStringLiteral("3"));
    deliver([this, groupIds, msgid, fromId]() {
        emit sigGroupMessageStatus(groupIds, msgid, fromId, QStringLiteral("3"));
    });
}

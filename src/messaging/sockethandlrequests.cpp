// The engine's sending, forwarded to the sender, and the read marks the engine sends itself.

#include "config/configfile.h"
#include "loggedemit.h"
#include "messagepayloads.h"
#include "sockethandl.h"

QString SocketHandl::currentMessageId() const
{
    return m_sender->currentMessageId();
}

QString SocketHandl::sendPrivateInfor(const QString &ids, const QString &msgs,
                                      const QString &dateTimes, const QString &sendTypes,
                                      const QString &filePathas, int fileIndex, bool send,
                                      const FileAttachment &file)
{
    Q_UNUSED(dateTimes)
    return m_sender->sendPrivateInfor(ids, msgs, sendTypes, filePathas, fileIndex, send, file);
}

QString SocketHandl::sendGroupInfor(const QString &ids, const QString &msgs,
                                    const QString &userName, const QString &dateTimes,
                                    const QString &sendTypes, const QString &filePathas,
                                    int fileIndex, bool send, const FileAttachment &file)
{
    Q_UNUSED(dateTimes)
    return m_sender->sendGroupInfor(ids, msgs, userName, sendTypes, filePathas, fileIndex, send,
                                    file);
}

bool SocketHandl::retrySendMessage(const QString &ids, const QString &types, const QString &msgIds)
{
    return m_sender->retrySendMessage(ids, types, msgIds);
}

QString SocketHandl::getMessageStatus(const QString &ids, const QString &types,
                                      const QString &msgIds) const
{
    return m_sender->getMessageStatus(ids, types, msgIds);
}

QString SocketHandl::outboxPathFor(const QString &userId)
{
    return MessagingSender::outboxPathFor(*ConfigFile::instance(), userId);
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

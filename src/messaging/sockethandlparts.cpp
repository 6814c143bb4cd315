// The engine's parts: made with what they use, their signals passed on as the engine's own, and
// the engine's functions of theirs forwarded to them unchanged.

#include "config/configfile.h"
#include "messaginggroups.h"
#include "messaginghistory.h"
#include "messaginginbound.h"
#include "net/servertrust.h"
#include "reminders/systeminformation.h"
#include "session/parameterinfor.h"
#include "sockethandl.h"

void SocketHandl::makeParts()
{
    const auto me = [this]() { return userId(); };
    // Direct: a part emits on the engine's thread, and the engine's signal follows at once, in
    // the same order with the engine's own emissions as before the parts.
    const auto direct = Qt::DirectConnection;

    // The process's settings, login parameters and trust; a part made alone is handed others.
    m_link = new MessagingLink(*m_outbox, *ConfigFile::instance(), *ParameterInfor::instance(),
                               *ServerTrust::instance(), this);
    m_socket = m_link->socket();
    connect(m_link, &MessagingLink::sigNetworkdisconnect, this, &SocketHandl::sigNetworkdisconnect,
            direct);
    connect(m_link, qOverload<bool>(&MessagingLink::sigConnectServer), this,
            qOverload<bool>(&SocketHandl::sigConnectServer), direct);
    connect(m_link, qOverload<>(&MessagingLink::sigConnectServer), this,
            qOverload<>(&SocketHandl::sigConnectServer), direct);
    connect(m_link, &MessagingLink::sigReconnectInfor, this, &SocketHandl::sigReconnectInfor,
            direct);
    connect(m_link, &MessagingLink::sigConnecting, this, &SocketHandl::sigConnecting, direct);
    connect(m_link, &MessagingLink::sigReconnectScheduled, this,
            &SocketHandl::sigReconnectScheduled, direct);
    connect(m_link, &MessagingLink::sigLoginStatus, this, &SocketHandl::sigLoginStatus, direct);

    m_sender = new MessagingSender(
        m_socket, m_store, m_clock, *m_outbox, me, [this]() { return m_link->isSignedIn(); },
        *ConfigFile::instance(), this);
    // The sender follows the link: the user's outbox opens before a connection, what waits goes
    // out at the sign-in, what was in flight waits again when the link goes.
    connect(m_link, &MessagingLink::aboutToConnect, m_sender, &MessagingSender::openOutbox, direct);
    connect(m_link, &MessagingLink::signedIn, m_sender, &MessagingSender::pumpOutbox, direct);
    connect(m_link, &MessagingLink::linkDown, m_sender, &MessagingSender::linkDown, direct);
    connect(m_sender, &MessagingSender::sigPrivareMessage, this, &SocketHandl::sigPrivareMessage,
            direct);
    connect(m_sender, &MessagingSender::sigGroupMessage, this, &SocketHandl::sigGroupMessage,
            direct);
    connect(m_sender, &MessagingSender::sigRecordMessageFile, this,
            &SocketHandl::sigRecordMessageFile, direct);
    connect(m_sender, &MessagingSender::sigSendMessageFail, this, &SocketHandl::sigSendMessageFail,
            direct);
    connect(m_sender, &MessagingSender::sigMessageStatus, this, &SocketHandl::sigMessageStatus,
            direct);
    connect(m_sender, &MessagingSender::sigOutboxProblem, this, &SocketHandl::sigOutboxProblem,
            direct);
    connect(m_sender, &MessagingSender::sigPrivareMessageStatusSelf, this,
            &SocketHandl::sigPrivareMessageStatusSelf, direct);

    m_groups = new MessagingGroups(m_socket, m_store, m_clock, *m_outbox, me, this);
    connect(m_groups, &MessagingGroups::sigGetGroupInfor, this, &SocketHandl::sigGetGroupInfor,
            direct);
    connect(m_groups, &MessagingGroups::sigGroupInforChange, this,
            &SocketHandl::sigGroupInforChange, direct);

    m_history = new MessagingHistory(
        m_socket, m_store, *m_outbox, me, [this]() { return m_link->isSignedIn(); }, this);
    connect(m_history, &MessagingHistory::sigGetRecord, this, &SocketHandl::sigGetRecord, direct);
    connect(m_history, &MessagingHistory::sigHistoryGetRecord, this,
            &SocketHandl::sigHistoryGetRecord, direct);
    connect(m_history, &MessagingHistory::sigHistoryCleared, this, &SocketHandl::sigHistoryCleared,
            direct);
    connect(m_history, &MessagingHistory::sigSendLastMessageInfor, this,
            &SocketHandl::sigSendLastMessageInfor, direct);
    connect(m_history, &MessagingHistory::sigKeptConversations, this,
            &SocketHandl::sigKeptConversations, direct);
    connect(
        m_history, &MessagingHistory::groupReadReported, this,
        [this](const QString &groupId, qulonglong upTo, const QString &reader) {
            applyGroupStatus(groupId, upTo, reader);
        },
        direct);

    m_inbound = new MessagingInbound(
        m_store, *m_outbox, me,
        [this](const KeptConversation &change) { m_history->keepConversation(change); },
        *ParameterInfor::instance(), *SystemInformation::gestance(), this);
    connect(m_inbound, &MessagingInbound::sigPrivareMessage, this, &SocketHandl::sigPrivareMessage,
            direct);
    connect(m_inbound, &MessagingInbound::sigGroupMessage, this, &SocketHandl::sigGroupMessage,
            direct);
    connect(m_inbound, &MessagingInbound::sigMessageUnreadNums, this,
            &SocketHandl::sigMessageUnreadNums, direct);
    connect(m_inbound, &MessagingInbound::sigAddGroup, this, &SocketHandl::sigAddGroup, direct);
    connect(m_inbound, &MessagingInbound::sigEditGroupCB, this, &SocketHandl::sigEditGroupCB,
            direct);
    connect(m_inbound, &MessagingInbound::sigEditGroupDelete, this,
            &SocketHandl::sigEditGroupDelete, direct);
    connect(m_inbound, &MessagingInbound::sigPrivareMessageStatusSelf, this,
            &SocketHandl::sigPrivareMessageStatusSelf, direct);
    connect(m_inbound, &MessagingInbound::sigGroupMessageStatusSelf, this,
            &SocketHandl::sigGroupMessageStatusSelf, direct);
    m_inbound->bind(*m_socket);
}

// Groups.

void SocketHandl::getGroupInfors()
{
    m_groups->getGroupInfors();
}

QStringList SocketHandl::getGroupIds() const
{
    return m_groups->getGroupIds();
}

QString SocketHandl::getGroupInforFromId(const QString &ids, const QString &infors) const
{
    return m_groups->getGroupInforFromId(ids, infors);
}

QStringList SocketHandl::getGroupMemberFromId(const QString &ids) const
{
    return m_groups->getGroupMemberFromId(ids);
}

void SocketHandl::creatNewGroup(const QString &groupList, const QString &groupName)
{
    m_groups->creatNewGroup(groupList, groupName);
}

void SocketHandl::groupAddNewMember(const QString &groupIds, const QString &groupNames,
                                    const QString &groupList, const QString &addList)
{
    m_groups->groupAddNewMember(groupIds, groupNames, groupList, addList);
}

void SocketHandl::groupDeleteNewMember(const QString &groupIds, const QString &groupNames,
                                       const QString &groupList, const QString &deleteList)
{
    m_groups->groupDeleteNewMember(groupIds, groupNames, groupList, deleteList);
}

void SocketHandl::exitGroup(const QString &groupIds)
{
    m_groups->exitGroup(groupIds);
}

void SocketHandl::deleteGroup(const QString &groupIds)
{
    m_groups->deleteGroup(groupIds);
}

// Records, history and the local history.

void SocketHandl::getRecord(const QString &ids, const QString &types, int limits)
{
    m_history->getRecord(ids, types, limits);
}

void SocketHandl::getUserHistoryLength(const QString &userIds, int limits, const QString &times,
                                       const QString &chatTypes, const QString &findConts,
                                       int findTypes)
{
    m_history->getUserHistoryLength(userIds, limits, times, chatTypes, findConts, findTypes);
}

void SocketHandl::getLastrecord(const QString &contents)
{
    m_history->getLastrecord(contents);
}

void SocketHandl::getOutlineRecordLength()
{
    m_history->getOutlineRecordLength();
}

void SocketHandl::getLastRecordLength()
{
    m_history->getOutlineRecordLength();
}

QStringList SocketHandl::getPrivateIdFromInfors(const QString &ids) const
{
    return m_history->getPrivateIdFromInfors(ids);
}

QStringList SocketHandl::getGroupIdFromInfors(const QString &ids) const
{
    return m_history->getGroupIdFromInfors(ids);
}

QStringList SocketHandl::getHistoryPrivateIdFromInfors(const QString &ids) const
{
    return m_history->getHistoryPrivateIdFromInfors(ids);
}

QStringList SocketHandl::getHistoryGroupIdFromInfors(const QString &ids) const
{
    return m_history->getHistoryGroupIdFromInfors(ids);
}

void SocketHandl::setRecordKeeper(std::shared_ptr<RecordKeeper> keeper)
{
    m_history->setRecordKeeper(std::move(keeper));
}

void SocketHandl::showKept(const RecordKeeper::PrivateTable &privateRecords,
                           const RecordKeeper::GroupTable &groupRecords)
{
    m_history->showKept(privateRecords, groupRecords);
}

void SocketHandl::showKeptConversations(const QVector<KeptConversation> &conversations)
{
    m_history->showKeptConversations(conversations);
}

QVector<KeptConversation> SocketHandl::keptConversations() const
{
    return m_history->keptConversations();
}

void SocketHandl::forgetKept()
{
    m_history->forgetKept();
}

void SocketHandl::keepConversation(const KeptConversation &change)
{
    m_history->keepConversation(change);
}

void SocketHandl::keepConversationName(const QString &ids, const QString &types,
                                       const QString &name)
{
    m_history->keepConversationName(ids, types, name);
}

KeptRecordQuery SocketHandl::keptQuery(const QString &userIds, int limits, const QString &times,
                                       const QString &chatTypes, const QString &findConts,
                                       int findTypes)
{
    return MessagingHistory::keptQuery(userIds, limits, times, chatTypes, findConts, findTypes);
}

#include "socketstate.h"

#include "session/parameterinfor.h"
#include "sockethandl.h"

SocketState::SocketState(QObject *parent) : QObject(parent), m_engine(SocketHandl::instance())
{
    SocketHandl *e = m_engine;
    connect(ParameterInfor::instance(), &ParameterInfor::usersFetched, this,
            &SocketState::sigUserInforFetched);
    connect(e, &SocketHandl::sigReconnectInfor, this, &SocketState::sigReconnectInfor);
    connect(e, &SocketHandl::sigConnecting, this, &SocketState::sigConnecting);
    connect(e, &SocketHandl::sigOutboxProblem, this, &SocketState::sigOutboxProblem);
    connect(e, &SocketHandl::sigReconnectScheduled, this, &SocketState::sigReconnectScheduled);
    connect(e, &SocketHandl::sigRemoveMessage, this, &SocketState::sigRemoveMessage);
    connect(e, &SocketHandl::sigNetworkdisconnect, this, &SocketState::sigNetworkdisconnect);
    connect(e, qOverload<bool>(&SocketHandl::sigConnectServer), this,
            &SocketState::sigConnectServer);
    connect(e, &SocketHandl::sigGetGroupInfor, this, &SocketState::sigGetGroupInfor);
    connect(e, &SocketHandl::sigGetRecord, this, &SocketState::sigGetRecord);
    connect(e, &SocketHandl::sigGroupInforChange, this, &SocketState::sigGroupInforChange);
    connect(e, &SocketHandl::sigNewGroupInfor, this, &SocketState::sigNewGroupInfor);
    connect(e, &SocketHandl::sigAddGroup, this, &SocketState::sigAddGroup);
    connect(e, &SocketHandl::sigEditGroupCB, this, &SocketState::sigEditGroupCB);
    connect(e, &SocketHandl::sigEditGroupDelete, this, &SocketState::sigEditGroupDelete);
    connect(e, &SocketHandl::sigHistoryGetRecord, this, &SocketState::sigHistoryGetRecord);
    connect(e, &SocketHandl::sigHistoryCleared, this, &SocketState::sigHistoryCleared);
    connect(e, &SocketHandl::sigPrivareMessage, this, &SocketState::sigPrivareMessage);
    connect(e, &SocketHandl::sigGroupMessage, this, &SocketState::sigGroupMessage);
    connect(e, &SocketHandl::sigPrivareMessageStatus, this, &SocketState::sigPrivareMessageStatus);
    connect(e, &SocketHandl::sigGroupMessageStatus, this, &SocketState::sigGroupMessageStatus);
    connect(e, &SocketHandl::sigMessageUnreadNums, this, &SocketState::sigMessageUnreadNums);
    connect(e, &SocketHandl::sigSendLastMessageInfor, this, &SocketState::sigSendLastMessageInfor);
    connect(e, &SocketHandl::sigKeptConversations, this, &SocketState::sigKeptConversations);
    connect(e, &SocketHandl::sigLoginStatus, this, &SocketState::sigLoginStatus);
    connect(e, &SocketHandl::sigSendMessageFail, this, &SocketState::sigSendMessageFail);
    connect(e, &SocketHandl::sigMessageStatus, this, &SocketState::sigMessageStatus);
}

bool SocketState::retrySendMessage(const QString &ids, const QString &types, const QString &msgIds)
{
    return m_engine->retrySendMessage(ids, types, msgIds);
}

QString SocketState::getMessageStatus(const QString &ids, const QString &types,
                                      const QString &msgIds) const
{
    return m_engine->getMessageStatus(ids, types, msgIds);
}

QVariantList SocketState::keptConversations() const
{
    QVariantList list;
    for (const KeptConversation &c : m_engine->keptConversations()) {
        list.append(QVariantMap{
            {QStringLiteral("ids"), c.id},
            {QStringLiteral("types"), c.group ? QStringLiteral("3") : QStringLiteral("2")},
            {QStringLiteral("names"), c.name},
            {QStringLiteral("content"), c.text},
            {QStringLiteral("msgType"), c.msgType},
            {QStringLiteral("stamp"), double(c.timeMs)},
            {QStringLiteral("unread"), qMax(0, c.unread)},
            {QStringLiteral("creator"), c.creator},
            {QStringLiteral("senderName"), c.senderName}});
    }
    return list;
}

void SocketState::keepConversationName(const QString &ids, const QString &types,
                                       const QString &name)
{
    m_engine->keepConversationName(ids, types, name);
}

QString SocketState::outboxProblem() const
{
    return m_engine->outboxProblem();
}

void SocketState::connectServer()
{
    m_engine->connectServer();
}

void SocketState::retryNow()
{
    m_engine->reconnectNow();
}

QString SocketState::sendPrivateInfor(const QString &ids, const QString &msgs,
                                      const QString &dateTimes, const QString &sendTypes,
                                      const QString &filePathas, int fileIndex)
{
    return m_engine->sendPrivateInfor(ids, msgs, dateTimes, sendTypes, filePathas, fileIndex, true);
}

QString SocketState::sendGroupInfor(const QString &ids, const QString &msgs,
                                    const QString &userName, const QString &dateTimes,
                                    const QString &sendTypes, const QString &filePathas,
                                    int fileIndex)
{
    return m_engine->sendGroupInfor(ids, msgs, userName, dateTimes, sendTypes, filePathas,
                                    fileIndex, true);
}

void SocketState::setPrivateAlreadyRead(const QString &ids, const QString &msgIds)
{
    m_engine->setPrivateAlreadyRead(ids, msgIds);
}

void SocketState::setGroupAlreadyRead(const QString &groupIds, const QString &msgIds)
{
    m_engine->setGroupAlreadyRead(groupIds, msgIds);
}

void SocketState::getRecord(const QString &ids, const QString &types, int limits)
{
    m_engine->getRecord(ids, types, limits);
}

void SocketState::getUserHistoryLength(const QString &userIds, int limits, const QString &times,
                                       const QString &chatTypes, const QString &findConts,
                                       int findTypes)
{
    m_engine->getUserHistoryLength(userIds, limits, times, chatTypes, findConts, findTypes);
}

void SocketState::getLastrecord(const QString &contents)
{
    m_engine->getLastrecord(contents);
}

void SocketState::getOutlineRecordLength()
{
    m_engine->getOutlineRecordLength();
}

void SocketState::getLastRecordLength()
{
    m_engine->getLastRecordLength();
}

QStringList SocketState::getPrivateIdFromInfors(const QString &ids) const
{
    return m_engine->getPrivateIdFromInfors(ids);
}

QStringList SocketState::getGroupIdFromInfors(const QString &ids) const
{
    return m_engine->getGroupIdFromInfors(ids);
}

QStringList SocketState::getHistoryPrivateIdFromInfors(const QString &ids) const
{
    return m_engine->getHistoryPrivateIdFromInfors(ids);
}

QStringList SocketState::getHistoryGroupIdFromInfors(const QString &ids) const
{
    return m_engine->getHistoryGroupIdFromInfors(ids);
}

void SocketState::getGroupInfors()
{
    m_engine->getGroupInfors();
}

QStringList SocketState::getGroupIds() const
{
    return m_engine->getGroupIds();
}

QString SocketState::getGroupInforFromId(const QString &ids, const QString &infors) const
{
    return m_engine->getGroupInforFromId(ids, infors);
}

QStringList SocketState::getGroupMemberFromId(const QString &ids) const
{
    return m_engine->getGroupMemberFromId(ids);
}

void SocketState::creatNewGroup(const QString &groupList, const QString &groupName)
{
    m_engine->creatNewGroup(groupList, groupName);
}

void SocketState::groupAddNewMember(const QString &groupIds, const QString &groupNames,
                                    const QString &groupList, const QString &addList)
{
    m_engine->groupAddNewMember(groupIds, groupNames, groupList, addList);
}

void SocketState::groupDeleteNewMember(const QString &groupIds, const QString &groupNames,
                                       const QString &groupList, const QString &deleteList)
{
    m_engine->groupDeleteNewMember(groupIds, groupNames, groupList, deleteList);
}

void SocketState::exitGroup(const QString &groupIds)
{
    m_engine->exitGroup(groupIds);
}

void SocketState::deleteGroup(const QString &groupIds)
{
    m_engine->deleteGroup(groupIds);
}

void SocketState::insertGroupNumbers(const QString &numbers)
{
    ParameterInfor::instance()->appendGroupUser(numbers);
}

void SocketState::clearGroupNumbers()
{
    ParameterInfor::instance()->clearGroupUsers();
}

void SocketState::requestGroupNumbers()
{
    ParameterInfor::instance()->requestGroupUsers();
}

QString SocketState::getUserInfor(const QString &ids, const QString &names)
{
    return ParameterInfor::instance()->userField(ids, names);
}

bool SocketState::judgeUserInfor(const QString &ids)
{
    return ParameterInfor::instance()->hasUser(ids);
}

QVariantMap SocketState::getUserCard(const QString &ids)
{
    ParameterInfor *users = ParameterInfor::instance();
    const QString name = users->userField(ids, QStringLiteral("user_name"));
    const bool known = users->hasUser(ids);
    const auto field = [&](const char *key) {
        return known ? users->userField(ids, QLatin1String(key)) : QString();
    };
    return {{QStringLiteral("userName"), name.isEmpty() ? ids : name},
            {QStringLiteral("known"), known},
            {QStringLiteral("deptName"), field("dept_name")},
            {QStringLiteral("roleName"), field("role_name")},
            {QStringLiteral("email"), field("email")},
            {QStringLiteral("phone"), field("phone_number")}};
}

QString SocketState::getSelfUesrId() const
{
    return m_engine->userId();
}

QString SocketState::filterUseInformation(const QString &infors, int types) const
{
    return m_codec.filterUseInformation(infors, types);
}

QString SocketState::swapNetworkInformation(const QString &inforsa) const
{
    return m_codec.swapNetworkInformation(inforsa);
}

QString SocketState::replaceTokenToRegular(const QString &contents)
{
    return m_codec.replaceTokenToRegular(contents);
}

QString SocketState::replaceRegularToToken(const QString &contents)
{
    return m_codec.replaceRegularToToken(contents);
}

QString SocketState::displayMarkup(const QString &stored)
{
    return m_codec.displayMarkup(stored);
}

QString SocketState::getAllImagePaths(const QString &images) const
{
    return m_codec.getAllImagePaths(images);
}

bool SocketState::isContainImage() const
{
    return m_codec.isContainImage();
}

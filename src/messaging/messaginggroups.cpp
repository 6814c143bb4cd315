// The group requests and lookups; the table itself follows the service's group events as well
// (sockethandlinbound.cpp).

#include "messaginggroups.h"

#include "conversationstore.h"
#include "loggedemit.h"
#include "logging.h"
#include "messageclock.h"
#include "messagejson.h"
#include "messagepayloads.h"
#include "signaloutbox.h"
#include "sio/socket.h"

#include <QUuid>

MessagingGroups::MessagingGroups(std::shared_ptr<sio::Socket> socket, ConversationStore &store,
                                 const MessageClock &clock, SignalOutbox &outbox,
                                 UserIdSource userId, QObject *parent)
    : QObject(parent)
    , m_socket(std::move(socket))
    , m_store(store)
    , m_clock(clock)
    , m_outbox(outbox)
    , m_userId(std::move(userId))
{}

void MessagingGroups::getGroupInfors()
{
    m_socket->emitEvent(QStringLiteral("send myGroup"), QJsonArray{QString()},
                        [this](const QJsonArray &ack) { applyGroupList(ack); });
}

void MessagingGroups::applyGroupList(const QJsonArray &ack)
{
    QMap<QString, GroupEntry> groups;
    const QJsonArray list = ack.isEmpty() ? QJsonArray() : ack.first().toArray();
    for (const QJsonValue &value : list) {
        if (!value.isObject())
            continue;
        const GroupEntry entry = MessageJson::groupEntry(value.toObject());
        if (!entry.id.isEmpty())
            groups.insert(entry.id, entry);
    }
    const bool any = !groups.isEmpty();
    m_outbox.post([this, any, groups]() {
        m_store.replaceGroups(groups);
        emit sigGetGroupInfor();
        if (any)
            emit sigGroupInforChange();
    });
}

QStringList MessagingGroups::getGroupIds() const
{
    return m_store.groupIds();
}

QString MessagingGroups::getGroupInforFromId(const QString &ids, const QString &infors) const
{
    GroupEntry group;
    if (!m_store.group(ids, &group))
        return QString();
    if (infors == QLatin1String("creator"))
        return group.creator;
    if (infors == QLatin1String("name"))
        return group.name;
    if (infors == QLatin1String("update_time"))
        return group.updateTime;
    if (infors == QLatin1String("create_time"))
        return group.createTime.size() >= 19 ? group.createTime.chopped(8) : group.createTime;
    if (infors == QLatin1String("members"))
        return group.members.join(QLatin1Char(';'));
    return QString();
}

QStringList MessagingGroups::getGroupMemberFromId(const QString &ids) const
{
    GroupEntry group;
    m_store.group(ids, &group);
    return group.members;
}

void MessagingGroups::creatNewGroup(const QString &groupList, const QString &groupName)
{
    const QString me = m_userId();
    QStringList members;
    for (const QString &id : MessageJson::splitIds(groupList)) {
        if (id != me && !members.contains(id))
            members << id;
    }
    members << me;
    QString id = QUuid::createUuid().toString();
    id.remove(QLatin1Char('{'));
    id.remove(QLatin1Char('}'));
    const QString now = MessageJson::formatTime(m_clock.synchronisedNow());
    LoggedEmit::emitLogged(*m_socket, QStringLiteral("create group"),
                           MessagePayloads::newGroup(id, groupName, me, members, now));
}

void MessagingGroups::groupAddNewMember(const QString &groupIds, const QString &groupNames,
                                        const QString &groupList, const QString &addList)
{
    LoggedEmit::emitLogged(
        *m_socket, QStringLiteral("edit group"),
        MessagePayloads::groupEdit(groupIds, groupNames, MessageJson::splitIds(groupList),
                                   MessageJson::splitIds(addList), QStringList()));
}

void MessagingGroups::groupDeleteNewMember(const QString &groupIds, const QString &groupNames,
                                           const QString &groupList, const QString &deleteList)
{
    LoggedEmit::emitLogged(
        *m_socket, QStringLiteral("edit group"),
        MessagePayloads::groupEdit(groupIds, groupNames, MessageJson::splitIds(groupList),
                                   QStringList(), MessageJson::splitIds(deleteList)));
}

void MessagingGroups::exitGroup(const QString &groupIds)
{
    GroupEntry group;
    if (!m_store.group(groupIds, &group))
        group.id = groupIds;
    LoggedEmit::emitLogged(*m_socket, QStringLiteral("edit group"),
                           MessagePayloads::groupEdit(group.id, group.name, group.members,
                                                      QStringList(), QStringList{m_userId()}));
}

void MessagingGroups::deleteGroup(const QString &groupIds)
{
    GroupEntry group;
    if (!m_store.group(groupIds, &group))
        group.id = groupIds;
    m_socket->emitEvent(QStringLiteral("delete group"),
                        QJsonArray{MessagePayloads::groupDelete(group)},
                        [groupIds](const QJsonArray &ack) {
                            qCDebug(lcMessaging) << "delete group" << groupIds
                                                 << "acknowledged:" << ack.size() << "values";
                        });
}

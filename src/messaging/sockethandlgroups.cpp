// The engine's group table: the list request, lookups for the documents, and the requests that
// create, edit, leave and delete groups. The table itself follows the service's group events
// (sockethandlinbound.cpp).

#include "logging.h"
#include "messagejson.h"
#include "messagepayloads.h"
#include "sockethandl.h"

#include <QUuid>

void SocketHandl::getGroupInfors()
{
    emitEvent(QStringLiteral("send myGroup"), QJsonArray{QString()},
              [this](const QJsonArray &ack) { applyGroupList(ack); });
}

void SocketHandl::applyGroupList(const QJsonArray &ack)
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
    deliver([this, any, groups]() {
        m_store.replaceGroups(groups);
        emit sigGetGroupInfor();
        if (any)
            emit sigGroupInforChange();
    });
}

QStringList SocketHandl::getGroupIds() const
{
    return m_store.groupIds();
}

QString SocketHandl::getGroupInforFromId(const QString &ids, const QString &infors) const
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

QStringList SocketHandl::getGroupMemberFromId(const QString &ids) const
{
    GroupEntry group;
    m_store.group(ids, &group);
    return group.members;
}

void SocketHandl::creatNewGroup(const QString &groupList, const QString &groupName)
{
    const QString me = userId();
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
    emitLogged(QStringLiteral("create group"),
               MessagePayloads::newGroup(id, groupName, me, members, now));
}

void SocketHandl::groupAddNewMember(const QString &groupIds, const QString &groupNames,
                                    const QString &groupList, const QString &addList)
{
    emitLogged(QStringLiteral("edit group"),
               MessagePayloads::groupEdit(groupIds, groupNames, MessageJson::splitIds(groupList),
                                          MessageJson::splitIds(addList), QStringList()));
}

void SocketHandl::groupDeleteNewMember(const QString &groupIds, const QString &groupNames,
                                       const QString &groupList, const QString &deleteList)
{
    emitLogged(QStringLiteral("edit group"),
               MessagePayloads::groupEdit(groupIds, groupNames, MessageJson::splitIds(groupList),
                                          QStringList(), MessageJson::splitIds(deleteList)));
}

void SocketHandl::exitGroup(const QString &groupIds)
{
    GroupEntry group;
    if (!m_store.group(groupIds, &group))
        group.id = groupIds;
    emitLogged(QStringLiteral("edit group"),
               MessagePayloads::groupEdit(group.id, group.name, group.members, QStringList(),
                                          QStringList{userId()}));
}

void SocketHandl::deleteGroup(const QString &groupIds)
{
    GroupEntry group;
    if (!m_store.group(groupIds, &group))
        group.id = groupIds;
    emitEvent(QStringLiteral("delete group"), QJsonArray{MessagePayloads::groupDelete(group)},
              [groupIds](const QJsonArray &ack) {
                  qCDebug(lcMessaging)
                      << "delete group" << groupIds << "acknowledged:" << ack.size() << "values";
              });
}

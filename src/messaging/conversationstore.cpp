#include "conversationstore.h"

using Lock = std::lock_guard<std::mutex>;

void ConversationStore::insertPrivate(const QString &conversation, qulonglong id,
                                      const MessageRecord &record)
{
    Lock lock(m_mutex);
    // Written in place: copying the conversation out and back would copy every record of it
    // on each message.
    m_private[conversation].insert(id, record);
}

void ConversationStore::insertGroup(const QString &groupId, qulonglong id,
                                    const GroupMessageRecord &record)
{
    Lock lock(m_mutex);
    m_group[groupId].insert(id, record);
}

void ConversationStore::insertPrivate(const PrivateTable &records)
{
    Lock lock(m_mutex);
    for (auto conversation = records.cbegin(); conversation != records.cend(); ++conversation) {
        PrivateConversation &target = m_private[conversation.key()];
        for (auto it = conversation->cbegin(); it != conversation->cend(); ++it)
            target.insert(it.key(), it.value());
    }
}

void ConversationStore::insertGroup(const GroupTable &records)
{
    Lock lock(m_mutex);
    for (auto conversation = records.cbegin(); conversation != records.cend(); ++conversation) {
        GroupConversation &target = m_group[conversation.key()];
        for (auto it = conversation->cbegin(); it != conversation->cend(); ++it)
            target.insert(it.key(), it.value());
    }
}

namespace {

const QString readStatus = QStringLiteral("3");

// Pending ("1") or failed ("4"): not known to have reached the service.
bool unconfirmed(const MessageRecord &record)
{
    return record.sendStatus == QLatin1String("1") || record.sendStatus == QLatin1String("4");
}

template <typename Table>
bool setStatus(Table &table, const QString &conversation, qulonglong id, const QString &status)
{
    auto found = table.find(conversation);
    if (found == table.end())
        return false;
    auto record = found->find(id);
    if (record == found->end())
        return false;
    if (record->sendStatus != readStatus)
        record->sendStatus = status;
    return true;
}

template <typename Table>
QString statusOf(const Table &table, const QString &conversation, qulonglong id)
{
    auto found = table.constFind(conversation);
    if (found == table.cend())
        return QString();
    auto record = found->constFind(id);
    return record == found->cend() ? QString() : record->sendStatus;
}

} // namespace

bool ConversationStore::setPrivateStatus(const QString &conversation, qulonglong id,
                                         const QString &status)
{
    Lock lock(m_mutex);
    return setStatus(m_private, conversation, id, status);
}

bool ConversationStore::setGroupStatus(const QString &groupId, qulonglong id, const QString &status)
{
    Lock lock(m_mutex);
    return setStatus(m_group, groupId, id, status);
}

QString ConversationStore::privateStatus(const QString &conversation, qulonglong id) const
{
    Lock lock(m_mutex);
    return statusOf(m_private, conversation, id);
}

QString ConversationStore::groupStatus(const QString &groupId, qulonglong id) const
{
    Lock lock(m_mutex);
    return statusOf(m_group, groupId, id);
}

void ConversationStore::setPrivateSent(const QString &conversation, qulonglong id)
{
    Lock lock(m_mutex);
    MessageRecord &record = m_private[conversation][id];
    if (record.sendStatus != readStatus)
        record.sendStatus = QStringLiteral("2");
}

void ConversationStore::setPrivateStatusUpTo(const QString &conversation, qulonglong id,
                                             const QString &status)
{
    Lock lock(m_mutex);
    auto found = m_private.find(conversation);
    if (found == m_private.end())
        return;
    for (auto it = found->begin(); it != found->end() && it.key() <= id; ++it) {
        if (it.key() != id && unconfirmed(*it))
            continue;
        it->sendStatus = status;
    }
}

void ConversationStore::setGroupSent(const QString &groupId, qulonglong id)
{
    Lock lock(m_mutex);
    setStatus(m_group, groupId, id, QStringLiteral("2"));
}

void ConversationStore::setGroupReadUpTo(const QString &groupId, qulonglong id,
                                         const QString &reader)
{
    Lock lock(m_mutex);
    auto found = m_group.find(groupId);
    if (found != m_group.end())
        markRead(*found, id, reader);
}

void ConversationStore::markRead(GroupConversation &conversation, qulonglong id,
                                 const QString &reader)
{
    for (auto it = conversation.begin(); it != conversation.end() && it.key() <= id; ++it) {
        if (it.key() != id && unconfirmed(*it))
            continue;
        it->sendStatus = readStatus;
        if (it->readers.contains(reader))
            continue;
        it->readers.insert(reader);
        it->unread = QString::number(qMax(0, it->members.size() - it->readers.size()));
    }
}

ConversationStore::PrivateConversation
ConversationStore::privateConversation(const QString &conversation) const
{
    Lock lock(m_mutex);
    return m_private.value(conversation);
}

ConversationStore::GroupConversation
ConversationStore::groupConversation(const QString &groupId) const
{
    Lock lock(m_mutex);
    return m_group.value(groupId);
}

ConversationStore::PrivateConversation
ConversationStore::privateHistory(const QString &conversation) const
{
    Lock lock(m_mutex);
    return m_privateHistory.value(conversation);
}

ConversationStore::GroupConversation ConversationStore::groupHistory(const QString &groupId) const
{
    Lock lock(m_mutex);
    return m_groupHistory.value(groupId);
}

void ConversationStore::replaceHistory(const PrivateTable &privateRecords,
                                       const GroupTable &groupRecords)
{
    Lock lock(m_mutex);
    m_privateHistory = privateRecords;
    m_groupHistory = groupRecords;
}

void ConversationStore::replaceGroups(const QMap<QString, GroupEntry> &groups)
{
    Lock lock(m_mutex);
    m_groups = groups;
}

void ConversationStore::upsertGroup(const GroupEntry &entry)
{
    Lock lock(m_mutex);
    m_groups.insert(entry.id, entry);
}

void ConversationStore::updateGroup(const QString &id, const QString &name,
                                    const QStringList &members)
{
    Lock lock(m_mutex);
    GroupEntry &entry = m_groups[id];
    entry.id = id;
    if (!name.isEmpty())
        entry.name = name;
    entry.members = members;
}

void ConversationStore::removeGroupAndConversation(const QString &id)
{
    Lock lock(m_mutex);
    m_groups.remove(id);
    m_group.remove(id);
}

bool ConversationStore::group(const QString &id, GroupEntry *entry) const
{
    Lock lock(m_mutex);
    auto found = m_groups.constFind(id);
    if (found == m_groups.cend())
        return false;
    *entry = found.value();
    return true;
}

QStringList ConversationStore::groupIds() const
{
    Lock lock(m_mutex);
    return m_groups.keys();
}

int ConversationStore::privateCount(const QString &conversation) const
{
    Lock lock(m_mutex);
    return m_private.value(conversation).size();
}

int ConversationStore::groupCount(const QString &groupId) const
{
    Lock lock(m_mutex);
    return m_group.value(groupId).size();
}

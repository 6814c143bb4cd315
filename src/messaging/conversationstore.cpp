#include "conversationstore.h"

using Lock = std::lock_guard<std::mutex>;

namespace {

void shareText(QString &field, const QString &same)
{
    if (!field.isSharedWith(same) && field.isNull() == same.isNull() && field == same)
        field = same;
}

void shareOwnFields(MessageRecord &, const MessageRecord &) {}

void shareOwnFields(GroupMessageRecord &r, const GroupMessageRecord &n)
{
    shareText(r.groupId, n.groupId);
    shareText(r.userId, n.userId);
    shareText(r.userName, n.userName);
    shareText(r.groupName, n.groupName);
    shareText(r.unread, n.unread);
    shareText(r.userTime, n.userTime);
}

// A conversation's records mostly repeat their sender, types and flags: taking the neighbour's
// copy of an equal text keeps one copy instead of one per record, and a long conversation
// closer together in memory when its texts are built.
template <typename Conversation>
void shareWithNeighbour(Conversation &conversation, typename Conversation::iterator record)
{
    typename Conversation::iterator neighbour = record;
    if (record != conversation.begin())
        --neighbour;
    else if (++neighbour == conversation.end())
        return;
    auto &r = *record;
    const auto &n = *neighbour;
    shareOwnFields(r, n);
    shareText(r.creator, n.creator);
    shareText(r.download, n.download);
    shareText(r.fileType, n.fileType);
    shareText(r.haveread, n.haveread);
    shareText(r.msgType, n.msgType);
    shareText(r.type, n.type);
    shareText(r.sendStatus, n.sendStatus);
    // Often the same instant.
    shareText(r.time, r.sendTime);
}

} // namespace

void ConversationStore::insertPrivate(const QString &conversation, qulonglong id,
                                      const MessageRecord &record)
{
    Lock lock(m_mutex);
    // Written in place: copying the conversation out and back would copy every record of it
    // on each message.
    PrivateConversation &target = m_private[conversation];
    shareWithNeighbour(target, target.insert(id, record));
    if (m_keeper)
        m_keeper->keepPrivate(conversation, id, record);
}

void ConversationStore::insertGroup(const QString &groupId, qulonglong id,
                                    const GroupMessageRecord &record)
{
    Lock lock(m_mutex);
    GroupConversation &target = m_group[groupId];
    shareWithNeighbour(target, target.insert(id, record));
    if (m_keeper)
        m_keeper->keepGroup(groupId, id, record);
}

void ConversationStore::insertPrivate(const PrivateTable &records)
{
    Lock lock(m_mutex);
    for (auto conversation = records.cbegin(); conversation != records.cend(); ++conversation) {
        PrivateConversation &target = m_private[conversation.key()];
        for (auto it = conversation->cbegin(); it != conversation->cend(); ++it) {
            target.insert(it.key(), it.value());
            if (m_keeper)
                m_keeper->keepPrivate(conversation.key(), it.key(), it.value());
        }
    }
}

void ConversationStore::insertGroup(const GroupTable &records)
{
    Lock lock(m_mutex);
    for (auto conversation = records.cbegin(); conversation != records.cend(); ++conversation) {
        GroupConversation &target = m_group[conversation.key()];
        for (auto it = conversation->cbegin(); it != conversation->cend(); ++it) {
            target.insert(it.key(), it.value());
            if (m_keeper)
                m_keeper->keepGroup(conversation.key(), it.key(), it.value());
        }
    }
}

namespace {

const QString readStatus = QStringLiteral("3");

// Pending ("1") or failed ("4"): not known to have reached the service.
bool unconfirmed(const MessageRecord &record)
{
    return record.sendStatus == QLatin1String("1") || record.sendStatus == QLatin1String("4");
}

void keep(RecordKeeper *keeper, const QString &conversation, qulonglong id,
          const MessageRecord &record)
{
    if (keeper)
        keeper->keepPrivate(conversation, id, record);
}

void keep(RecordKeeper *keeper, const QString &conversation, qulonglong id,
          const GroupMessageRecord &record)
{
    if (keeper)
        keeper->keepGroup(conversation, id, record);
}

template <typename Table>
bool setStatus(Table &table, const QString &conversation, qulonglong id, const QString &status,
               RecordKeeper *keeper)
{
    auto found = table.find(conversation);
    if (found == table.end())
        return false;
    auto record = found->find(id);
    if (record == found->end())
        return false;
    if (record->sendStatus != readStatus && record->sendStatus != status) {
        record->sendStatus = status;
        keep(keeper, conversation, id, *record);
    }
    return true;
}

// Drops the local-only records of `kept` from `table`.
template <typename Table>
void dropKept(Table &table, const QString &conversation, const QSet<qulonglong> &kept)
{
    auto found = table.find(conversation);
    if (found == table.end())
        return;
    for (const qulonglong id : kept) {
        auto record = found->find(id);
        if (record != found->end() && record->local)
            found->erase(record);
    }
}

template <typename Table> void dropLocal(Table &table)
{
    for (auto conversation = table.begin(); conversation != table.end(); ++conversation) {
        for (auto it = conversation->begin(); it != conversation->end();) {
            if (it->local)
                it = conversation->erase(it);
            else
                ++it;
        }
    }
}

template <typename Table>
void addAbsent(Table &target, const Table &records, QMap<QString, QSet<qulonglong>> *kept)
{
    for (auto conversation = records.cbegin(); conversation != records.cend(); ++conversation) {
        auto &into = target[conversation.key()];
        for (auto it = conversation->cbegin(); it != conversation->cend(); ++it) {
            if (into.contains(it.key()))
                continue;
            into.insert(it.key(), it.value());
            if (kept)
                (*kept)[conversation.key()].insert(it.key());
        }
    }
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
    return setStatus(m_private, conversation, id, status, m_keeper.get());
}

bool ConversationStore::setGroupStatus(const QString &groupId, qulonglong id, const QString &status)
{
    Lock lock(m_mutex);
    return setStatus(m_group, groupId, id, status, m_keeper.get());
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
    if (record.sendStatus != readStatus && record.sendStatus != QLatin1String("2")) {
        record.sendStatus = QStringLiteral("2");
        keep(m_keeper.get(), conversation, id, record);
    }
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
        if (it->sendStatus == status)
            continue;
        it->sendStatus = status;
        keep(m_keeper.get(), conversation, it.key(), *it);
    }
}

void ConversationStore::setGroupSent(const QString &groupId, qulonglong id)
{
    Lock lock(m_mutex);
    setStatus(m_group, groupId, id, QStringLiteral("2"), m_keeper.get());
}

void ConversationStore::setGroupReadUpTo(const QString &groupId, qulonglong id,
                                         const QString &reader)
{
    Lock lock(m_mutex);
    auto found = m_group.find(groupId);
    if (found == m_group.end())
        return;
    QVector<qulonglong> changed;
    markRead(*found, id, reader, m_keeper ? &changed : nullptr);
    for (const qulonglong each : qAsConst(changed))
        keep(m_keeper.get(), groupId, each, found->value(each));
}

void ConversationStore::markRead(GroupConversation &conversation, qulonglong id,
                                 const QString &reader, QVector<qulonglong> *changed)
{
    for (auto it = conversation.begin(); it != conversation.end() && it.key() <= id; ++it) {
        if (it.key() != id && unconfirmed(*it))
            continue;
        const bool wasRead = it->sendStatus == readStatus;
        it->sendStatus = readStatus;
        if (it->readers.contains(reader)) {
            if (changed && !wasRead)
                changed->append(it.key());
            continue;
        }
        if (changed)
            changed->append(it.key());
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
                                       const GroupTable &groupRecords, bool keep)
{
    Lock lock(m_mutex);
    m_privateHistory = privateRecords;
    m_groupHistory = groupRecords;
    // History pages the user has seen stay readable offline.
    if (!m_keeper || !keep)
        return;
    for (auto conversation = privateRecords.cbegin(); conversation != privateRecords.cend();
         ++conversation) {
        for (auto it = conversation->cbegin(); it != conversation->cend(); ++it)
            m_keeper->keepPrivate(conversation.key(), it.key(), it.value());
    }
    for (auto conversation = groupRecords.cbegin(); conversation != groupRecords.cend();
         ++conversation) {
        for (auto it = conversation->cbegin(); it != conversation->cend(); ++it)
            m_keeper->keepGroup(conversation.key(), it.key(), it.value());
    }
}

void ConversationStore::setKeeper(std::shared_ptr<RecordKeeper> keeper)
{
    Lock lock(m_mutex);
    m_keeper = std::move(keeper);
}

void ConversationStore::mergeKept(const PrivateTable &privateRecords,
                                  const GroupTable &groupRecords)
{
    Lock lock(m_mutex);
    addAbsent(m_private, privateRecords, &m_keptPrivate);
    addAbsent(m_group, groupRecords, &m_keptGroup);
}

void ConversationStore::settleKept(bool group, const QString &conversation, qulonglong oldest,
                                   bool fullPage)
{
    Lock lock(m_mutex);
    const QSet<qulonglong> kept =
        group ? m_keptGroup.take(conversation) : m_keptPrivate.take(conversation);
    if (kept.isEmpty() || !fullPage)
        return;
    for (const qulonglong id : kept) {
        if (id >= oldest)
            return;
    }
    if (group)
        dropKept(m_group, conversation, kept);
    else
        dropKept(m_private, conversation, kept);
}

void ConversationStore::clear()
{
    Lock lock(m_mutex);
    m_private.clear();
    m_group.clear();
    m_privateHistory.clear();
    m_groupHistory.clear();
    m_groups.clear();
    m_keeper.reset();
    m_keptPrivate.clear();
    m_keptGroup.clear();
}

void ConversationStore::forgetKept()
{
    Lock lock(m_mutex);
    dropLocal(m_private);
    dropLocal(m_group);
    dropLocal(m_privateHistory);
    dropLocal(m_groupHistory);
    m_keptPrivate.clear();
    m_keptGroup.clear();
}

void ConversationStore::addHistory(const PrivateTable &privateRecords,
                                   const GroupTable &groupRecords)
{
    Lock lock(m_mutex);
    addAbsent(m_privateHistory, privateRecords, nullptr);
    addAbsent(m_groupHistory, groupRecords, nullptr);
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

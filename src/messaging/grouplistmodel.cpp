#include "grouplistmodel.h"

#include "directory/loadpersonnel.h"
#include "socketstate.h"

#include <algorithm>

namespace {

// A group matches by its name or by a member's name.
bool matches(const QString &name, const QStringList &members, const QString &needle)
{
    if (needle.isEmpty() || name.toLower().contains(needle))
        return true;
    const LoadPersonnel *people = LoadPersonnel::gestance();
    return std::any_of(members.cbegin(), members.cend(), [&](const QString &id) {
        return people->personnelValue(id).toLower().contains(needle);
    });
}

} // namespace

GroupListModel::GroupListModel(QObject *parent)
    : KeyedListModel({"groupId", "groupName", "memberCount", "creator"}, parent)
{}

SocketState *GroupListModel::store() const
{
    return m_store;
}

void GroupListModel::setStore(SocketState *store)
{
    const bool changed = m_store.link(this, store, [this](SocketState *s) {
        connect(s, &SocketState::sigGetGroupInfor, this, &GroupListModel::reload);
        connect(s, &SocketState::sigGroupInforChange, this, &GroupListModel::reload);
        connect(s, &SocketState::sigAddGroup, this, &GroupListModel::reload);
        connect(s, &SocketState::sigEditGroupCB, this, &GroupListModel::reload);
        connect(s, &SocketState::sigEditGroupDelete, this, &GroupListModel::reload);
    });
    if (!changed)
        return;
    emit storeChanged();
    reload();
}

void GroupListModel::setFilterText(const QString &text)
{
    if (text == m_filterText)
        return;
    m_filterText = text;
    emit filterTextChanged();
    reload();
}

void GroupListModel::setCurrentGroupId(const QString &groupId)
{
    if (groupId == m_currentGroupId)
        return;
    m_currentGroupId = groupId;
    emit currentGroupIdChanged();
}

void GroupListModel::reload()
{
    const QStringList ids = m_store ? m_store->getGroupIds() : QStringList();
    const QString needle = m_filterText.toLower();
    m_table = QSet<QString>(ids.cbegin(), ids.cend());
    QVector<Row> rows;
    for (const QString &id : ids) {
        const QString name = m_store->getGroupInforFromId(id, QStringLiteral("name"));
        // Asked once per group: the engine copies the member list at each call.
        const QStringList members = m_store->getGroupMemberFromId(id);
        if (!matches(name, members, needle))
            continue;
        rows.append({id, name.isEmpty() ? id : name, members.size(),
                     m_store->getGroupInforFromId(id, QStringLiteral("creator"))});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        return QString::localeAwareCompare(a.at(1).toString(), b.at(1).toString()) < 0;
    });
    sync(rows);
    emit reloaded();
    if (!m_currentGroupId.isEmpty() && !m_table.contains(m_currentGroupId)) {
        const QString gone = m_currentGroupId;
        setCurrentGroupId(QString());
        emit currentGone(gone);
    }
}

QString GroupListModel::leadingGroup() const
{
    if (!m_store)
        return QString();
    const QString me = m_store->getSelfUesrId();
    QString best;
    int bestScore = -1;
    for (const QString &id : m_store->getGroupIds()) {
        const bool own = m_store->getGroupInforFromId(id, QStringLiteral("creator")) == me;
        const int score = m_store->getGroupMemberFromId(id).size() + (own ? 100 : 0);
        if (score > bestScore) {
            best = id;
            bestScore = score;
        }
    }
    return best;
}

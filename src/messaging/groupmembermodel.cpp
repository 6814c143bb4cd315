#include "groupmembermodel.h"

#include "directory/loadpersonnel.h"
#include "session/parameterinfor.h"
#include "socketstate.h"

#include <algorithm>

namespace {

enum Field { UserId, UserName, Online, Owner, Department };

QString nameOf(const QString &userId)
{
    return LoadPersonnel::gestance()->personnelValue(userId);
}

} // namespace

GroupMemberModel::GroupMemberModel(QObject *parent)
    : KeyedListModel({"userId", "userName", "online", "owner", "department"}, parent)
{
    connect(ParameterInfor::instance(), &ParameterInfor::sigOnlineUsersChange, this,
            [this](const QStringList &ids) { onlineChanged(ids); });
    // The organisation came in after the list was shown empty: nothing was chosen from it yet.
    connect(LoadPersonnel::gestance(), &LoadPersonnel::sigPersonnelLoaded, this, [this]() {
        if (m_source == Directory && m_wanted && m_everyone.isEmpty())
            reload();
    });
    // Names and departments the user cache fetched behind the list.
    connect(ParameterInfor::instance(), &ParameterInfor::usersFetched, this, [this] {
        if (m_source == Group && !m_groupId.isEmpty())
            show(groupRows());
    });
}

void GroupMemberModel::setSource(Source source)
{
    if (source == m_source)
        return;
    m_source = source;
    emit sourceChanged();
    // The organisation's people are read and sorted when a picker first asks for them: a
    // dialog that is only declared must not sort ten thousand names as the index comes in.
    if (source != Directory || m_wanted)
        reload();
}

void GroupMemberModel::setOrder(Order order)
{
    if (order == m_order)
        return;
    m_order = order;
    emit orderChanged();
    if (m_source != Picked)
        reload();
}

SocketState *GroupMemberModel::store() const
{
    return m_store;
}

void GroupMemberModel::setStore(SocketState *store)
{
    const bool changed = m_store.link(this, store, [this](SocketState *s) {
        const auto all = [this]() {
            if (m_source == Group)
                reload();
        };
        const auto one = [this](const QString &groupIds) {
            if (m_source == Group && groupIds == m_groupId)
                reload();
        };
        connect(s, &SocketState::sigGetGroupInfor, this, all);
        connect(s, &SocketState::sigGroupInforChange, this, all);
        connect(s, &SocketState::sigAddGroup, this, one);
        connect(s, &SocketState::sigEditGroupCB, this, one);
        connect(s, &SocketState::sigEditGroupDelete, this, one);
    });
    if (!changed)
        return;
    emit storeChanged();
    if (m_source == Group)
        reload();
}

void GroupMemberModel::setGroupId(const QString &groupId)
{
    if (groupId == m_groupId)
        return;
    m_groupId = groupId;
    emit groupIdChanged();
    if (m_source == Group)
        reload();
}

void GroupMemberModel::setExcludedIds(const QStringList &ids)
{
    if (ids == m_excludedIds)
        return;
    m_excludedIds = ids;
    emit excludedIdsChanged();
    if (m_source == Directory && m_wanted)
        reload();
}

void GroupMemberModel::setFilterText(const QString &text)
{
    if (text == m_filterText)
        return;
    m_filterText = text;
    emit filterTextChanged();
    if (m_source == Directory && m_wanted)
        show(directoryRows());
}

void GroupMemberModel::reload()
{
    switch (m_source) {
    case Group:
        show(groupRows());
        break;
    case Directory:
        m_wanted = true;
        m_everyone.clear();
        show(directoryRows());
        break;
    case Picked:
        break;
    }
}

bool GroupMemberModel::toggle(const QString &userId, const QString &userName)
{
    if (removeKey(userId))
        return false;
    appendRow({userId, userName, false, false, QString()});
    return true;
}

void GroupMemberModel::clear()
{
    show({});
}

QStringList GroupMemberModel::names() const
{
    QStringList names;
    for (int i = 0; i < count(); ++i)
        names.append(row(i).at(UserName).toString());
    return names;
}

void GroupMemberModel::pickFirst(GroupMemberModel *shown, int n)
{
    if (!shown)
        return;
    for (int i = 0; i < std::min(n, shown->count()); ++i) {
        const QString id = shown->keyAt(i);
        if (!contains(id))
            toggle(id, shown->row(i).at(UserName).toString());
    }
}

QString GroupMemberModel::groupNameWith(const QString &first, int maxLength) const
{
    QStringList all{first};
    all.append(names());
    all.removeAll(QString());
    return QStringList(all.mid(0, 3)).join(QStringLiteral("、")).left(std::max(0, maxLength));
}

void GroupMemberModel::fetchDetails()
{
    ParameterInfor *users = ParameterInfor::instance();
    users->clearGroupUsers();
    bool missing = false;
    for (int i = 0; i < count(); ++i) {
        const QString id = keyAt(i);
        if (!users->hasUser(id) && !m_askedUsers.contains(id)) {
            users->appendGroupUser(id);
            m_askedUsers.insert(id);
            missing = true;
        }
    }
    // The rows show ids until the answer is in.
    if (missing)
        users->requestGroupUsers();
    users->clearGroupUsers();
    if (m_source == Group)
        show(groupRows());
}

QVector<KeyedListModel::Row> GroupMemberModel::groupRows() const
{
    QVector<Row> rows;
    if (!m_store || m_groupId.isEmpty())
        return rows;
    ParameterInfor *users = ParameterInfor::instance();
    const QString creator = m_store->getGroupInforFromId(m_groupId, QStringLiteral("creator"));
    for (const QString &id : m_store->getGroupMemberFromId(m_groupId)) {
        // What the user cache knows is shown; only a cached user is read without a request.
        const bool cached = users->hasUser(id);
        QString name = nameOf(id);
        if (name.isEmpty() && cached)
            name = users->userField(id, QStringLiteral("user_name"));
        rows.append({id, name.isEmpty() ? id : name, users->isOnline(id), id == creator,
                     cached ? users->userField(id, QStringLiteral("dept_name")) : QString()});
    }
    sortRows(rows);
    return rows;
}

QVector<KeyedListModel::Row> GroupMemberModel::directoryRows()
{
    if (!m_wanted)
        return {};
    if (m_everyone.isEmpty()) {
        const QSet<QString> skip(m_excludedIds.cbegin(), m_excludedIds.cend());
        for (const QString &id : LoadPersonnel::gestance()->personnelKeys()) {
            if (skip.contains(id))
                continue;
            const QString name = nameOf(id);
            m_everyone.append({id, name.isEmpty() ? id : name, false, false, QString()});
        }
        sortRows(m_everyone);
    }
    const QString needle = m_filterText.toLower();
    if (needle.isEmpty())
        return m_everyone;
    QVector<Row> rows;
    for (const Row &person : qAsConst(m_everyone)) {
        if (person.at(UserName).toString().toLower().contains(needle) ||
            person.at(UserId).toString().contains(needle))
            rows.append(person);
    }
    return rows;
}

void GroupMemberModel::sortRows(QVector<Row> &rows) const
{
    const Order order = m_order;
    std::stable_sort(rows.begin(), rows.end(), [order](const Row &a, const Row &b) {
        const int first = order == OnlineFirst ? Online : Owner;
        if (order != ByName && a.at(first).toBool() != b.at(first).toBool())
            return a.at(first).toBool();
        return QString::localeAwareCompare(a.at(UserName).toString(), b.at(UserName).toString()) <
               0;
    });
}

void GroupMemberModel::show(const QVector<Row> &rows)
{
    sync(rows);
    const int online = int(std::count_if(rows.cbegin(), rows.cend(),
                                         [](const Row &r) { return r.at(Online).toBool(); }));
    if (online != m_onlineCount) {
        m_onlineCount = online;
        emit onlineCountChanged();
    }
}

void GroupMemberModel::onlineChanged(const QStringList &ids)
{
    if (m_source != Group)
        return;
    if (std::any_of(ids.cbegin(), ids.cend(), [this](const QString &id) { return contains(id); }))
        show(groupRows());
}

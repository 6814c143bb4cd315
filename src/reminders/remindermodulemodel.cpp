#include "remindermodulemodel.h"

#include "reminders/moduleicons.h"
#include "reminders/systeminformation.h"

const QString ReminderModuleModel::allKey = QStringLiteral("all");

namespace {

int storeUnread(const QString &key)
{
    return qMax(0, SystemInformation::gestance()->unreadNumberFromRemindmenu(key));
}

} // namespace

ReminderModuleModel::ReminderModuleModel(QObject *parent) : QAbstractListModel(parent) {}

int ReminderModuleModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant ReminderModuleModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case KeyRole:
        return row.key;
    case NameRole:
        return row.name;
    case UnreadRole:
        return row.unread;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ReminderModuleModel::roleNames() const
{
    return {{KeyRole, "key"}, {NameRole, "name"}, {UnreadRole, "unread"}};
}

void ReminderModuleModel::setAllName(const QString &name)
{
    if (name == m_allName)
        return;
    m_allName = name;
    if (!m_rows.isEmpty()) {
        m_rows.first().name = name;
        emit dataChanged(index(0), index(0), {NameRole});
    }
    emit allNameChanged();
}

void ReminderModuleModel::reload()
{
    const SystemInformation *store = SystemInformation::gestance();
    QVector<Row> rows{{allKey, m_allName, storeUnread(allKey)}};
    QHash<QString, int> rowOf{{allKey, 0}};
    for (int id : store->systemRemindListId()) {
        const QString key = store->systemRemind(id, QStringLiteral("remind_menu"));
        if (key.isEmpty() || rowOf.contains(key))
            continue;
        QString name = store->systemRemind(id, QStringLiteral("menu_name"));
        if (name.isEmpty())
            name = store->systemRemind(id, QStringLiteral("remind_name"));
        rowOf.insert(key, rows.size());
        rows.append({key, name, storeUnread(key)});
    }
    const int before = m_rows.size();
    beginResetModel();
    m_rows.swap(rows);
    m_rowOf.swap(rowOf);
    endResetModel();
    if (before != m_rows.size())
        emit countChanged();
}

QString ReminderModuleModel::reloadKeeping(const QString &key)
{
    reload();
    return m_rowOf.contains(key) ? key : allKey;
}

void ReminderModuleModel::refreshCounts()
{
    for (int i = 0; i < m_rows.size(); ++i)
        setUnread(i, storeUnread(m_rows.at(i).key));
    if (m_countsStale) {
        m_countsStale = false;
        emit countsWanted();
    }
}

void ReminderModuleModel::askCounts()
{
    m_countsStale = true;
    emit countsWanted();
}

int ReminderModuleModel::indexOf(const QString &key) const
{
    return m_rowOf.value(key, -1);
}

QString ReminderModuleModel::keyAt(int index) const
{
    return index >= 0 && index < m_rows.size() ? m_rows.at(index).key : QString();
}

QString ReminderModuleModel::nameOf(const QString &key) const
{
    const int row = indexOf(key);
    return row < 0 ? QString() : m_rows.at(row).name;
}

int ReminderModuleModel::unreadOf(const QString &key) const
{
    const int row = indexOf(key);
    return row < 0 ? 0 : m_rows.at(row).unread;
}

QVariantMap ReminderModuleModel::get(int index) const
{
    if (index < 0 || index >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index);
    return {{QStringLiteral("key"), row.key},
            {QStringLiteral("name"), row.name},
            {QStringLiteral("unread"), row.unread}};
}

void ReminderModuleModel::countDown(const QString &key, int amount)
{
    for (const QString &each : {key, allKey}) {
        const int row = indexOf(each);
        if (row >= 0)
            setUnread(row, m_rows.at(row).unread - amount);
        if (key == allKey)
            break;
    }
}

QStringList ReminderModuleModel::unreadKeys(const QString &menu) const
{
    QStringList keys;
    for (int i = 1; i < m_rows.size(); ++i) {
        const Row &row = m_rows.at(i);
        if ((menu == allKey || row.key == menu) && row.unread > 0)
            keys.append(row.key);
    }
    return keys;
}

void ReminderModuleModel::setUnread(int index, int unread)
{
    unread = qMax(0, unread);
    if (m_rows.at(index).unread == unread)
        return;
    m_rows[index].unread = unread;
    emit dataChanged(this->index(index), this->index(index), {UnreadRole});
}

QString ReminderModuleModel::iconPath(const QString &key, const QString &name) const
{
    return ModuleIcons::path(key, name);
}

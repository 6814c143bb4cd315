#include "moduletreemodel.h"

#include "reminders/menuitem.h"
#include "reminders/menumodel.h"
#include "reminders/moduleicons.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace {

// The stored common functions: a JSON array of ids (texts or numbers); anything else is none.
QStringList storedIds(const QString &stored)
{
    QJsonValue value;
    if (!PeerJson::parse(stored.toUtf8(), &value) || !value.isArray())
        return {};
    QStringList ids;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &entry : array)
        ids.append(JsonField::id(entry));
    return ids;
}

} // namespace

ModuleTreeModel::ModuleTreeModel(QObject *parent) : QAbstractListModel(parent) {}

int ModuleTreeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant ModuleTreeModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    const Node &node = m_nodes.at(row.node);
    switch (role) {
    case MenuIdRole:
        return node.id;
    case NameRole:
        return node.name;
    case PathRole:
        return node.path;
    case DepthRole:
        return row.depth;
    case HasChildrenRole:
        return !node.children.isEmpty();
    case ExpandedRole:
        return m_expanded.contains(node.id);
    case IconRole:
        return row.icon;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ModuleTreeModel::roleNames() const
{
    return {{MenuIdRole, "menuId"},
            {NameRole, "name"},
            {PathRole, "path"},
            {DepthRole, "depth"},
            {HasChildrenRole, "hasChildren"},
            {ExpandedRole, "expanded"},
            {IconRole, "icon"}};
}

void ModuleTreeModel::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    setRows(buildRows());
    emit searchTextChanged();
}

void ModuleTreeModel::setChosenId(const QString &menuId)
{
    if (menuId == m_chosenId)
        return;
    m_chosenId = menuId;
    emit chosenChanged();
}

QString ModuleTreeModel::chosenName() const
{
    const int node = nodeOf(m_chosenId);
    return node < 0 ? QString() : m_nodes.at(node).name;
}

QVariantList ModuleTreeModel::chosenTiles() const
{
    const int chosen = nodeOf(m_chosenId);
    const QVector<int> &nodes = chosen >= 0 ? m_nodes.at(chosen).children : m_top;
    QStringList ids;
    for (int node : nodes)
        ids.append(m_nodes.at(node).id);
    return tiles(ids, QStringLiteral("tileEntry_"));
}

QVariantList ModuleTreeModel::commonTiles() const
{
    return tiles(m_commonIds, QStringLiteral("commonEntry_"));
}

void ModuleTreeModel::reload()
{
    m_nodes.clear();
    m_top.clear();
    m_byId.clear();
    const QMap<int, MenuEntry> tree = MenuModel::instance()->menuTree();
    for (auto it = tree.constBegin(); it != tree.constEnd(); ++it) {
        MenuEntry top = it.value();
        // A top-level menu goes by its key, whatever its own member says.
        top.menu_id = QString::number(it.key());
        m_top.append(addNode(top, top.menu_id, QString()));
    }
    setRows(buildRows());
    if (!m_chosenId.isEmpty() && !contains(m_chosenId))
        m_chosenId.clear();
    emit chosenChanged();
}

int ModuleTreeModel::reloadKeeping(int currentRow)
{
    const QString keep = menuIdAt(currentRow);
    reload();
    return keptRow(keep);
}

int ModuleTreeModel::search(const QString &text, int currentRow)
{
    const QString keep = menuIdAt(currentRow);
    setSearchText(text);
    return keptRow(keep);
}

QString ModuleTreeModel::activateRow(int index)
{
    const QString menuId = menuIdAt(index);
    if (menuId.isEmpty() || !menuHasChildren(menuId))
        return menuId;
    setChosenId(menuId);
    if (m_searchText.isEmpty())
        setExpanded(menuId, !isExpanded(menuId));
    return QString();
}

bool ModuleTreeModel::opensPage(const QString &menuId)
{
    if (!contains(menuId))
        return false;
    if (!menuHasChildren(menuId))
        return true;
    setChosenId(menuId);
    return false;
}

QString ModuleTreeModel::menuIdAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_nodes.at(m_rows.at(row).node).id : QString();
}

int ModuleTreeModel::keptRow(const QString &menuId) const
{
    return m_rows.isEmpty() ? -1 : std::max(0, indexOf(menuId));
}

int ModuleTreeModel::addNode(const MenuEntry &entry, const QString &moduleId, const QString &path)
{
    const int index = m_nodes.size();
    m_nodes.append({entry.menu_id, entry.menu_name, entry.menu_name_zm, moduleId, path, {}});
    const QString below =
        path.isEmpty() ? entry.menu_name : path + QStringLiteral(" / ") + entry.menu_name;
    QVector<int> children;
    for (const MenuEntry &child : entry.children)
        children.append(addNode(child, moduleId, below));
    m_nodes[index].children = children;
    // A menu id found twice is known by its last place, its own after its entries.
    m_byId.insert(entry.menu_id, index);
    return index;
}

int ModuleTreeModel::nodeOf(const QString &menuId) const
{
    return m_byId.value(menuId, -1);
}

QVector<ModuleTreeModel::Row> ModuleTreeModel::buildRows()
{
    QVector<Row> rows;
    if (m_searchText.isEmpty()) {
        for (int node : qAsConst(m_top))
            appendBranch(rows, node, 0);
        return rows;
    }
    const QString text = m_searchText.toLower();
    QVector<int> found;
    for (auto it = m_byId.constBegin(); it != m_byId.constEnd(); ++it) {
        const Node &node = m_nodes.at(it.value());
        if (node.name.toLower().contains(text) || node.zm.toLower().contains(text))
            found.append(it.value());
    }
    // Numeric ids in ascending order, as the menu lists them.
    std::sort(found.begin(), found.end(), [this](int a, int b) {
        const qint64 left = m_nodes.at(a).id.toLongLong();
        const qint64 right = m_nodes.at(b).id.toLongLong();
        return left != right ? left < right : m_nodes.at(a).id < m_nodes.at(b).id;
    });
    for (int node : qAsConst(found))
        rows.append(rowFor(node, 0));
    return rows;
}

void ModuleTreeModel::appendBranch(QVector<Row> &rows, int node, int depth)
{
    rows.append(rowFor(node, depth));
    if (!m_expanded.contains(m_nodes.at(node).id))
        return;
    const QVector<int> children = m_nodes.at(node).children;
    for (int child : children)
        appendBranch(rows, child, depth + 1);
}

ModuleTreeModel::Row ModuleTreeModel::rowFor(int node, int depth)
{
    // Entries below a menu carry a dot instead of an icon, except among search results.
    const bool withIcon = depth == 0 || !m_searchText.isEmpty();
    return {node, depth, withIcon ? iconOf(m_nodes.at(node).name) : QString()};
}

void ModuleTreeModel::setRows(QVector<Row> rows)
{
    const int before = m_rows.size();
    beginResetModel();
    m_rows.swap(rows);
    m_rowOf.clear();
    reindex(0);
    endResetModel();
    if (before != m_rows.size())
        emit countChanged();
}

void ModuleTreeModel::reindex(int from)
{
    for (int i = from; i < m_rows.size(); ++i)
        m_rowOf.insert(m_nodes.at(m_rows.at(i).node).id, i);
}

bool ModuleTreeModel::setExpanded(const QString &menuId, bool open)
{
    const int node = nodeOf(menuId);
    if (node < 0 || m_nodes.at(node).children.isEmpty() || m_expanded.contains(menuId) == open)
        return false;
    if (open)
        m_expanded.insert(menuId);
    else
        m_expanded.remove(menuId);
    const int row = indexOf(menuId);
    if (row < 0)
        return true;
    emit dataChanged(index(row), index(row), {ExpandedRole});
    // Search results stay as they are; the tree shows the change.
    if (!m_searchText.isEmpty())
        return true;
    const int depth = m_rows.at(row).depth;
    if (open) {
        QVector<Row> branch;
        for (int child : m_nodes.at(node).children)
            appendBranch(branch, child, depth + 1);
        beginInsertRows(QModelIndex(), row + 1, row + branch.size());
        m_rows.insert(row + 1, branch.size(), Row());
        std::copy(branch.cbegin(), branch.cend(), m_rows.begin() + row + 1);
        reindex(row + 1);
        endInsertRows();
    } else {
        int end = row + 1;
        while (end < m_rows.size() && m_rows.at(end).depth > depth)
            ++end;
        beginRemoveRows(QModelIndex(), row + 1, end - 1);
        for (int i = row + 1; i < end; ++i) {
            const QString &id = m_nodes.at(m_rows.at(i).node).id;
            if (m_rowOf.value(id) == i)
                m_rowOf.remove(id);
        }
        m_rows.remove(row + 1, end - row - 1);
        reindex(row + 1);
        endRemoveRows();
    }
    emit countChanged();
    return true;
}

bool ModuleTreeModel::contains(const QString &menuId) const
{
    return m_byId.contains(menuId);
}

bool ModuleTreeModel::menuHasChildren(const QString &menuId) const
{
    const int node = nodeOf(menuId);
    return node >= 0 && !m_nodes.at(node).children.isEmpty();
}

bool ModuleTreeModel::isExpanded(const QString &menuId) const
{
    return m_expanded.contains(menuId);
}

QString ModuleTreeModel::moduleOf(const QString &menuId) const
{
    const int node = nodeOf(menuId);
    return node < 0 ? QString() : m_nodes.at(node).moduleId;
}

int ModuleTreeModel::indexOf(const QString &menuId) const
{
    return m_rowOf.value(menuId, -1);
}

QVariantMap ModuleTreeModel::get(int index) const
{
    if (index < 0 || index >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index);
    const Node &node = m_nodes.at(row.node);
    return {{QStringLiteral("menuId"), node.id},
            {QStringLiteral("name"), node.name},
            {QStringLiteral("path"), node.path},
            {QStringLiteral("depth"), row.depth},
            {QStringLiteral("hasChildren"), !node.children.isEmpty()},
            {QStringLiteral("expanded"), m_expanded.contains(node.id)},
            {QStringLiteral("icon"), row.icon}};
}

void ModuleTreeModel::loadCommon(const QString &stored)
{
    QStringList ids;
    for (const QString &id : storedIds(stored)) {
        if (ids.size() >= maxCommon)
            break;
        const int node = nodeOf(id);
        if (node >= 0 && m_nodes.at(node).children.isEmpty() && !ids.contains(id))
            ids.append(id);
    }
    if (ids.isEmpty())
        collectLeaves(m_top, ids);
    m_commonIds = ids;
    emit commonChanged();
}

void ModuleTreeModel::collectLeaves(const QVector<int> &nodes, QStringList &ids) const
{
    for (int i = 0; i < nodes.size() && ids.size() < maxCommon; ++i) {
        const Node &node = m_nodes.at(nodes.at(i));
        if (node.children.isEmpty())
            ids.append(node.id);
        else
            collectLeaves(node.children, ids);
    }
}

QString ModuleTreeModel::remembered(const QString &stored, const QString &menuId) const
{
    QStringList ids{menuId};
    for (const QString &id : storedIds(stored)) {
        if (ids.size() >= maxCommon)
            break;
        if (id != menuId)
            ids.append(id);
    }
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(ids)).toJson(QJsonDocument::Compact));
}

QVariantList ModuleTreeModel::tiles(const QStringList &ids, const QString &prefix) const
{
    QVariantList tiles;
    for (const QString &id : ids) {
        const int node = nodeOf(id);
        if (node < 0)
            continue;
        const Node &n = m_nodes.at(node);
        tiles.append(QVariantMap{{QStringLiteral("id"), n.id},
                                 {QStringLiteral("name"), n.name},
                                 {QStringLiteral("icon"), iconOf(n.name)},
                                 {QStringLiteral("key"), prefix + n.id}});
    }
    return tiles;
}

QString ModuleTreeModel::iconOf(const QString &name) const
{
    auto cached = m_icons.constFind(name);
    if (cached == m_icons.constEnd())
        cached = m_icons.insert(name, MenuItem::imageFor(name));
    return cached.value();
}

QString ModuleTreeModel::fallbackIcon(const QString &name) const
{
    return ModuleIcons::path(QString(), name);
}

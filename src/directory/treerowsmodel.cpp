#include "treerowsmodel.h"

#include "directory/qtreemodel.h"

#include <algorithm>

namespace {

const QString company = QStringLiteral("company");
const QString person = QStringLiteral("person");

} // namespace

TreeRowsModel::TreeRowsModel(QObject *parent) : QAbstractListModel(parent) {}

int TreeRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant TreeRowsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &r = m_rows.at(index.row());
    switch (role) {
    case KeyRole:
        return r.key;
    case NameRole:
        return r.name;
    case KindRole:
        return r.kind;
    case DepthRole:
        return r.depth;
    case CountRole:
        return r.count;
    case ExpandedRole:
        return r.expanded;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> TreeRowsModel::roleNames() const
{
    return {{KeyRole, "key"},     {NameRole, "name"},   {KindRole, "kind"},
            {DepthRole, "depth"}, {CountRole, "count"}, {ExpandedRole, "expanded"}};
}

QTreeModel *TreeRowsModel::tree() const
{
    return m_tree;
}

void TreeRowsModel::setTree(QTreeModel *tree)
{
    if (tree == m_tree)
        return;
    m_tree = tree;
    emit treeChanged();
}

void TreeRowsModel::setTreeTypes(const QString &types)
{
    if (types == m_treeTypes)
        return;
    m_treeTypes = types;
    emit treeTypesChanged();
}

void TreeRowsModel::setPersonFilter(const QJSValue &filter)
{
    m_personFilter = filter;
    emit personFilterChanged();
}

void TreeRowsModel::rebuild()
{
    clear();
    if (!m_tree || m_tree->rowCount() < 1)
        return;
    const QModelIndex top = m_tree->index(0, 0);
    // A company without members (nothing loaded yet) shows the empty text instead.
    if (m_tree->rowCount(top) < 1)
        return;
    beginInsertRows(QModelIndex(), 0, 0);
    m_rows.append(rowFor(top, 0));
    endInsertRows();
    emit countChanged();
    expand(0);
}

bool TreeRowsModel::reloadTree()
{
    if (!m_tree || m_tree->loading()) {
        clear();
        return false;
    }
    m_tree->onSigHandlCompletion();
    m_tree->reLoadData(m_treeTypes);
    rebuild();
    return true;
}

bool TreeRowsModel::isBare() const
{
    return m_rows.isEmpty() || m_rows.first().count == 0;
}

void TreeRowsModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_rows.size() - 1);
    m_rows.clear();
    endRemoveRows();
    emit countChanged();
}

QVariantMap TreeRowsModel::get(int index) const
{
    if (index < 0 || index >= m_rows.size())
        return {};
    const Row &r = m_rows.at(index);
    return {{QStringLiteral("key"), r.key},     {QStringLiteral("name"), r.name},
            {QStringLiteral("kind"), r.kind},   {QStringLiteral("depth"), r.depth},
            {QStringLiteral("count"), r.count}, {QStringLiteral("expanded"), r.expanded}};
}

bool TreeRowsModel::isOpenable(int index) const
{
    return index >= 0 && index < m_rows.size() && m_rows.at(index).kind != person &&
           m_rows.at(index).count > 0;
}

void TreeRowsModel::expand(int index)
{
    if (!isOpenable(index) || m_rows.at(index).expanded || !m_tree)
        return;
    const Row &row = m_rows.at(index);
    const QModelIndex parent = row.node;
    if (!parent.isValid())
        return;
    QVector<Row> children;
    const int n = m_tree->rowCount(parent);
    for (int k = 0; k < n; ++k) {
        Row child = rowFor(m_tree->index(k, 0, parent), row.depth + 1);
        if (shown(child))
            children.append(std::move(child));
    }
    // The tree's role order is arbitrary; people look roles up by name.
    if (row.kind == company && m_treeTypes == QLatin1String("1"))
        std::stable_sort(children.begin(), children.end(), [](const Row &a, const Row &b) {
            return QString::localeAwareCompare(a.name, b.name) < 0;
        });
    setExpanded(index, true);
    if (children.isEmpty())
        return;
    beginInsertRows(QModelIndex(), index + 1, index + children.size());
    m_rows.insert(index + 1, children.size(), Row());
    std::move(children.begin(), children.end(), m_rows.begin() + index + 1);
    endInsertRows();
    emit countChanged();
}

int TreeRowsModel::subtreeEnd(int index) const
{
    if (index < 0 || index >= m_rows.size())
        return index;
    const int depth = m_rows.at(index).depth;
    int end = index + 1;
    while (end < m_rows.size() && m_rows.at(end).depth > depth)
        ++end;
    return end;
}

void TreeRowsModel::collapse(int index)
{
    if (index < 0 || index >= m_rows.size() || !m_rows.at(index).expanded)
        return;
    const int end = subtreeEnd(index);
    setExpanded(index, false);
    if (end == index + 1)
        return;
    beginRemoveRows(QModelIndex(), index + 1, end - 1);
    m_rows.remove(index + 1, end - index - 1);
    endRemoveRows();
    emit countChanged();
}

void TreeRowsModel::toggle(int index)
{
    if (index < 0 || index >= m_rows.size())
        return;
    if (m_rows.at(index).expanded)
        collapse(index);
    else
        expand(index);
}

bool TreeRowsModel::isExpanded(int index) const
{
    return index >= 0 && index < m_rows.size() && m_rows.at(index).expanded;
}

int TreeRowsModel::currentAfterCollapse(int index, int current) const
{
    return current > index && current < subtreeEnd(index) ? index : current;
}

bool TreeRowsModel::expandAllBelow(int index, int limit)
{
    if (index < 0 || index >= m_rows.size())
        return false;
    const int depth = m_rows.at(index).depth;
    expand(index);
    for (int k = index + 1;
         k < m_rows.size() && m_rows.at(k).depth > depth && m_rows.size() < limit; ++k)
        expand(k);
    return true;
}

void TreeRowsModel::collapseAll()
{
    for (int i = m_rows.size() - 1; i > 0; --i) {
        if (m_rows.at(i).expanded)
            collapse(i);
    }
}

int TreeRowsModel::parentRow(int index) const
{
    if (index < 0 || index >= m_rows.size())
        return -1;
    const int depth = m_rows.at(index).depth;
    for (int k = index - 1; k >= 0; --k) {
        if (m_rows.at(k).depth < depth)
            return k;
    }
    return -1;
}

int TreeRowsModel::rowOfPerson(const QString &userId) const
{
    const auto found = std::find_if(m_rows.cbegin(), m_rows.cend(), [&](const Row &r) {
        return r.kind == person && r.key == userId;
    });
    return found == m_rows.cend() ? -1 : int(found - m_rows.cbegin());
}

int TreeRowsModel::rowNamed(const QString &kind, const QString &name) const
{
    const auto found = std::find_if(m_rows.cbegin(), m_rows.cend(),
                                    [&](const Row &r) { return r.kind == kind && r.name == name; });
    return found == m_rows.cend() ? -1 : int(found - m_rows.cbegin());
}

QString TreeRowsModel::personInfor(int index) const
{
    if (!m_tree || index < 0 || index >= m_rows.size())
        return QString();
    return m_tree->data(m_rows.at(index).node, QTreeModel::NodeNameInforRole).toString();
}

TreeRowsModel::Row TreeRowsModel::rowFor(const QModelIndex &node, int depth) const
{
    Row r;
    r.node = node;
    r.key = m_tree->data(node, QTreeModel::NodeSelectStateRole).toString();
    r.name = m_tree->data(node, QTreeModel::NodeNameRole).toString();
    const QVariant infor = m_tree->data(node, QTreeModel::NodeNameInforRole);
    const bool isPerson = infor.type() == QVariant::String && !infor.toString().isEmpty();
    r.kind = depth == 0                          ? company
             : isPerson                          ? person
             : m_treeTypes == QLatin1String("1") ? QStringLiteral("role")
                                                 : QStringLiteral("department");
    r.depth = depth;
    r.count = isPerson ? 0 : m_tree->rowCount(node);
    return r;
}

bool TreeRowsModel::shown(const Row &row) const
{
    if (row.kind != person || !m_personFilter.isCallable())
        return true;
    QJSValue filter = m_personFilter;
    return filter.call({QJSValue(row.key)}).toBool();
}

void TreeRowsModel::setExpanded(int index, bool expanded)
{
    m_rows[index].expanded = expanded;
    const QModelIndex at = createIndex(index, 0);
    emit dataChanged(at, at, {ExpandedRole});
}

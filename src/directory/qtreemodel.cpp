#include "qtreemodel.h"

#include "directory/directoryjson.h"
#include "directory/handlorganization.h"
#include "json/jsontext.h"

#include <QPair>
#include <QSet>
#include <QVector>

#include <utility>

namespace {

QVector<QVariant> columns(const QString &selectState, const QString &name,
                          const QString &infor = QString())
{
    return {selectState, name, infor};
}

} // namespace

QTreeModel::QTreeModel(QObject *parent)
    : QAbstractItemModel(parent)
    , m_roleNames{{NodeSelectStateRole, "nodeSelectState"},
                  {NodeNameRole, "nodeName"},
                  {NodeNameInforRole, "NodeNameInfor"}}
{
    HandlOrganization *loader = HandlOrganization::gestance();
    connect(loader, &HandlOrganization::sigLoadStarted, this, &QTreeModel::loadingChanged);
    connect(loader, &HandlOrganization::sigHandlCompletion, this, [this] {
        onSigHandlCompletion();
        emit loadingChanged();
    });
}

bool QTreeModel::loading() const
{
    return HandlOrganization::gestance()->getRunStatus();
}

QTreeModel::~QTreeModel()
{
    // The root shows a top node that the model owns elsewhere.
    if (m_root)
        m_root->releaseChildren();
}

QAbstractItemModel *QTreeModel::model()
{
    return this;
}

void QTreeModel::reLoadData(const QString &infors)
{
    TreeItem *top = nullptr;
    if (infors == QLatin1String("1"))
        top = m_roles.get();
    else if (infors == QLatin1String("2"))
        top = m_departments.get();
    else
        return;
    beginResetModel();
    showTop(top);
    endResetModel();
}

void QTreeModel::findDepth(const QString &infors)
{
    m_departmentSearch = infors;
    std::unique_ptr<TreeItem> top = makeTopNode();
    appendDepartmentTree(HandlOrganization::gestance()->memberList(), top.get(), infors);
    beginResetModel();
    showTop(top.get());
    // The previous filtered tree may have been the one shown; the root no longer holds it.
    m_filteredDepartments = std::move(top);
    endResetModel();
}

void QTreeModel::findRoles(const QString &infors)
{
    m_roleSearch = infors;
    std::unique_ptr<TreeItem> top = buildRoleTree(infors, true);
    beginResetModel();
    showTop(top.get());
    m_filteredRoles = std::move(top);
    endResetModel();
}

void QTreeModel::onSigHandlCompletion()
{
    const HandlOrganization *loader = HandlOrganization::gestance();
    m_companyName = loader->companyName();
    m_address = loader->address();
    m_zipCode = loader->zipCode();
    m_cards.clear();

    std::unique_ptr<TreeItem> departments = makeTopNode();
    appendDepartmentTree(loader->memberList(), departments.get(), QString());
    retire(std::move(m_departments));
    m_departments = std::move(departments);

    std::unique_ptr<TreeItem> roles = buildRoleTree(QString(), false);
    retire(std::move(m_roles));
    m_roles = std::move(roles);
    // What is shown stays until the document chooses again.
}

std::unique_ptr<TreeItem> QTreeModel::makeTopNode() const
{
    return std::make_unique<TreeItem>(columns(QStringLiteral("0"), m_companyName));
}

TreeItem *QTreeModel::makeUserNode(const MemberRecord *user)
{
    auto card = m_cards.constFind(user);
    if (card == m_cards.constEnd())
        card = m_cards.insert(user, userInforText(*user, m_companyName, m_address, m_zipCode));
    return new TreeItem(columns(user->user_id, user->user_name, *card));
}

void QTreeModel::appendDepartmentTree(const QList<MemberRecord *> &records, TreeItem *parent,
                                      const QString &filter)
{
    // Walked with a list of its own, not the stack: the server decides how deep departments
    // nest. Each list is appended to its node in one go, so the order within a node is kept.
    QVector<QPair<const QList<MemberRecord *> *, TreeItem *>> pending{{&records, parent}};
    while (!pending.isEmpty()) {
        const auto [list, node] = pending.takeLast();
        for (const MemberRecord *record : *list) {
            if (!record->dept_id.isEmpty()) {
                auto *department = new TreeItem(columns(record->dept_id, record->dept_name));
                node->appendChild(department);
                pending.append({&record->children, department});
            } else if (filter.isEmpty() || record->user_name.contains(filter)) {
                node->appendChild(makeUserNode(record));
            }
        }
    }
}

std::unique_ptr<TreeItem> QTreeModel::buildRoleTree(const QString &filter, bool dropEmpty)
{
    std::unique_ptr<TreeItem> top = makeTopNode();
    const QMultiMap<QString, MemberRecord *> index = HandlOrganization::gestance()->roleIndex();
    const QList<QString> keys = index.keys();
    const QSet<QString> names(keys.cbegin(), keys.cend());
    for (const QString &name : names) {
        auto role = std::make_unique<TreeItem>(columns(QStringLiteral("0"), name));
        // Equal keys come most recently added first.
        const QList<MemberRecord *> users = index.values(name);
        for (const MemberRecord *user : users) {
            if (filter.isEmpty() || user->user_name.contains(filter))
                role->appendChild(makeUserNode(user));
        }
        if (!dropEmpty || role->childCount() > 0)
            top->appendChild(role.release());
    }
    return top;
}

void QTreeModel::showTop(TreeItem *top)
{
    if (m_root)
        m_root->releaseChildren();
    m_root = std::make_unique<TreeItem>(QVector<QVariant>{QString(), QString()});
    if (top)
        m_root->appendChild(top);
    m_retired.reset();
}

void QTreeModel::retire(std::unique_ptr<TreeItem> old)
{
    if (old && old.get() == shownTop())
        m_retired = std::move(old);
}

TreeItem *QTreeModel::shownTop() const
{
    return m_root ? m_root->child(0) : nullptr;
}

QModelIndex QTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    const TreeItem *parentItem =
        parent.isValid() ? static_cast<TreeItem *>(parent.internalPointer()) : m_root.get();
    if (!parentItem)
        return {};
    TreeItem *child = parentItem->child(row);
    return child ? createIndex(row, column, child) : QModelIndex();
}

QModelIndex QTreeModel::parent(const QModelIndex &index) const
{
    if (!index.isValid())
        return {};
    const auto *item = static_cast<TreeItem *>(index.internalPointer());
    TreeItem *parentItem = item->parentItem();
    if (!parentItem || parentItem == m_root.get())
        return {};
    return createIndex(parentItem->row(), 0, parentItem);
}

int QTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const TreeItem *item =
        parent.isValid() ? static_cast<TreeItem *>(parent.internalPointer()) : m_root.get();
    return item ? item->childCount() : 0;
}

int QTreeModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return static_cast<TreeItem *>(parent.internalPointer())->columnCount();
    return m_root ? m_root->columnCount() : 0;
}

QVariant QTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    // Qt's own roles (display, size hint, ...) have no value here; generic views and checks
    // expect an invalid variant for them, not a placeholder text.
    if (role < Qt::UserRole)
        return {};
    if (role < NodeSelectStateRole || role > NodeNameInforRole)
        return QStringLiteral("a1");
    const auto *item = static_cast<TreeItem *>(index.internalPointer());
    if (!item)
        return QStringLiteral("a2");
    return item->data(role - NodeSelectStateRole);
}

Qt::ItemFlags QTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

QHash<int, QByteArray> QTreeModel::roleNames() const
{
    return m_roleNames;
}

QString QTreeModel::userInforText(const MemberRecord &user, const QString &companyName,
                                  const QString &address, const QString &zipCode)
{
    QString roleNames;
    for (const RoleRecord *role : user.roles)
        roleNames += role->role_name + QLatin1Char(' ');
    // Written directly in the form QJsonDocument's indented output takes once its line feeds
    // are removed (members sorted by key, four blanks before each): one card per user adds up
    // on large organisations.
    const std::pair<QLatin1String, const QString *> members[] = {
        {QLatin1String("address"), &address},
        {QLatin1String("commpanyName"), &companyName},
        {QLatin1String("dept_name"), &user.dept_name},
        {QLatin1String("email"), &user.email},
        {QLatin1String("phone_number"), &user.phone_number},
        {QLatin1String("role_name"), &roleNames},
        {QLatin1String("user_name"), &user.user_name},
        {QLatin1String("zipCode"), &zipCode},
    };
    QString text;
    text.reserve(160 + address.size() + companyName.size() + user.dept_name.size() +
                 user.email.size() + user.phone_number.size() + roleNames.size() +
                 user.user_name.size() + zipCode.size());
    text += QLatin1Char('{');
    bool first = true;
    for (const auto &member : members) {
        if (!first)
            text += QLatin1Char(',');
        first = false;
        text += QLatin1String("    \"");
        text += member.first;
        text += QLatin1String("\": ");
        JsonText::appendString(text, *member.second);
    }
    text += QLatin1Char('}');
    return text;
}

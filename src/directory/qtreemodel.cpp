#include "qtreemodel.h"

#include "concurrency/stepclock.h"
#include "directory/directoryjson.h"
#include "directory/handlorganization.h"
#include "logging.h"
#include "json/jsontext.h"

#include <QCoreApplication>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QVector>
#include <QtConcurrent>

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
    connect(loader, &HandlOrganization::sigHandlCompletion, this, &QTreeModel::rebuildBehind);
}

bool QTreeModel::loading() const
{
    return m_building || HandlOrganization::gestance()->getRunStatus();
}

struct QTreeModel::Built
{
    Source source;
    std::unique_ptr<TreeItem> departments;
    std::unique_ptr<TreeItem> roles;
};

std::shared_ptr<QTreeModel::Built>
QTreeModel::buildAll(Source source, const QList<MemberRecord *> &members,
                     const QMultiMap<QString, MemberRecord *> &index)
{
    auto built = std::make_shared<Built>();
    built->source = std::move(source);
    built->source.cards.clear();
    built->departments = makeTopNode(built->source);
    appendDepartmentTree(built->source, members, built->departments.get(), QString());
    built->roles = buildRoleTree(built->source, index, QString(), false);
    return built;
}

void QTreeModel::rebuildBehind()
{
    const HandlOrganization *loader = HandlOrganization::gestance();
    Source source;
    source.companyName = loader->companyName();
    source.address = loader->address();
    source.zipCode = loader->zipCode();
    const int build = ++m_builds;
    m_building = true;
    QPointer<QTreeModel> model(this);
    // The records stay until the next load has completed, and that waits for this walk.
    QtConcurrent::run([model, build, source, members = loader->memberList(),
                       index = loader->roleIndex(),
                       walk = HandlOrganization::walkRecords()]() mutable {
        std::shared_ptr<Built> built = buildAll(std::move(source), members, index);
        walk.reset();
        QMetaObject::invokeMethod(
            qApp,
            [model, build, built] {
                if (!model || build != model->m_builds)
                    return;
                StepClock step;
                step.start();
                model->takeBuilt(*built);
                model->m_building = false;
                // The views waiting for the trees fill in from here.
                emit model->loadingChanged();
                step.stop();
                qCDebug(lcDirectory).nospace().noquote()
                    << "directory trees loaded: handed over, longest step on the GUI thread "
                    << step.longestText();
            },
            Qt::QueuedConnection);
    });
}

void QTreeModel::takeBuilt(Built &built)
{
    m_source = std::move(built.source);
    retire(std::move(m_departments));
    m_departments = std::move(built.departments);
    retire(std::move(m_roles));
    m_roles = std::move(built.roles);
    // What is shown stays until the document chooses again.
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
    std::unique_ptr<TreeItem> top = makeTopNode(m_source);
    appendDepartmentTree(m_source, HandlOrganization::gestance()->memberList(), top.get(), infors);
    beginResetModel();
    showTop(top.get());
    // The previous filtered tree may have been the one shown; the root no longer holds it.
    m_filteredDepartments = std::move(top);
    endResetModel();
}

void QTreeModel::findRoles(const QString &infors)
{
    m_roleSearch = infors;
    std::unique_ptr<TreeItem> top =
        buildRoleTree(m_source, HandlOrganization::gestance()->roleIndex(), infors, true);
    beginResetModel();
    showTop(top.get());
    m_filteredRoles = std::move(top);
    endResetModel();
}

void QTreeModel::onSigHandlCompletion()
{
    const HandlOrganization *loader = HandlOrganization::gestance();
    Source source;
    source.companyName = loader->companyName();
    source.address = loader->address();
    source.zipCode = loader->zipCode();
    // A build behind the window still under way is superseded by this one.
    ++m_builds;
    const bool wasBuilding = std::exchange(m_building, false);
    takeBuilt(*buildAll(std::move(source), loader->memberList(), loader->roleIndex()));
    if (wasBuilding)
        emit loadingChanged();
}

std::unique_ptr<TreeItem> QTreeModel::makeTopNode(const Source &source)
{
    return std::make_unique<TreeItem>(columns(QStringLiteral("0"), source.companyName));
}

TreeItem *QTreeModel::makeUserNode(Source &source, const MemberRecord *user)
{
    auto card = source.cards.constFind(user);
    if (card == source.cards.constEnd())
        card = source.cards.insert(
            user, userInforText(*user, source.companyName, source.address, source.zipCode));
    return new TreeItem(columns(user->user_id, user->user_name, *card));
}

void QTreeModel::appendDepartmentTree(Source &source, const QList<MemberRecord *> &records,
                                      TreeItem *parent, const QString &filter)
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
                node->appendChild(makeUserNode(source, record));
            }
        }
    }
}

std::unique_ptr<TreeItem> QTreeModel::buildRoleTree(Source &source,
                                                    const QMultiMap<QString, MemberRecord *> &index,
                                                    const QString &filter, bool dropEmpty)
{
    std::unique_ptr<TreeItem> top = makeTopNode(source);
    const QList<QString> keys = index.keys();
    const QSet<QString> names(keys.cbegin(), keys.cend());
    for (const QString &name : names) {
        auto role = std::make_unique<TreeItem>(columns(QStringLiteral("0"), name));
        // Equal keys come most recently added first.
        const QList<MemberRecord *> users = index.values(name);
        for (const MemberRecord *user : users) {
            if (filter.isEmpty() || user->user_name.contains(filter))
                role->appendChild(makeUserNode(source, user));
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

#include "menumodel.h"

#include "logging.h"
#include "net/replyenvelope.h"
#include "json/jsonfield.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <optional>

namespace {

using MenuTable = QMap<int, MenuEntry>;

// The menus of an `item` array, at any depth; entries that are not objects are skipped.
MenuTable readMenus(const QJsonArray &array)
{
    MenuTable menus;
    for (const QJsonValue &value : array) {
        if (!value.isObject())
            continue;
        const QJsonObject object = value.toObject();
        MenuEntry entry;
        const int id = JsonField::smallInteger(object.value(QLatin1String("menu_id")));
        entry.menu_id = QString::number(id);
        entry.menu_name = JsonField::text(object.value(QLatin1String("menu_name")));
        entry.menu_name_zm = JsonField::text(object.value(QLatin1String("menu_name_zm")));
        entry.has_children = JsonField::integerText(object.value(QLatin1String("has_children")));
        entry.children = readMenus(object.value(QLatin1String("item")).toArray());
        menus.insert(id, entry);
    }
    return menus;
}

// A member that is absent, null or an empty list means "no menus"; any other kind but the
// expected one is a fault of the reply.
bool meansNothing(const QJsonValue &value)
{
    return value.isUndefined() || value.isNull() || (value.isArray() && value.toArray().isEmpty());
}

// The module array of a menu source, or nothing when the source is of the wrong kind.
std::optional<QJsonArray> moduleList(const QJsonValue &source)
{
    if (meansNothing(source))
        return QJsonArray();
    if (!source.isObject())
        return std::nullopt;
    const QJsonValue module = source.toObject().value(QLatin1String("module"));
    if (meansNothing(module))
        return QJsonArray();
    if (!module.isArray())
        return std::nullopt;
    return module.toArray();
}

// Either the user's own menus, whose modules are the menus, or the reply's menus, whose
// modules group the menus in their `item` arrays.
std::optional<MenuTable> readTable(const QJsonObject &data)
{
    const QJsonObject currentUser = data.value(QLatin1String("current_user")).toObject();
    if (currentUser.contains(QLatin1String("menus"))) {
        const auto modules = moduleList(currentUser.value(QLatin1String("menus")));
        if (!modules)
            return std::nullopt;
        return readMenus(*modules);
    }
    const auto modules = moduleList(data.value(QLatin1String("menus")));
    if (!modules)
        return std::nullopt;
    MenuTable table;
    for (const QJsonValue &module : *modules) {
        const MenuTable menus = readMenus(module.toObject().value(QLatin1String("item")).toArray());
        for (auto it = menus.constBegin(); it != menus.constEnd(); ++it)
            table.insert(it.key(), it.value());
    }
    return table;
}

QJsonObject childObject(const MenuEntry &entry);

QJsonArray childArray(const MenuTable &children)
{
    QJsonArray array;
    for (const MenuEntry &child : children)
        array.append(childObject(child));
    return array;
}

QJsonObject childObject(const MenuEntry &entry)
{
    return {{QStringLiteral("menu_id"), entry.menu_id},
            {QStringLiteral("menu_name"), entry.menu_name},
            {QStringLiteral("menu_name_zm"), entry.menu_name_zm},
            {QStringLiteral("has_children"), entry.has_children},
            {QStringLiteral("item"), childArray(entry.children)}};
}

} // namespace

MenuModel *MenuModel::instance()
{
    static MenuModel *single = [] {
        auto *model = new MenuModel;
        // Views and their notifications live on the GUI thread, whoever asks first.
        if (QCoreApplication *app = QCoreApplication::instance())
            model->moveToThread(app->thread());
        return model;
    }();
    return single;
}

void MenuModel::setMenuData(const QByteArray &body)
{
    qCDebug(lcReminders) << "MenuModel::setMenuData";
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(body);
    if (!envelope.answered())
        return;
    if (!envelope.success()) {
        const QJsonObject first =
            envelope.object().value(QLatin1String("errors")).toArray().at(0).toObject();
        qCDebug(lcReminders) << "menu reply refused:"
                             << first.value(QLatin1String("code")).toString()
                             << first.value(QLatin1String("message")).toString();
        return;
    }
    const QJsonValue data = envelope.data();
    if (!data.isObject()) {
        qCDebug(lcReminders) << "menu reply without a data object";
        return;
    }
    std::optional<MenuTable> table = readTable(data.toObject());
    if (!table) {
        qCDebug(lcReminders) << "menu reply with menus of the wrong kind; menu kept";
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_table.swap(*table);
    }
    if (QThread::currentThread() == thread())
        publish();
    else
        QMetaObject::invokeMethod(this, &MenuModel::publish, Qt::QueuedConnection);
}

MenuModel::MenuTable MenuModel::table() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_table;
}

void MenuModel::forgetAccount()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_table.clear();
    }
    publish();
}

void MenuModel::publish()
{
    const MenuTable current = table();
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(current.size());
    for (const MenuEntry &entry : current)
        m_rows.append(entry);
    endResetModel();
    emit sigUpdateData();
}

QMap<int, MenuEntry> MenuModel::menuTree() const
{
    return table();
}

QList<int> MenuModel::menuListId() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_table.keys();
}

QString MenuModel::childMenuList(int ids) const
{
    const MenuTable current = table();
    const QJsonObject list{{QStringLiteral("item"), childArray(current.value(ids).children)}};
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Indented));
}

QString MenuModel::menuIdInfor(int ids, const QString &types) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto entry = m_table.constFind(ids);
    if (entry == m_table.constEnd())
        return QString();
    if (types == QLatin1String("menu_id"))
        return entry->menu_id;
    if (types == QLatin1String("menu_name"))
        return entry->menu_name;
    if (types == QLatin1String("menu_name_zm"))
        return entry->menu_name_zm;
    if (types == QLatin1String("has_children"))
        return entry->has_children;
    return QString();
}

int MenuModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant MenuModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const MenuEntry &entry = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case MenuNameRole:
        return entry.menu_name;
    case MenuIdRole:
        return entry.menu_id;
    case MenuNameZmRole:
        return entry.menu_name_zm;
    case HasChildrenRole:
        return entry.has_children;
    case ChildCountRole:
        return entry.children.size();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> MenuModel::roleNames() const
{
    return {{Qt::DisplayRole, "display"},      {MenuIdRole, "menu_id"},
            {MenuNameRole, "menu_name"},       {MenuNameZmRole, "menu_name_zm"},
            {HasChildrenRole, "has_children"}, {ChildCountRole, "child_count"}};
}

#include "peoplesearchmodel.h"

#include "items/modelrow.h"
#include "session/parameterinfor.h"
#include "treemodelitem.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

#include <QJsonArray>
#include <QJsonObject>

#include <utility>

namespace {

QString textOf(const QJsonObject &object, const char *key)
{
    return JsonField::text(object.value(QLatin1String(key)));
}

// The role names of a person, space separated; roles without a name are left out.
QString roleNamesOf(const QJsonValue &roles)
{
    QStringList names;
    const QJsonArray list = roles.toArray();
    for (const QJsonValue &role : list) {
        const QString name = JsonField::text(role.toObject().value(QLatin1String("role_name")));
        if (!name.isEmpty())
            names.append(name);
    }
    return names.join(QLatin1Char(' '));
}

QString orElse(const QString &text, const QString &fallback)
{
    return text.isEmpty() ? fallback : text;
}

} // namespace

PeopleSearchModel::PeopleSearchModel(QObject *parent)
    : QAbstractListModel(parent), m_finder(new TreeModelitem(this))
{
    connect(m_finder, &TreeModelitem::sigUserInforFinished, this, &PeopleSearchModel::answer);
}

int PeopleSearchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant PeopleSearchModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &r = m_rows.at(index.row());
    switch (role) {
    case UserIdRole:
        return r.userId;
    case UserNameRole:
        return r.userName;
    case DeptNameRole:
        return r.deptName;
    case PositionRole:
        return r.position;
    case PhoneRole:
        return r.phone;
    case EmailRole:
        return r.email;
    case RolesRole:
        return r.roles;
    case OnlineRole:
        return r.online;
    default:
        return {};
    }
}

QHash<int, QByteArray> PeopleSearchModel::roleNames() const
{
    return {{UserIdRole, "userId"},     {UserNameRole, "userName"}, {DeptNameRole, "deptName"},
            {PositionRole, "position"}, {PhoneRole, "phone"},       {EmailRole, "email"},
            {RolesRole, "roles"},       {OnlineRole, "online"}};
}

void PeopleSearchModel::setVisibleOnly(bool only)
{
    if (m_visibleOnly == only)
        return;
    m_visibleOnly = only;
    emit visibleOnlyChanged();
}

void PeopleSearchModel::search(const QString &text)
{
    const QString term = text.trimmed();
    setFailed(false);
    if (term.isEmpty()) {
        clear();
        return;
    }
    setPending(term);
    m_finder->findUserInfor(term);
}

void PeopleSearchModel::clear()
{
    setPending(QString());
    setSearchText(QString());
    setRows({});
}

void PeopleSearchModel::answer(const QString &contents)
{
    if (m_pending.isEmpty())
        return;
    const QString term = m_pending;
    setPending(QString());
    setSearchText(term);
    showReply(contents);
    emit finished();
}

bool PeopleSearchModel::showReply(const QString &contents)
{
    QJsonValue reply;
    const bool read = contents.size() <= maxReplyBytes &&
                      PeerJson::parseEscapingControls(contents.toUtf8(), &reply);
    const QJsonValue list = reply.isArray() ? reply : reply.toObject().value(QLatin1String("list"));
    setFailed(!read || !list.isArray());
    QVector<Row> rows;
    const QJsonArray people = list.toArray();
    ParameterInfor *parameters = ParameterInfor::instance();
    for (const QJsonValue &entry : people) {
        if (rows.size() >= maxRows)
            break;
        const QJsonObject person = entry.toObject();
        Row row;
        row.userId = JsonField::id(person.value(QLatin1String("user_id")));
        // A row without an id could neither open a conversation nor a card.
        if (row.userId.isEmpty() || (m_visibleOnly && !mayShow(row.userId)))
            continue;
        row.userName = orElse(textOf(person, "user_name"), row.userId);
        row.deptName = textOf(person, "dept_name");
        row.position = textOf(person, "position");
        row.phone = textOf(person, "phone_number");
        row.email = textOf(person, "email");
        row.roles = roleNamesOf(person.value(QLatin1String("roles")));
        row.online = parameters->isOnline(row.userId);
        rows.append(std::move(row));
    }
    setRows(std::move(rows));
    return !m_failed;
}

QVariantMap PeopleSearchModel::person(int index) const
{
    if (index < 0 || index >= m_rows.size())
        return {};
    const Row &r = m_rows.at(index);
    return {{QStringLiteral("userId"), r.userId},    {QStringLiteral("name"), r.userName},
            {QStringLiteral("dept"), r.deptName},    {QStringLiteral("roles"), r.roles},
            {QStringLiteral("phone"), r.phone},      {QStringLiteral("email"), r.email},
            {QStringLiteral("position"), r.position}};
}

QVariantMap PeopleSearchModel::treePerson(const QString &userId, const QString &name,
                                          const QString &infor, const QString &company)
{
    QJsonObject card;
    if (infor.size() <= maxReplyBytes)
        PeerJson::parseObject(infor.toUtf8(), &card);
    return {{QStringLiteral("userId"), userId},
            {QStringLiteral("name"), orElse(textOf(card, "user_name"), name)},
            {QStringLiteral("dept"), textOf(card, "dept_name")},
            {QStringLiteral("roles"), textOf(card, "role_name")},
            {QStringLiteral("phone"), textOf(card, "phone_number")},
            {QStringLiteral("email"), textOf(card, "email")},
            {QStringLiteral("position"), QString()},
            {QStringLiteral("company"), orElse(textOf(card, "commpanyName"), company)}};
}

bool PeopleSearchModel::mayShow(const QString &userId)
{
    const ParameterInfor *parameters = ParameterInfor::instance();
    const QString self = parameters->userId();
    if (self.isEmpty() || !parameters->isVisibleUser(self))
        return true;
    return parameters->isVisibleUser(userId);
}

void PeopleSearchModel::setOnline(const QStringList &ids, bool online)
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).online == online || !ids.contains(m_rows.at(i).userId))
            continue;
        m_rows[i].online = online;
        const QModelIndex at = index(i);
        emit dataChanged(at, at, {OnlineRole});
    }
}

void PeopleSearchModel::setRows(QVector<Row> rows)
{
    if (rows.isEmpty() && m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
    emit countChanged();
}

void PeopleSearchModel::setPending(const QString &text)
{
    if (m_pending == text)
        return;
    m_pending = text;
    emit pendingChanged();
}

void PeopleSearchModel::setSearchText(const QString &text)
{
    if (m_searchText == text)
        return;
    m_searchText = text;
    emit searchTextChanged();
}

void PeopleSearchModel::setFailed(bool failed)
{
    if (m_failed == failed)
        return;
    m_failed = failed;
    emit failedChanged();
}

QVariantMap PeopleSearchModel::get(int index) const
{
    return modelRowMap(*this, index);
}

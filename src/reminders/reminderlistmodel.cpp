#include "reminderlistmodel.h"

#include "reminders/remindermodulemodel.h"
#include "reminders/systemhandl.h"
#include "reminders/systemrequest.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

QString member(const QJsonObject &object, const char *key)
{
    return JsonField::id(object.value(QLatin1String(key)));
}

QString shown(const QJsonObject &object, const char *key)
{
    return JsonField::text(object.value(QLatin1String(key)));
}

// A page number sent as a number or as its text; 0 when there is none.
int pageNumber(const QJsonValue &value)
{
    const int number = JsonField::smallInteger(value);
    return number != 0 ? number : JsonField::text(value).trimmed().toInt();
}

} // namespace

ReminderListModel::ReminderListModel(QObject *parent) : QAbstractListModel(parent) {}

int ReminderListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant ReminderListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case RemindIdRole:
        return row.remindId;
    case SmsMenuRole:
        return row.smsMenu;
    case SmsTypeRole:
        return row.smsType;
    case ContentRole:
        return row.content;
    case SendTimeRole:
        return row.sendTime;
    case IsReadRole:
        return row.isRead;
    case MenuNameRole:
        return row.menuName;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ReminderListModel::roleNames() const
{
    return {{RemindIdRole, "remindId"}, {SmsMenuRole, "smsMenu"},   {SmsTypeRole, "smsType"},
            {ContentRole, "content"},   {SendTimeRole, "sendTime"}, {IsReadRole, "isRead"},
            {MenuNameRole, "menuName"}};
}

ReminderModuleModel *ReminderListModel::modules() const
{
    return m_modules;
}

void ReminderListModel::setModules(ReminderModuleModel *modules)
{
    if (modules == m_modules)
        return;
    m_modules = modules;
    emit modulesChanged();
}

void ReminderListModel::requestPage(const QString &menu, bool unreadOnly, int page)
{
    const Query query{menu, unreadOnly, page};
    m_listWanted = query;
    if (page == 1) {
        if (!m_rows.isEmpty()) {
            beginResetModel();
            m_rows.clear();
            m_rowOf.clear();
            endResetModel();
            emit countChanged();
        }
        setPage(0, 0, 0);
    }
    setErrorText(QString());
    setLoading(true);
    if (!m_listInFlight)
        send(query);
}

void ReminderListModel::loadMore(const QString &menu, bool unreadOnly)
{
    if (hasMore() && !m_loading)
        requestPage(menu, unreadOnly, m_currentPage + 1);
}

void ReminderListModel::send(const Query &query)
{
    m_listInFlight = query;
    emit pageWanted(query.menu == ReminderModuleModel::allKey ? QString() : query.menu,
                    query.unreadOnly ? QStringLiteral("0") : QString(),
                    QString::number(query.page));
}

void ReminderListModel::pageArrived(const QString &contents)
{
    if (!m_listInFlight)
        return;
    const Query query = *m_listInFlight;
    m_listInFlight.reset();
    // An answer to a query the user has since changed is dropped for the wanted one.
    if (!m_listWanted || !(query == *m_listWanted)) {
        if (m_listWanted)
            send(*m_listWanted);
        return;
    }
    m_listWanted.reset();
    setLoading(false);
    if (!appendPage(contents, query)) {
        setErrorText(!m_listFailure.isEmpty() ? m_listFailure : m_loadFailedText);
        m_listFailure.clear();
    }
}

bool ReminderListModel::appendPage(const QString &contents, const Query &query)
{
    if (contents == QLatin1String("errors"))
        return false;
    QJsonObject reply;
    if (!PeerJson::parseObject(contents.toUtf8(), &reply))
        return false;
    const QJsonValue pageValue = reply.value(QLatin1String("data"));
    const QJsonValue list = pageValue.toObject().value(QLatin1String("data"));
    if (!pageValue.isObject() || !list.isArray())
        return false;
    const QJsonObject page = pageValue.toObject();

    QVector<Row> fresh;
    QHash<QString, int> seen;
    const QJsonArray entries = list.toArray();
    for (const QJsonValue &entry : entries) {
        const QJsonObject r = entry.toObject();
        const QString id = member(r, "id");
        // A reminder already listed (the pages moved under a new one) is shown once.
        if (id.isEmpty() || m_rowOf.contains(id) || seen.contains(id))
            continue;
        Row row;
        row.remindId = id;
        row.smsMenu = member(r, "sms_menu");
        row.smsType = member(r, "sms_type");
        row.content = shown(r, "content");
        row.sendTime = shown(r, "send_time");
        row.isRead = member(r, "remind_flag") == QLatin1String("1");
        row.menuName = shown(r, "menu_name");
        if (row.menuName.isEmpty())
            row.menuName = shown(r, "remind_name");
        if (row.menuName.isEmpty() && m_modules)
            row.menuName = m_modules->nameOf(row.smsMenu);
        seen.insert(id, fresh.size());
        fresh.append(row);
    }
    if (!fresh.isEmpty()) {
        const int first = m_rows.size();
        beginInsertRows(QModelIndex(), first, first + fresh.size() - 1);
        for (const Row &row : fresh) {
            m_rowOf.insert(row.remindId, m_rows.size());
            m_rows.append(row);
        }
        endInsertRows();
        emit countChanged();
    }
    int current = pageNumber(page.value(QLatin1String("current_page")));
    if (current == 0)
        current = query.page;
    int last = pageNumber(page.value(QLatin1String("last_page")));
    if (last == 0)
        last = current;
    int total = pageNumber(page.value(QLatin1String("total")));
    if (total == 0)
        total = m_rows.size();
    setPage(current, last, total);
    return true;
}

void ReminderListModel::requestStatus(bool status, int types, const QString &errors)
{
    switch (types) {
    case SystemRequest::ListChannel:
        m_listFailure = status ? QString() : errors;
        break;
    case SystemRequest::ReadOneChannel:
        readOneDone(status, errors);
        break;
    case SystemRequest::ReadModuleChannel:
        readModuleDone(status, errors);
        break;
    default:
        break;
    }
}

void ReminderListModel::markRead(int index)
{
    if (index < 0 || index >= m_rows.size() || m_rows.at(index).isRead)
        return;
    const QString &id = m_rows.at(index).remindId;
    if (id == m_readOneInFlight || m_readOneQueue.contains(id))
        return;
    m_readOneQueue.append(id);
    sendNextReadOne();
}

void ReminderListModel::openRemind(int index, SystemHandl *handl)
{
    if (!handl || index < 0 || index >= m_rows.size())
        return;
    const Row &row = m_rows.at(index);
    handl->openMessageInfor(row.remindId, row.smsType, row.smsMenu);
    markRead(index);
}

void ReminderListModel::sendNextReadOne()
{
    if (!m_readOneInFlight.isEmpty() || m_readOneQueue.isEmpty())
        return;
    m_readOneInFlight = m_readOneQueue.takeFirst();
    emit readOneWanted(m_readOneInFlight);
}

void ReminderListModel::readOneDone(bool ok, const QString &errors)
{
    if (m_readOneInFlight.isEmpty())
        return;
    if (ok) {
        const int row = indexOf(m_readOneInFlight);
        if (row >= 0 && !m_rows.at(row).isRead) {
            setRead(row);
            if (m_modules)
                m_modules->countDown(m_rows.at(row).smsMenu, 1);
        }
    } else {
        setErrorText(!errors.isEmpty() ? errors : m_markFailedText);
    }
    m_readOneInFlight.clear();
    if (m_readOneQueue.isEmpty())
        askCounts();
    sendNextReadOne();
}

void ReminderListModel::markAllRead(const QString &menu)
{
    QStringList keys = m_modules ? m_modules->unreadKeys(menu) : QStringList();
    if (keys.isEmpty() && menu != ReminderModuleModel::allKey)
        keys.append(menu);
    for (const QString &key : qAsConst(keys)) {
        if (key != m_readModuleInFlight && !m_readModuleQueue.contains(key))
            m_readModuleQueue.append(key);
    }
    sendNextReadModule();
}

void ReminderListModel::sendNextReadModule()
{
    if (!m_readModuleInFlight.isEmpty() || m_readModuleQueue.isEmpty())
        return;
    m_readModuleInFlight = m_readModuleQueue.takeFirst();
    emit readModuleBusyChanged();
    emit readModuleWanted(m_readModuleInFlight);
}

void ReminderListModel::readModuleDone(bool ok, const QString &errors)
{
    if (m_readModuleInFlight.isEmpty())
        return;
    if (ok) {
        for (int i = 0; i < m_rows.size(); ++i) {
            if (m_rows.at(i).smsMenu == m_readModuleInFlight)
                setRead(i);
        }
        if (m_modules && m_modules->indexOf(m_readModuleInFlight) >= 0)
            m_modules->countDown(m_readModuleInFlight, m_modules->unreadOf(m_readModuleInFlight));
    } else {
        setErrorText(!errors.isEmpty() ? errors : m_markFailedText);
    }
    m_readModuleInFlight.clear();
    if (m_readModuleQueue.isEmpty())
        askCounts();
    sendNextReadModule();
    if (m_readModuleInFlight.isEmpty())
        emit readModuleBusyChanged();
}

int ReminderListModel::indexOf(const QString &remindId) const
{
    return m_rowOf.value(remindId, -1);
}

QVariantMap ReminderListModel::get(int index) const
{
    if (index < 0 || index >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index);
    return {{QStringLiteral("remindId"), row.remindId}, {QStringLiteral("smsMenu"), row.smsMenu},
            {QStringLiteral("smsType"), row.smsType},   {QStringLiteral("content"), row.content},
            {QStringLiteral("sendTime"), row.sendTime}, {QStringLiteral("isRead"), row.isRead},
            {QStringLiteral("menuName"), row.menuName}};
}

void ReminderListModel::setRead(int index)
{
    if (m_rows.at(index).isRead)
        return;
    m_rows[index].isRead = true;
    emit dataChanged(this->index(index), this->index(index), {IsReadRole});
}

void ReminderListModel::setPage(int current, int last, int total)
{
    if (current == m_currentPage && last == m_lastPage && total == m_totalCount)
        return;
    m_currentPage = current;
    m_lastPage = last;
    m_totalCount = total;
    emit pageChanged();
}

void ReminderListModel::setLoading(bool loading)
{
    if (loading == m_loading)
        return;
    m_loading = loading;
    emit loadingChanged();
}

void ReminderListModel::setErrorText(const QString &text)
{
    if (text == m_errorText)
        return;
    m_errorText = text;
    emit errorTextChanged();
}

void ReminderListModel::askCounts()
{
    if (m_modules)
        m_modules->askCounts();
}

#include "conversationlistmodel.h"

#include "session/parameterinfor.h"
#include "socketstate.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

const QString ConversationListModel::systemId = QStringLiteral("system");
const QString ConversationListModel::privateType = QStringLiteral("2");
const QString ConversationListModel::groupType = QStringLiteral("3");

namespace {

const QString systemType = QStringLiteral("system");
constexpr qint64 minuteMs = 60000;

// The engine's own message text, read as every stored document is: with the peer parser's
// limits, an unreadable text giving an empty object.
QJsonObject objectOf(const QString &messages)
{
    QJsonObject object;
    PeerJson::parseObject(messages.toUtf8(), &object);
    return object;
}

// The message's own time, or now for one without a readable time.
double arrivalStamp(const QJsonObject &message)
{
    const double stamp =
        ConversationListModel::stampOf(JsonField::id(message.value(QLatin1String("send_time"))));
    return stamp > 0 ? stamp : double(QDateTime::currentMSecsSinceEpoch());
}

} // namespace

ConversationListModel::ConversationListModel(QObject *parent) : QAbstractListModel(parent)
{
    m_askTimer.setSingleShot(true);
    m_askTimer.setInterval(500);
    connect(&m_askTimer, &QTimer::timeout, this, &ConversationListModel::sendLastRecordRequest);
    connect(this, &ConversationListModel::messageArrived, this, &ConversationListModel::incoming);
}

int ConversationListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant ConversationListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &r = m_rows.at(index.row());
    switch (role) {
    case IdsRole:
        return r.ids;
    case NamesRole:
        return r.names;
    case TypesRole:
        return r.types;
    case ContentRole:
        return r.content;
    case TimesRole:
        return r.times;
    case StampRole:
        return r.stamp;
    case UnreadRole:
        return r.unread;
    case OnlineRole:
        return r.online;
    case PathsRole:
        return r.paths;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ConversationListModel::roleNames() const
{
    return {{IdsRole, "ids"},         {NamesRole, "names"},   {TypesRole, "types"},
            {ContentRole, "content"}, {TimesRole, "times"},   {StampRole, "stamp"},
            {UnreadRole, "unread"},   {OnlineRole, "online"}, {PathsRole, "paths"}};
}

void ConversationListModel::setSystemUnread(int count)
{
    count = qMax(0, count);
    if (count == m_systemUnread)
        return;
    m_systemUnread = count;
    if (!m_rows.isEmpty() && m_rows.first().ids == systemId) {
        m_rows.first().unread = count;
        changed(0, {UnreadRole});
    }
    emit systemUnreadChanged();
}

SocketState *ConversationListModel::store() const
{
    return m_store;
}

void ConversationListModel::setStore(SocketState *store)
{
    const bool changed = m_store.link(this, store, [this](SocketState *s) {
        connect(s, &SocketState::sigPrivareMessage, this, &ConversationListModel::readPrivate);
        connect(s, &SocketState::sigGroupMessage, this, &ConversationListModel::readGroup);
        connectKeeping();
    });
    if (changed)
        emit storeChanged();
}

int ConversationListModel::indexOf(const QString &ids) const
{
    const int serial = m_index.value(ids, -1);
    return serial < 0 ? -1 : m_position.at(serial);
}

QVariantMap ConversationListModel::get(int index) const
{
    if (index < 0 || index >= m_rows.size())
        return {};
    const Row &r = m_rows.at(index);
    return {{QStringLiteral("ids"), r.ids},       {QStringLiteral("names"), r.names},
            {QStringLiteral("types"), r.types},   {QStringLiteral("content"), r.content},
            {QStringLiteral("times"), r.times},   {QStringLiteral("stamp"), r.stamp},
            {QStringLiteral("unread"), r.unread}, {QStringLiteral("online"), r.online},
            {QStringLiteral("paths"), r.paths}};
}

void ConversationListModel::ensureSystemRow(const QString &name, const QString &tip)
{
    m_systemName = name;
    m_systemTip = tip;
    if (!m_rows.isEmpty() && m_rows.first().ids == systemId)
        return;
    Row r;
    r.ids = systemId;
    r.names = name;
    r.types = systemType;
    r.content = tip;
    r.unread = m_systemUnread;
    r.paths = QStringLiteral("qrc:/images/systemavatar.svg");
    insertRow(0, r);
}

int ConversationListModel::addConversation(const QString &ids, const QString &names,
                                           const QString &types, bool online, const QString &paths,
                                           bool atTop)
{
    const int existing = indexOf(ids);
    if (existing >= 0 || ids.isEmpty())
        return existing;
    Row r;
    r.ids = ids;
    r.names = names;
    r.types = types;
    r.online = online;
    r.paths = paths;
    const int at = atTop ? qMin(1, m_rows.size()) : m_rows.size();
    insertRow(at, r);
    return at;
}

int ConversationListModel::raise(int index)
{
    if (index > 1 && index < m_rows.size())
        moveRow(index, 1);
    return index > 0 ? 1 : index;
}

void ConversationListModel::showMessage(int index, const QString &content, double stamp)
{
    if (index < 0 || index >= m_rows.size())
        return;
    Row &r = m_rows[index];
    r.content = content;
    r.stamp = stamp;
    r.times = timeText(stamp, QDateTime::currentMSecsSinceEpoch());
    changed(index, {ContentRole, StampRole, TimesRole});
}

int ConversationListModel::arrive(const QString &ids, const QString &content, double stamp)
{
    const int index = indexOf(ids);
    if (index < 0)
        return -1;
    const int top = raise(index);
    showMessage(top, content, stamp);
    return top;
}

bool ConversationListModel::showLastRecord(const QString &ids, const QString &content,
                                           const QString &times)
{
    const int index = indexOf(ids);
    if (index < 0)
        return false;
    const Row &r = m_rows.at(index);
    const double stamp = stampOfClock(times, QDateTime::currentMSecsSinceEpoch());
    // A live message newer than this answer keeps its place; the answer only knows the minute,
    // so a live message of that same minute does not count as newer.
    if (r.stamp >= stamp + minuteMs && !r.content.isEmpty())
        return false;
    // An answer about the message already shown keeps the sender's name in front of it, and its
    // exact time when the row has one.
    const bool same = r.content == content || r.content.endsWith(QStringLiteral(": ") + content);
    if (same && (r.stamp >= stamp || r.stamp > 0))
        return false;
    showMessage(index, content, stamp);
    return true;
}

bool ConversationListModel::setUnread(int index, int count)
{
    if (index < 0 || index >= m_rows.size())
        return false;
    Row &r = m_rows[index];
    count = qMax(0, count);
    if (r.unread == count)
        return false;
    const int before = r.unread;
    r.unread = count;
    changed(index, {UnreadRole});
    if (r.types != systemType)
        setUnreadTotal(m_unreadTotal + count - before);
    return true;
}

void ConversationListModel::setName(int index, const QString &names)
{
    if (index < 0 || index >= m_rows.size() || m_rows.at(index).names == names)
        return;
    m_rows[index].names = names;
    changed(index, {NamesRole});
}

void ConversationListModel::setOnline(const QStringList &ids, bool online)
{
    for (const QString &id : ids) {
        const int index = indexOf(id);
        if (index < 0 || m_rows.at(index).types != privateType || m_rows.at(index).online == online)
            continue;
        m_rows[index].online = online;
        changed(index, {OnlineRole});
    }
}

void ConversationListModel::refreshOnline()
{
    const ParameterInfor *session = ParameterInfor::instance();
    for (int i = 0; i < m_rows.size(); ++i) {
        Row &r = m_rows[i];
        if (r.types != privateType)
            continue;
        const bool online = session->isOnline(r.ids);
        if (online != r.online) {
            r.online = online;
            changed(i, {OnlineRole});
        }
    }
}

bool ConversationListModel::remove(int index)
{
    if (index <= 0 || index >= m_rows.size())
        return false;
    beginRemoveRows(QModelIndex(), index, index);
    const Row gone = m_rows.takeAt(index);
    m_index.remove(gone.ids);
    m_position[gone.serial] = -1;
    reindex(index, m_rows.size() - 1);
    endRemoveRows();
    emit countChanged();
    if (gone.types != systemType && gone.unread != 0)
        setUnreadTotal(m_unreadTotal - gone.unread);
    return true;
}

void ConversationListModel::sortByTime()
{
    // An insertion into the sorted rows above, one move each: the view follows every row.
    for (int i = 2; i < m_rows.size(); ++i) {
        const double stamp = m_rows.at(i).stamp;
        const auto first = m_rows.cbegin() + 1;
        const auto at = std::upper_bound(first, m_rows.cbegin() + i, stamp,
                                         [](double s, const Row &r) { return r.stamp < s; });
        const int to = int(at - m_rows.cbegin());
        if (to != i)
            moveRow(i, to, false);
    }
    // The ids find their rows again once, not after every move.
    reindex(1, m_rows.size() - 1);
}

QVariantList ConversationListModel::matching(const QString &text) const
{
    QVariantList found;
    const QString needle = text.trimmed().toLower();
    if (needle.isEmpty())
        return found;
    for (const Row &r : m_rows) {
        if (r.types == systemType)
            continue;
        if (r.names.toLower().contains(needle) || r.ids == needle)
            found.append(QVariantMap{{QStringLiteral("ids"), r.ids},
                                     {QStringLiteral("names"), r.names},
                                     {QStringLiteral("types"), r.types},
                                     {QStringLiteral("paths"), r.paths},
                                     {QStringLiteral("online"), r.online}});
    }
    return found;
}

QStringList ConversationListModel::unnamed() const
{
    QStringList ids;
    for (const Row &r : m_rows) {
        if (r.types == privateType && r.names == r.ids)
            ids.append(r.ids);
    }
    return ids;
}

QString ConversationListModel::lastRecordRequest() const
{
    QJsonArray list;
    for (const Row &r : m_rows) {
        if (r.types == privateType || r.types == groupType)
            list.append(
                QJsonObject{{QStringLiteral("id"), r.ids}, {QStringLiteral("types"), r.types}});
    }
    if (list.isEmpty())
        return QString();
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

double ConversationListModel::stampOf(const QString &sendTime)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2})(?::(\d{2}))?)"));
    const QRegularExpressionMatch m = form.match(sendTime);
    if (!m.hasMatch())
        return 0;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    const QDateTime at(date, time, Qt::LocalTime);
    return at.isValid() ? double(at.toMSecsSinceEpoch()) : 0;
}

double ConversationListModel::stampOfClock(const QString &times, qint64 nowMs)
{
    static const QRegularExpression clock(QStringLiteral(R"((\d{1,2}):(\d{2}))"));
    const QRegularExpressionMatch m = clock.match(times);
    if (!m.hasMatch())
        return 0;
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(nowMs);
    QDateTime at(now.date(), QTime(m.captured(1).toInt(), m.captured(2).toInt()), Qt::LocalTime);
    if (!at.isValid())
        return 0;
    if (at.toMSecsSinceEpoch() > nowMs + minuteMs)
        at = at.addDays(-1);
    return double(at.toMSecsSinceEpoch());
}

QString ConversationListModel::timeText(double stamp, qint64 nowMs)
{
    if (stamp <= 0)
        return QString();
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(qint64(stamp));
    if (at.date() == QDateTime::fromMSecsSinceEpoch(nowMs).date())
        return at.toString(QStringLiteral("hh:mm"));
    return at.toString(QStringLiteral("MM-dd"));
}

void ConversationListModel::readPrivate(const QString &ids, const QString &messages)
{
    const QJsonObject message = objectOf(messages);
    if (message.isEmpty() || ids.isEmpty())
        return;
    const QString self = m_store ? m_store->getSelfUesrId() : QString();
    const bool fromOther = JsonField::id(message.value(QLatin1String("creator"))) != self;
    emit messageArrived(
        ids, privateType, QString(), QString(), JsonField::id(message.value(QLatin1String("msg"))),
        JsonField::id(message.value(QLatin1String("msg_type"))), arrivalStamp(message), fromOther);
}

void ConversationListModel::readGroup(const QString &groupIds, bool isSelf, const QString &messages)
{
    const QJsonObject message = objectOf(messages);
    if (message.isEmpty() || groupIds.isEmpty())
        return;
    const QString sender =
        isSelf ? QString() : JsonField::id(message.value(QLatin1String("user_name")));
    emit messageArrived(
        groupIds, groupType, JsonField::id(message.value(QLatin1String("group_name"))), sender,
        JsonField::id(message.value(QLatin1String("msg"))),
        JsonField::id(message.value(QLatin1String("msg_type"))), arrivalStamp(message), !isSelf);
}

void ConversationListModel::insertRow(int at, Row row)
{
    row.serial = m_position.size();
    const int unread = row.types != systemType ? row.unread : 0;
    beginInsertRows(QModelIndex(), at, at);
    m_index.insert(row.ids, row.serial);
    m_position.append(at);
    m_rows.insert(at, std::move(row));
    reindex(at + 1, m_rows.size() - 1);
    endInsertRows();
    emit countChanged();
    if (unread != 0)
        setUnreadTotal(m_unreadTotal + unread);
}

void ConversationListModel::moveRow(int from, int to, bool findable)
{
    if (from == to)
        return;
    beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
    m_rows.move(from, to);
    if (findable)
        reindex(qMin(from, to), qMax(from, to));
    endMoveRows();
}

void ConversationListModel::reindex(int first, int last)
{
    for (int i = first; i <= last; ++i)
        m_position[m_rows.at(i).serial] = i;
}

void ConversationListModel::changed(int index, const QVector<int> &roles)
{
    const QModelIndex at = createIndex(index, 0);
    emit dataChanged(at, at, roles);
}

void ConversationListModel::setUnreadTotal(int total)
{
    if (total == m_unreadTotal)
        return;
    m_unreadTotal = total;
    emit unreadTotalChanged();
}

#include "systeminformation.h"

#include "logging.h"
#include "net/replyenvelope.h"
#include "net/serverrequest.h"
#include "reminders/remindreply.h"
#include "json/jsonfield.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>

#include <limits>

namespace {

QString groupFailureText(const ReplyEnvelope &envelope)
{
    return tarnex::reminders::failureText(envelope, QStringLiteral("system_message_fail"),
                                          QStringLiteral("系统消息获取失败"));
}

} // namespace

SystemInformation *SystemInformation::gestance()
{
    static SystemInformation *single = [] {
        auto *store = new SystemInformation;
        // Replies must arrive on a thread that lives as long as the store.
        if (QCoreApplication *app = QCoreApplication::instance())
            store->moveToThread(app->thread());
        return store;
    }();
    return single;
}

bool SystemInformation::onOwnerThread() const
{
    return QThread::currentThread() == thread();
}

void SystemInformation::getSystemReminds()
{
    if (!onOwnerThread()) {
        QMetaObject::invokeMethod(this, &SystemInformation::getSystemReminds, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request = ServerRequest::make(
        ServerRequest::currentBaseUrl() + QStringLiteral("api/system/remind/system-reminds"),
        ServerRequest::Body::Form, true);
    tarnex::reminders::applyReplyLimit(request);
    QNetworkAccessManager *manager = m_groupSlot.renew();
    connect(manager, &QNetworkAccessManager::finished, this, &SystemInformation::onSystemReminds);
    manager->get(request);
}

void SystemInformation::getSystemUnreadNumbers()
{
    if (!onOwnerThread()) {
        QMetaObject::invokeMethod(this, &SystemInformation::getSystemUnreadNumbers,
                                  Qt::QueuedConnection);
        return;
    }
    if (m_unreadBusy) {
        qCDebug(lcReminders) << "unread request still outstanding; dropped";
        return;
    }
    m_unreadBusy = true;
    QNetworkRequest request = ServerRequest::make(ServerRequest::currentBaseUrl() +
                                                      QStringLiteral("api/system-sms/unread"),
                                                  ServerRequest::Body::Form, true);
    tarnex::reminders::applyReplyLimit(request);
    QNetworkAccessManager *manager = m_unreadSlot.renew();
    connect(manager, &QNetworkAccessManager::finished, this,
            &SystemInformation::onSystemUnreadNumbers);
    manager->get(request);
}

bool SystemInformation::unreadRequestBusy() const
{
    return m_unreadBusy;
}

void SystemInformation::onSystemReminds(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
    if (readGroups(ReplyEnvelope::fromReply(reply)))
        getSystemUnreadNumbers();
}

bool SystemInformation::readGroups(const ReplyEnvelope &envelope)
{
    qCDebug(lcReminders) << "system reminds reply:" << envelope.body().size() << "bytes";
    if (!envelope.success()) {
        if (envelope.answered()) {
            const QJsonObject first =
                envelope.object().value(QLatin1String("errors")).toArray().at(0).toObject();
            qCDebug(lcReminders) << "system reminds refused:"
                                 << first.value(QLatin1String("code")).toString()
                                 << first.value(QLatin1String("message")).toString();
        }
        emit sigRequestStatus(false, GroupRequest, groupFailureText(envelope));
        return false;
    }
    // Anything but a list would empty the store on a server fault; keep what we have instead.
    const QJsonValue data = envelope.data();
    if (!data.isArray()) {
        qCDebug(lcReminders) << "system reminds: data is not a list";
        emit sigRequestStatus(false, GroupRequest, groupFailureText(envelope));
        return false;
    }

    QMap<int, RemindGroup> groups;
    QHash<QString, int> menuIndex;
    const QJsonArray list = data.toArray();
    for (const QJsonValue &entry : list) {
        if (!entry.isObject())
            continue;
        const RemindGroup group = RemindGroup::fromJson(entry.toObject());
        groups.insert(group.id, group);
        menuIndex.insert(group.remind_menu, group.id);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_groups.swap(groups);
        m_menuIndex.swap(menuIndex);
    }
    qCDebug(lcReminders) << "--sigSystemInforChange--";
    emit sigRequestStatus(true, GroupRequest, QString());
    emit sigSystemInforChange();
    return true;
}

void SystemInformation::onSystemUnreadNumbers(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
    m_unreadBusy = false;
    readUnread(ReplyEnvelope::fromReply(reply));
}

bool SystemInformation::readUnread(const ReplyEnvelope &envelope)
{
    const QJsonValue module = envelope.dataObject().value(QLatin1String("module"));
    // A refusal carries no counts: replacing the table with it would zero every badge.
    if (!envelope.success() || !module.isObject()) {
        qCDebug(lcReminders) << "unread reply not usable:" << envelope.body().size() << "bytes";
        emit sigRequestStatus(false, UnreadRequest, groupFailureText(envelope));
        return false;
    }
    QMap<QString, int> unread;
    const QJsonObject counts = module.toObject();
    qint64 sum = 0;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        const int count = JsonField::smallInteger(it.value());
        unread.insert(it.key(), count);
        sum += count;
    }
    const QJsonValue totalValue = envelope.dataObject().value(QLatin1String("total"));
    const int total = totalValue.isDouble()
                          ? JsonField::smallInteger(totalValue)
                          : int(qBound<qint64>(0, sum, std::numeric_limits<int>::max()));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_unread.swap(unread);
        m_unreadTotal = total;
    }
    qCDebug(lcReminders) << "unread counts of" << counts.size() << "modules, total" << total;
    emit sigRequestStatus(true, UnreadRequest, QString());
    emit sigUnreadNumberFromRemindmenu();
    return true;
}

QList<int> SystemInformation::systemRemindListId() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_groups.keys();
}

QList<int> SystemInformation::systemRemindItemListId(int ids) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto group = m_groups.constFind(ids);
    return group == m_groups.constEnd() ? QList<int>() : group->items.keys();
}

QString SystemInformation::systemRemind(int ids, const QString &types) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto group = m_groups.constFind(ids);
    return group == m_groups.constEnd() ? QString() : group->field(types);
}

QString SystemInformation::systemRemindItem(int menuids, int ids, const QString &types) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto group = m_groups.constFind(menuids);
    if (group == m_groups.constEnd())
        return QString();
    const auto item = group->items.constFind(ids);
    return item == group->items.constEnd() ? QString() : item->field(types);
}

QString SystemInformation::smsnameFromSmsmenu(const QString &smsMenu) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QString name;
    for (const RemindGroup &group : m_groups) {
        if (group.remind_menu == smsMenu)
            name = group.menu_name;
    }
    return name;
}

int SystemInformation::unreadNumberFromRemindmenu(const QString &remindMenu) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (remindMenu == QLatin1String("all"))
        return m_unreadTotal;
    return m_unread.value(remindMenu, 0);
}

int SystemInformation::groupIdFromRemindmenu(const QString &remindMenu) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_menuIndex.value(remindMenu, NoGroup);
}

void SystemInformation::forgetAccount()
{
    Q_ASSERT(onOwnerThread());
    m_groupSlot.drop();
    m_unreadSlot.drop();
    m_unreadBusy = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_groups.clear();
        m_menuIndex.clear();
        m_unread.clear();
        m_unreadTotal = 0;
    }
    emit sigSystemInforChange();
    emit sigUnreadNumberFromRemindmenu();
}

void SystemInformation::updateUnreadNumber(int ids, int amount, bool subtract)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto group = m_groups.find(ids);
    if (group == m_groups.end())
        return;
    const qint64 changed = qint64(group->unReadNum) + (subtract ? -qint64(amount) : amount);
    group->unReadNum = int(qBound<qint64>(0, changed, std::numeric_limits<int>::max()));
}

void SystemInformation::receiveSystemMessage(const QString &ida, const QString &params,
                                             const QString &smsMenu, const QString &smsType,
                                             const QString &content, const QString &sendTime)
{
    const int groupId = groupIdFromRemindmenu(smsMenu);
    updateUnreadNumber(groupId, 1);
    emit jumpWebpage(ida, params, smsMenu, smsType);
    emit messageTipInfors(groupId, smsMenu, content, sendTime);
}

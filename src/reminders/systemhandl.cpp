#include "systemhandl.h"

#include "logging.h"
#include "reminders/systeminformation.h"
#include "reminders/webclientaddress.h"
#include "json/peerjson.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The compact parameter text the web client expects: indented JSON without blanks, line
// feeds or backslashes.
QString parameterText(const QJsonObject &params)
{
    QString text = QString::fromUtf8(QJsonDocument(params).toJson(QJsonDocument::Indented));
    text.remove(QLatin1Char(' ')).remove(QLatin1Char('\n')).remove(QLatin1Char('\\'));
    return text;
}

QString paramsPart(const QString &params)
{
    return params.isEmpty() ? QString() : QStringLiteral("&params=") + params;
}

} // namespace

SystemHandl::SystemHandl(QObject *parent) : QObject(parent)
{
    SystemInformation *store = SystemInformation::gestance();
    connect(store, &SystemInformation::sigSystemInforChange, this,
            &SystemHandl::sigSystemInforChange);
    connect(store, &SystemInformation::sigUnreadNumberFromRemindmenu, this,
            &SystemHandl::sigUnreadNumberFromRemindmenu);
    connect(store, &SystemInformation::messageTipInfors, this, &SystemHandl::messageTipInfors);
    connect(store, &SystemInformation::jumpWebpage, this, &SystemHandl::jumpWebpage);
    connect(store, &SystemInformation::sigRequestStatus, this, &SystemHandl::sigRequestStatus);
}

QList<int> SystemHandl::getSystemRemindListId() const
{
    return SystemInformation::gestance()->systemRemindListId();
}

QList<int> SystemHandl::getSystemRemindItemListId(int ids) const
{
    return SystemInformation::gestance()->systemRemindItemListId(ids);
}

QString SystemHandl::getSmsnameFromSmsmenu(const QString &sms_menu) const
{
    return SystemInformation::gestance()->smsnameFromSmsmenu(sms_menu);
}

QString SystemHandl::getSystemRemind(int ids, const QString &types) const
{
    return SystemInformation::gestance()->systemRemind(ids, types);
}

QString SystemHandl::getSystemRemindItem(int menuids, int ids, const QString &types) const
{
    return SystemInformation::gestance()->systemRemindItem(menuids, ids, types);
}

void SystemHandl::getSystemUnreadNumbers()
{
    SystemInformation::gestance()->getSystemUnreadNumbers();
}

int SystemHandl::getUnreadNumberFromRemindmenu(const QString &remindMenu) const
{
    return SystemInformation::gestance()->unreadNumberFromRemindmenu(remindMenu);
}

void SystemHandl::openMessageInfor(const QString &massageIds, const QString &types,
                                   const QString &menus)
{
    open(WebClientAddress::build(QStringLiteral("&module=") + menus + QStringLiteral("&action=") +
                                 types + paramsPart(massageIds)));
}

void SystemHandl::openMetionInfor(const QString &massageIdInfor)
{
    qCDebug(lcReminders) << "openMetionInfor" << massageIdInfor.size() << "characters";
    if (massageIdInfor.isEmpty())
        return;
    QJsonValue document;
    if (!PeerJson::parse(massageIdInfor.toUtf8(), &document) || !document.isObject())
        return;
    const QJsonObject object = document.toObject();
    const QString params = parameterText(object.value(QLatin1String("params")).toObject());
    const QStringList name = object.value(QLatin1String("name")).toString().split(QLatin1Char('.'));
    const bool named = name.size() >= 2;
    open(WebClientAddress::build(QStringLiteral("&mention=") + (named ? name.at(0) : QString()) +
                                 QStringLiteral("&action=") + (named ? name.at(1) : QString()) +
                                 paramsPart(params)));
}

void SystemHandl::openDataInfor(const QString &dataInfor)
{
    qCDebug(lcReminders) << "openDataInfor" << dataInfor.size() << "characters";
    QString text = dataInfor;
    text.remove(QStringLiteral("##"));
    QJsonValue parsed;
    PeerJson::parse(text.toUtf8(), &parsed);
    const QJsonObject object = parsed.toObject();
    // Members in key order; the first names the record.
    const QStringList keys = object.keys();
    if (keys.isEmpty())
        return;
    const QString &key = keys.first();
    open(WebClientAddress::build(QStringLiteral("&systemData=") + key +
                                 paramsPart(parameterText(object.value(key).toObject()))));
}

void SystemHandl::openLinkWeb(const QString &address)
{
    open(address);
}

void SystemHandl::open(const QString &address)
{
    QString jump;
    if (WebClientAddress::open(address, &jump))
        emit openExternally(jump);
    else
        emit jumpBrowser(jump);
}
